#include "RecordSetting.h"

#include "KeyPath.h"

namespace setting {

CRecordSetting::CRecordSetting() : CSetting(MakeSoftwareKeyPath("Records").c_str()), m_folder("Folder")
{
    m_params.push_back(&m_folder);
    if (!Load())
        SetDefaults();
}

void CRecordSetting::SetDefaults()
{
    m_folder.SetValue("");
}

} // namespace setting

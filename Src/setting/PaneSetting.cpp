#include "PaneSetting.h"

#include "KeyPath.h"

#include <string>

namespace setting {

CPaneSetting::CPaneSetting(const char* deviceKeyName)
    : CSetting(MakeSoftwareKeyPath((std::string("Panes\\") + deviceKeyName).c_str()).c_str()), m_showSent("ShowSent")
{
    m_params.push_back(&m_showSent);
    if (!Load())
        SetDefaults();
}

void CPaneSetting::SetDefaults()
{
    m_showSent.SetValue(0);
}

} // namespace setting

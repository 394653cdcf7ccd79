#pragma once

#include "Setting.h"

namespace setting {

// Where pane records were last saved: HKCU\SOFTWARE\Lunder\Orvel4\Records,
// "Folder" (REG_SZ; empty: none yet), a key of its own beside the device
// keys. The key is made when it is first opened.
class CRecordSetting final : public CSetting
{
public:
    CRecordSetting();
    void SetDefaults() override;

    CStrSettingParam m_folder;
};

} // namespace setting

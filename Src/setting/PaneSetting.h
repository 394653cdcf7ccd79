#pragma once

#include "Setting.h"

namespace setting {

// How a channel's pane shows it: HKCU\SOFTWARE\Lunder\Orvel4\Panes\<device>,
// a key of its own beside the device keys, with
//   "ShowSent"  REG_DWORD  the pane shows what was sent (default 0)
// A value missing or not a REG_DWORD takes its default. The key is made
// when it is first opened.
class CPaneSetting final : public CSetting
{
public:
    explicit CPaneSetting(const char* deviceKeyName);
    void SetDefaults() override;

    CDwordSettingParam m_showSent;
};

} // namespace setting

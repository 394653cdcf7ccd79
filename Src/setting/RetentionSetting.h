#pragma once

#include "Setting.h"

namespace setting {

// How long channel records are kept: HKCU\SOFTWARE\Lunder\Orvel4\Retention,
// a key of its own beside the device keys, with
//   "Days"       REG_DWORD  records last changed longer ago are removed (default 30)
//   "Megabytes"  REG_DWORD  beyond this many MiB in all, the oldest are removed (default 2048)
// 0 is no limit. A value missing or not a REG_DWORD takes its default; the
// other keeps what it loaded. The key is made when it is first opened.
class CRetentionSetting final : public CSetting
{
public:
    static constexpr registry::DWORD kDefaultDays = 30;
    static constexpr registry::DWORD kDefaultMegabytes = 2048;

    CRetentionSetting();
    void SetDefaults() override;

    CDwordSettingParam m_days;
    CDwordSettingParam m_megabytes;
};

} // namespace setting

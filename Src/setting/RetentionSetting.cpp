#include "RetentionSetting.h"

#include "KeyPath.h"

namespace setting {

CRetentionSetting::CRetentionSetting()
    : CSetting(MakeSoftwareKeyPath("Retention").c_str()), m_days("Days"), m_megabytes("Megabytes")
{
    m_params.push_back(&m_days);
    m_params.push_back(&m_megabytes);
    // Each limit on its own: a bad one does not cost the other.
    if (!m_days.Load(m_key))
        m_days.SetValue(kDefaultDays);
    if (!m_megabytes.Load(m_key))
        m_megabytes.SetValue(kDefaultMegabytes);
}

void CRetentionSetting::SetDefaults()
{
    m_days.SetValue(kDefaultDays);
    m_megabytes.SetValue(kDefaultMegabytes);
}

} // namespace setting

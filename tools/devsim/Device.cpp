#include "Device.h"

#include <cstdio>
#include <ctime>

namespace devsim {

CUtcTime CUtcTime::From(std::chrono::system_clock::time_point when)
{
    using namespace std::chrono;
    const std::time_t seconds = system_clock::to_time_t(when);
    std::tm parts{};
    ::gmtime_r(&seconds, &parts);
    const auto sinceEpoch = when.time_since_epoch();
    const auto centis = duration_cast<milliseconds>(sinceEpoch - duration_cast<std::chrono::seconds>(sinceEpoch)).count() / 10;

    CUtcTime time;
    time.m_year = parts.tm_year + 1900;
    time.m_month = parts.tm_mon + 1;
    time.m_day = parts.tm_mday;
    time.m_hour = parts.tm_hour;
    time.m_minute = parts.tm_min;
    time.m_second = parts.tm_sec;
    time.m_centisecond = static_cast<int>(centis < 0 ? 0 : centis);
    return time;
}

std::string CUtcTime::Hhmmss() const
{
    char text[16];
    std::snprintf(text, sizeof text, "%02d%02d%02d.%02d", m_hour, m_minute, m_second, m_centisecond);
    return text;
}

std::string CUtcTime::Ddmmyy() const
{
    char text[16];
    std::snprintf(text, sizeof text, "%02d%02d%02d", m_day, m_month, m_year % 100);
    return text;
}

} // namespace devsim

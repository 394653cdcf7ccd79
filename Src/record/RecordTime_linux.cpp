#include "RecordTime.h"

#include <chrono>
#include <cstdio>
#include <ctime>

namespace record {

Millis NowMillis()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

std::string LocalStamp(Millis time)
{
    const std::time_t seconds = static_cast<std::time_t>(time / 1000);
    std::tm local{};
    localtime_r(&seconds, &local);
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%04d%02d%02d-%02d%02d%02d", local.tm_year + 1900, local.tm_mon + 1,
                  local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    return stamp;
}

} // namespace record

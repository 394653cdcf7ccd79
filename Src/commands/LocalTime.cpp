#include <LocalTime.h>

#include <chrono>
#include <cstdio>
#include <ctime>

namespace text {

std::int64_t NowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

std::string LocalTime(std::int64_t ms, const char* format, bool millis)
{
    const std::time_t seconds = static_cast<std::time_t>(ms >= 0 ? ms / 1000 : (ms - 999) / 1000);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &seconds);
#else
    localtime_r(&seconds, &local);
#endif
    char text[64] = {};
    std::size_t size = std::strftime(text, sizeof text, format, &local);
    if (millis)
        std::snprintf(text + size, sizeof text - size, ".%03d", static_cast<int>(ms - seconds * std::int64_t{1000}));
    return text;
}

} // namespace text

#pragma once

// Wall-clock times as the operator reads them, in local time.

#include <cstdint>
#include <string>

namespace text {

// Milliseconds since 1970, now.
std::int64_t NowMs();
// `ms` in local time in the form of `format` (strftime's), with ".mmm"
// after it when `millis`.
std::string LocalTime(std::int64_t ms, const char* format, bool millis = false);

} // namespace text

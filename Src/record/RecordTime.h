#pragma once

// Times of a record: wall-clock milliseconds since 1970-01-01 00:00 UTC.

#include <cstdint>
#include <string>

namespace record {

using Millis = std::int64_t;

// The wall clock now.
Millis NowMillis();

// `time` as local time "yyyymmdd-HHMMSS", the stamp in a record's name.
std::string LocalStamp(Millis time);

} // namespace record

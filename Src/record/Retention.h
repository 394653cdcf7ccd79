#pragma once

// Old records removed at start-up. A record is its two files (RecordName.h),
// as old as the later of their last changes; other files in the folder, and
// records a running program holds open, are never touched.

#include "RecordTime.h"

#include <cstdint>
#include <string>
#include <vector>

namespace record {

struct PruneResult
{
    std::vector<std::string> removed;  // base names ("SnsPort-20250101-120000"), oldest first
    std::vector<std::string> inUse;    // open in a running program: kept
    std::vector<std::string> failed;   // could not be removed: kept (standard error says why)
    std::uint64_t keptBytes = 0;       // of all records left
};

// Removes from `folder` the records last changed more than `maxAge` before
// `now`, then, oldest first, records until those left hold no more than
// `maxTotalBytes`. A limit of 0 is no limit. A missing folder holds nothing.
PruneResult PruneRecords(const std::string& folder, Millis now, Millis maxAge, std::uint64_t maxTotalBytes);

// The limits of the retention settings: days and mebibytes.
constexpr Millis DaysToMillis(std::uint32_t days) { return static_cast<Millis>(days) * 24 * 3600 * 1000; }
constexpr std::uint64_t MebibytesToBytes(std::uint32_t mebibytes) { return static_cast<std::uint64_t>(mebibytes) << 20; }

} // namespace record

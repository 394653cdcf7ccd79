#pragma once

#include "NmeaChecksum.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace traffic {

// What a channel's device has been sending, per sentence type: fed the
// verdict of every complete received line (CSentenceCheck) with the moment
// it arrived, it keeps per type the count, the rate over the last 10 s, the
// time since the last one, the bad checksums, how many came without a
// checksum, and whether the type has stopped: not seen for longer than three
// times its usual interval.
//
// The usual interval is the 90th percentile (rounded down) of the type's last
// 32 gaps: for a type sent once a period it is the period; for one sent in
// groups (GSV: a few sentences, then a pause) it is the pause, for groups of
// up to six, once a few periods have been seen; a stop or two among the last
// gaps does not count. Lines of one read arrive at the same moment: a gap of
// zero is none. A type seen once has no usual interval and is never stopped.
//
// Each line costs a lookup among at most kMaxTypes types and constant work;
// each type holds a fixed amount of memory. Sentences whose address field is
// not a plausible one, and any types beyond kMaxTypes, are counted together
// under the empty type. Plain text lines are not counted. Not thread-safe:
// one thread feeds and reads it.
class CSentenceSummary
{
public:
    using Clock = std::chrono::steady_clock;

    static constexpr Clock::duration kRateWindow = std::chrono::seconds(10);
    static constexpr std::size_t kMaxTypes = 64;
    static constexpr unsigned kStoppedAfter = 3;  // usual intervals

    struct Row
    {
        std::string type;                            // "GPGGA", "!AIVDM"; "" for the rest
        std::uint64_t count = 0;
        double perSecond = 0;                        // over the last kRateWindow
        Clock::duration sinceLast{};
        std::uint64_t badChecksums = 0;
        std::uint64_t withoutChecksum = 0;
        bool noChecksum = false;                     // every one of them came without
        std::optional<Clock::duration> usualInterval;
        bool stopped = false;
    };

    // One complete line. Its arrival time comes from the caller's clock and
    // never goes back. Plain text is ignored.
    void Add(std::string_view type, commands::CSentenceCheck::Kind kind, Clock::time_point arrival);
    void Add(const commands::CSentenceCheck& line, Clock::time_point arrival)
    {
        Add(line.Type(), line.GetKind(), arrival);
    }

    // The types seen since the last Clear, in order of their names, as they
    // stand at `now`.
    std::vector<Row> Rows(Clock::time_point now) const;

    void Clear() { m_types.clear(); }

private:
    // Arrivals counted in arrivalSlots of kSlot over the rate window.
    static constexpr Clock::duration kSlot = std::chrono::milliseconds(100);
    static constexpr std::size_t kSlots = kRateWindow / kSlot;
    static constexpr std::size_t kGaps = 32;  // the gaps the usual interval is taken from

    struct CType
    {
        std::uint64_t count = 0;
        std::uint64_t bad = 0;
        std::uint64_t unchecked = 0;
        Clock::time_point last;
        std::array<Clock::duration, kGaps> gaps{};  // a ring: the newest at (nextGap - 1)
        std::size_t gapCount = 0;
        std::size_t nextGap = 0;
        std::array<std::uint32_t, kSlots> arrivalSlots{};  // slot n counts arrivals in [n * kSlot, (n + 1) * kSlot)
        std::int64_t newestSlot = 0;

        void Arrive(commands::CSentenceCheck::Kind kind, Clock::time_point arrival);
        double PerSecond(Clock::time_point now) const;
        std::optional<Clock::duration> UsualInterval() const;
    };

    static std::int64_t SlotOf(Clock::time_point t) { return t.time_since_epoch() / kSlot; }

    std::map<std::string, CType, std::less<>> m_types;
};

} // namespace traffic

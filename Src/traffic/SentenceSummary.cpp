#include "SentenceSummary.h"

#include <algorithm>

namespace traffic {

namespace {

using Kind = commands::CSentenceCheck::Kind;

std::size_t Ring(std::int64_t slot, std::size_t size)
{
    const std::int64_t n = static_cast<std::int64_t>(size);
    return static_cast<std::size_t>(((slot % n) + n) % n);
}

} // namespace

void CSentenceSummary::Add(std::string_view type, Kind kind, Clock::time_point arrival)
{
    if (kind == Kind::Text)
        return;
    auto found = m_types.find(type);
    if (found == m_types.end()) {
        if (m_types.size() >= kMaxTypes + (m_types.count(std::string_view()) ? 1 : 0))
            type = std::string_view();
        found = m_types.try_emplace(std::string(type)).first;
    }
    found->second.Arrive(kind, arrival);
}

void CSentenceSummary::CType::Arrive(Kind kind, Clock::time_point arrival)
{
    const std::int64_t slot = SlotOf(arrival);
    if (count == 0) {
        newestSlot = slot;
    } else {
        const Clock::duration gap = arrival - last;
        if (gap > Clock::duration::zero()) {
            gaps[nextGap] = gap;
            nextGap = (nextGap + 1) % kGaps;
            gapCount = std::min(gapCount + 1, kGaps);
        }
        // Slots the window has moved past start again from nothing.
        for (std::int64_t s = newestSlot + 1; s <= slot && s <= newestSlot + static_cast<std::int64_t>(kSlots); ++s)
            arrivalSlots[Ring(s, kSlots)] = 0;
        newestSlot = std::max(newestSlot, slot);
    }
    if (slot > newestSlot - static_cast<std::int64_t>(kSlots))
        ++arrivalSlots[Ring(slot, kSlots)];
    last = std::max(last, arrival);
    ++count;
    bad += kind == Kind::Broken ? 1 : 0;
    unchecked += kind == Kind::Unchecked ? 1 : 0;
}

double CSentenceSummary::CType::PerSecond(Clock::time_point now) const
{
    const std::int64_t nowSlot = SlotOf(now);
    const std::int64_t window = static_cast<std::int64_t>(kSlots);
    std::uint64_t arrivals = 0;
    for (std::int64_t s = std::max(nowSlot, newestSlot) - window + 1; s <= std::min(nowSlot, newestSlot); ++s)
        arrivals += arrivalSlots[Ring(s, kSlots)];
    return static_cast<double>(arrivals) / std::chrono::duration<double>(kRateWindow).count();
}

std::optional<CSentenceSummary::Clock::duration> CSentenceSummary::CType::UsualInterval() const
{
    if (gapCount == 0)
        return std::nullopt;
    std::array<Clock::duration, kGaps> sorted = gaps;
    const auto end = sorted.begin() + static_cast<std::ptrdiff_t>(gapCount);
    const auto at = sorted.begin() + static_cast<std::ptrdiff_t>((gapCount - 1) * 9 / 10);
    std::nth_element(sorted.begin(), at, end);
    return *at;
}

std::vector<CSentenceSummary::Row> CSentenceSummary::Rows(Clock::time_point now) const
{
    std::vector<Row> rows;
    rows.reserve(m_types.size());
    for (const auto& [type, stats] : m_types) {
        Row row;
        row.type = type;
        row.count = stats.count;
        row.perSecond = stats.PerSecond(now);
        row.sinceLast = std::max(now - stats.last, Clock::duration::zero());
        row.badChecksums = stats.bad;
        row.withoutChecksum = stats.unchecked;
        row.noChecksum = stats.unchecked == stats.count;
        row.usualInterval = stats.UsualInterval();
        row.stopped = row.usualInterval && row.sinceLast > *row.usualInterval * kStoppedAfter;
        rows.push_back(std::move(row));
    }
    return rows;
}

} // namespace traffic

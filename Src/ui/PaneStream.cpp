#include "PaneStream.h"

#include "PaneSnapshot.h"

#include <algorithm>

namespace ui {

namespace {

// Times read from the record at once: a screenful before the line asked
// for, and a good many after it.
constexpr std::uint64_t kTimesBefore = 256;
constexpr std::size_t kTimesRead = 1024;

} // namespace

CPaneStream::CPaneStream(std::shared_ptr<record::CWatchRecord> record, const Sizes& sizes)
    : m_record(std::move(record)), m_sizes(sizes), m_tail(sizes.chunk), m_points(1)
{
    m_spans.reserve(kCachedSpans);  // never moved: a span read stays where it is while it is read
}

// Appending -----------------------------------------------------------------

// A point before what comes next, when the span since the last one is long
// enough. Never between a CR and its LF: the LF of a CR that ended a read
// comes (TakeLf) before anything else of the next read.
void CPaneStream::PointDue()
{
    if (!m_record || m_finished)
        return;
    const SpanPoint& last = m_points.back();
    if (Breaks() - last.brk < m_sizes.spanBreaks && End() - last.pane < m_sizes.spanBytes)
        return;
    if (m_points.size() == m_points.capacity())
        m_points.reserve(m_points.size() + m_points.size() / 4 + 16);  // grows by a quarter, not twice
    m_points.push_back(SpanPoint{End(), m_raw, Breaks()});
}

void CPaneStream::AppendText(const char* data, std::size_t size)
{
    if (size == 0)
        return;
    while (size > 0) {
        PointDue();
        std::size_t count = size;
        if (m_record)
            count = std::min<std::size_t>(size, static_cast<std::size_t>(m_sizes.spanBytes - (End() - m_points.back().pane)));
        m_tail.AppendText(data, count);
        m_raw += count;
        data += count;
        size -= count;
    }
    m_inLine = true;
}

void CPaneStream::AppendBreak(std::uint8_t tag, std::int64_t time, unsigned receivedBytes)
{
    PointDue();
    if (m_clearedLineBreak == Breaks())
        m_clearedLineTime = time;
    m_tail.AppendBreak(tag, time);
    m_raw += receivedBytes;
    m_inLine = false;
}

void CPaneStream::TakeLf()
{
    if (m_raw == 0)
        m_lineShift = 1;  // the record's line 0 is this LF alone
    ++m_raw;
    // A point at the end (the first, or the one a Clear left) stands after the LF.
    SpanPoint& last = m_points.back();
    if (last.pane == End())
        last.raw = m_raw;
}

void CPaneStream::Finish()
{
    if (m_finished)
        return;
    if (m_record && m_points.back().pane != End())
        m_points.push_back(SpanPoint{End(), m_raw, Breaks()});
    m_finished = true;
}

void CPaneStream::ContinueLine()
{
    m_inLine = true;
    m_clearedLineBreak = Breaks();
}

bool CPaneStream::Settle()
{
    if (!m_record || !m_trusted)
        return false;
    const std::uint64_t written = m_record->Written();
    // The last whole span stays in memory while the stream goes on: a view
    // that follows the end draws from memory.
    const std::size_t last = m_finished ? m_points.size() - 1 : std::max<std::size_t>(m_points.size(), 2) - 2;
    std::size_t settled = m_settled;
    while (settled < last && m_points[settled + 1].raw <= written)
        ++settled;
    if (settled > m_settled) {
        // The record must hold what the pane got: looked at in the first
        // span it gives, and the last of each lot.
        if ((!m_checkedOnce && !RecordMatches(m_settled)) || !RecordMatches(settled - 1)) {
            m_trusted = false;
            return false;
        }
        m_checkedOnce = true;
        m_settled = settled;
        m_tail.DropBefore(m_points[settled].pane, m_points[settled].brk);
    }
    return !m_finished || m_settled + 1 < m_points.size();
}

void CPaneStream::ForgetAll()
{
    m_points.assign(1, SpanPoint{End(), m_raw, Breaks()});
    m_points.shrink_to_fit();
    m_settled = 0;
    m_tail.DropBefore(End(), Breaks());
    m_tail.ForgetTagsBefore(Breaks());
    m_spans.clear();
    m_unreadable.clear();
    m_times.clear();
    m_clearedLineBreak.reset();
    m_checkedOnce = false;  // the first span from the new start is looked at again
    if (m_inLine)
        m_clearedLineBreak = Breaks();
}

bool CPaneStream::RecordMatches(std::size_t span) const
{
    std::string bytes;
    return ReadSpan(*m_record, m_points[span], m_points[span + 1], m_scratch, bytes, nullptr) &&
           m_tail.Holds(m_points[span].pane, bytes);
}

// Reading -------------------------------------------------------------------

std::size_t CPaneStream::SpanOfPosition(std::uint64_t pos) const
{
    const auto settledEnd = m_points.begin() + static_cast<std::ptrdiff_t>(m_settled);
    const auto after = std::upper_bound(m_points.begin(), settledEnd, pos,
                                        [](std::uint64_t p, const SpanPoint& point) { return p < point.pane; });
    return after == m_points.begin() ? 0 : static_cast<std::size_t>(after - m_points.begin()) - 1;
}

std::size_t CPaneStream::SpanOfBreak(std::uint64_t k) const
{
    const auto settledEnd = m_points.begin() + static_cast<std::ptrdiff_t>(m_settled);
    const auto after = std::upper_bound(m_points.begin(), settledEnd, k,
                                        [](std::uint64_t b, const SpanPoint& point) { return b < point.brk; });
    return after == m_points.begin() ? 0 : static_cast<std::size_t>(after - m_points.begin()) - 1;
}

const CPaneStream::Span& CPaneStream::ReadBack(std::size_t span) const
{
    Span* oldest = nullptr;
    for (Span& cached : m_spans) {
        if (cached.number == span) {
            cached.used = ++m_useClock;
            return cached;
        }
        if (!oldest || cached.used < oldest->used)
            oldest = &cached;
    }
    Span& into = m_spans.size() < kCachedSpans ? m_spans.emplace_back() : *oldest;
    into.number = span;
    into.used = ++m_useClock;
    // A span that could not be read once reads as its stand-in from then
    // on, so that its lines stay where they were shown.
    if (m_unreadable.count(span))
        StandInSpan(m_points[span], m_points[span + 1], into.bytes, &into.breaks);
    else if (!ReadSpan(*m_record, m_points[span], m_points[span + 1], m_scratch, into.bytes, &into.breaks))
        m_unreadable.insert(span);
    return into;
}

std::uint64_t CPaneStream::BreakAt(std::uint64_t k) const
{
    if (k >= SettledBreaks())
        return m_tail.BreakAt(k);
    const std::size_t span = SpanOfBreak(k);
    const Span& read = ReadBack(span);
    const std::uint64_t index = k - std::min(k, m_points[span].brk);
    if (index >= read.breaks.size())
        return m_points[span + 1].pane;
    return m_points[span].pane + read.breaks[static_cast<std::size_t>(index)];
}

std::uint64_t CPaneStream::BreaksBefore(std::uint64_t pos) const
{
    if (pos >= SettledEnd())
        return m_tail.BreaksBefore(pos);
    const std::size_t span = SpanOfPosition(pos);
    const Span& read = ReadBack(span);
    const std::uint64_t offset = pos - std::min(pos, m_points[span].pane);
    return m_points[span].brk +
           static_cast<std::uint64_t>(std::lower_bound(read.breaks.begin(), read.breaks.end(), offset) - read.breaks.begin());
}

char CPaneStream::At(std::uint64_t pos) const
{
    if (pos >= SettledEnd())
        return m_tail.At(pos);
    const std::size_t span = SpanOfPosition(pos);
    const Span& read = ReadBack(span);
    const std::uint64_t offset = pos - std::min(pos, m_points[span].pane);
    return offset < read.bytes.size() ? read.bytes[static_cast<std::size_t>(offset)] : '\0';
}

bool CPaneStream::Read(std::uint64_t begin, std::uint64_t end, CPieceSink sink) const
{
    const std::uint64_t settledEnd = SettledEnd();
    for (std::size_t span = SpanOfPosition(begin); begin < std::min(end, settledEnd); ++span) {
        const Span& read = ReadBack(span);
        const std::uint64_t from = begin - m_points[span].pane;
        const std::uint64_t to = std::min(end, m_points[span + 1].pane) - m_points[span].pane;
        if (!sink(read.bytes.data() + from, static_cast<std::size_t>(to - from)))
            return false;
        begin = m_points[span].pane + to;
    }
    return begin >= end || m_tail.Read(begin, end, sink);
}

std::int64_t CPaneStream::Time(std::uint64_t k) const
{
    if (m_clearedLineBreak == k)
        return m_clearedLineTime;
    if (k >= SettledBreaks())
        return m_tail.Time(k);
    const std::uint64_t line = k + m_lineShift;
    if (line < m_timesFirst || line - m_timesFirst >= m_times.size()) {
        m_timesFirst = line > kTimesBefore ? line - kTimesBefore : 0;
        m_times = m_record->LineTimes(m_timesFirst, kTimesRead);
    }
    return line - m_timesFirst < m_times.size() ? m_times[static_cast<std::size_t>(line - m_timesFirst)] : 0;
}

void CPaneStream::AddTo(CPaneSnapshot& snapshot, std::uint64_t begin, std::uint64_t end, std::uint64_t firstBreak) const
{
    const std::uint64_t settledEnd = SettledEnd();
    if (begin < settledEnd) {
        const std::uint64_t stop = std::min(end, settledEnd);
        const std::size_t first = SpanOfPosition(begin);
        const std::size_t last = SpanOfPosition(stop - 1);
        CPaneSnapshot::RecordPart part;
        part.record = m_record;
        part.points.assign(m_points.begin() + static_cast<std::ptrdiff_t>(first),
                           m_points.begin() + static_cast<std::ptrdiff_t>(last) + 2);
        part.begin = begin;
        part.end = stop;
        part.firstBreak = firstBreak;
        part.breaks = BreaksBefore(stop) - firstBreak;
        part.lineShift = m_lineShift;
        if (m_clearedLineBreak)
            part.clearedLine = std::make_pair(*m_clearedLineBreak, m_clearedLineTime);
        snapshot.AddRecord(std::move(part));
        begin = stop;
        firstBreak = SettledBreaks();
    }
    if (begin < end)
        m_tail.AddTo(snapshot, begin, end, firstBreak);
}

std::uint64_t CPaneStream::ReadBackBytes(std::uint64_t begin, std::uint64_t end) const
{
    const std::uint64_t settledEnd = SettledEnd();
    return begin < settledEnd ? std::min(end, settledEnd) - begin : 0;
}

std::size_t CPaneStream::MemoryBytes() const
{
    std::size_t spans = 0;
    for (const Span& span : m_spans)
        spans += sizeof(Span) + span.bytes.capacity() + span.breaks.capacity() * sizeof(std::uint32_t);
    return sizeof(*this) + m_tail.MemoryBytes() + m_points.capacity() * sizeof(SpanPoint) + spans +
           m_scratch.capacity() + m_times.capacity() * sizeof(record::Millis) +
           m_unreadable.size() * 4 * sizeof(std::size_t);
}

} // namespace ui

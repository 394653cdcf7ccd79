#include "PaneSnapshot.h"

#include <LocalTime.h>

#include <algorithm>
#include <cstring>
#include <limits>

namespace ui {

namespace {

// Times read from a record at once, for a part read through in order.
constexpr std::size_t kTimesRead = 4096;

// "HH:MM:SS.mmm ", remade only when the second changes.
class CStamp
{
public:
    const std::string& Of(std::int64_t ms)
    {
        const std::int64_t second = ms >= 0 ? ms / 1000 : (ms - 999) / 1000;
        if (second != m_second) {
            m_second = second;
            m_text = text::LocalTime(ms, "%H:%M:%S") + ".000 ";
        }
        const int millis = static_cast<int>(ms - second * 1000);
        const std::size_t at = m_text.size() - 4;
        m_text[at] = static_cast<char>('0' + millis / 100);
        m_text[at + 1] = static_cast<char>('0' + millis / 10 % 10);
        m_text[at + 2] = static_cast<char>('0' + millis % 10);
        return m_text;
    }

private:
    std::int64_t m_second = std::numeric_limits<std::int64_t>::min();
    std::string m_text;
};

} // namespace

// The times of one part's breaks, asked for in order.
class CPaneSnapshot::CTimes
{
public:
    explicit CTimes(const Part& part) : m_part(part) {}

    std::int64_t Of(std::uint64_t k)
    {
        if (!m_part.stretch)
            return k < m_part.times.size() ? m_part.times[static_cast<std::size_t>(k)] : 0;
        const RecordPart& stretch = *m_part.stretch;
        const std::uint64_t brk = stretch.firstBreak + k;
        if (stretch.clearedLine && stretch.clearedLine->first == brk)
            return stretch.clearedLine->second;
        const std::uint64_t line = brk + stretch.lineShift;
        if (line < m_first || line - m_first >= m_times.size()) {
            m_first = line;
            m_times = stretch.record->LineTimes(line, kTimesRead);
        }
        return line - m_first < m_times.size() ? m_times[static_cast<std::size_t>(line - m_first)] : 0;
    }

private:
    const Part& m_part;
    std::uint64_t m_first = 0;
    std::vector<record::Millis> m_times;
};

CPaneSnapshot CPaneSnapshot::OfBytes(std::string paneBytes)
{
    CPaneSnapshot snapshot;
    snapshot.AddMemory(std::move(paneBytes), {});
    return snapshot;
}

void CPaneSnapshot::AddMemory(std::string bytes, std::vector<std::int64_t> times)
{
    if (bytes.empty())
        return;
    Part part;
    part.breaks = static_cast<std::uint64_t>(std::count(bytes.begin(), bytes.end(), '\n'));
    part.bytes = std::move(bytes);
    part.times = std::move(times);
    m_parts.push_back(std::move(part));
}

void CPaneSnapshot::AddRecord(RecordPart stretch)
{
    if (stretch.begin >= stretch.end || stretch.points.size() < 2)
        return;
    Part part;
    part.breaks = stretch.breaks;
    part.stretch = std::move(stretch);
    m_parts.push_back(std::move(part));
}

std::uint64_t CPaneSnapshot::SizeOf(const Part& part) const
{
    return part.stretch ? part.stretch->end - part.stretch->begin : part.bytes.size();
}

std::uint64_t CPaneSnapshot::Size() const
{
    std::uint64_t size = 0;
    for (const Part& part : m_parts)
        size += SizeOf(part);
    return size;
}

bool CPaneSnapshot::ForEachPiece(const Part& part, const Out& piece) const
{
    if (!part.stretch)
        return piece(part.bytes.data(), part.bytes.size());
    const RecordPart& stretch = *part.stretch;
    std::string scratch;
    std::string bytes;
    for (std::size_t span = 0; span + 1 < stretch.points.size(); ++span) {
        const SpanPoint& from = stretch.points[span];
        const SpanPoint& to = stretch.points[span + 1];
        const std::uint64_t begin = std::max(stretch.begin, from.pane);
        const std::uint64_t end = std::min(stretch.end, to.pane);
        if (begin >= end)
            continue;
        ReadSpan(*stretch.record, from, to, scratch, bytes, nullptr);
        if (!piece(bytes.data() + (begin - from.pane), static_cast<std::size_t>(end - begin)))
            return false;
    }
    return true;
}

std::int64_t CPaneSnapshot::TimeOfFirstBreak(std::size_t from) const
{
    for (std::size_t p = from; p < m_parts.size(); ++p)
        if (m_parts[p].breaks > 0)
            return CTimes(m_parts[p]).Of(0);
    return m_lastLineTime;
}

bool CPaneSnapshot::Write(const Out& out) const
{
    CStamp stamp;
    bool atLineStart = true;
    const auto putTime = [&](std::int64_t time) {
        if (time == 0)
            return true;
        const std::string& text = stamp.Of(time);
        return out(text.data(), text.size());
    };
    for (std::size_t p = 0; p < m_parts.size(); ++p) {
        CTimes times(m_parts[p]);
        std::uint64_t k = 0;  // the part's breaks written
        const bool whole = ForEachPiece(m_parts[p], [&](const char* data, std::size_t size) {
            const char* const end = data + size;
            for (const char* q = data; q < end;) {
                if (atLineStart && m_keepsTimes &&
                    !putTime(k < m_parts[p].breaks ? times.Of(k) : TimeOfFirstBreak(p + 1)))
                    return false;
                const void* lf = std::memchr(q, '\n', static_cast<std::size_t>(end - q));
                const char* const stop = lf ? static_cast<const char*>(lf) + 1 : end;
                if (!out(q, static_cast<std::size_t>(stop - q)))
                    return false;
                atLineStart = lf != nullptr;
                k += lf ? 1 : 0;
                q = stop;
            }
            return true;
        });
        if (!whole)
            return false;
    }
    // An empty last line still has its time, when it has one.
    return !(atLineStart && m_keepsTimes) || putTime(m_lastLineTime);
}

std::string CPaneSnapshot::Bytes() const
{
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(Size()));
    Write([&](const char* data, std::size_t size) {
        bytes.append(data, size);
        return true;
    });
    return bytes;
}

} // namespace ui

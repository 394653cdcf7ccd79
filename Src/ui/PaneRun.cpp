#include "PaneRun.h"

#include "PaneSnapshot.h"

#include <algorithm>
#include <cstring>

namespace ui {

CPaneRun::CPaneRun(std::size_t chunkSize) : m_chunkSize(chunkSize > 0 ? chunkSize : 1) {}

void CPaneRun::Put(const char* data, std::size_t size)
{
    while (size > 0) {
        const std::size_t used = static_cast<std::size_t>((m_end - m_chunksBegin) % m_chunkSize);
        if (m_end == m_chunksBegin + m_chunks.size() * m_chunkSize)
            m_chunks.push_back(std::unique_ptr<char[]>(new char[m_chunkSize]));  // not zeroed: pages are touched as they fill
        const std::size_t count = std::min(size, m_chunkSize - used);
        std::memcpy(m_chunks.back().get() + used, data, count);
        m_end += count;
        data += count;
        size -= count;
    }
}

void CPaneRun::Append(const char* data, std::size_t size, std::uint8_t tag, std::int64_t time)
{
    const char* const end = data + size;
    for (const char* p = data; p < end;) {
        const void* found = std::memchr(p, '\n', static_cast<std::size_t>(end - p));
        const char* const stop = found ? static_cast<const char*>(found) : end;
        AppendText(p, static_cast<std::size_t>(stop - p));
        if (!found)
            break;
        AppendBreak(tag, time);
        p = stop + 1;
    }
}

void CPaneRun::AppendText(const char* data, std::size_t size)
{
    Put(data, size);
}

void CPaneRun::AppendBreak(std::uint8_t tag, std::int64_t time)
{
    m_positions.push_back(m_end);
    m_times.push_back(time);
    m_tags.PushBack(tag);
    ++m_breaks;
    Put("\n", 1);
}

void CPaneRun::DropBefore(std::uint64_t pos, std::uint64_t firstKept)
{
    while (!m_chunks.empty() && m_chunksBegin + m_chunkSize <= pos) {
        m_chunks.pop_front();
        m_chunksBegin += m_chunkSize;
    }
    if (m_chunks.empty())
        m_chunksBegin = m_end;  // the next chunk starts where the bytes go on
    while (!m_positions.empty() && FirstHeldBreak() < firstKept) {
        m_positions.pop_front();
        m_times.pop_front();
    }
    if (m_positions.empty()) {
        // A deque keeps a block of its own when emptied; let that go too.
        std::deque<std::uint64_t>().swap(m_positions);
        std::deque<std::int64_t>().swap(m_times);
    }
}

void CPaneRun::ForgetTagsBefore(std::uint64_t k)
{
    m_tags.ForgetBefore(k);
}

std::uint64_t CPaneRun::BreakAt(std::uint64_t k) const
{
    const std::uint64_t first = FirstHeldBreak();
    if (k < first || k >= m_breaks)
        return m_end;
    return m_positions[static_cast<std::size_t>(k - first)];
}

std::uint64_t CPaneRun::BreaksBefore(std::uint64_t pos) const
{
    return FirstHeldBreak() +
           static_cast<std::uint64_t>(std::lower_bound(m_positions.begin(), m_positions.end(), pos) - m_positions.begin());
}

char CPaneRun::At(std::uint64_t pos) const
{
    if (pos < m_chunksBegin || pos >= m_end)
        return '\0';
    const std::uint64_t offset = pos - m_chunksBegin;
    return m_chunks[static_cast<std::size_t>(offset / m_chunkSize)][static_cast<std::size_t>(offset % m_chunkSize)];
}

bool CPaneRun::Read(std::uint64_t begin, std::uint64_t end, CPieceSink sink) const
{
    begin = std::max(begin, m_chunksBegin);
    end = std::min(end, m_end);
    while (begin < end) {
        const std::uint64_t offset = begin - m_chunksBegin;
        const std::size_t within = static_cast<std::size_t>(offset % m_chunkSize);
        const std::size_t count = static_cast<std::size_t>(std::min<std::uint64_t>(m_chunkSize - within, end - begin));
        if (!sink(m_chunks[static_cast<std::size_t>(offset / m_chunkSize)].get() + within, count))
            return false;
        begin += count;
    }
    return true;
}

void CPaneRun::CopyTo(std::uint64_t begin, std::uint64_t end, std::string& out) const
{
    auto append = [&out](const char* data, std::size_t size) {
        out.append(data, size);
        return true;
    };
    Read(begin, end, append);
}

bool CPaneRun::Holds(std::uint64_t begin, const std::string& bytes) const
{
    if (begin < m_chunksBegin || begin + bytes.size() > m_end)
        return false;
    std::size_t at = 0;
    auto same = [&](const char* data, std::size_t size) {
        if (std::memcmp(data, bytes.data() + at, size) != 0)
            return false;
        at += size;
        return true;
    };
    return Read(begin, begin + bytes.size(), same);
}

std::uint8_t CPaneRun::Tag(std::uint64_t k) const
{
    return m_tags.Get(k);
}

void CPaneRun::SetTag(std::uint64_t k, std::uint8_t tag)
{
    m_tags.Set(k, tag);
}

std::int64_t CPaneRun::Time(std::uint64_t k) const
{
    const std::uint64_t first = FirstHeldBreak();
    return k >= first && k < m_breaks ? m_times[static_cast<std::size_t>(k - first)] : 0;
}

void CPaneRun::AddTo(CPaneSnapshot& snapshot, std::uint64_t begin, std::uint64_t end, std::uint64_t firstBreak) const
{
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(end - begin));
    CopyTo(begin, end, bytes);
    std::vector<std::int64_t> times;
    if (snapshot.KeepsTimes()) {
        const std::uint64_t breaks = static_cast<std::uint64_t>(std::count(bytes.begin(), bytes.end(), '\n'));
        times.reserve(static_cast<std::size_t>(breaks));
        for (std::uint64_t k = firstBreak; k < firstBreak + breaks; ++k)
            times.push_back(Time(k));
    }
    snapshot.AddMemory(std::move(bytes), std::move(times));
}

std::size_t CPaneRun::MemoryBytes() const
{
    return m_chunks.size() * m_chunkSize + m_positions.size() * sizeof(std::uint64_t) +
           m_times.size() * sizeof(std::int64_t) + m_tags.MemoryBytes();
}

} // namespace ui

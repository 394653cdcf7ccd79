#include "RecordIndex.h"

#include <algorithm>

namespace record {

namespace {

// Bytes scanned, and times read, a block at a time.
constexpr std::size_t kReadBlock = 64 * 1024;

} // namespace

CIndexBuilder::CIndexBuilder() : m_times(kTimesHeader, kTimesHeaderSize)
{
    m_checkpoints.push_back(m_last);
}

std::uint64_t CIndexBuilder::Delta(Millis time)
{
    const Millis later = std::max(time, m_time);
    const std::uint64_t delta = static_cast<std::uint64_t>(later - m_time);
    m_time = later;
    return delta;
}

void CIndexBuilder::MakeCheckpoint(std::uint64_t offset, CLineSplitter::State state)
{
    m_last = Checkpoint{offset, m_lines, m_timesInFile + m_times.size(), m_time, state};
    m_checkpoints.push_back(m_last);
}

void CIndexBuilder::AddBytes(const char* data, std::size_t size, Millis readTime)
{
    for (std::size_t done = 0; done < size;) {
        const std::size_t slice = std::min(size - done, kReadBlock);
        const std::uint64_t sliceStart = m_bytes + done;
        m_splitter.Split(data + done, slice, [&](std::size_t at) {
            if (m_lines - m_last.line >= kCheckpointLines)
                MakeCheckpoint(sliceStart + at, CLineSplitter::State{});
            PutLineTime(m_times, Delta(readTime));
            ++m_lines;
        });
        done += slice;
        // A long line gets checkpoints of its own, so finding where the next
        // one begins never reads far.
        if (m_bytes + done - m_last.offset >= kCheckpointBytes)
            MakeCheckpoint(m_bytes + done, m_splitter.GetState());
    }
    m_bytes += size;
}

void CIndexBuilder::AddEvent(EventKind kind, Millis time)
{
    PutEventTime(m_times, kind, Delta(time));
    m_events.push_back(RecordEvent{kind, m_time, m_lines, m_bytes});
}

void CIndexBuilder::Committed()
{
    m_timesInFile += m_times.size();
    m_times.clear();
    m_checkpoints.clear();
    m_events.clear();
}

const Checkpoint& CheckpointFor(const std::vector<Checkpoint>& checkpoints, std::uint64_t line)
{
    // The first checkpoint has line 0, so there is always one.
    const auto after = std::upper_bound(checkpoints.begin(), checkpoints.end(), line,
                                        [](std::uint64_t l, const Checkpoint& c) { return l < c.line; });
    return *(after - 1);
}

std::vector<Millis> ReadLineTimes(const CRecordFile& times, std::uint64_t timesEnd, const Checkpoint& from,
                                  std::uint64_t first, std::size_t count)
{
    std::vector<Millis> found;
    found.reserve(count);
    std::string block;
    std::size_t decoded = 0;  // of block
    std::uint64_t next = from.timesOffset;  // in the file, after block
    std::uint64_t line = from.line;
    Millis time = from.time;
    while (found.size() < count) {
        CTimesDecoder decoder(block.data() + decoded, block.size() - decoded);
        CTimesDecoder::Entry entry;
        CTimesDecoder::Result result = CTimesDecoder::Result::End;
        while (found.size() < count && (result = decoder.Next(entry)) == CTimesDecoder::Result::Entry) {
            time += static_cast<Millis>(entry.delta);
            if (!entry.isEvent && line++ >= first)
                found.push_back(time);
        }
        decoded += decoder.Position();
        if (found.size() == count || result == CTimesDecoder::Result::Bad || next >= timesEnd)
            break;
        // What is left of an entry cut by the block's end goes first.
        block.erase(0, decoded);
        decoded = 0;
        const std::size_t kept = block.size();
        block.resize(kept + static_cast<std::size_t>(std::min<std::uint64_t>(kReadBlock, timesEnd - next)));
        const std::size_t read = times.ReadAt(next, block.data() + kept, block.size() - kept);
        block.resize(kept + read);
        next += read;
        if (read == 0)
            break;
    }
    return found;
}

std::optional<std::uint64_t> FindLineStart(const CRecordFile& bytes, std::uint64_t bytesEnd, const Checkpoint& from,
                                           std::uint64_t line)
{
    CLineSplitter splitter(from.state);
    std::uint64_t begun = from.line;
    std::string block(kReadBlock, '\0');
    for (std::uint64_t offset = from.offset; offset < bytesEnd;) {
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(kReadBlock, bytesEnd - offset));
        const std::size_t read = bytes.ReadAt(offset, block.data(), want);
        if (read == 0)
            break;
        std::optional<std::uint64_t> start;
        splitter.Split(block.data(), read, [&](std::size_t at) {
            if (begun++ == line)
                start = offset + at;
        });
        if (start)
            return start;
        offset += read;
    }
    return std::nullopt;
}

} // namespace record

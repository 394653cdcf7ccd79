#pragma once

// What a record knows of its lines without keeping them: sparse checkpoints
// in memory, from which a line's start is found by reading the bytes file
// forwards, and a line's time by reading the times file forwards; and the
// few events, kept whole.
//
// A checkpoint is made before every kCheckpointLines-th line and after every
// kCheckpointBytes bytes, so a look-up reads at most about that much. A
// record of a day at 11,520 B/s (about 14 million lines of NMEA) holds some
// 7,000 checkpoints: a few hundred kilobytes.

#include "LineSplitter.h"
#include "RecordFile.h"
#include "TimesCodec.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace record {

constexpr std::uint64_t kCheckpointLines = 2048;
constexpr std::uint64_t kCheckpointBytes = 256 * 1024;

// An event of a record, and where it happened: before line `line` began,
// after `offset` bytes.
struct RecordEvent
{
    EventKind kind;
    Millis time;
    std::uint64_t line;
    std::uint64_t offset;

    bool operator==(const RecordEvent& other) const
    {
        return kind == other.kind && time == other.time && line == other.line && offset == other.offset;
    }
};

// A place in both files from which to read on: `line` lines have begun in
// the first `offset` bytes, their times end at `timesOffset` in the times
// file, the last of them at `time`; `state` is the splitter's there.
struct Checkpoint
{
    std::uint64_t offset = 0;
    std::uint64_t line = 0;
    std::uint64_t timesOffset = kTimesHeaderSize;
    Millis time = 0;
    CLineSplitter::State state;
};

// The writer's side: takes the received bytes and the events in order, and
// makes the times file's bytes, the checkpoints and the events. What it made
// is taken out after each batch written (Take*), and Committed once the
// times are in the file.
class CIndexBuilder
{
public:
    CIndexBuilder();

    void AddBytes(const char* data, std::size_t size, Millis readTime);
    void AddEvent(EventKind kind, Millis time);

    // The times file's bytes made since the last Committed (the header first).
    const std::string& Times() const { return m_times; }
    std::vector<Checkpoint>& NewCheckpoints() { return m_checkpoints; }
    std::vector<RecordEvent>& NewEvents() { return m_events; }
    // The times made so far are in the file; the new checkpoints and events
    // have been taken.
    void Committed();

    std::uint64_t Bytes() const { return m_bytes; }
    std::uint64_t Lines() const { return m_lines; }
    std::uint64_t TimesInFile() const { return m_timesInFile; }

private:
    std::uint64_t Delta(Millis time);
    void MakeCheckpoint(std::uint64_t offset, CLineSplitter::State state);

    CLineSplitter m_splitter;
    std::uint64_t m_bytes = 0;
    std::uint64_t m_lines = 0;
    Millis m_time = 0;
    Checkpoint m_last;  // the latest checkpoint made
    std::uint64_t m_timesInFile = 0;
    std::string m_times;
    std::vector<Checkpoint> m_checkpoints;
    std::vector<RecordEvent> m_events;
};

// The read side. `checkpoints` are in order, the first at the start.

// The checkpoint to read on from for line `line`: the last one before it began.
const Checkpoint& CheckpointFor(const std::vector<Checkpoint>& checkpoints, std::uint64_t line);

// The times of lines [first, first + count) that have begun, from the times
// file up to `timesEnd`, reading on from `from` (CheckpointFor(first)).
std::vector<Millis> ReadLineTimes(const CRecordFile& times, std::uint64_t timesEnd, const Checkpoint& from,
                                  std::uint64_t first, std::size_t count);

// Where line `line` begins in the bytes file up to `bytesEnd`, reading on
// from `from` (CheckpointFor(line)); none when it has not begun there.
std::optional<std::uint64_t> FindLineStart(const CRecordFile& bytes, std::uint64_t bytesEnd, const Checkpoint& from,
                                           std::uint64_t line);

} // namespace record

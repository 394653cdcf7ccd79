#pragma once

// What a pane held at one moment, to be written out on another thread while
// the pane goes on: its text as parts in order, each either bytes copied
// from memory, or a stretch of a record (the record itself, shared, and the
// points to read it by: what a record has written never changes). Taking a
// snapshot of a pane read from its records copies only its memory: a pane
// of a gigabyte is not copied.
//
// With times, each line is written after its time ("HH:MM:SS.mmm "), the
// time of the break that ends it (0: none), the last line's given apart.
// Nothing in it changes once taken; any thread may write it out.

#include "RecordSpan.h"

#include <WatchRecord.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace ui {

class CPaneSnapshot
{
public:
    // A stretch of a record: pane bytes [begin, end) of a stream whose
    // points (SpanPoint) cover it; its breaks are the stream's from
    // `firstBreak` on, and break k ends the record's line k + lineShift.
    struct RecordPart
    {
        std::shared_ptr<const record::CWatchRecord> record;
        std::vector<SpanPoint> points;
        std::uint64_t begin = 0;
        std::uint64_t end = 0;
        std::uint64_t firstBreak = 0;
        std::uint64_t breaks = 0;  // in [begin, end)
        std::uint64_t lineShift = 0;
        std::optional<std::pair<std::uint64_t, std::int64_t>> clearedLine;  // a break's own time
    };

    explicit CPaneSnapshot(bool keepsTimes = false) : m_keepsTimes(keepsTimes) {}
    // A snapshot of these pane bytes, without times.
    static CPaneSnapshot OfBytes(std::string paneBytes);

    bool KeepsTimes() const { return m_keepsTimes; }
    // Bytes from memory, and the times of their breaks (with times only).
    void AddMemory(std::string bytes, std::vector<std::int64_t> times);
    void AddRecord(RecordPart part);
    // The time of the last line, which no break ends.
    void SetLastLineTime(std::int64_t time) { m_lastLineTime = time; }

    std::uint64_t Size() const;

    // Calls out(data, size) with what the snapshot holds, in order, the
    // times before the lines with times; stops when out returns false, and
    // returns false then.
    using Out = std::function<bool(const char* data, std::size_t size)>;
    bool Write(const Out& out) const;
    // All of it at once: for tests and small panes.
    std::string Bytes() const;

private:
    struct Part
    {
        std::string bytes;                // from memory
        std::vector<std::int64_t> times;  // of its breaks, with times
        std::optional<RecordPart> stretch;
        std::uint64_t breaks = 0;
    };
    class CTimes;

    std::uint64_t SizeOf(const Part& part) const;
    bool ForEachPiece(const Part& part, const Out& piece) const;
    // The time of the first break from part `from` on.
    std::int64_t TimeOfFirstBreak(std::size_t from) const;

    bool m_keepsTimes;
    std::vector<Part> m_parts;
    std::int64_t m_lastLineTime = 0;
};

} // namespace ui

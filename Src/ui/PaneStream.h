#pragma once

// The text a pane received while one record took the same bytes (or, with
// no record, received text held in memory only). The pane gets every byte
// the record gets, in the same order, record offset 0 first; so the pane
// bytes of the stream stand for the record's bytes, each line break (CR LF,
// CR, LF) as one '\n'.
//
// What the record has written is read back from it, not held: the stream
// keeps one tag (half a byte) a line break and, every so many breaks or
// bytes (Sizes), a point where pane bytes and record bytes line up (a
// span between two points is read from the record at once). What the record
// has not written yet stays in memory, in a run (CPaneRun), and is let go a
// span at a time once the record has it (Settle), after a look at the
// record's copy: a record that does not hold what the pane got, or cannot
// be read, is not taken from any more, and the stream keeps what comes in
// memory from then on, as it does when the record has stopped.
//
// Times: a break read from the record has its line's time from the record's
// times (the record numbers lines as the pane breaks them); one held in
// memory, the time it came with.

#include "PaneRun.h"
#include "RecordSpan.h"

#include <WatchRecord.h>

#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace ui {

class CPaneStream final : public CPaneSource
{
public:
    // How long a span is at most (its breaks, its bytes) and how much memory
    // a chunk of the unwritten text takes.
    struct Sizes
    {
        std::uint64_t spanBreaks = 128;
        std::uint64_t spanBytes = 32 * 1024;
        std::size_t chunk = 64 * 1024;
    };

    CPaneStream(std::shared_ptr<record::CWatchRecord> record, const Sizes& sizes);

    const std::shared_ptr<record::CWatchRecord>& Record() const { return m_record; }
    std::uint64_t End() const { return m_tail.End(); }
    std::uint64_t Breaks() const { return m_tail.Breaks(); }

    // The device's line goes on: pane bytes without a '\n', one a received byte.
    void AppendText(const char* data, std::size_t size);
    // The device ended its line with `receivedBytes` bytes (CR or LF: 1; CR LF: 2).
    void AppendBreak(std::uint8_t tag, std::int64_t time, unsigned receivedBytes);
    // An LF that ends a CR received before it: the stream's last break
    // stands for two bytes now. Before anything else came into the stream,
    // the CR was another record's, and the LF is a line of its own in this
    // record, which the pane does not show.
    void TakeLf();
    // Nothing more comes into this stream.
    void Finish();
    // Whether the last thing taken was text: the device's line goes on.
    bool InLine() const { return m_inLine; }
    // The device's line goes on from the stream before (it is the record's
    // first line, which began later than the pane's line did).
    void ContinueLine();
    // Lets go of what the record has written since; true when the stream
    // may still let go of more later.
    bool Settle();
    // Nothing before the end is needed any more (the pane was cleared).
    void ForgetAll();

    // Where the text read from the record ends; memory from there on.
    std::uint64_t SettledEnd() const { return m_points[m_settled].pane; }

    // CPaneSource.
    std::uint64_t BreakAt(std::uint64_t k) const override;
    std::uint64_t BreaksBefore(std::uint64_t pos) const override;
    char At(std::uint64_t pos) const override;
    bool Read(std::uint64_t begin, std::uint64_t end, CPieceSink sink) const override;
    std::uint8_t Tag(std::uint64_t k) const override { return m_tail.Tag(k); }
    void SetTag(std::uint64_t k, std::uint8_t tag) override { m_tail.SetTag(k, tag); }
    std::int64_t Time(std::uint64_t k) const override;
    void AddTo(CPaneSnapshot& snapshot, std::uint64_t begin, std::uint64_t end, std::uint64_t firstBreak) const override;
    std::size_t MemoryBytes() const override;
    std::uint64_t ReadBackBytes(std::uint64_t begin, std::uint64_t end) const override;

private:
    // A span read back, kept for the next reads.
    struct Span
    {
        std::size_t number = 0;  // of its first point in m_points
        std::uint64_t used = 0;  // when it was read last
        std::string bytes;
        std::vector<std::uint32_t> breaks;
    };
    static constexpr std::size_t kCachedSpans = 8;

    void PointDue();
    // The span (an index of m_points) holding `pos` / break `k`, both read from the record.
    std::size_t SpanOfPosition(std::uint64_t pos) const;
    std::size_t SpanOfBreak(std::uint64_t k) const;
    const Span& ReadBack(std::size_t span) const;
    // Whether the record holds the span as the memory has it.
    bool RecordMatches(std::size_t span) const;
    std::uint64_t SettledBreaks() const { return m_points[m_settled].brk; }

    std::shared_ptr<record::CWatchRecord> m_record;
    Sizes m_sizes;
    CPaneRun m_tail;
    std::uint64_t m_raw = 0;        // received bytes taken
    bool m_inLine = false;          // the last thing taken was text
    std::uint64_t m_lineShift = 0;  // record lines before the one that ends with break 0
    std::vector<SpanPoint> m_points;
    std::size_t m_settled = 0;             // spans before m_points[m_settled] are read from the record
    bool m_trusted = true;
    bool m_checkedOnce = false;
    bool m_finished = false;
    // The break that ends the line the pane was cleared in, or the line
    // that went on from the stream before: its time is the one it came
    // with, as the pane began that line at another time than the record.
    std::optional<std::uint64_t> m_clearedLineBreak;
    std::int64_t m_clearedLineTime = 0;

    mutable std::vector<Span> m_spans;
    mutable std::uint64_t m_useClock = 0;
    mutable std::set<std::size_t> m_unreadable;  // spans the record could not give back
    mutable std::string m_scratch;
    mutable std::uint64_t m_timesFirst = 0;  // record line of m_times[0]
    mutable std::vector<record::Millis> m_times;
};

} // namespace ui

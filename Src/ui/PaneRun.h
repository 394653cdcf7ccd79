#pragma once

// Pane bytes held in memory, added at the end only: the operator's notes
// and what was sent, received text that has no record, and the received
// text its record has not written yet. Bytes go into chunks of a fixed
// size; each line break keeps its position, tag and time.
//
// The front can be let go (DropBefore) once the pane reads it from
// elsewhere: whole chunks before a position, and the positions and times of
// the breaks before it; their tags stay until ForgetTagsBefore. Offsets and
// break numbers go on from where they were.
//
// Memory: the bytes, plus 16 bytes a line break held, and half a byte a
// tag (PaneTags.h).

#include "PaneSource.h"
#include "PaneTags.h"

#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace ui {

class CPaneRun final : public CPaneSource
{
public:
    explicit CPaneRun(std::size_t chunkSize);

    std::uint64_t End() const { return m_end; }
    std::uint64_t Breaks() const { return m_breaks; }
    // The first break whose position and time are still held.
    std::uint64_t FirstHeldBreak() const { return m_breaks - m_positions.size(); }

    // Every '\n' of the bytes is a break with `tag` and `time`.
    void Append(const char* data, std::size_t size, std::uint8_t tag, std::int64_t time);
    // Bytes without a '\n'.
    void AppendText(const char* data, std::size_t size);
    void AppendBreak(std::uint8_t tag, std::int64_t time);

    // Lets go of the bytes of the chunks that end at or before `pos`, and of
    // the positions and times of the breaks before `firstKept`.
    void DropBefore(std::uint64_t pos, std::uint64_t firstKept);
    void ForgetTagsBefore(std::uint64_t k);

    // The bytes of [begin, end), which must be held, appended to `out`.
    void CopyTo(std::uint64_t begin, std::uint64_t end, std::string& out) const;
    // Whether [begin, end) holds exactly `bytes`.
    bool Holds(std::uint64_t begin, const std::string& bytes) const;

    // CPaneSource. Positions of breaks, bytes and times must be held; a tag
    // or time let go reads as 0, and setting it does nothing.
    std::uint64_t BreakAt(std::uint64_t k) const override;
    std::uint64_t BreaksBefore(std::uint64_t pos) const override;
    char At(std::uint64_t pos) const override;
    bool Read(std::uint64_t begin, std::uint64_t end, CPieceSink sink) const override;
    std::uint8_t Tag(std::uint64_t k) const override;
    void SetTag(std::uint64_t k, std::uint8_t tag) override;
    std::int64_t Time(std::uint64_t k) const override;
    void AddTo(CPaneSnapshot& snapshot, std::uint64_t begin, std::uint64_t end, std::uint64_t firstBreak) const override;
    std::size_t MemoryBytes() const override;
    std::uint64_t ReadBackBytes(std::uint64_t, std::uint64_t) const override { return 0; }

private:
    void Put(const char* data, std::size_t size);

    std::size_t m_chunkSize;
    std::deque<std::unique_ptr<char[]>> m_chunks;
    std::uint64_t m_chunksBegin = 0;  // where the first chunk held begins
    std::uint64_t m_end = 0;
    std::uint64_t m_breaks = 0;
    std::deque<std::uint64_t> m_positions;  // of breaks [FirstHeldBreak(), m_breaks)
    std::deque<std::int64_t> m_times;       // the same breaks'
    CPaneTags m_tags;
};

} // namespace ui

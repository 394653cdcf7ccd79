#pragma once

// The text of a log pane: one byte a character (Windows-1251), '\n' the only
// line break. It is a sequence of pieces, each a range of a source that only
// grows (PaneSource.h):
//   - received text, one stream per record it went into (CPaneStream): read
//     back from the record once the record has written it, so that a pane
//     of a gigabyte holds under a byte a line in memory (a tag in half a
//     byte, a point to read from every 128 lines); held in memory until
//     then, and for good where there is no record or the record stopped;
//   - the operator's notes and the notes of what was sent, in memory
//     (CPaneRun).
// An edit anywhere splits pieces and adds or drops some; the sources stay as
// they are. Appending received text at the end grows the last piece. Lines
// are found by position or by number through the pieces (a handful, unless
// the operator edits a great deal) and their sources.
//
// Every line break carries a small tag and a time given when it was added
// (where it came from, what its line is, when the line began; 0 for no
// time); an edit elsewhere moves a break with them, and an erasure takes
// them with the break.
//
// Received text comes as the pane's reads break it up (AppendReceived,
// AppendReceivedBreak, ExtendReceivedBreak): it goes into the stream of the
// record set last (SetRecord), which must take exactly the same bytes, from
// its first on; Settle lets go of what the records have written since.
//
// Positions are byte offsets from the start; line n (from 0) starts after
// the n-th line break. Not thread-safe: one thread owns it; a snapshot
// (PaneSnapshot.h) is taken to write it out elsewhere.

#include "PaneRun.h"
#include "PaneSnapshot.h"
#include "PaneStream.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace ui {

class CPaneText
{
public:
    static constexpr std::size_t kBlockSize = 64 * 1024;

    // `blockSize`: the bytes a chunk of memory takes, and twice the bytes of
    // received text read back from a record at once (at most 128 lines).
    explicit CPaneText(std::size_t blockSize = kBlockSize);
    CPaneText(const CPaneText&) = delete;
    CPaneText& operator=(const CPaneText&) = delete;

    std::size_t Size() const { return m_size; }
    bool Empty() const { return m_size == 0; }
    // Line breaks plus one: an empty text is one empty line.
    std::size_t LineCount() const { return m_breaks + 1; }
    std::size_t LineStart(std::size_t line) const;
    // Where the line's break is, or Size() for the last line.
    std::size_t LineEnd(std::size_t line) const;
    std::size_t LineOf(std::size_t pos) const;
    char At(std::size_t pos) const;
    // The tag and time of the break that ends `line`; 0 for the last line,
    // which has none.
    std::uint8_t LineTag(std::size_t line) const;
    std::int64_t LineTime(std::size_t line) const;
    // Gives the break that ends `line` another tag; nothing for the last line.
    void SetLineTag(std::size_t line, std::uint8_t tag);

    // Text held in memory. Every line break in the bytes gets `tag` and `time`.
    void Append(const char* data, std::size_t size, std::uint8_t tag = 0, std::int64_t time = 0);
    void Append(const std::string& bytes, std::uint8_t tag = 0) { Append(bytes.data(), bytes.size(), tag); }
    void Insert(std::size_t pos, const char* data, std::size_t size, std::uint8_t tag = 0);
    void Erase(std::size_t pos, std::size_t size);
    // Empties the text; received text goes on into the same record.
    void Clear();

    // Received text, at the end. The record that the received bytes go into
    // from now on (none: they are held in memory).
    void SetRecord(std::shared_ptr<record::CWatchRecord> record);
    // Pane bytes of the device's current line, no '\n' among them.
    void AppendReceived(const char* data, std::size_t size);
    // The device ended its line with `receivedBytes` bytes (1: CR or LF; 2: CR LF).
    void AppendReceivedBreak(std::uint8_t tag, std::int64_t time, unsigned receivedBytes);
    // The tag of the break received last (0 when there is none).
    std::uint8_t LastReceivedTag() const;
    // An LF that ends the CR that ended the last read: the break received
    // last (a CR) stands for CR LF now, with `tag`.
    void ExtendReceivedBreak(std::uint8_t tag);
    // Lets go of the received text the records have written since the last
    // call: it is read from them from now on.
    void Settle();

    // Calls piece(const char* data, std::size_t size) for the bytes of
    // [begin, end) in order, a stretch at a time; stops early when piece
    // returns false. The piece must not read this text.
    template <typename PieceFn>
    void ForEachPiece(std::size_t begin, std::size_t end, PieceFn piece) const;
    std::string Bytes(std::size_t begin, std::size_t end) const;

    // The text as it is now, for writing it out on another thread; with the
    // times of the breaks when `withTimes`.
    CPaneSnapshot Snapshot(bool withTimes) const;
    // Memory held for the text, in bytes (its sources and its pieces).
    std::size_t MemoryBytes() const;
    // The bytes of the text read back from records rather than held.
    std::uint64_t ReadBackBytes() const;

private:
    // A range of a source: bytes [begin, end) of it, holding its breaks
    // [firstBreak, firstBreak + breaks).
    struct Range
    {
        CPaneSource* source;
        std::uint64_t begin;
        std::uint64_t end;
        std::uint64_t firstBreak;
        std::uint64_t breaks;

        std::uint64_t Size() const { return end - begin; }
    };

    // The piece holding position `pos` (< Size()).
    std::size_t PieceAt(std::size_t pos) const;
    // The piece holding break `k` (< line breaks), and the break's number in its source.
    std::pair<std::size_t, std::uint64_t> PieceOfBreak(std::size_t k) const;
    // Where break `k` is.
    std::size_t BreakPosition(std::size_t k) const;
    // Makes `pos` the start of a piece; returns that piece (or the count of
    // pieces, at the end).
    std::size_t Split(std::size_t pos);
    // Source bytes [begin, end) holding `breaks` breaks from `firstBreak` on,
    // at the end: the last piece grows when it ends where they begin.
    void AddAtEnd(CPaneSource* source, std::uint64_t begin, std::uint64_t end, std::uint64_t firstBreak,
                  std::uint64_t breaks);
    void Recount(std::size_t from);
    // Lets go of the streams no piece needs any more, and of the notes when
    // no piece holds any of them.
    void DropUnused();
    CPaneStream& Received() { return *m_streams.back(); }

    bool ReadPieces(std::size_t begin, std::size_t end, CPieceSink sink) const;

    std::size_t m_blockSize;
    CPaneStream::Sizes m_streamSizes;
    std::unique_ptr<CPaneRun> m_notes;  // what was typed and sent
    // Received text, one stream per record; the last takes what comes.
    std::vector<std::unique_ptr<CPaneStream>> m_streams;
    // The break received last, in its stream.
    CPaneStream* m_lastReceivedIn = nullptr;
    std::uint64_t m_lastReceived = 0;

    std::vector<Range> m_pieces;
    std::vector<std::size_t> m_bytesBefore;   // per piece: bytes in the pieces before it
    std::vector<std::size_t> m_breaksBefore;  // per piece: line breaks in the pieces before it
    std::size_t m_size = 0;
    std::size_t m_breaks = 0;
};

template <typename PieceFn>
void CPaneText::ForEachPiece(std::size_t begin, std::size_t end, PieceFn piece) const
{
    auto forward = [&piece](const char* data, std::size_t size) { return static_cast<bool>(piece(data, size)); };
    ReadPieces(begin, end, forward);
}

} // namespace ui

#pragma once

// The text of a log pane, kept once: one byte a character (Windows-1251),
// '\n' the only line break, in blocks of fixed size, each with the positions
// of its line breaks. Appending at the end costs what it copies; lines are
// found by position or by number in logarithmic time; an insertion or an
// erasure elsewhere costs at most a block's bytes plus a pass over the
// blocks. Memory is about one byte a byte plus five bytes a line.
//
// Every line break carries a small tag and a time given when it was added
// (where it came from, what its line is, when the line began; 0 for no
// time); an edit elsewhere moves a break with them, and an erasure takes
// them with the break.
//
// Positions are byte offsets from the start; line n (from 0) starts after
// the n-th line break. Not thread-safe: one thread owns it.

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
    static constexpr std::size_t kBlockSize = 256 * 1024;

    explicit CPaneText(std::size_t blockSize = kBlockSize);

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

    // Every line break in the bytes gets `tag` and `time`.
    void Append(const char* data, std::size_t size, std::uint8_t tag = 0, std::int64_t time = 0);
    void Append(const std::string& bytes, std::uint8_t tag = 0) { Append(bytes.data(), bytes.size(), tag); }
    void Insert(std::size_t pos, const char* data, std::size_t size, std::uint8_t tag = 0);
    void Erase(std::size_t pos, std::size_t size);
    void Clear();

    // Calls piece(const char* data, std::size_t size) for the bytes of
    // [begin, end) in order, one call per block touched; stops early when
    // piece returns false.
    template <typename Piece>
    void ForEachPiece(std::size_t begin, std::size_t end, Piece piece) const;
    std::string Bytes(std::size_t begin, std::size_t end) const;

private:
    struct Block
    {
        std::unique_ptr<char[]> bytes;
        std::size_t size = 0;
        std::vector<std::uint32_t> breaks;  // offsets of the '\n' bytes, ascending
        std::vector<std::uint8_t> tags;     // one per break
        std::vector<std::int64_t> times;    // one per break
    };

    Block NewBlock() const;
    // The block holding `pos`; a position at the end of a block belongs to
    // that block, so that an insertion there extends it.
    std::size_t BlockAt(std::size_t pos) const;
    // The block holding break `k` (from 0) and the break's index in it.
    std::pair<std::size_t, std::size_t> BreakAt(std::size_t k) const;
    // Fills `at` from its end and blocks inserted after it; returns the
    // index of the block that took the last byte.
    std::size_t Fill(std::size_t at, const char* data, std::size_t size, std::uint8_t tag, std::int64_t time);
    // Inserts into the block's index the breaks of its bytes [from, to),
    // which are new, moving the later ones by `to - from`.
    static void IndexInserted(Block& block, std::size_t from, std::size_t to, std::uint8_t tag, std::int64_t time);
    // Takes the breaks of [from, from + size), which are gone, out of the
    // block's index, moving the later ones back by `size`.
    static void IndexErased(Block& block, std::size_t from, std::size_t size);
    void Recount(std::size_t from);

    std::size_t m_blockSize;
    std::vector<Block> m_blocks;
    std::vector<std::size_t> m_bytesBefore;   // per block: bytes in the blocks before it
    std::vector<std::size_t> m_breaksBefore;  // per block: line breaks in the blocks before it
    std::size_t m_size = 0;
    std::size_t m_breaks = 0;
};

template <typename Piece>
void CPaneText::ForEachPiece(std::size_t begin, std::size_t end, Piece piece) const
{
    if (end > m_size)
        end = m_size;
    if (begin >= end)
        return;
    for (std::size_t b = BlockAt(begin); b < m_blocks.size() && begin < end; ++b) {
        const std::size_t first = begin - m_bytesBefore[b];
        const std::size_t count = std::min(m_blocks[b].size - first, end - begin);
        if (count == 0)
            continue;
        if (!piece(m_blocks[b].bytes.get() + first, count))
            return;
        begin += count;
    }
}

} // namespace ui

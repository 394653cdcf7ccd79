#pragma once

// Where received lines begin, by the rule a log pane breaks them:
//   CR LF, a CR alone, LF      one line break each
//   a CR that ends one read and an LF that starts the next are one break
// Line n (from 0) begins with the first byte after its n-th break, whatever
// that byte is: an empty line begins with its own break. A line has begun
// once such a byte has arrived; the line after a final break has not.
//
// Reads are fed as they come, split anywhere: the splitter carries over
// whether the last byte was a CR and whether the current line has begun.
// An empty read changes nothing.

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace record {

class CLineSplitter
{
public:
    struct State
    {
        bool afterCr = false;  // the last byte fed was a CR
        bool inLine = false;   // the current line has begun and not broken yet

        bool operator==(const State& other) const { return afterCr == other.afterCr && inLine == other.inLine; }
    };

    CLineSplitter() = default;
    explicit CLineSplitter(State state) : m_state(state) {}

    State GetState() const { return m_state; }

    // Calls begin(i) for every index i of data[0, size) at which a line
    // begins, in order.
    template <typename Begin>
    void Split(const char* data, std::size_t size, Begin begin);

    // The number of lines that begin in data[0, size).
    std::size_t Count(const char* data, std::size_t size)
    {
        std::size_t lines = 0;
        Split(data, size, [&lines](std::size_t) { ++lines; });
        return lines;
    }

private:
    State m_state;
};

// The index of the first CR or LF in data[from, size), or size. Eight bytes
// at a time: received text is mostly long runs without either.
inline std::size_t FindBreak(const char* data, std::size_t from, std::size_t size)
{
    constexpr std::uint64_t kOnes = 0x0101010101010101ull;
    constexpr std::uint64_t kHighs = 0x8080808080808080ull;
    for (; from + 8 <= size; from += 8) {
        std::uint64_t word;
        std::memcpy(&word, data + from, sizeof word);
        const std::uint64_t cr = word ^ (kOnes * '\r');
        const std::uint64_t lf = word ^ (kOnes * '\n');
        if ((((cr - kOnes) & ~cr) | ((lf - kOnes) & ~lf)) & kHighs)
            break;  // one of these eight bytes is a CR or an LF
    }
    while (from < size && data[from] != '\r' && data[from] != '\n')
        ++from;
    return from;
}

template <typename Begin>
void CLineSplitter::Split(const char* data, std::size_t size, Begin begin)
{
    if (size == 0)
        return;
    std::size_t i = 0;
    if (m_state.afterCr) {
        m_state.afterCr = false;
        if (data[0] == '\n')
            i = 1;  // the LF of a CR LF split between two reads
    }
    while (i < size) {
        if (!m_state.inLine) {
            begin(i);
            m_state.inLine = true;
        }
        i = FindBreak(data, i, size);
        if (i == size)
            return;
        m_state.inLine = false;
        if (data[i++] == '\r') {
            if (i == size)
                m_state.afterCr = true;
            else if (data[i] == '\n')
                ++i;
        }
    }
}

} // namespace record

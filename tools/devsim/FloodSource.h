#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace devsim {

// A known, checkable stream of bytes for load tests. It is made of 64-byte
// lines: a ten-digit line number counting from 0, a space, 51 upper-case
// letters and "\r\n". The letters of line n start at 'A' + n % 26 and go on
// through the alphabet, wrapping after 'Z'. The stream ends after exactly the
// requested count, in the middle of a line if need be.
class CFloodSource
{
public:
    static constexpr std::size_t kLineLength = 64;

    explicit CFloodSource(std::uint64_t total) : m_total(total) {}

    // The next at most `maxBytes` bytes of the stream.
    std::string Next(std::size_t maxBytes);

    std::uint64_t Total() const { return m_total; }
    std::uint64_t Remaining() const { return m_total - m_offset; }

    // Line `number` of the stream, whole.
    static std::string Line(std::uint64_t number);

private:
    std::uint64_t m_total;
    std::uint64_t m_offset = 0;
};

} // namespace devsim

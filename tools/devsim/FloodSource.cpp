#include "FloodSource.h"

#include <algorithm>
#include <cstdio>

namespace devsim {

std::string CFloodSource::Line(std::uint64_t number)
{
    char digits[16];
    std::snprintf(digits, sizeof digits, "%010llu", static_cast<unsigned long long>(number % 10000000000ULL));
    std::string line(digits);
    line += ' ';
    for (std::size_t i = 0; line.size() < kLineLength - 2; ++i)
        line += static_cast<char>('A' + (number + i) % 26);
    line += "\r\n";
    return line;
}

std::string CFloodSource::Next(std::size_t maxBytes)
{
    const std::uint64_t wanted = std::min<std::uint64_t>(maxBytes, Remaining());
    std::string out;
    out.reserve(static_cast<std::size_t>(wanted));
    while (out.size() < wanted) {
        const std::uint64_t lineNumber = m_offset / kLineLength;
        const std::size_t column = static_cast<std::size_t>(m_offset % kLineLength);
        const std::size_t take =
            static_cast<std::size_t>(std::min<std::uint64_t>(kLineLength - column, wanted - out.size()));
        out.append(Line(lineNumber), column, take);
        m_offset += take;
    }
    return out;
}

} // namespace devsim

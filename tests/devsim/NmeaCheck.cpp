#include "NmeaCheck.h"

#include <cstdio>

namespace devsimtest {

bool HasValidChecksum(const std::string& line)
{
    if (line.size() < 4 || line[0] != '$' || line[line.size() - 3] != '*')
        return false;
    unsigned sum = 0;
    for (std::size_t i = 1; i < line.size() - 3; ++i)
        sum ^= static_cast<unsigned char>(line[i]);
    char expected[3];
    std::snprintf(expected, sizeof expected, "%02X", sum);
    return line.compare(line.size() - 2, 2, expected) == 0;
}

} // namespace devsimtest

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

std::vector<std::string> Fields(const std::string& line)
{
    std::string body = line.substr(line.empty() || line[0] != '$' ? 0 : 1);
    body = body.substr(0, body.find('*'));
    std::vector<std::string> fields(1);
    for (const char c : body) {
        if (c == ',')
            fields.emplace_back();
        else
            fields.back() += c;
    }
    return fields;
}

std::vector<std::string> CrLfLines(const std::string& bytes)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = bytes.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(bytes.substr(start, end - start));
    return lines;
}

} // namespace devsimtest

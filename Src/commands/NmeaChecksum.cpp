#include "NmeaChecksum.h"

namespace commands {

std::string WithNmeaChecksum(const std::string& text)
{
    if (text.empty() || (text[0] != '$' && text[0] != '!'))
        return text;
    const std::size_t lineEnd = text.find_last_not_of("\r\n") + 1;
    const std::size_t star = text.find('*', 1);
    const std::size_t end = star < lineEnd ? star : lineEnd;
    unsigned char sum = 0;
    for (std::size_t i = 1; i < end; ++i)
        sum ^= static_cast<unsigned char>(text[i]);
    static const char kHex[] = "0123456789ABCDEF";
    return text.substr(0, end) + '*' + kHex[sum >> 4] + kHex[sum & 0x0F] + text.substr(lineEnd);
}

} // namespace commands

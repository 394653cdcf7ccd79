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

void CSentenceCheck::Add(const char* data, std::size_t size)
{
    for (std::size_t i = 0; i < size; ++i) {
        const char c = data[i];
        if (m_size++ == 0)
            m_first = c;
        else
            m_sum ^= static_cast<unsigned char>(c);
        m_last[0] = m_last[1];
        m_last[1] = m_last[2];
        m_last[2] = c;
    }
}

namespace {

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

} // namespace

CSentenceCheck::Result CSentenceCheck::Get() const
{
    const int high = HexDigit(m_last[1]);
    const int low = HexDigit(m_last[2]);
    if (m_size < 4 || (m_first != '$' && m_first != '!') || m_last[0] != '*' || high < 0 || low < 0)
        return Result::None;
    // The sum runs to the "*": take the last three bytes back out of it.
    const unsigned char body = m_sum ^ static_cast<unsigned char>('*') ^ static_cast<unsigned char>(m_last[1]) ^
                               static_cast<unsigned char>(m_last[2]);
    return body == high * 16 + low ? Result::Valid : Result::Broken;
}

} // namespace commands

#include "NmeaChecksum.h"

#include <cstring>

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

bool IsUpperLetter(char c)
{
    return c >= 'A' && c <= 'Z';
}

bool IsAddressByte(char c)
{
    return IsUpperLetter(c) || (c >= '0' && c <= '9');
}

} // namespace

void CSentenceCheck::Add(const char* data, std::size_t size)
{
    if (size == 0)
        return;
    std::size_t from = 0;
    if (m_size == 0) {
        m_first = data[0];
        from = 1;
    }
    m_size += size;
    if (!IsSentence())
        return;  // plain text: nothing after the first byte matters

    for (std::size_t i = size < 3 ? 0 : size - 3; i < size; ++i) {
        m_last[0] = m_last[1];
        m_last[1] = m_last[2];
        m_last[2] = data[i];
    }
    for (std::size_t i = from; i < size; ++i)
        m_sum ^= static_cast<unsigned char>(data[i]);
    if (!m_star)
        m_star = std::memchr(data + from, '*', size - from) != nullptr;
    if (m_address == Address::Reading)
        ReadAddress(data + from, size - from);
}

void CSentenceCheck::ReadAddress(const char* data, std::size_t size)
{
    for (std::size_t i = 0; i < size && m_address == Address::Reading; ++i) {
        const char c = data[i];
        if (c == ',')
            m_address = Address::Comma;
        else if (c == '*')
            m_address = Address::Star;
        else if (m_addressSize == kMaxAddress || !IsAddressByte(c))
            m_address = Address::Spoilt;
        else
            m_addressText[m_addressSize++] = c;
    }
}

bool CSentenceCheck::HasChecksum() const
{
    return IsSentence() && m_size >= 4 && m_last[0] == '*' && HexDigit(m_last[1]) >= 0 && HexDigit(m_last[2]) >= 0;
}

// Two letters of talker and three of type ("GPGGA", "AIVDM"), or "P", a
// maker and a type ("PCSI", "POACK", "PMTK314").
bool CSentenceCheck::PlausibleAddress() const
{
    if (m_address == Address::Spoilt || m_addressSize == 0 || !IsUpperLetter(m_addressText[0]))
        return false;
    if (m_addressText[0] == 'P')
        return m_addressSize >= 4;
    return m_addressSize == 5 && IsUpperLetter(m_addressText[1]);
}

CSentenceCheck::Result CSentenceCheck::Get() const
{
    switch (GetKind()) {
    case Kind::Valid:
        return Result::Valid;
    case Kind::Broken:
        return Result::Broken;
    default:
        return Result::None;
    }
}

CSentenceCheck::Kind CSentenceCheck::GetKind() const
{
    if (!IsSentence())
        return Kind::Text;
    if (HasChecksum()) {
        // The sum runs to the "*": take the last three bytes back out of it.
        const unsigned char body = m_sum ^ static_cast<unsigned char>('*') ^ static_cast<unsigned char>(m_last[1]) ^
                                   static_cast<unsigned char>(m_last[2]);
        return body == HexDigit(m_last[1]) * 16 + HexDigit(m_last[2]) ? Kind::Valid : Kind::Broken;
    }
    if (!m_star && PlausibleAddress())
        return Kind::Unchecked;
    return Kind::Text;
}

std::string CSentenceCheck::Type() const
{
    if (GetKind() == Kind::Text || !PlausibleAddress())
        return std::string();
    std::string type = m_first == '!' ? "!" : "";
    return type.append(m_addressText, m_addressSize);
}

} // namespace commands

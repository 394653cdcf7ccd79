#include "Nmea.h"

#include <cctype>
#include <cstdio>

namespace devsim::nmea {

namespace {

unsigned char XorOf(std::string_view body)
{
    unsigned char sum = 0;
    for (const char c : body)
        sum ^= static_cast<unsigned char>(c);
    return sum;
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    const char upper = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (upper >= 'A' && upper <= 'F')
        return upper - 'A' + 10;
    return -1;
}

ChecksumState CheckTail(std::string_view body, std::string_view tail)
{
    if (tail.size() != 2)
        return ChecksumState::Invalid;
    const int high = HexDigit(tail[0]);
    const int low = HexDigit(tail[1]);
    if (high < 0 || low < 0)
        return ChecksumState::Invalid;
    return (high * 16 + low) == XorOf(body) ? ChecksumState::Valid : ChecksumState::Invalid;
}

std::vector<std::string> SplitFields(std::string_view text)
{
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = text.find(',', start);
        fields.emplace_back(text.substr(start, comma - start));
        if (comma == std::string_view::npos)
            return fields;
        start = comma + 1;
    }
}

} // namespace

std::string Checksum(std::string_view body)
{
    static const char kDigits[] = "0123456789ABCDEF";
    const unsigned char sum = XorOf(body);
    return {kDigits[sum >> 4], kDigits[sum & 0x0F]};
}

std::string Sentence(std::string_view body)
{
    std::string text;
    text.reserve(body.size() + 6);
    text += '$';
    text += body;
    text += '*';
    text += Checksum(body);
    text += "\r\n";
    return text;
}

std::string BreakEveryNth(const std::string& text, unsigned every, unsigned& counter)
{
    if (every == 0)
        return text;
    std::string out = text;
    for (std::size_t start = 0; start < out.size();) {
        std::size_t end = out.find('\n', start);
        end = end == std::string::npos ? out.size() : end + 1;
        const std::size_t star = out.find('*', start);
        if (out[start] == '$' && star < end && ++counter % every == 0) {
            const std::size_t digit = out.find_first_of("0123456789", start + 1);
            if (digit < star)
                out[digit] = static_cast<char>('0' + (out[digit] - '0' + 1) % 10);
            else if (start + 1 < star)
                out[start + 1] ^= 0x20;  // the letter's other case
        }
        start = end;
    }
    return out;
}

std::string Fixed1(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", value);
    return text;
}

std::optional<CReceivedSentence> Parse(std::string_view line)
{
    if (line.empty() || line.front() != '$')
        return std::nullopt;
    std::string_view body = line.substr(1);

    CReceivedSentence sentence;
    const std::size_t star = body.find('*');
    if (star != std::string_view::npos) {
        sentence.m_checksum = CheckTail(body.substr(0, star), body.substr(star + 1));
        body = body.substr(0, star);
    }

    std::vector<std::string> fields = SplitFields(body);
    sentence.m_address = std::move(fields.front());
    if (sentence.m_address.empty())
        return std::nullopt;
    for (const char c : sentence.m_address) {
        if (!std::isalnum(static_cast<unsigned char>(c)))
            return std::nullopt;
    }
    fields.erase(fields.begin());
    sentence.m_fields = std::move(fields);
    return sentence;
}

} // namespace devsim::nmea

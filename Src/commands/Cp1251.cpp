#include "Cp1251.h"

#include <array>

namespace text {
namespace {

// The code page's upper half, 0x80-0xFF; 0x98 is unassigned and stands for
// itself.
constexpr char16_t kUpperHalf[128] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409, 0x2039, 0x040A,
    0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x0098, 0x2122,
    0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6,
    0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407, 0x00B0, 0x00B1, 0x0406, 0x0456,
    0x0491, 0x00B5, 0x00B6, 0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457, 0x0410,
    0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417, 0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D,
    0x041E, 0x041F, 0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427, 0x0428, 0x0429, 0x042A,
    0x042B, 0x042C, 0x042D, 0x042E, 0x042F, 0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437,
    0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F, 0x0440, 0x0441, 0x0442, 0x0443, 0x0444,
    0x0445, 0x0446, 0x0447, 0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F,
};

constexpr char kNoByte = 0;  // in the reverse table: the code page has no byte for it

// Byte of every UTF-16 unit that has one; 0 marks none (NUL itself is
// handled apart).
struct Reverse
{
    std::array<char, 0x10000> byteOf{};

    Reverse()
    {
        for (unsigned b = 1; b < 0x80; ++b)
            byteOf[b] = static_cast<char>(b);
        for (unsigned b = 0x80; b < 0x100; ++b)
            byteOf[kUpperHalf[b - 0x80]] = static_cast<char>(b);
    }
};

const Reverse& TheReverse()
{
    static const Reverse reverse;
    return reverse;
}

bool IsHighSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char32_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

} // namespace

char16_t Cp1251Char(unsigned char byte)
{
    return byte < 0x80 ? static_cast<char16_t>(byte) : kUpperHalf[byte - 0x80];
}

std::u16string FromCp1251(const char* data, std::size_t size)
{
    std::u16string text(size, u'\0');
    for (std::size_t i = 0; i < size; ++i)
        text[i] = Cp1251Char(static_cast<unsigned char>(data[i]));
    return text;
}

std::string ToCp1251(const char16_t* text, std::size_t size)
{
    const auto& byteOf = TheReverse().byteOf;
    std::string bytes;
    bytes.reserve(size);
    for (std::size_t i = 0; i < size; ++i) {
        const char16_t c = text[i];
        if (IsHighSurrogate(c) && i + 1 < size && IsLowSurrogate(text[i + 1]))
            ++i;  // one character outside the code page
        const char byte = c == 0 ? '\0' : byteOf[c];
        bytes += c != 0 && byte == kNoByte ? '?' : byte;
    }
    return bytes;
}

std::u16string Utf8ToUtf16(const std::string& utf8)
{
    std::u16string text;
    text.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        const int length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
        char32_t c = length == 1 ? lead : length == 2 ? lead & 0x1F : length == 3 ? lead & 0x0F : lead & 0x07;
        bool valid = length > 0 && i + length <= utf8.size();
        for (int k = 1; valid && k < length; ++k) {
            const auto trail = static_cast<unsigned char>(utf8[i + k]);
            valid = (trail & 0xC0) == 0x80;
            c = (c << 6) | (trail & 0x3F);
        }
        if (!valid || c > 0x10FFFF || IsHighSurrogate(c) || IsLowSurrogate(c)) {
            // One replacement for the lead and the continuation bytes after it.
            text += u'\xFFFD';
            std::size_t skip = 1;
            while (length > 1 && skip < static_cast<std::size_t>(length) && i + skip < utf8.size()
                   && (static_cast<unsigned char>(utf8[i + skip]) & 0xC0) == 0x80)
                ++skip;
            i += skip;
            continue;
        }
        i += static_cast<std::size_t>(length);
        if (c < 0x10000) {
            text += static_cast<char16_t>(c);
        } else {
            c -= 0x10000;
            text += static_cast<char16_t>(0xD800 + (c >> 10));
            text += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
        }
    }
    return text;
}

std::string Utf16ToUtf8(const std::u16string& text)
{
    std::string utf8;
    utf8.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (IsHighSurrogate(c) && i + 1 < text.size() && IsLowSurrogate(text[i + 1]))
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        else if (IsHighSurrogate(c) || IsLowSurrogate(c))
            c = 0xFFFD;
        if (c < 0x80) {
            utf8 += static_cast<char>(c);
        } else if (c < 0x800) {
            utf8 += static_cast<char>(0xC0 | (c >> 6));
            utf8 += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            utf8 += static_cast<char>(0xE0 | (c >> 12));
            utf8 += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            utf8 += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            utf8 += static_cast<char>(0xF0 | (c >> 18));
            utf8 += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            utf8 += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            utf8 += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return utf8;
}

} // namespace text

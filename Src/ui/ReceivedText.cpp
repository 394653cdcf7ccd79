#include "ReceivedText.h"

#include <Cp1251.h>

#include <array>
#include <cstring>

namespace ui {

namespace {

constexpr char16_t kControlPictures = 0x2400;  // U+2400 SYMBOL FOR NULL
constexpr char16_t kDeletePicture = 0x2421;    // U+2421 SYMBOL FOR DELETE
constexpr char16_t kReplacement = 0xFFFD;

// Both directions of the byte-to-character mapping, made once from the code
// page's own decoder.
struct Tables
{
    std::array<char16_t, 256> charOf{};
    std::array<unsigned char, 0x10000> byteOf{};

    Tables()
    {
        for (int b = 0; b < 256; ++b) {
            const char16_t c = text::Cp1251Char(static_cast<unsigned char>(b));
            if (b == '\n' || b == '\t')
                charOf[b] = static_cast<char16_t>(b);
            else if (b < 0x20)
                charOf[b] = static_cast<char16_t>(kControlPictures + b);
            else if (b == 0x7F)
                charOf[b] = kDeletePicture;
            else if (c >= 0x80 && c < 0xA0)
                charOf[b] = kReplacement;  // C1 range: only the unassigned 0x98 lands here
            else
                charOf[b] = c;
        }
        byteOf.fill('?');
        for (int b = 255; b >= 0; --b)
            byteOf[charOf[b]] = static_cast<unsigned char>(b);
        byteOf[u'\r'] = '\n';
    }
};

const Tables& TheTables()
{
    static const Tables tables;
    return tables;
}

} // namespace

void AppendPaneBytes(std::string& out, const char* data, std::size_t size, bool& afterCr)
{
    if (size == 0)
        return;
    const char* const end = data + size;
    if (afterCr && *data == '\n')
        ++data;  // the second half of a CR LF split between two reads
    afterCr = false;
    while (data != end) {
        const void* cr = std::memchr(data, '\r', static_cast<std::size_t>(end - data));
        if (!cr) {
            out.append(data, end);
            return;
        }
        const char* at = static_cast<const char*>(cr);
        out.append(data, at);
        out += '\n';
        data = at + 1;
        if (data == end)
            afterCr = true;
        else if (*data == '\n')
            ++data;
    }
}

char16_t PaneChar(unsigned char byte)
{
    return TheTables().charOf[byte];
}

char16_t* DecodePaneBytes(const char* data, std::size_t size, char16_t* out)
{
    const auto& charOf = TheTables().charOf;
    for (std::size_t i = 0; i < size; ++i)
        out[i] = charOf[static_cast<unsigned char>(data[i])];
    return out + size;
}

std::string ToPaneBytes(const char16_t* text, std::size_t size)
{
    const auto& byteOf = TheTables().byteOf;
    const auto isHigh = [](char16_t c) { return c >= 0xD800 && c <= 0xDBFF; };
    const auto isLow = [](char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; };
    std::string bytes;
    bytes.reserve(size);
    for (std::size_t i = 0; i < size; ++i) {
        const char16_t c = text[i];
        if (c == u'\r' && i + 1 < size && text[i + 1] == u'\n')
            continue;  // CR LF: the LF makes the break
        if (isHigh(c) && i + 1 < size && isLow(text[i + 1]))
            ++i;  // one character outside the code page, one '?'
        bytes += static_cast<char>(byteOf[c]);
    }
    return bytes;
}

} // namespace ui

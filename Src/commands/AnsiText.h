#pragma once

#include <cstddef>
#include <stdexcept>

namespace commands {

// A short text in the Cyrillic ANSI code page (Windows-1251), converted from a
// UTF-8 literal while compiling:
//
//     constexpr AnsiText kSave = Ansi("Сохранить настройки");
//
// Only ASCII and the Cyrillic letters of the code page (А-я, Ё, ё) are
// accepted; anything else, or a text longer than the capacity, makes the
// constant expression fail to compile.
struct AnsiText
{
    static constexpr std::size_t kCapacity = 63;

    char data[kCapacity + 1] = {};
    std::size_t size = 0;

    constexpr const char* c_str() const { return data; }
};

namespace detail {

constexpr char ToCp1251Byte(unsigned codePoint)
{
    if (codePoint < 0x80)
        return static_cast<char>(codePoint);
    if (codePoint >= 0x0410 && codePoint <= 0x044F) // А..я
        return static_cast<char>(0xC0 + (codePoint - 0x0410));
    if (codePoint == 0x0401) // Ё
        return static_cast<char>(0xA8);
    if (codePoint == 0x0451) // ё
        return static_cast<char>(0xB8);
    throw std::invalid_argument("character outside ASCII and the Cyrillic letters");
}

} // namespace detail

constexpr AnsiText Ansi(const char* utf8)
{
    AnsiText text;
    std::size_t i = 0;
    while (utf8[i] != '\0') {
        const unsigned lead = static_cast<unsigned char>(utf8[i]);
        unsigned codePoint = lead;
        if (lead >= 0x80) {
            // The letters accepted all take two bytes: 110xxxxx 10xxxxxx.
            const unsigned trail = static_cast<unsigned char>(utf8[i + 1]);
            if ((lead & 0xE0) != 0xC0 || (trail & 0xC0) != 0x80)
                throw std::invalid_argument("not a two-byte UTF-8 sequence");
            codePoint = ((lead & 0x1F) << 6) | (trail & 0x3F);
            ++i;
        }
        ++i;
        if (text.size == AnsiText::kCapacity)
            throw std::length_error("text longer than AnsiText::kCapacity");
        text.data[text.size++] = detail::ToCp1251Byte(codePoint);
    }
    return text;
}

} // namespace commands

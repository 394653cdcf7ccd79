#pragma once

#include <cstddef>
#include <string>

// Windows-1251, the program's narrow text, to and from UTF-16 (the wide
// text of the window systems) and UTF-8 (the texts written in the sources),
// by the code page's own table, whatever the machine's locale. Any thread.
namespace text {

// The character of a byte: 0x00-0x7F keep their code points, and the
// unassigned byte 0x98 comes out as U+0098.
char16_t Cp1251Char(unsigned char byte);

// Every byte maps to one UTF-16 unit.
std::u16string FromCp1251(const char* data, std::size_t size);
inline std::u16string FromCp1251(const std::string& bytes) { return FromCp1251(bytes.data(), bytes.size()); }

// Characters the code page cannot hold become '?', one for each character
// (a surrogate pair is one character, a lone surrogate another).
std::string ToCp1251(const char16_t* text, std::size_t size);
inline std::string ToCp1251(const std::u16string& text) { return ToCp1251(text.data(), text.size()); }

// UTF-8 to UTF-16 and back; an invalid sequence gives U+FFFD.
std::u16string Utf8ToUtf16(const std::string& utf8);
std::string Utf16ToUtf8(const std::u16string& text);

// UTF-8 text (a caption written in the sources) as the program's narrow text.
inline std::string Utf8ToCp1251(const std::string& utf8) { return ToCp1251(Utf8ToUtf16(utf8)); }

} // namespace text

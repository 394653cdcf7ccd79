#pragma once

#include <QString>

#include <cstddef>
#include <string>

// Conversion between Windows-1251 bytes (the program's narrow text) and
// QString. Both functions may be called from any thread.
namespace text {

// Every byte maps to one character; 0x00-0x1F and 0x7F keep their code
// points, and the unassigned byte 0x98 comes out as U+0098.
QString FromCp1251(const char* data, std::size_t size);

// Characters the code page cannot hold become '?'.
std::string ToCp1251(const QString& text);

} // namespace text

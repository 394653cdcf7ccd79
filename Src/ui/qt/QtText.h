#pragma once

// The program's narrow text (Windows-1251) as Qt holds text, both ways.

#include <Cp1251.h>

#include <QString>

#include <cstring>
#include <string>

namespace text {

inline QString ToQString(const char* cp1251, std::size_t size)
{
    QString text(static_cast<qsizetype>(size), Qt::Uninitialized);
    for (std::size_t i = 0; i < size; ++i)
        text[static_cast<qsizetype>(i)] = QChar(Cp1251Char(static_cast<unsigned char>(cp1251[i])));
    return text;
}

inline QString ToQString(const char* cp1251)
{
    return cp1251 ? ToQString(cp1251, std::strlen(cp1251)) : QString();
}

inline QString ToQString(const std::string& cp1251)
{
    return ToQString(cp1251.data(), cp1251.size());
}

inline std::string FromQString(const QString& text)
{
    return ToCp1251(reinterpret_cast<const char16_t*>(text.utf16()), static_cast<std::size_t>(text.size()));
}

} // namespace text

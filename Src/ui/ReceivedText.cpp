#include "ReceivedText.h"

#include <Cp1251.h>

namespace ui {

namespace {

constexpr char16_t kControlPictures = 0x2400;  // U+2400 SYMBOL FOR NULL
constexpr char16_t kDeletePicture = 0x2421;    // U+2421 SYMBOL FOR DELETE
constexpr char16_t kReplacement = 0xFFFD;

} // namespace

void AppendReceivedChunk(QString& out, const char* data, std::size_t count)
{
    const QString decoded = text::FromCp1251(data, count);
    const int size = decoded.size();
    for (int i = 0; i < size; ++i) {
        const char16_t c = decoded.at(i).unicode();
        if (c == u'\r') {
            // CR LF, and a CR before the chunk's own line feed, are one break.
            if (i + 1 == size || decoded.at(i + 1) == QLatin1Char('\n'))
                continue;
            out += QLatin1Char('\n');
        } else if (c == u'\n' || c == u'\t' || (c >= 0x20 && c < 0x7F) || c >= 0xA0) {
            out += QChar(c);
        } else if (c < 0x20) {
            out += QChar(char16_t(kControlPictures + c));
        } else if (c == 0x7F) {
            out += QChar(kDeletePicture);
        } else {
            out += QChar(kReplacement);  // C1 range: only the unassigned 0x98 lands here
        }
    }
    out += QLatin1Char('\n');
}

} // namespace ui

#include "PrintableText.h"

namespace traffic {

bool IsPrintable(char c)
{
    const unsigned char b = static_cast<unsigned char>(c);
    if (b == '\t' || (b >= 0x20 && b <= 0x7E) || b >= 0xC0)  // ASCII; А..я
        return true;
    switch (b) {
    case 0xA8:  // Ё
    case 0xB8:  // ё
    case 0x84:  // „
    case 0x85:  // …
    case 0x91:  // ‘
    case 0x92:  // ’
    case 0x93:  // “
    case 0x94:  // ”
    case 0x96:  // –
    case 0x97:  // —
    case 0xA0:  // no-break space
    case 0xAB:  // «
    case 0xB0:  // °
    case 0xB9:  // №
    case 0xBB:  // »
        return true;
    default:
        return false;
    }
}

} // namespace traffic

#pragma once

namespace traffic {

// Whether `c` is printable text in Windows-1251, as a device that talks in
// words sends it: Latin and Cyrillic letters, digits, punctuation (the
// ASCII marks, and « » „ “ ” ‘ ’ – — … № °), space, no-break space and TAB.
// Control bytes and the rarely used symbols of the upper half are not: at
// a wrong rate a UART delivers many of both.
bool IsPrintable(char c);

} // namespace traffic

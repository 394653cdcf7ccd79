#pragma once

// How received bytes read in a log pane. A pane keeps its text as bytes,
// one byte a character: Windows-1251, with '\n' as the only line break.
//
// From the device (AppendPaneBytes):
//   CR LF, a CR alone, LF       one line break; a CR that ends one read and
//                               an LF that starts the next are one break too
//   every other byte            kept as it is
//
// On the screen and in what is copied (PaneChar):
//   LF                          the line break
//   TAB                         a tab
//   NUL and the other control   the matching Control Pictures symbol,
//   bytes 0x01-0x1F, DEL 0x7F   U+2400-U+241F, U+2421 (NUL shows as ␀)
//   0x98 (unassigned)           U+FFFD
//   every other byte            its Windows-1251 character
//
// Text typed or pasted into a pane comes back the same way (ToPaneBytes):
// each character shown becomes its byte again, CR LF and a CR alone become
// LF, and a character the pane cannot hold becomes '?'.

#include <cstddef>
#include <string>

namespace ui {

// Appends the pane bytes of `size` received bytes to `out`. `afterCr` carries
// over between reads: true when the previous read ended in a CR.
void AppendPaneBytes(std::string& out, const char* data, std::size_t size, bool& afterCr);

// The character a pane byte shows as. Any thread.
char16_t PaneChar(unsigned char byte);

// The text `size` pane bytes show as, into `out`, one character a byte;
// returns where it ended.
char16_t* DecodePaneBytes(const char* data, std::size_t size, char16_t* out);

// The pane bytes of typed or pasted text (UTF-16).
std::string ToPaneBytes(const char16_t* text, std::size_t size);
inline std::string ToPaneBytes(const std::u16string& text) { return ToPaneBytes(text.data(), text.size()); }

} // namespace ui

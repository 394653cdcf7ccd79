#pragma once

// How received bytes read in a log pane. Bytes are Windows-1251 text, shown
// as such, and each chunk is followed by one line feed. So that nothing a
// device sends is lost from sight:
//   CR LF, LF, and a CR alone     one line break (a CR that ends a chunk
//                                 pairs with the line feed after the chunk)
//   TAB                           a tab
//   NUL and the other control     the matching Control Pictures symbol,
//   bytes 0x01-0x1F, DEL 0x7F     U+2400-U+241F, U+2421 (NUL shows as ␀)
//   0x98 (unassigned)             U+FFFD
// The rendering of a chunk does not depend on its neighbours, so chunks may
// be appended one by one or many at once with the same result.

#include <QString>

#include <cstddef>

namespace ui {

// Appends a chunk's display form and the line feed that follows it.
void AppendReceivedChunk(QString& out, const char* data, std::size_t count);

} // namespace ui

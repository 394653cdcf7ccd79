#pragma once

// How a log pane lays its lines out in columns of a fixed-pitch font, the
// same for every window system: the view asks for the cells of the lines in
// view and paints them, and maps a click's column back to a position.
//
// As text (the default), a line's bytes follow one another, a tab running to
// the next tab stop, and a selected line break shows as one selected cell
// after the line. In hex, a line shows as the hex of its bytes, then, dimmed,
// how the device ended it ("0D 0A"), then its bytes as characters:
//
//     24 47 50 0D 0A  $GP
//
// The caret and the selection stay byte positions in both.

#include "PaneModel.h"

#include <cstddef>
#include <string>
#include <vector>

namespace ui {

struct PaneCell
{
    std::size_t column;
    unsigned char byte;  // the pane byte shown (hex digits and spaces are ASCII)
    bool selected;
    bool dim;            // a line end in hex
};

class CPaneLayout
{
public:
    CPaneLayout(const CPaneModel& model, bool hex) : m_model(model), m_hex(hex) {}

    bool Hex() const { return m_hex; }

    // The cells of `line` in columns [first, first + count), in column
    // order; columns without a cell (a tab's) are blank.
    void Row(std::size_t line, std::size_t first, std::size_t count, std::vector<PaneCell>& cells) const;
    // Where the caret stands for position `pos`.
    std::size_t ColumnOf(std::size_t pos) const;
    // The position a click on `column` of `line` means.
    std::size_t PositionAt(std::size_t line, std::size_t column) const;

    // [begin, end) as copied from this layout: the text as shown, or in hex
    // the hex of the bytes, a line per line, a line break shown as the bytes
    // the device ended it with.
    std::u16string CopyText(std::size_t begin, std::size_t end) const;

private:
    // Bytes the device ended a line with, as hex shows them (none for the
    // last line).
    std::string EndBytes(std::size_t line) const;
    void TextRow(std::size_t line, std::size_t first, std::size_t count, std::vector<PaneCell>& cells) const;
    void HexRow(std::size_t line, std::size_t first, std::size_t count, std::vector<PaneCell>& cells) const;

    const CPaneModel& m_model;
    bool m_hex;
};

} // namespace ui

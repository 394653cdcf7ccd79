#include "PaneLayout.h"

#include <algorithm>

namespace ui {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

} // namespace

std::string CPaneLayout::EndBytes(std::size_t line) const
{
    switch (m_model.KindOf(line)) {
    case CPaneModel::LineKind::Open:
        return std::string();
    case CPaneModel::LineKind::Received:
        switch (m_model.EndOf(line)) {
        case CPaneModel::LineEnd::CrLf:
            return "\r\n";
        case CPaneModel::LineEnd::Cr:
            return "\r";
        case CPaneModel::LineEnd::Lf:
            break;
        }
        return "\n";
    default:
        return "\n";
    }
}

void CPaneLayout::Row(std::size_t line, std::size_t first, std::size_t count, std::vector<PaneCell>& cells) const
{
    cells.clear();
    if (m_hex)
        HexRow(line, first, count, cells);
    else
        TextRow(line, first, count, cells);
}

void CPaneLayout::TextRow(std::size_t line, std::size_t first, std::size_t count, std::vector<PaneCell>& cells) const
{
    const CPaneText& text = m_model.Text();
    const std::size_t end = text.LineEnd(line);
    const std::size_t last = first + count;
    const std::size_t selBegin = m_model.SelectionBegin();
    const std::size_t selEnd = m_model.SelectionEnd();
    auto [pos, column] = m_model.Seek(text.LineStart(line), end, first);
    text.ForEachPiece(pos, end, [&](const char* data, std::size_t size) {
        for (std::size_t i = 0; i < size && column < last; ++i, ++pos) {
            const auto byte = static_cast<unsigned char>(data[i]);
            const bool selected = pos >= selBegin && pos < selEnd;
            if (byte == '\t') {
                // A tab's columns are blanks, highlighted with it.
                const std::size_t next = CPaneModel::TabStopAfter(column);
                for (; column < next && column < last; ++column)
                    cells.push_back({column, ' ', selected, false});
                column = next;
            } else {
                cells.push_back({column, byte, selected, false});
                ++column;
            }
        }
        return column < last;
    });
    // A selected line break shows as one selected cell after the line.
    if (pos == end && end < text.Size() && end >= selBegin && end < selEnd && column < last)
        cells.push_back({column, ' ', true, false});
}

void CPaneLayout::HexRow(std::size_t line, std::size_t first, std::size_t count, std::vector<PaneCell>& cells) const
{
    const CPaneText& text = m_model.Text();
    const std::size_t begin = text.LineStart(line);
    const std::size_t end = text.LineEnd(line);
    const std::size_t bytes = end - begin;
    const std::string ends = EndBytes(line);
    const std::size_t last = first + count;
    const std::size_t selBegin = m_model.SelectionBegin();
    const std::size_t selEnd = m_model.SelectionEnd();
    const auto isSelected = [&](std::size_t pos) { return pos >= selBegin && pos < selEnd; };
    const auto put = [&](std::size_t column, unsigned char byte, bool selected, bool dim) {
        if (column >= first && column < last)
            cells.push_back({column, byte, selected, dim});
    };
    // Only the bytes whose cells fall in view are read: a line may be long.
    const auto forBytes = [&](std::size_t from, std::size_t to, auto each) {
        std::size_t i = from;
        text.ForEachPiece(begin + from, begin + to, [&](const char* data, std::size_t size) {
            for (std::size_t k = 0; k < size; ++k, ++i)
                each(i, static_cast<unsigned char>(data[k]));
            return true;
        });
    };
    const std::size_t hexCells = 3 * (bytes + ends.size());
    if (first < hexCells) {
        const std::size_t from = first / 3;
        const std::size_t to = std::min(bytes, (last + 2) / 3);
        forBytes(from, to, [&](std::size_t i, unsigned char byte) {
            const bool selected = isSelected(begin + i);
            const bool nextSelected = i + 1 < bytes ? isSelected(begin + i + 1) : isSelected(end);
            put(3 * i, kHexDigits[byte >> 4], selected, false);
            put(3 * i + 1, kHexDigits[byte & 0x0F], selected, false);
            put(3 * i + 2, ' ', selected && nextSelected, false);
        });
        const bool breakSelected = end < text.Size() && isSelected(end);
        for (std::size_t j = 0; j < ends.size(); ++j) {
            const auto byte = static_cast<unsigned char>(ends[j]);
            const std::size_t column = 3 * (bytes + j);
            put(column, kHexDigits[byte >> 4], breakSelected, true);
            put(column + 1, kHexDigits[byte & 0x0F], breakSelected, true);
        }
    }
    const std::size_t chars = hexCells + 1;
    if (last > chars && bytes > 0) {
        const std::size_t from = first > chars ? first - chars : 0;
        const std::size_t to = std::min(bytes, last - chars);
        if (from < to)
            forBytes(from, to, [&](std::size_t i, unsigned char byte) { put(chars + i, byte, isSelected(begin + i), false); });
    }
}

std::size_t CPaneLayout::ColumnOf(std::size_t pos) const
{
    if (!m_hex)
        return m_model.ColumnOf(pos);
    const CPaneText& text = m_model.Text();
    return 3 * (pos - text.LineStart(text.LineOf(pos)));
}

std::size_t CPaneLayout::PositionAt(std::size_t line, std::size_t column) const
{
    if (!m_hex)
        return m_model.PositionInLine(line, column);
    const CPaneText& text = m_model.Text();
    const std::size_t begin = text.LineStart(line);
    const std::size_t end = text.LineEnd(line);
    const std::size_t bytes = end - begin;
    const std::size_t hexCells = 3 * (bytes + EndBytes(line).size());
    if (column < 3 * bytes)
        return begin + column / 3 + (column % 3 == 2 ? 1 : 0);
    if (column <= hexCells)
        return end;
    return begin + std::min(bytes, column - hexCells - 1);
}

std::u16string CPaneLayout::CopyText(std::size_t begin, std::size_t end) const
{
    const CPaneText& text = m_model.Text();
    end = std::min(end, text.Size());
    begin = std::min(begin, end);
    if (!m_hex) {
        std::u16string copied(end - begin, u'\0');
        m_model.Decode(begin, end, copied.data());
        return copied;
    }
    std::u16string copied;
    const auto hex = [&](unsigned char byte) {
        if (!copied.empty() && copied.back() != u'\n')
            copied += u' ';
        copied += static_cast<char16_t>(kHexDigits[byte >> 4]);
        copied += static_cast<char16_t>(kHexDigits[byte & 0x0F]);
    };
    for (std::size_t line = text.LineOf(begin); line < text.LineCount(); ++line) {
        const std::size_t lineEnd = text.LineEnd(line);
        text.ForEachPiece(std::max(begin, text.LineStart(line)), std::min(end, lineEnd), [&](const char* data, std::size_t size) {
            for (std::size_t i = 0; i < size; ++i)
                hex(static_cast<unsigned char>(data[i]));
            return true;
        });
        if (lineEnd >= end)
            break;
        for (const char byte : EndBytes(line))
            hex(static_cast<unsigned char>(byte));
        copied += u'\n';
    }
    return copied;
}

} // namespace ui

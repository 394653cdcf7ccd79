#include "PaneModel.h"

#include "ReceivedText.h"

#include <algorithm>
#include <cstring>

namespace ui {

namespace {

// The tags of line breaks: who broke the line, and for a received line what
// its check found.
enum Tag : std::uint8_t
{
    kTyped = 0,
    kReceived = 1,
    kReceivedValid = 2,
    kReceivedBroken = 3,
};

Tag TagOf(commands::CSentenceCheck::Result result)
{
    switch (result) {
    case commands::CSentenceCheck::Result::Valid:
        return kReceivedValid;
    case commands::CSentenceCheck::Result::Broken:
        return kReceivedBroken;
    default:
        return kReceived;
    }
}

bool StartsSentence(char c)
{
    return c == '$' || c == '!';
}

} // namespace

// Received bytes -----------------------------------------------------------

std::size_t CPaneModel::AppendReceived(const char* data, std::size_t size)
{
    const std::size_t oldEnd = m_text.Size();
    const std::size_t changedLine = m_text.LineCount() - 1;  // the line the bytes continue
    // Through a small buffer, however much arrived at once.
    constexpr std::size_t kSlice = 64 * 1024;
    for (std::size_t done = 0; done < size; done += kSlice) {
        m_staging.clear();
        AppendPaneBytes(m_staging, data + done, std::min(kSlice, size - done), m_afterCr);
        const char* p = m_staging.data();
        const char* const end = p + m_staging.size();
        while (p < end) {
            const auto* lf = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
            const char* const stop = lf ? lf + 1 : end;
            AppendLine(p, static_cast<std::size_t>(stop - p), lf != nullptr);
            p = stop;
        }
    }
    if (m_caret == oldEnd)
        m_caret = m_text.Size();
    if (m_anchor == oldEnd)
        m_anchor = m_text.Size();
    return changedLine;
}

// A piece of the last line, with its break when `ends`. Only a line that
// begins like a sentence is read by the check, and each byte only once.
void CPaneModel::AppendLine(const char* data, std::size_t size, bool ends)
{
    const std::size_t content = ends ? size - 1 : size;
    if (!m_lineStarted && content > 0) {
        m_lineStarted = true;
        m_lineChecked = StartsSentence(data[0]);
    }
    if (m_lineChecked)
        m_lineCheck.Add(data, content);
    std::uint8_t tag = kTyped;
    if (ends) {
        const auto result = m_lineChecked ? m_lineCheck.Get() : commands::CSentenceCheck::Result::None;
        tag = TagOf(result);
        if (tag != kReceived)
            ++m_sentences.seen;
        if (tag == kReceivedBroken)
            ++m_sentences.broken;
        m_lineCheck = commands::CSentenceCheck();
        m_lineChecked = m_lineStarted = false;
    }
    m_text.Append(data, size, tag);
}

void CPaneModel::Clear()
{
    ++m_edits;
    m_sentences = SentenceCounts();
    m_text.Clear();
    m_lineCheck = commands::CSentenceCheck();
    m_lineChecked = m_lineStarted = false;
    m_caret = m_anchor = 0;
    m_goalColumn = 0;
}

void CPaneModel::SetText(const std::string& paneBytes)
{
    Clear();
    m_text.Append(paneBytes, kTyped);
}

CPaneModel::LineMark CPaneModel::MarkOf(std::size_t line) const
{
    switch (m_text.LineTag(line)) {
    case kReceivedValid:
        return LineMark::Valid;
    case kReceivedBroken:
        return LineMark::Broken;
    default:
        return LineMark::None;
    }
}

std::string CPaneModel::SentencesText() const
{
    return "NMEA-предложений: " + std::to_string(m_sentences.seen)
           + ", с ошибкой контрольной суммы: " + std::to_string(m_sentences.broken);
}

// Caret and selection --------------------------------------------------------

void CPaneModel::MoveCaret(std::size_t pos, bool select, bool keepGoalColumn)
{
    m_caret = std::min(pos, m_text.Size());
    if (!select)
        m_anchor = m_caret;
    if (!keepGoalColumn)
        m_goalColumn = ColumnOf(m_caret);
}

void CPaneModel::Apply(Move move, bool select, std::size_t pageLines)
{
    const auto byLines = [&](long lines) {
        const long last = static_cast<long>(m_text.LineCount()) - 1;
        const long line = std::clamp(static_cast<long>(m_text.LineOf(m_caret)) + lines, 0L, last);
        MoveCaret(PositionInLine(static_cast<std::size_t>(line), m_goalColumn), select, true);
    };
    const long page = static_cast<long>(std::max<std::size_t>(pageLines, 1));
    switch (move) {
    case Move::NextChar:
        return MoveCaret(m_caret + 1, select);
    case Move::PreviousChar:
        return MoveCaret(m_caret > 0 ? m_caret - 1 : 0, select);
    case Move::NextWord:
        return MoveCaret(WordEnd(m_caret), select);
    case Move::PreviousWord:
        return MoveCaret(WordStart(m_caret), select);
    case Move::NextLine:
        return byLines(1);
    case Move::PreviousLine:
        return byLines(-1);
    case Move::NextPage:
        return byLines(page);
    case Move::PreviousPage:
        return byLines(-page);
    case Move::LineStart:
        return MoveCaret(m_text.LineStart(m_text.LineOf(m_caret)), select);
    case Move::LineEnd:
        return MoveCaret(m_text.LineEnd(m_text.LineOf(m_caret)), select);
    case Move::TextStart:
        return MoveCaret(0, select);
    case Move::TextEnd:
        return MoveCaret(m_text.Size(), select);
    }
}

void CPaneModel::SetSelection(std::size_t anchor, std::size_t caret)
{
    m_anchor = std::min(anchor, m_text.Size());
    MoveCaret(caret, true);
}

void CPaneModel::SelectWordAt(std::size_t pos)
{
    std::size_t begin = std::min(pos, m_text.Size());
    std::size_t end = begin;
    while (begin > 0 && IsWordByte(m_text.At(begin - 1)))
        --begin;
    while (end < m_text.Size() && IsWordByte(m_text.At(end)))
        ++end;
    SetSelection(begin, end);
}

// The operator's notes -------------------------------------------------------

void CPaneModel::RemoveRange(std::size_t begin, std::size_t end)
{
    if (begin >= end)
        return;
    ++m_edits;
    m_text.Erase(begin, end - begin);
    const auto shift = [&](std::size_t pos) { return pos <= begin ? pos : pos <= end ? begin : pos - (end - begin); };
    m_caret = shift(m_caret);
    m_anchor = shift(m_anchor);
}

void CPaneModel::ReplaceSelection(const std::string& paneBytes)
{
    const std::size_t begin = SelectionBegin();
    RemoveRange(begin, SelectionEnd());
    ++m_edits;
    m_text.Insert(begin, paneBytes.data(), paneBytes.size(), kTyped);
    m_anchor = m_caret = begin + paneBytes.size();
    m_goalColumn = ColumnOf(m_caret);
}

void CPaneModel::DeleteBackward()
{
    if (!HasSelection()) {
        if (m_caret == 0)
            return;
        m_anchor = m_caret - 1;
    }
    ReplaceSelection(std::string());
}

void CPaneModel::DeleteForward()
{
    if (!HasSelection()) {
        if (m_caret == m_text.Size())
            return;
        m_anchor = m_caret + 1;
    }
    ReplaceSelection(std::string());
}

// Geometry -------------------------------------------------------------------

std::size_t CPaneModel::ColumnOf(std::size_t pos) const
{
    const std::size_t begin = m_text.LineStart(m_text.LineOf(pos));
    std::size_t column = 0;
    m_text.ForEachPiece(begin, pos, [&](const char* data, std::size_t size) {
        const char* p = data;
        const char* const stop = data + size;
        while (const void* tab = std::memchr(p, '\t', static_cast<std::size_t>(stop - p))) {
            column = TabStopAfter(column + static_cast<std::size_t>(static_cast<const char*>(tab) - p));
            p = static_cast<const char*>(tab) + 1;
        }
        column += static_cast<std::size_t>(stop - p);
        return true;
    });
    return column;
}

std::pair<std::size_t, std::size_t> CPaneModel::Seek(std::size_t begin, std::size_t end, std::size_t column) const
{
    std::size_t pos = begin;
    std::size_t at = 0;
    bool found = false;
    m_text.ForEachPiece(begin, end, [&](const char* data, std::size_t size) {
        const char* p = data;
        const char* const stop = data + size;
        while (p < stop) {
            const void* tab = std::memchr(p, '\t', static_cast<std::size_t>(stop - p));
            const std::size_t run = tab ? static_cast<std::size_t>(static_cast<const char*>(tab) - p)
                                        : static_cast<std::size_t>(stop - p);
            if (column < at + run) {
                pos += column > at ? column - at : 0;
                at = std::max(at, column);
                found = true;
                return false;
            }
            at += run;
            pos += run;
            p += run;
            if (p == stop)
                break;
            if (column <= at) {
                found = true;
                return false;
            }
            at = TabStopAfter(at);
            ++pos;
            ++p;
        }
        return true;
    });
    if (!found && at < column)
        return {end, at};
    return {pos, at};
}

std::size_t CPaneModel::PositionInLine(std::size_t line, std::size_t column) const
{
    return Seek(m_text.LineStart(line), m_text.LineEnd(line), column).first;
}

std::size_t CPaneModel::WordStart(std::size_t pos) const
{
    while (pos > 0 && !IsWordByte(m_text.At(pos - 1)) && m_text.At(pos - 1) != '\n')
        --pos;
    while (pos > 0 && IsWordByte(m_text.At(pos - 1)))
        --pos;
    return pos;
}

std::size_t CPaneModel::WordEnd(std::size_t pos) const
{
    const std::size_t size = m_text.Size();
    while (pos < size && IsWordByte(m_text.At(pos)))
        ++pos;
    while (pos < size && !IsWordByte(m_text.At(pos)) && m_text.At(pos) != '\n')
        ++pos;
    return pos;
}

char16_t* CPaneModel::Decode(std::size_t begin, std::size_t end, char16_t* out) const
{
    m_text.ForEachPiece(begin, end, [&](const char* data, std::size_t size) {
        out = DecodePaneBytes(data, size, out);
        return true;
    });
    return out;
}

} // namespace ui

namespace ui {

PaneViewStart ViewShowing(const CPaneModel& model, std::size_t pos, PaneViewStart now, std::size_t rows,
                          std::size_t columns)
{
    PaneViewStart start = now;
    const std::size_t line = model.Text().LineOf(pos);
    if (line < now.line)
        start.line = line;
    else if (line >= now.line + rows)
        start.line = line - rows + 1;

    const std::size_t column = model.ColumnOf(pos);
    if (column < now.column)
        start.column = column > columns / 4 ? column - columns / 4 : 0;
    else if (column >= now.column + columns)
        start.column = column - columns + 1 + columns / 4;
    return start;
}

} // namespace ui

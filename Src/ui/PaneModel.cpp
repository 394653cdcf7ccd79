#include "PaneModel.h"

#include <LocalTime.h>
#include "ReceivedText.h"

#include <algorithm>
#include <cstring>
#include <iterator>

namespace ui {

namespace {

// The tag of a line break: who broke the line, and for a received line what
// its check found (the low three bits), and how the device ended it (the
// next two).
enum Tag : std::uint8_t
{
    kTyped = 0,
    kReceived = 1,
    kReceivedValid = 2,
    kReceivedBroken = 3,
    kSent = 4,
    kKindBits = 0x07,
    kEndShift = 3,
};

std::uint8_t TagOf(commands::CSentenceCheck::Result result, CPaneModel::LineEnd end)
{
    std::uint8_t kind = kReceived;
    if (result == commands::CSentenceCheck::Result::Valid)
        kind = kReceivedValid;
    else if (result == commands::CSentenceCheck::Result::Broken)
        kind = kReceivedBroken;
    return static_cast<std::uint8_t>(kind | static_cast<std::uint8_t>(end) << kEndShift);
}

bool StartsSentence(char c)
{
    return c == '$' || c == '!';
}

// The next CR or LF of [p, end), or end.
const char* NextBreak(const char* p, const char* end)
{
    while (p != end && *p != '\r' && *p != '\n')
        ++p;
    return p;
}

} // namespace

// Received bytes -----------------------------------------------------------

std::size_t CPaneModel::AppendReceived(const char* data, std::size_t size, const ReadTimes& times)
{
    // The time of the byte at `p`: its read's.
    auto read = times.begin();
    const auto timeAt = [&](const char* p) -> std::int64_t {
        const std::size_t offset = static_cast<std::size_t>(p - data);
        while (read != times.end() && std::next(read) != times.end() && std::next(read)->first <= offset)
            ++read;
        return read != times.end() && read->first <= offset ? read->second : 0;
    };
    const std::size_t oldEnd = m_text.Size();
    const std::size_t changedLine = m_text.LineCount() - 1;  // the line the bytes continue
    const char* p = data;
    const char* const end = data + size;
    if (m_afterCr && p != end && *p == '\n') {
        // The second half of a CR LF split between two reads.
        const std::uint8_t tag = m_text.LastReceivedTag();
        m_text.ExtendReceivedBreak(
            static_cast<std::uint8_t>((tag & kKindBits) | static_cast<std::uint8_t>(LineEnd::CrLf) << kEndShift));
        ++p;
    }
    if (size > 0)
        m_afterCr = false;
    while (p != end) {
        const char* const brk = NextBreak(p, end);
        AppendLine(p, static_cast<std::size_t>(brk - p), timeAt(p));
        if (brk == end)
            break;
        const std::int64_t breakTime = timeAt(brk);
        LineEnd form = *brk == '\n' ? LineEnd::Lf : LineEnd::Cr;
        p = brk + 1;
        if (form == LineEnd::Cr && p != end && *p == '\n') {
            form = LineEnd::CrLf;
            ++p;
        } else if (form == LineEnd::Cr && p == end) {
            m_afterCr = true;
        }
        EndLine(form, breakTime);
    }
    if (m_caret == oldEnd)
        m_caret = m_text.Size();
    if (m_anchor == oldEnd)
        m_anchor = m_text.Size();
    m_text.Settle();
    return changedLine;
}

// A piece of the last line. Only a line that begins like a sentence is read
// by the check, and each byte only once.
void CPaneModel::AppendLine(const char* data, std::size_t size, std::int64_t time)
{
    if (size == 0)
        return;
    if (!m_lineStarted) {
        m_lineStarted = true;
        m_lineChecked = StartsSentence(data[0]);
        m_lineTime = time;
    }
    if (m_lineChecked)
        m_lineCheck.Add(data, size);
    m_text.AppendReceived(data, size);
}

void CPaneModel::EndLine(LineEnd end, std::int64_t time)
{
    // An empty line began with its break.
    const std::int64_t began = m_lineStarted ? m_lineTime : time;
    const auto result = m_lineChecked ? m_lineCheck.Get() : commands::CSentenceCheck::Result::None;
    if (result == commands::CSentenceCheck::Result::Valid || result == commands::CSentenceCheck::Result::Broken)
        ++m_sentences.seen;
    if (result == commands::CSentenceCheck::Result::Broken)
        ++m_sentences.broken;
    if (m_lineChecked && m_sentenceListener)
        m_sentenceListener(m_lineCheck);
    m_lineCheck = commands::CSentenceCheck();
    m_lineChecked = m_lineStarted = false;
    m_lineTime = 0;
    m_text.AppendReceivedBreak(TagOf(result, end), began, end == LineEnd::CrLf ? 2 : 1);
}

void CPaneModel::AddSentNote(const std::string& paneBytes)
{
    InsertText(m_text.LineStart(m_text.LineCount() - 1), paneBytes + '\n', kSent);
}

CPaneSnapshot CPaneModel::Snapshot(bool withTimes) const
{
    CPaneSnapshot snapshot = m_text.Snapshot(withTimes);
    snapshot.SetLastLineTime(LineTimeMs(m_text.LineCount() - 1));
    return snapshot;
}

std::string CPaneModel::RecordBytes(bool withTimes) const
{
    return Snapshot(withTimes).Bytes();
}

std::string CPaneModel::EventText(const Event& event)
{
    static const char* const kWhat[] = {"открыт", "связь потеряна", "связь восстановлена", "закрыт"};
    return std::string(kWhat[static_cast<int>(event.kind)]) + " " + text::LocalTime(event.timeMs, "%H:%M:%S");
}

void CPaneModel::AddEvent(Event::Kind kind, std::int64_t timeMs)
{
    m_events.push_back(Event{m_text.Size(), kind, timeMs});
}

void CPaneModel::Clear()
{
    ++m_edits;
    m_events.clear();
    m_sentences = SentenceCounts();
    m_text.Clear();
    m_lineCheck = commands::CSentenceCheck();
    m_lineChecked = m_lineStarted = false;
    m_lineTime = 0;
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
    switch (m_text.LineTag(line) & kKindBits) {
    case kReceivedValid:
        return LineMark::Valid;
    case kReceivedBroken:
        return LineMark::Broken;
    case kSent:
        return line + 1 < m_text.LineCount() ? LineMark::Sent : LineMark::None;
    default:
        return LineMark::None;
    }
}

CPaneModel::LineKind CPaneModel::KindOf(std::size_t line) const
{
    if (line + 1 >= m_text.LineCount())
        return LineKind::Open;
    switch (m_text.LineTag(line) & kKindBits) {
    case kTyped:
        return LineKind::Typed;
    case kSent:
        return LineKind::Sent;
    default:
        return LineKind::Received;
    }
}

std::int64_t CPaneModel::LineTimeMs(std::size_t line) const
{
    switch (KindOf(line)) {
    case LineKind::Received:
        return m_text.LineTime(line);
    case LineKind::Open:
        return m_lineStarted ? m_lineTime : 0;
    default:
        return 0;
    }
}

CPaneModel::LineEnd CPaneModel::EndOf(std::size_t line) const
{
    return KindOf(line) == LineKind::Received ? static_cast<LineEnd>(m_text.LineTag(line) >> kEndShift) : LineEnd::Lf;
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
    for (Event& event : m_events)
        event.pos = shift(event.pos);
}

// Positions after `pos` move on; one at `pos` stays before the new text,
// except that a caret or anchor at the end of the text stays at the end. An
// event at `pos` happened before what is inserted there now.
void CPaneModel::InsertText(std::size_t pos, const std::string& paneBytes, std::uint8_t tag)
{
    ++m_edits;
    const std::size_t oldEnd = m_text.Size();
    m_text.Insert(pos, paneBytes.data(), paneBytes.size(), tag);
    const std::size_t size = paneBytes.size();
    const auto shift = [&](std::size_t at) { return at > pos || at == oldEnd ? at + size : at; };
    m_caret = shift(m_caret);
    m_anchor = shift(m_anchor);
    for (Event& event : m_events)
        event.pos = event.pos > pos ? event.pos + size : event.pos;
}

void CPaneModel::ReplaceSelection(const std::string& paneBytes)
{
    const std::size_t begin = SelectionBegin();
    RemoveRange(begin, SelectionEnd());
    InsertText(begin, paneBytes, kTyped);
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

PaneViewStart ViewShowing(std::size_t line, std::size_t column, PaneViewStart now, std::size_t rows,
                          std::size_t columns)
{
    PaneViewStart start = now;
    if (line < now.line)
        start.line = line;
    else if (line >= now.line + rows)
        start.line = line - rows + 1;

    if (column < now.column)
        start.column = column > columns / 4 ? column - columns / 4 : 0;
    else if (column >= now.column + columns)
        start.column = column - columns + 1 + columns / 4;
    return start;
}

} // namespace ui

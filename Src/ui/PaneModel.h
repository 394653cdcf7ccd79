#pragma once

// What a channel's log pane holds and does, apart from drawing it: the text
// (CPaneText, Windows-1251 pane bytes, see ReceivedText.h), the caret and
// the selection as byte positions, the moves of the editing keys, the notes
// the operator types into it, and the NMEA check of the received lines with
// its counts. A view (one per window system) draws the lines in view from it
// and turns keys, mouse and clipboard into its operations.
//
// Received bytes go on at the end, continuing the device's last line; they
// never move the caret or the selection, except that a position at the very
// end stays at the end.
//
// Every line ended by the device is checked once, when its line break
// arrives: a sentence with a checksum (see commands::CSentenceCheck) is
// counted, and its verdict stays with its line break for the mark in the
// margin. Lines the operator breaks get no verdict and are not counted. A
// received line break remembers how the device sent it (LF, CR or CR LF).
//
// Beside what was received and typed, the pane holds notes of its own: the
// commands and files sent (a line each, set apart in the margin), and events
// of the link (opened, lost, back, closed) at the place in the stream where
// they happened, drawn beside the lines and never part of the text.
//
// Columns: a byte takes one, a tab runs to the next multiple of eight.

#include "PaneText.h"

#include <NmeaChecksum.h>

namespace record {
class CWatchRecord;
}

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace ui {

class CPaneModel
{
public:
    static constexpr std::size_t kTabWidth = 8;

    // What a line's break says of it.
    enum class LineMark : std::uint8_t
    {
        None,      // typed by the operator, still arriving, or plain text
        Valid,     // a received sentence with a right checksum
        Broken,    // a received sentence with a wrong checksum
        Sent,      // a note of a command or file sent
    };

    // Who ended a line, and how.
    enum class LineKind : std::uint8_t
    {
        Open,      // the last line: nothing ended it yet
        Typed,     // the operator broke it
        Received,  // the device did
        Sent,      // a note of something sent
    };
    enum class LineEnd : std::uint8_t
    {
        Lf,
        Cr,
        CrLf,
    };

    // A link event where it happened in the stream.
    struct Event
    {
        enum class Kind : std::uint8_t
        {
            Opened,
            Lost,
            Back,
            Closed,
        };
        std::size_t pos;        // the pane position the next received byte had
        Kind kind;
        std::int64_t timeMs;    // wall clock, milliseconds since 1970
    };

    // Sentences among the received lines since the last Clear.
    struct SentenceCounts
    {
        std::size_t seen = 0;
        std::size_t broken = 0;
    };

    // The moves of the editing keys.
    enum class Move
    {
        NextChar, PreviousChar, NextWord, PreviousWord, NextLine, PreviousLine,
        NextPage, PreviousPage, LineStart, LineEnd, TextStart, TextEnd,
    };

    const CPaneText& Text() const { return m_text; }
    std::string Bytes(std::size_t begin, std::size_t end) const { return m_text.Bytes(begin, end); }
    // The whole pane as a record is saved from it: its bytes, and with
    // `withTimes` each received line's time ("HH:MM:SS.mmm ") before it.
    std::string RecordBytes(bool withTimes) const;

    // When the reads of received bytes completed: from each offset into the
    // bytes on, until the next, their time (ms since 1970), ascending.
    using ReadTimes = std::vector<std::pair<std::size_t, std::int64_t>>;

    // Bytes as the device sent them, added at the end, with the times of
    // their reads. Returns the first line they changed (the one they
    // continued); nothing changes when they hold nothing the pane shows (an
    // LF that ends a CR of the read before).
    std::size_t AppendReceived(const char* data, std::size_t size, const ReadTimes& times = {});
    // Empties the pane and its counts; the next bytes start at the top.
    void Clear();
    // Replaces everything by `paneBytes`, as if typed.
    void SetText(const std::string& paneBytes);

    // Called for each received line that began like a sentence, when its
    // break arrives, with the check of what the device sent in it.
    using SentenceListener = std::function<void(const commands::CSentenceCheck& line)>;
    void SetSentenceListener(SentenceListener listener) { m_sentenceListener = std::move(listener); }

    LineMark MarkOf(std::size_t line) const;
    LineKind KindOf(std::size_t line) const;
    // When a received line began (ms since 1970): the read of its first
    // byte; 0 for a line the device did not send or whose time is unknown.
    std::int64_t LineTimeMs(std::size_t line) const;
    // How the device ended a received line; LF for any other line.
    LineEnd EndOf(std::size_t line) const;

    // A note of something sent, as a line of its own (its pane bytes, no
    // line break) before the line the device is sending; not received text.
    void AddSentNote(const std::string& paneBytes);
    // The record the received bytes go on into, from now on (none: they are
    // the pane's alone); they reach the record on the I/O side before they
    // reach the pane.
    void SetRecord(std::shared_ptr<record::CWatchRecord> record) { m_record = std::move(record); }

    // A link event, at the place the next received byte will take.
    void AddEvent(Event::Kind kind, std::int64_t timeMs);
    // The events, in the order they happened.
    const std::vector<Event>& Events() const { return m_events; }
    // What the margin says of an event (UTF-8), e.g. "связь потеряна 21:32:13".
    static std::string EventText(const Event& event);
    SentenceCounts Sentences() const { return m_sentences; }
    // The counts as the pane's tooltip says them (UTF-8).
    std::string SentencesText() const;

    // Caret and selection.
    std::size_t Caret() const { return m_caret; }
    std::size_t Anchor() const { return m_anchor; }
    bool HasSelection() const { return m_anchor != m_caret; }
    std::size_t SelectionBegin() const { return std::min(m_anchor, m_caret); }
    std::size_t SelectionEnd() const { return std::max(m_anchor, m_caret); }
    // Moves the caret to `pos` (clamped to the end); with `select` the
    // anchor stays, so the selection runs from it to the caret.
    void MoveCaret(std::size_t pos, bool select, bool keepGoalColumn = false);
    // A key's move; a page is `pageLines` lines.
    void Apply(Move move, bool select, std::size_t pageLines);
    // Selects [anchor, caret) or [caret, anchor); positions past the end are
    // taken as the end.
    void SetSelection(std::size_t anchor, std::size_t caret);
    void SelectAll() { SetSelection(0, m_text.Size()); }
    // The word around `pos` (a run of bytes that are not blanks or breaks).
    void SelectWordAt(std::size_t pos);

    // The operator's notes: the selection replaced by typed pane bytes, a
    // byte taken before or after the caret. Each counts as an edit.
    void ReplaceSelection(const std::string& paneBytes);
    void DeleteBackward();
    void DeleteForward();
    // Changes other than received bytes at the end, counted; a view keeps
    // an offer of the old text only while this stays the same.
    std::uint64_t Edits() const { return m_edits; }

    // Geometry in lines and columns.
    std::size_t ColumnOf(std::size_t pos) const;
    // The position in `line` at or past `column`; the line's end when it is
    // shorter.
    std::size_t PositionInLine(std::size_t line, std::size_t column) const;
    // The first position of [begin, end) at or past `column`, with the column
    // it starts at.
    std::pair<std::size_t, std::size_t> Seek(std::size_t begin, std::size_t end, std::size_t column) const;
    std::size_t WordStart(std::size_t pos) const;
    std::size_t WordEnd(std::size_t pos) const;
    static std::size_t TabStopAfter(std::size_t column) { return (column / kTabWidth + 1) * kTabWidth; }
    static bool IsWordByte(char c) { return c != ' ' && c != '\t' && c != '\n'; }

    // The text [begin, end) as shown, one UTF-16 unit a byte, written to
    // `out` (room for end - begin units); returns where it ended.
    char16_t* Decode(std::size_t begin, std::size_t end, char16_t* out) const;

private:
    // A piece of the last line as the device sent it, and its end.
    void AppendLine(const char* data, std::size_t size, std::int64_t time);
    void EndLine(LineEnd end, std::int64_t time);
    void InsertText(std::size_t pos, const std::string& paneBytes, std::uint8_t tag);
    void RemoveRange(std::size_t begin, std::size_t end);

    CPaneText m_text;
    bool m_afterCr = false;         // the last received byte was a CR
    commands::CSentenceCheck m_lineCheck;  // the received part of the last line
    bool m_lineChecked = false;     // that line began with a sentence's first byte
    bool m_lineStarted = false;     // and it has received bytes
    std::int64_t m_lineTime = 0;    // when its first byte came
    SentenceCounts m_sentences;
    std::size_t m_caret = 0;
    std::size_t m_anchor = 0;
    std::size_t m_goalColumn = 0;   // where Up and Down aim
    std::uint64_t m_edits = 0;
    std::vector<Event> m_events;
    SentenceListener m_sentenceListener;
    std::shared_ptr<record::CWatchRecord> m_record;
};

} // namespace ui

namespace ui {

// Where a view shows the text from: its first line and its first column.
struct PaneViewStart
{
    std::size_t line = 0;
    std::size_t column = 0;
};

// Where a view of `rows` full lines and `columns` columns, now starting at
// `now`, must start to show `line` and `column`: it moves as few lines as it
// can, and sideways by a quarter of its width more than it must.
PaneViewStart ViewShowing(std::size_t line, std::size_t column, PaneViewStart now, std::size_t rows,
                          std::size_t columns);

} // namespace ui

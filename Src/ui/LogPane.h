#pragma once

// A channel's log pane: what the device sends, and what the operator types
// into it, kept once as pane bytes (see ReceivedText.h), decoded and laid out
// only for the lines in view, in a fixed-pitch font from cached glyphs.
//
// Lines do not wrap; the view follows the caret sideways. A view at the end
// of the text stays at the end as received bytes arrive; a view the operator
// scrolled up keeps its place until they scroll back to the end. The caret
// and selection are byte positions; received bytes never move them, except
// that a position at the very end stays at the end.
//
// Keys: the platform's editing keys (arrows, Home/End, Page Up/Down, with
// Shift to select and Ctrl by word or to the ends), Backspace, Delete,
// Enter for a line break, Ctrl+A, Ctrl+C, Ctrl+X, Ctrl+V and their
// alternatives; Tab moves the focus. Mouse: click, drag and Shift+click
// select, double click selects a word; the context menu edits. Where the
// platform has a selection clipboard (X11), the selection is offered there
// and decoded only when another program asks for it.
//
// NMEA 0183: every complete line that is a sentence with a checksum is
// marked in the margin as it is drawn, quietly when its checksum is right,
// in red over a red line when it is wrong. The received sentences are
// counted, and their count is the pane's tooltip, until Clear.
//
// "Сохранить в файл…" in the context menu, and Ctrl+S, run the handler the
// owner gives (SetSaveHandler); without one they are not offered.

#include "PaneText.h"

#include <QAbstractScrollArea>
#include <QBasicTimer>
#include <QRawFont>

#include <array>
#include <bitset>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

class QMenu;

namespace ui {

class CLogPane : public QAbstractScrollArea
{
    Q_OBJECT
    // The whole text, for whoever knows the pane only as a QObject.
    Q_PROPERTY(QString plainText READ toPlainText WRITE setPlainText)

public:
    explicit CLogPane(QWidget* parent = nullptr);
    ~CLogPane() override;

    // Bytes as the device sent them, added at the end (see ReceivedText.h).
    void AppendReceived(const char* data, std::size_t size);
    // Empties the pane; the next bytes start at the top.
    void Clear();

    QString toPlainText() const;
    void setPlainText(const QString& text);
    QString selectedText() const;
    bool isReadOnly() const { return m_readOnly; }
    void setReadOnly(bool readOnly);

    // Sentences among the received lines since the last Clear.
    struct SentenceCounts
    {
        std::size_t seen = 0;
        std::size_t broken = 0;
    };
    SentenceCounts Sentences() const { return m_sentences; }
    QString SentencesText() const;

    void SetSaveHandler(std::function<void()> save) { m_save = std::move(save); }

    void selectAll();
    void copy() const;
    void cut();
    void paste();

    const CPaneText& Text() const { return m_text; }
    std::size_t CaretPosition() const { return m_caret; }
    std::size_t AnchorPosition() const { return m_anchor; }
    // Selects [anchor, caret) or [caret, anchor); equal positions just place
    // the caret. Positions past the end are taken as the end.
    void SetSelection(std::size_t anchor, std::size_t caret);
    // The first line in view, and whether the view shows the end.
    std::size_t FirstVisibleLine() const;
    bool FollowsEnd() const;

protected:
    bool event(QEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    // How the text is drawn: cell size, and for each byte its glyph in the
    // fixed-pitch font, or none when the font has no glyph of the cell's width.
    struct Metrics
    {
        QFont font;
        QRawFont rawFont;
        int cell = 1;
        int lineHeight = 1;
        int ascent = 0;
        std::array<quint32, 256> glyph{};
        std::bitset<256> drawAlone;
    };
    enum class Move { Stay, Select };

    const Metrics& TextMetrics() const;
    QString Decoded(std::size_t begin, std::size_t end) const;
    int FullRows() const;
    int VisibleColumns() const;
    // With `toEnd`, the view goes to the new end.
    void UpdateScrollRange(bool toEnd = false);

    void PaintLine(QPainter& painter, std::size_t line, int y, std::size_t selBegin, std::size_t selEnd) const;
    void PaintSentenceMark(QPainter& painter, std::size_t line, int y) const;
    void CountSentences(std::size_t firstLine, std::size_t endLine);
    QRect CaretRect() const;
    void UpdateCaret();
    void RestartBlink();
    void EnsureCaretVisible();

    std::size_t ColumnOf(std::size_t pos) const;
    std::size_t PositionAt(const QPoint& point) const;
    std::size_t LineWithColumn(std::size_t line, std::size_t column) const;
    std::size_t WordStart(std::size_t pos) const;
    std::size_t WordEnd(std::size_t pos) const;

    void MoveCaret(std::size_t pos, Move move, bool keepGoalColumn = false);
    void MoveCaretByLines(long lines, Move move);
    bool HandleEditKey(QKeyEvent* event);
    bool HandleMoveKey(QKeyEvent* event);
    void ReplaceSelection(const std::string& bytes);
    void RemoveRange(std::size_t begin, std::size_t end);
    void AfterEdit();
    void DragScroll();
    void OfferSelection();
    QMenu* MakeContextMenu();

    CPaneText m_text;
    bool m_afterCr = false;  // the last received byte was a CR
    std::string m_staging;   // received bytes on their way into the text, a slice at a time
    std::size_t m_caret = 0;
    std::size_t m_anchor = 0;
    std::size_t m_goalColumn = 0;  // where Up and Down aim
    std::size_t m_firstColumn = 0; // the leftmost column in view
    class SelectionData;
    SentenceCounts m_sentences;
    std::function<void()> m_save;
    std::uint64_t m_edits = 0;     // changes other than received bytes at the end
    bool m_readOnly = false;
    bool m_caretOn = true;         // blink phase
    bool m_dragging = false;
    QPoint m_dragPoint;
    QBasicTimer m_blinkTimer;
    QBasicTimer m_dragScrollTimer;
    mutable Metrics m_metrics;
    mutable bool m_metricsValid = false;
};

} // namespace ui

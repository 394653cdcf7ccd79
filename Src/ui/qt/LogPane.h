#pragma once

// A channel's log pane on the screen: the view of a CPaneModel (what the
// device sent and the operator typed, see PaneModel.h), decoded and laid out
// only for the lines in view, in a fixed-pitch font from cached glyphs.
//
// Lines do not wrap; the view follows the caret sideways. A view at the end
// of the text stays at the end as received bytes arrive; a view the operator
// scrolled up keeps its place until they scroll back to the end.
//
// Keys: the platform's editing keys (arrows, Home/End, Page Up/Down, with
// Shift to select and Ctrl by word or to the ends), Backspace, Delete,
// Enter for a line break, Ctrl+A, Ctrl+C, Ctrl+X, Ctrl+V and their
// alternatives; Tab moves the focus. Mouse: click, drag and Shift+click
// select, double click selects a word; the context menu edits. Where the
// platform has a selection clipboard (X11), the selection is offered there
// and decoded only when another program asks for it.
//
// NMEA 0183: every received line that is a sentence with a checksum is
// marked in the margin, quietly when its checksum is right, in red over a
// red line when it is wrong. The received sentences are counted, and their
// count is the pane's tooltip, until Clear.
//
// "Сохранить в файл…" in the context menu, and Ctrl+S, run the handler the
// owner gives (SetSaveHandler); without one they are not offered.

#include "PaneSearch.h"
#include "PaneView.h"

#include <QAbstractScrollArea>
#include <QBasicTimer>
#include <QRawFont>

#include <array>
#include <bitset>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class QMenu;

namespace ui {

class CFindBar;

class CLogPane : public QAbstractScrollArea, public CPaneView
{
    Q_OBJECT
    // The whole text, for whoever knows the pane only as a QObject.
    Q_PROPERTY(QString plainText READ toPlainText WRITE setPlainText)

public:
    explicit CLogPane(QWidget* parent = nullptr);
    ~CLogPane() override;

    // Bytes as the device sent them, added at the end (see ReceivedText.h).
    void AppendReceived(const char* data, std::size_t size, const CPaneModel::ReadTimes& times = {});
    // Empties the pane; the next bytes start at the top.
    void Clear();

    QString toPlainText() const;
    void setPlainText(const QString& text);
    QString selectedText() const;
    bool isReadOnly() const { return m_readOnly; }
    void setReadOnly(bool readOnly);

    using SentenceCounts = CPaneModel::SentenceCounts;
    SentenceCounts Sentences() const { return m_model.Sentences(); }
    QString SentencesText() const;

    // The model's own notes, shown at once.
    void AddSentNote(const std::string& paneBytes);

    // The find bar (Ctrl+F): F3 and Shift+F3 find the next and the previous
    // match of its text, selected and brought into view.
    void OpenFind();
    void Find(bool forward);
    CFindBar* FindBar() const { return m_findBar; }

    void selectAll();
    void copy() const;
    void cut();
    void paste();

    const CPaneText& Text() const { return m_model.Text(); }
    std::size_t CaretPosition() const { return m_model.Caret(); }
    std::size_t AnchorPosition() const { return m_model.Anchor(); }
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
    int TextLeft() const;
    int FullRows() const;
    int VisibleColumns() const;
    // With `toEnd`, the view goes to the new end.
    void UpdateScrollRange(bool toEnd = false);

    void PaintLine(QPainter& painter, std::size_t line, int y) const;
    void PaintSentenceMark(QPainter& painter, std::size_t line, int y) const;
    void PaintEvents(QPainter& painter, std::size_t first, std::size_t end) const;
    QRect CaretRect() const;
    void UpdateCaret();
    void RestartBlink();
    void Repaint() override;
    void EnsureCaretVisible() override;

    std::size_t PositionAt(const QPoint& point) const;

    // After the model's caret or selection moved: repaint what changed,
    // offer the selection, keep the caret in view.
    void CaretMoved(bool hadSelection);
    void MoveCaret(std::size_t pos, Move move);
    bool HandleEditKey(QKeyEvent* event);
    bool HandleMoveKey(QKeyEvent* event);
    void ReplaceSelection(const std::string& bytes);
    void AfterEdit();
    void DragScroll();
    void PlaceFindBar();
    void OnFound(std::size_t begin, std::size_t end, bool wrapped);
    void OfferSelection();
    QMenu* MakeContextMenu();

    class SelectionData;
    CFindBar* m_findBar = nullptr;
    CPaneSearch m_search;
    bool m_readOnly = false;
    bool m_caretOn = true;         // blink phase
    bool m_dragging = false;
    QPoint m_dragPoint;
    QBasicTimer m_blinkTimer;
    QBasicTimer m_dragScrollTimer;
    mutable Metrics m_metrics;
    mutable bool m_metricsValid = false;
};

// The pane among a window's controls; nullptr for any other control.
CLogPane* LogPaneOf(QWidget* control);

} // namespace ui

#include "LogPane.h"

#include "ReceivedText.h"

#include <NmeaChecksum.h>

#include <QApplication>
#include <QClipboard>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGlyphRun>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QToolTip>

#include <QVarLengthArray>

#include <algorithm>
#include <climits>
#include <cstring>
#include <functional>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace ui {

namespace {

constexpr std::size_t kTabWidth = 8;
constexpr int kMarkWidth = 3;          // the sentence mark, at the left edge
constexpr int kMargin = kMarkWidth + 3; // pixels left of the text
constexpr int kDragScrollInterval = 50; // ms between steps while a drag is outside

// A scroll bar that repaints only when what it shows changes: a longer text
// moves the slider by less than a pixel most of the time.
class CQuietScrollBar : public QScrollBar
{
public:
    using QScrollBar::QScrollBar;

    // A new range and page, and with `toEnd` the value at the new end, with
    // one repaint at most for all of it.
    void SetRange(int maximum, int pageStep, bool toEnd)
    {
        m_holding = true;
        setPageStep(pageStep);
        setRange(0, maximum);
        if (toEnd)
            setValue(maximum);
        m_holding = false;
        sliderChange(SliderValueChange);
    }

protected:
    void sliderChange(SliderChange change) override
    {
        if (m_holding)
            return;
        QStyleOptionSlider option;
        initStyleOption(&option);
        const QRect slider = style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, this);
        const Shown shown{slider, value() == minimum(), value() == maximum(), minimum() == maximum()};
        if (change != SliderOrientationChange && shown == m_shown)
            return;
        m_shown = shown;
        QScrollBar::sliderChange(change);
    }

private:
    bool m_holding = false;
    struct Shown
    {
        QRect slider;
        bool atMinimum = false, atMaximum = false, empty = false;
        bool operator==(const Shown& o) const
        {
            return slider == o.slider && atMinimum == o.atMinimum && atMaximum == o.atMaximum && empty == o.empty;
        }
    } m_shown;
};

// The fixed-pitch face at the size of `font`.
QFont FixedFontLike(const QFont& font)
{
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    fixed.setStyleHint(QFont::TypeWriter);
    if (font.pointSizeF() > 0)
        fixed.setPointSizeF(font.pointSizeF());
    else
        fixed.setPixelSize(font.pixelSize());
    fixed.setKerning(false);
    return fixed;
}

std::size_t TabStopAfter(std::size_t column)
{
    return (column / kTabWidth + 1) * kTabWidth;
}

// The first position of [begin, end) at or past `column`, with its column;
// `end` when the line is shorter. Columns: a byte takes one, a tab runs to
// the next tab stop.
std::pair<std::size_t, std::size_t> Seek(const CPaneText& text, std::size_t begin, std::size_t end,
                                         std::size_t column)
{
    std::size_t pos = begin;
    std::size_t at = 0;
    bool found = false;
    text.ForEachPiece(begin, end, [&](const char* data, std::size_t size) {
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

} // namespace

// The pane's selection on the selection clipboard, as text only when asked
// for, and only while the pane and its text are as they were.
class CLogPane::SelectionData : public QMimeData
{
public:
    SelectionData(const CLogPane* pane, std::size_t begin, std::size_t end)
        : m_pane(pane), m_edits(pane->m_edits), m_begin(begin), m_end(end)
    {
    }

    QStringList formats() const override { return {QStringLiteral("text/plain")}; }

protected:
    QVariant retrieveData(const QString& mimeType, QMetaType) const override
    {
        if (mimeType != QLatin1String("text/plain") || !m_pane || m_pane->m_edits != m_edits)
            return QVariant();
        return m_pane->Decoded(m_begin, m_end);
    }

private:
    QPointer<const CLogPane> m_pane;
    std::uint64_t m_edits;
    std::size_t m_begin, m_end;
};

CLogPane::CLogPane(QWidget* parent) : QAbstractScrollArea(parent)
{
    setVerticalScrollBar(new CQuietScrollBar(Qt::Vertical, this));
    verticalScrollBar()->setSingleStep(1);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled);
    setBackgroundRole(QPalette::Base);
    // The pane paints every pixel of its view, and nothing under it repaints.
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setAutoFillBackground(false);
    viewport()->setCursor(Qt::IBeamCursor);
    UpdateScrollRange();
}

CLogPane::~CLogPane() = default;

const CLogPane::Metrics& CLogPane::TextMetrics() const
{
    if (m_metricsValid)
        return m_metrics;
    Metrics& m = m_metrics;
    m.font = FixedFontLike(font());
    const QFontMetrics metrics(m.font);
    m.lineHeight = std::max(1, metrics.lineSpacing());
    m.ascent = metrics.ascent();
    m.rawFont = QRawFont::fromFont(m.font);
    QString all(256, Qt::Uninitialized);
    for (int b = 0; b < 256; ++b)
        all[b] = PaneChar(static_cast<unsigned char>(b));
    const QList<quint32> glyphs = m.rawFont.isValid() ? m.rawFont.glyphIndexesForString(all) : QList<quint32>();
    const QList<QPointF> advances = m.rawFont.isValid() ? m.rawFont.advancesForGlyphIndexes(glyphs) : QList<QPointF>();
    m.cell = std::max(1, advances.size() > '0' ? qRound(advances['0'].x()) : metrics.horizontalAdvance(QLatin1Char('0')));
    for (int b = 0; b < 256; ++b) {
        const bool drawn = b < glyphs.size() && glyphs[b] != 0 && qRound(advances[b].x()) == m.cell;
        m.glyph[b] = drawn ? glyphs[b] : 0;
        m.drawAlone[b] = !drawn;
    }
    m_metricsValid = true;
    return m;
}

int CLogPane::FullRows() const
{
    return std::max(1, viewport()->height() / TextMetrics().lineHeight);
}

int CLogPane::VisibleColumns() const
{
    return std::max(1, (viewport()->width() - kMargin) / TextMetrics().cell);
}

std::size_t CLogPane::FirstVisibleLine() const
{
    return static_cast<std::size_t>(std::max(0, verticalScrollBar()->value()));
}

bool CLogPane::FollowsEnd() const
{
    return verticalScrollBar()->value() >= verticalScrollBar()->maximum();
}

void CLogPane::UpdateScrollRange(bool toEnd)
{
    const int rows = FullRows();
    const std::size_t lines = m_text.LineCount();
    const std::size_t maximum = lines > static_cast<std::size_t>(rows) ? lines - rows : 0;
    static_cast<CQuietScrollBar*>(verticalScrollBar())
        ->SetRange(static_cast<int>(std::min<std::size_t>(maximum, INT_MAX)), rows, toEnd);
}

// Received bytes ------------------------------------------------------------

void CLogPane::AppendReceived(const char* data, std::size_t size)
{
    const bool follow = FollowsEnd();
    const std::size_t oldEnd = m_text.Size();
    const std::size_t changedLine = m_text.LineCount() - 1;  // the line the bytes continue
    // Through a small buffer, however much arrived at once.
    constexpr std::size_t kSlice = 64 * 1024;
    for (std::size_t done = 0; done < size; done += kSlice) {
        m_staging.clear();
        AppendPaneBytes(m_staging, data + done, std::min(kSlice, size - done), m_afterCr);
        m_text.Append(m_staging);
    }
    if (m_text.Size() == oldEnd)
        return;
    CountSentences(changedLine, m_text.LineCount() - 1);
    if (m_caret == oldEnd)
        m_caret = m_text.Size();
    if (m_anchor == oldEnd)
        m_anchor = m_text.Size();

    UpdateScrollRange(follow);
    // Only the rows from the line that grew on need painting; a view that
    // scrolled has moved the rest already.
    const std::size_t first = FirstVisibleLine();
    const int lineHeight = TextMetrics().lineHeight;
    const std::size_t lastInView = first + static_cast<std::size_t>(viewport()->height() / lineHeight);
    if (changedLine <= lastInView) {
        const int top = changedLine > first ? static_cast<int>(changedLine - first) * lineHeight : 0;
        viewport()->update(0, top, viewport()->width(), viewport()->height() - top);
    }
}

void CLogPane::Clear()
{
    ++m_edits;
    m_sentences = SentenceCounts();
    m_text.Clear();
    m_caret = m_anchor = 0;
    m_goalColumn = m_firstColumn = 0;
    UpdateScrollRange();
    viewport()->update();
#ifdef __GLIBC__
    malloc_trim(0);  // hand what the pane held back to the system
#endif
}

// Lines [firstLine, endLine) have just been completed by received bytes.
void CLogPane::CountSentences(std::size_t firstLine, std::size_t endLine)
{
    for (std::size_t line = firstLine; line < endLine; ++line) {
        commands::CSentenceCheck check;
        m_text.ForEachPiece(m_text.LineStart(line), m_text.LineEnd(line), [&](const char* data, std::size_t size) {
            check.Add(data, size);
            return true;
        });
        const commands::CSentenceCheck::Result result = check.Get();
        if (result != commands::CSentenceCheck::Result::None)
            ++m_sentences.seen;
        if (result == commands::CSentenceCheck::Result::Broken)
            ++m_sentences.broken;
    }
}

QString CLogPane::SentencesText() const
{
    return QString::fromUtf8("NMEA-предложений: %1, с ошибкой контрольной суммы: %2")
        .arg(m_sentences.seen)
        .arg(m_sentences.broken);
}

// Text as a whole -----------------------------------------------------------

QString CLogPane::Decoded(std::size_t begin, std::size_t end) const
{
    end = std::min(end, m_text.Size());
    begin = std::min(begin, end);
    QString text(static_cast<qsizetype>(end - begin), Qt::Uninitialized);
    char16_t* out = reinterpret_cast<char16_t*>(text.data());
    m_text.ForEachPiece(begin, end, [&](const char* data, std::size_t size) {
        out = DecodePaneBytes(data, size, out);
        return true;
    });
    return text;
}

QString CLogPane::toPlainText() const
{
    return Decoded(0, m_text.Size());
}

void CLogPane::setPlainText(const QString& text)
{
    Clear();
    m_text.Append(ToPaneBytes(text));
    UpdateScrollRange();
    viewport()->update();
}

QString CLogPane::selectedText() const
{
    return Decoded(std::min(m_anchor, m_caret), std::max(m_anchor, m_caret));
}

void CLogPane::setReadOnly(bool readOnly)
{
    m_readOnly = readOnly;
}

void CLogPane::SetSelection(std::size_t anchor, std::size_t caret)
{
    m_anchor = std::min(anchor, m_text.Size());
    MoveCaret(caret, Move::Select);
}

void CLogPane::selectAll()
{
    m_anchor = 0;
    MoveCaret(m_text.Size(), Move::Select);
}

void CLogPane::copy() const
{
    if (m_anchor != m_caret)
        QGuiApplication::clipboard()->setText(selectedText());
}

void CLogPane::cut()
{
    if (m_readOnly || m_anchor == m_caret)
        return;
    copy();
    ReplaceSelection(std::string());
}

void CLogPane::paste()
{
    if (m_readOnly)
        return;
    const std::string bytes = ToPaneBytes(QGuiApplication::clipboard()->text());
    if (!bytes.empty())
        ReplaceSelection(bytes);
}

// Painting --------------------------------------------------------------------

void CLogPane::paintEvent(QPaintEvent* event)
{
    const Metrics& m = TextMetrics();
    QPainter painter(viewport());
    const QRect area = event->rect();
    painter.fillRect(area, palette().brush(QPalette::Base));

    const std::size_t first = FirstVisibleLine();
    const std::size_t lines = m_text.LineCount();
    const std::size_t selBegin = std::min(m_anchor, m_caret);
    const std::size_t selEnd = std::max(m_anchor, m_caret);
    const int firstRow = std::max(0, area.top()) / m.lineHeight;
    const int lastRow = std::max(0, area.bottom()) / m.lineHeight;
    for (int row = firstRow; row <= lastRow && first + row < lines; ++row) {
        PaintSentenceMark(painter, first + row, row * m.lineHeight);
        PaintLine(painter, first + row, row * m.lineHeight, selBegin, selEnd);
    }

    if (hasFocus() && m_caretOn && !m_readOnly) {
        const QRect caret = CaretRect();
        if (caret.intersects(area))
            painter.fillRect(caret, palette().brush(QPalette::Text));
    }
}

void CLogPane::PaintLine(QPainter& painter, std::size_t line, int y, std::size_t selBegin,
                         std::size_t selEnd) const
{
    const Metrics& m = TextMetrics();
    const std::size_t begin = m_text.LineStart(line);
    const std::size_t end = m_text.LineEnd(line);
    const std::size_t lastColumn = m_firstColumn + static_cast<std::size_t>(VisibleColumns()) + 1;
    auto [pos, column] = Seek(m_text, begin, end, m_firstColumn);
    const auto xOf = [&](std::size_t col) {
        return kMargin + static_cast<int>(col - std::min(col, m_firstColumn)) * m.cell;
    };

    QList<quint32> glyphs[2];  // [selected]
    QList<QPointF> positions[2];
    struct Alone
    {
        int x;
        QChar c;
        bool selected;
    };
    QVarLengthArray<Alone, 8> alone;
    std::size_t selFrom = 0, selTo = 0;  // selected columns in view
    const int baseline = y + m.ascent;
    m_text.ForEachPiece(pos, end, [&](const char* data, std::size_t size) {
        for (std::size_t i = 0; i < size && column < lastColumn; ++i, ++pos) {
            const auto byte = static_cast<unsigned char>(data[i]);
            const std::size_t next = byte == '\t' ? TabStopAfter(column) : column + 1;
            const bool selected = pos >= selBegin && pos < selEnd;
            if (selected) {
                if (selFrom == selTo)
                    selFrom = column;
                selTo = next;
            }
            if (byte != '\t') {
                if (m.drawAlone[byte]) {
                    alone.append({xOf(column), PaneChar(byte), selected});
                } else {
                    glyphs[selected].append(m.glyph[byte]);
                    positions[selected].append(QPointF(xOf(column), baseline));
                }
            }
            column = next;
        }
        return column < lastColumn;
    });
    // A selected line break shows as one selected cell after the line.
    if (end < m_text.Size() && end >= selBegin && end < selEnd && column < lastColumn && pos == end) {
        if (selFrom == selTo)
            selFrom = column;
        selTo = column + 1;
    }

    if (selFrom != selTo) {
        painter.fillRect(QRect(xOf(std::max(selFrom, m_firstColumn)), y,
                               xOf(selTo) - xOf(std::max(selFrom, m_firstColumn)), m.lineHeight),
                         palette().brush(QPalette::Highlight));
    }
    const QColor colours[2] = {palette().color(QPalette::Text), palette().color(QPalette::HighlightedText)};
    for (int selected = 0; selected < 2; ++selected) {
        if (glyphs[selected].isEmpty())
            continue;
        QGlyphRun run;
        run.setRawFont(m.rawFont);
        run.setGlyphIndexes(glyphs[selected]);
        run.setPositions(positions[selected]);
        painter.setPen(colours[selected]);
        painter.drawGlyphRun(QPointF(0, 0), run);
    }
    if (!alone.isEmpty()) {
        painter.setFont(m.font);
        for (const Alone& a : alone) {
            painter.setPen(colours[a.selected]);
            painter.drawText(QRect(a.x, y, m.cell, m.lineHeight), Qt::AlignCenter, QString(a.c));
        }
    }
}

// A complete line that is a sentence: a quiet mark at the left edge when its
// checksum is right; a red mark on a red line when it is wrong.
void CLogPane::PaintSentenceMark(QPainter& painter, std::size_t line, int y) const
{
    if (line + 1 >= m_text.LineCount())
        return;  // still arriving
    commands::CSentenceCheck check;
    m_text.ForEachPiece(m_text.LineStart(line), m_text.LineEnd(line), [&](const char* data, std::size_t size) {
        check.Add(data, size);
        return true;
    });
    const int height = TextMetrics().lineHeight;
    switch (check.Get()) {
    case commands::CSentenceCheck::Result::None:
        return;
    case commands::CSentenceCheck::Result::Valid:
        painter.fillRect(QRect(0, y + 1, kMarkWidth, height - 2), QColor(150, 200, 150));
        return;
    case commands::CSentenceCheck::Result::Broken:
        painter.fillRect(QRect(0, y, viewport()->width(), height), QColor(255, 215, 215));
        painter.fillRect(QRect(0, y, kMarkWidth, height), QColor(220, 0, 0));
        return;
    }
}

QRect CLogPane::CaretRect() const
{
    const Metrics& m = TextMetrics();
    const std::size_t line = m_text.LineOf(m_caret);
    const std::size_t first = FirstVisibleLine();
    const std::size_t column = ColumnOf(m_caret);
    if (line < first || column < m_firstColumn)
        return QRect();
    const std::size_t row = line - first;
    if (row > static_cast<std::size_t>(viewport()->height() / m.lineHeight))
        return QRect();
    return QRect(kMargin + static_cast<int>(column - m_firstColumn) * m.cell - 1, static_cast<int>(row) * m.lineHeight,
                 2, m.lineHeight);
}

void CLogPane::UpdateCaret()
{
    viewport()->update(CaretRect());
}

void CLogPane::RestartBlink()
{
    m_caretOn = true;
    const int flash = QApplication::cursorFlashTime();
    if (hasFocus() && flash > 0)
        m_blinkTimer.start(flash / 2, this);
    else
        m_blinkTimer.stop();
}

void CLogPane::EnsureCaretVisible()
{
    const std::size_t line = m_text.LineOf(m_caret);
    const std::size_t first = FirstVisibleLine();
    const std::size_t rows = static_cast<std::size_t>(FullRows());
    if (line < first)
        verticalScrollBar()->setValue(static_cast<int>(line));
    else if (line >= first + rows)
        verticalScrollBar()->setValue(static_cast<int>(line - rows + 1));

    const std::size_t column = ColumnOf(m_caret);
    const std::size_t columns = static_cast<std::size_t>(VisibleColumns());
    std::size_t firstColumn = m_firstColumn;
    if (column < firstColumn)
        firstColumn = column > columns / 4 ? column - columns / 4 : 0;
    else if (column >= firstColumn + columns)
        firstColumn = column - columns + 1 + columns / 4;
    if (firstColumn != m_firstColumn) {
        m_firstColumn = firstColumn;
        viewport()->update();
    }
}

// Geometry ------------------------------------------------------------------

std::size_t CLogPane::ColumnOf(std::size_t pos) const
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

std::size_t CLogPane::LineWithColumn(std::size_t line, std::size_t column) const
{
    return Seek(m_text, m_text.LineStart(line), m_text.LineEnd(line), column).first;
}

std::size_t CLogPane::PositionAt(const QPoint& point) const
{
    const Metrics& m = TextMetrics();
    const long row = point.y() < 0 ? -1 : point.y() / m.lineHeight;
    const long line = std::clamp<long>(static_cast<long>(FirstVisibleLine()) + row, 0,
                                       static_cast<long>(m_text.LineCount()) - 1);
    const int x = std::max(0, point.x() - kMargin + m.cell / 2);
    return LineWithColumn(static_cast<std::size_t>(line), m_firstColumn + static_cast<std::size_t>(x / m.cell));
}

namespace {

bool IsWordByte(char c)
{
    return c != ' ' && c != '\t' && c != '\n';
}

} // namespace

std::size_t CLogPane::WordStart(std::size_t pos) const
{
    while (pos > 0 && !IsWordByte(m_text.At(pos - 1)) && m_text.At(pos - 1) != '\n')
        --pos;
    while (pos > 0 && IsWordByte(m_text.At(pos - 1)))
        --pos;
    return pos;
}

std::size_t CLogPane::WordEnd(std::size_t pos) const
{
    const std::size_t size = m_text.Size();
    while (pos < size && IsWordByte(m_text.At(pos)))
        ++pos;
    while (pos < size && !IsWordByte(m_text.At(pos)) && m_text.At(pos) != '\n')
        ++pos;
    return pos;
}

// Caret, selection and editing ------------------------------------------------

void CLogPane::MoveCaret(std::size_t pos, Move move, bool keepGoalColumn)
{
    const bool hadSelection = m_anchor != m_caret;
    UpdateCaret();  // where it was
    m_caret = std::min(pos, m_text.Size());
    if (move == Move::Stay)
        m_anchor = m_caret;
    if (!keepGoalColumn)
        m_goalColumn = ColumnOf(m_caret);
    if (hadSelection || m_anchor != m_caret)
        viewport()->update();
    if (m_anchor != m_caret && !m_dragging)
        OfferSelection();
    RestartBlink();
    EnsureCaretVisible();
    UpdateCaret();
}

void CLogPane::OfferSelection()
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (clipboard->supportsSelection())
        clipboard->setMimeData(new SelectionData(this, std::min(m_anchor, m_caret), std::max(m_anchor, m_caret)),
                               QClipboard::Selection);
}

void CLogPane::MoveCaretByLines(long lines, Move move)
{
    const long last = static_cast<long>(m_text.LineCount()) - 1;
    const long line = std::clamp(static_cast<long>(m_text.LineOf(m_caret)) + lines, 0L, last);
    MoveCaret(LineWithColumn(static_cast<std::size_t>(line), m_goalColumn), move, true);
}

void CLogPane::RemoveRange(std::size_t begin, std::size_t end)
{
    if (begin >= end)
        return;
    ++m_edits;
    m_text.Erase(begin, end - begin);
    const auto shift = [&](std::size_t pos) { return pos <= begin ? pos : pos <= end ? begin : pos - (end - begin); };
    m_caret = shift(m_caret);
    m_anchor = shift(m_anchor);
}

void CLogPane::ReplaceSelection(const std::string& bytes)
{
    const std::size_t begin = std::min(m_anchor, m_caret);
    RemoveRange(begin, std::max(m_anchor, m_caret));
    ++m_edits;
    m_text.Insert(begin, bytes.data(), bytes.size());
    m_anchor = m_caret = begin + bytes.size();
    AfterEdit();
}

void CLogPane::AfterEdit()
{
    UpdateScrollRange();
    m_goalColumn = ColumnOf(m_caret);
    viewport()->update();
    RestartBlink();
    EnsureCaretVisible();
}

bool CLogPane::HandleMoveKey(QKeyEvent* event)
{
    const long page = FullRows();
    const struct
    {
        QKeySequence::StandardKey stay, select;
        std::function<void(Move)> go;
    } moves[] = {
        {QKeySequence::MoveToNextChar, QKeySequence::SelectNextChar,
         [&](Move m) { MoveCaret(m_caret + 1, m); }},
        {QKeySequence::MoveToPreviousChar, QKeySequence::SelectPreviousChar,
         [&](Move m) { MoveCaret(m_caret > 0 ? m_caret - 1 : 0, m); }},
        {QKeySequence::MoveToNextWord, QKeySequence::SelectNextWord, [&](Move m) { MoveCaret(WordEnd(m_caret), m); }},
        {QKeySequence::MoveToPreviousWord, QKeySequence::SelectPreviousWord,
         [&](Move m) { MoveCaret(WordStart(m_caret), m); }},
        {QKeySequence::MoveToNextLine, QKeySequence::SelectNextLine, [&](Move m) { MoveCaretByLines(1, m); }},
        {QKeySequence::MoveToPreviousLine, QKeySequence::SelectPreviousLine,
         [&](Move m) { MoveCaretByLines(-1, m); }},
        {QKeySequence::MoveToNextPage, QKeySequence::SelectNextPage, [&](Move m) { MoveCaretByLines(page, m); }},
        {QKeySequence::MoveToPreviousPage, QKeySequence::SelectPreviousPage,
         [&](Move m) { MoveCaretByLines(-page, m); }},
        {QKeySequence::MoveToStartOfLine, QKeySequence::SelectStartOfLine,
         [&](Move m) { MoveCaret(m_text.LineStart(m_text.LineOf(m_caret)), m); }},
        {QKeySequence::MoveToEndOfLine, QKeySequence::SelectEndOfLine,
         [&](Move m) { MoveCaret(m_text.LineEnd(m_text.LineOf(m_caret)), m); }},
        {QKeySequence::MoveToStartOfDocument, QKeySequence::SelectStartOfDocument,
         [&](Move m) { MoveCaret(0, m); }},
        {QKeySequence::MoveToEndOfDocument, QKeySequence::SelectEndOfDocument,
         [&](Move m) { MoveCaret(m_text.Size(), m); }},
    };
    for (const auto& move : moves) {
        if (event->matches(move.stay)) {
            move.go(Move::Stay);
            return true;
        }
        if (event->matches(move.select)) {
            move.go(Move::Select);
            return true;
        }
    }
    return false;
}

bool CLogPane::HandleEditKey(QKeyEvent* event)
{
    if (event == QKeySequence::Save && m_save)
        m_save();
    else if (event == QKeySequence::SelectAll)
        selectAll();
    else if (event == QKeySequence::Copy)
        copy();
    else if (event == QKeySequence::Cut)
        cut();
    else if (event == QKeySequence::Paste)
        paste();
    else if (m_readOnly)
        return false;
    else if (event == QKeySequence::InsertParagraphSeparator || event == QKeySequence::InsertLineSeparator)
        ReplaceSelection("\n");
    else if (event->key() == Qt::Key_Backspace || event == QKeySequence::Delete) {
        // The selection, or else the byte before or after the caret.
        if (m_anchor == m_caret) {
            const bool back = event->key() == Qt::Key_Backspace;
            if (back ? m_caret == 0 : m_caret == m_text.Size())
                return true;
            m_anchor = back ? m_caret - 1 : m_caret + 1;
        }
        ReplaceSelection(std::string());
    } else {
        const QString text = event->text();
        const bool typed = !text.isEmpty() && text.at(0).isPrint() &&
                           !(event->modifiers() & (Qt::ControlModifier | Qt::MetaModifier));
        if (!typed)
            return false;
        ReplaceSelection(ToPaneBytes(text));
    }
    return true;
}

void CLogPane::keyPressEvent(QKeyEvent* event)
{
    if (HandleMoveKey(event) || HandleEditKey(event))
        event->accept();
    else
        event->ignore();  // Escape and the rest go to the window
}

bool CLogPane::event(QEvent* event)
{
    // The pane's own keys win over any shortcut of the window.
    if (event->type() == QEvent::ShortcutOverride) {
        auto* key = static_cast<QKeyEvent*>(event);
        for (const auto standard : {QKeySequence::SelectAll, QKeySequence::Copy, QKeySequence::Cut,
                                    QKeySequence::Paste, QKeySequence::Delete, QKeySequence::Save}) {
            if (key->matches(standard)) {
                event->accept();
                return true;
            }
        }
    }
    return QAbstractScrollArea::event(event);
}

void CLogPane::inputMethodEvent(QInputMethodEvent* event)
{
    if (!m_readOnly && !event->commitString().isEmpty())
        ReplaceSelection(ToPaneBytes(event->commitString()));
    event->accept();
}

QVariant CLogPane::inputMethodQuery(Qt::InputMethodQuery query) const
{
    switch (query) {
    case Qt::ImEnabled:
        return !m_readOnly;
    case Qt::ImCursorRectangle:
        return CaretRect().translated(viewport()->pos());
    case Qt::ImHints:
        return static_cast<int>(Qt::ImhMultiLine);
    default:
        return QAbstractScrollArea::inputMethodQuery(query);
    }
}

// Mouse -----------------------------------------------------------------------

void CLogPane::mousePressEvent(QMouseEvent* event)
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (event->button() == Qt::MiddleButton && clipboard->supportsSelection() && !m_readOnly) {
        // The selection clipboard goes in where the middle button is pressed.
        MoveCaret(PositionAt(event->position().toPoint()), Move::Stay);
        const std::string bytes = ToPaneBytes(clipboard->text(QClipboard::Selection));
        if (!bytes.empty())
            ReplaceSelection(bytes);
        return;
    }
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    const bool extend = event->modifiers() & Qt::ShiftModifier;
    MoveCaret(PositionAt(event->position().toPoint()), extend ? Move::Select : Move::Stay);
    m_dragging = true;
    m_dragPoint = event->position().toPoint();
}

void CLogPane::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_dragging || !(event->buttons() & Qt::LeftButton))
        return;
    m_dragPoint = event->position().toPoint();
    MoveCaret(PositionAt(m_dragPoint), Move::Select);
    if (viewport()->rect().contains(m_dragPoint))
        m_dragScrollTimer.stop();
    else if (!m_dragScrollTimer.isActive())
        m_dragScrollTimer.start(kDragScrollInterval, this);
}

void CLogPane::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && m_dragging) {
        m_dragging = false;
        m_dragScrollTimer.stop();
        if (m_anchor != m_caret)
            OfferSelection();
    }
}

void CLogPane::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const std::size_t pos = PositionAt(event->position().toPoint());
    std::size_t begin = pos, end = pos;
    while (begin > 0 && IsWordByte(m_text.At(begin - 1)))
        --begin;
    while (end < m_text.Size() && IsWordByte(m_text.At(end)))
        ++end;
    m_anchor = begin;
    MoveCaret(end, Move::Select);
}

// Scrolls a line towards a drag that left the view, extending the selection.
void CLogPane::DragScroll()
{
    const int height = viewport()->height();
    if (m_dragPoint.y() < 0)
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
    else if (m_dragPoint.y() >= height)
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    MoveCaret(PositionAt(m_dragPoint), Move::Select);
}

QMenu* CLogPane::MakeContextMenu()
{
    auto* menu = new QMenu(this);
    const bool selection = m_anchor != m_caret;
    const bool editable = !m_readOnly;
    const auto add = [&](const char* caption, QKeySequence::StandardKey key, bool enabled, auto action) {
        QAction* item = menu->addAction(QString::fromUtf8(caption), this, action);
        item->setShortcut(key);
        item->setEnabled(enabled);
    };
    add("Вырезать", QKeySequence::Cut, editable && selection, [this] { cut(); });
    add("Копировать", QKeySequence::Copy, selection, [this] { copy(); });
    add("Вставить", QKeySequence::Paste, editable && !QGuiApplication::clipboard()->text().isEmpty(),
        [this] { paste(); });
    add("Удалить", QKeySequence::Delete, editable && selection, [this] { ReplaceSelection(std::string()); });
    menu->addSeparator();
    add("Выделить всё", QKeySequence::SelectAll, !m_text.Empty(), [this] { selectAll(); });
    if (m_save) {
        menu->addSeparator();
        add("Сохранить в файл…", QKeySequence::Save, true, [this] { m_save(); });
    }
    return menu;
}

bool CLogPane::viewportEvent(QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), SentencesText(), viewport());
        return true;
    }
    return QAbstractScrollArea::viewportEvent(event);
}

void CLogPane::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu* menu = MakeContextMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}

// Focus, timers, geometry ---------------------------------------------------

void CLogPane::focusInEvent(QFocusEvent* event)
{
    QAbstractScrollArea::focusInEvent(event);
    RestartBlink();
    UpdateCaret();
}

void CLogPane::focusOutEvent(QFocusEvent* event)
{
    QAbstractScrollArea::focusOutEvent(event);
    m_blinkTimer.stop();
    m_dragging = false;
    m_dragScrollTimer.stop();
    UpdateCaret();
}

void CLogPane::timerEvent(QTimerEvent* event)
{
    if (event->timerId() == m_blinkTimer.timerId()) {
        m_caretOn = !m_caretOn;
        UpdateCaret();
    } else if (event->timerId() == m_dragScrollTimer.timerId()) {
        DragScroll();
    } else {
        QAbstractScrollArea::timerEvent(event);
    }
}

void CLogPane::resizeEvent(QResizeEvent* event)
{
    const bool follow = FollowsEnd();
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollRange(follow);
}

void CLogPane::scrollContentsBy(int, int dy)
{
    const int rows = viewport()->height() / TextMetrics().lineHeight;
    if (dy != 0 && std::abs(dy) <= rows)
        viewport()->scroll(0, dy * TextMetrics().lineHeight);
    else
        viewport()->update();
}

void CLogPane::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::FontChange || event->type() == QEvent::PaletteChange) {
        m_metricsValid = false;
        UpdateScrollRange();
        viewport()->update();
    }
    QAbstractScrollArea::changeEvent(event);
}

} // namespace ui

#include "LogPane.h"

#include "FindBar.h"
#include <LocalTime.h>
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

QString ToQString(const std::string& utf8)
{
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string PaneBytesOf(const QString& text)
{
    return ToPaneBytes(reinterpret_cast<const char16_t*>(text.utf16()), static_cast<std::size_t>(text.size()));
}

} // namespace

// The pane's selection on the selection clipboard, as text only when asked
// for, and only while the pane and its text are as they were.
class CLogPane::SelectionData : public QMimeData
{
public:
    SelectionData(const CLogPane* pane, std::size_t begin, std::size_t end)
        : m_pane(pane), m_edits(pane->m_model.Edits()), m_begin(begin), m_end(end)
    {
    }

    QStringList formats() const override { return {QStringLiteral("text/plain")}; }

protected:
    QVariant retrieveData(const QString& mimeType, QMetaType) const override
    {
        if (mimeType != QLatin1String("text/plain") || !m_pane || m_pane->m_model.Edits() != m_edits)
            return QVariant();
        return m_pane->Decoded(m_begin, m_end);
    }

private:
    QPointer<const CLogPane> m_pane;
    std::uint64_t m_edits;
    std::size_t m_begin, m_end;
};

CLogPane::CLogPane(QWidget* parent)
    : QAbstractScrollArea(parent),
      m_search(m_model, [this](std::size_t begin, std::size_t end, bool wrapped) { OnFound(begin, end, wrapped); },
               [this] { m_findBar->SetStatus(QString::fromUtf8("Не найдено")); })
{
    m_findBar = new CFindBar(this, [this](bool forward) { Find(forward); }, [this] {
        setViewportMargins(0, 0, 0, 0);
        m_search.Stop();
        setFocus();
    });
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

CLogPane* LogPaneOf(QWidget* control)
{
    return qobject_cast<CLogPane*>(control);
}

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
        all[b] = QChar(PaneChar(static_cast<unsigned char>(b)));
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

// Left of the text: the mark, and the lines' times when they are shown
// ("HH:MM:SS.mmm" and a blank).
int CLogPane::TextLeft() const
{
    return kMargin + (m_times ? 13 * TextMetrics().cell : 0);
}

int CLogPane::FullRows() const
{
    return std::max(1, viewport()->height() / TextMetrics().lineHeight);
}

int CLogPane::VisibleColumns() const
{
    return std::max(1, (viewport()->width() - TextLeft()) / TextMetrics().cell);
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
    const std::size_t lines = m_model.Text().LineCount();
    const std::size_t maximum = lines > static_cast<std::size_t>(rows) ? lines - rows : 0;
    static_cast<CQuietScrollBar*>(verticalScrollBar())
        ->SetRange(static_cast<int>(std::min<std::size_t>(maximum, INT_MAX)), rows, toEnd);
}

// Received bytes ------------------------------------------------------------

void CLogPane::AppendReceived(const char* data, std::size_t size, const CPaneModel::ReadTimes& times)
{
    const bool follow = FollowsEnd();
    const std::size_t oldEnd = m_model.Text().Size();
    const std::size_t changedLine = m_model.AppendReceived(data, size, times);
    if (m_model.Text().Size() == oldEnd)
        return;

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

void CLogPane::Repaint()
{
    viewport()->update();
}

void CLogPane::Clear()
{
    m_model.Clear();
    m_firstColumn = 0;
    UpdateScrollRange();
    Repaint();
#ifdef __GLIBC__
    malloc_trim(0);  // hand what the pane held back to the system
#endif
}

void CLogPane::AddSentNote(const std::string& paneBytes)
{
    const bool follow = FollowsEnd();
    m_model.AddSentNote(paneBytes);
    UpdateScrollRange(follow);
    Repaint();
}

QString CLogPane::SentencesText() const
{
    return ToQString(m_model.SentencesText());
}

// Text as a whole -----------------------------------------------------------

QString CLogPane::Decoded(std::size_t begin, std::size_t end) const
{
    end = std::min(end, m_model.Text().Size());
    begin = std::min(begin, end);
    if (m_hex) {
        const std::u16string copied = Layout().CopyText(begin, end);
        return QString::fromUtf16(copied.data(), static_cast<qsizetype>(copied.size()));
    }
    QString text(static_cast<qsizetype>(end - begin), Qt::Uninitialized);
    m_model.Decode(begin, end, reinterpret_cast<char16_t*>(text.data()));
    return text;
}

QString CLogPane::toPlainText() const
{
    QString text(static_cast<qsizetype>(m_model.Text().Size()), Qt::Uninitialized);
    m_model.Decode(0, m_model.Text().Size(), reinterpret_cast<char16_t*>(text.data()));
    return text;
}

void CLogPane::setPlainText(const QString& text)
{
    m_model.SetText(PaneBytesOf(text));
    m_firstColumn = 0;
    UpdateScrollRange();
    Repaint();
}

QString CLogPane::selectedText() const
{
    return Decoded(m_model.SelectionBegin(), m_model.SelectionEnd());
}

void CLogPane::setReadOnly(bool readOnly)
{
    m_readOnly = readOnly;
}

void CLogPane::SetSelection(std::size_t anchor, std::size_t caret)
{
    const bool hadSelection = m_model.HasSelection();
    UpdateCaret();
    m_model.SetSelection(anchor, caret);
    CaretMoved(hadSelection);
}

void CLogPane::selectAll()
{
    SetSelection(0, m_model.Text().Size());
}

void CLogPane::copy() const
{
    if (m_model.HasSelection())
        QGuiApplication::clipboard()->setText(selectedText());
}

void CLogPane::cut()
{
    if (m_readOnly || !m_model.HasSelection())
        return;
    copy();
    ReplaceSelection(std::string());
}

void CLogPane::paste()
{
    if (m_readOnly)
        return;
    const std::string bytes = PaneBytesOf(QGuiApplication::clipboard()->text());
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
    const std::size_t lines = m_model.Text().LineCount();
    const int firstRow = std::max(0, area.top()) / m.lineHeight;
    const int lastRow = std::max(0, area.bottom()) / m.lineHeight;
    for (int row = firstRow; row <= lastRow && first + row < lines; ++row) {
        PaintSentenceMark(painter, first + row, row * m.lineHeight);
        PaintLine(painter, first + row, row * m.lineHeight);
    }
    PaintEvents(painter, first, std::min(lines, first + static_cast<std::size_t>(lastRow) + 1));

    if (hasFocus() && m_caretOn && !m_readOnly) {
        const QRect caret = CaretRect();
        if (caret.intersects(area))
            painter.fillRect(caret, palette().brush(QPalette::Text));
    }
}

void CLogPane::PaintLine(QPainter& painter, std::size_t line, int y) const
{
    const Metrics& m = TextMetrics();
    const std::size_t columns = static_cast<std::size_t>(VisibleColumns()) + 1;
    Layout().Row(line, m_firstColumn, columns, m_cells);
    const int left = TextLeft();
    const auto xOf = [&](std::size_t column) { return left + static_cast<int>(column - m_firstColumn) * m.cell; };
    if (m_times) {
        if (const std::int64_t time = m_model.LineTimeMs(line)) {
            painter.setFont(m.font);
            painter.setPen(palette().color(QPalette::PlaceholderText));
            painter.drawText(QRect(kMargin, y, left - kMargin, m.lineHeight), Qt::AlignLeft | Qt::AlignVCenter,
                             QString::fromStdString(text::LocalTime(time, "%H:%M:%S", true)));
        }
    }

    // The selection's runs of cells, then the glyphs by colour: text,
    // selected, dimmed.
    for (std::size_t i = 0; i < m_cells.size();) {
        if (!m_cells[i].selected) {
            ++i;
            continue;
        }
        std::size_t j = i;
        while (j + 1 < m_cells.size() && m_cells[j + 1].selected && m_cells[j + 1].column == m_cells[j].column + 1)
            ++j;
        painter.fillRect(QRect(xOf(m_cells[i].column), y, xOf(m_cells[j].column + 1) - xOf(m_cells[i].column), m.lineHeight),
                         palette().brush(QPalette::Highlight));
        i = j + 1;
    }
    enum { kText, kSelected, kDim, kColours };
    QList<quint32> glyphs[kColours];
    QList<QPointF> positions[kColours];
    struct Alone
    {
        int x;
        QChar c;
        int colour;
    };
    QVarLengthArray<Alone, 8> alone;
    const int baseline = y + m.ascent;
    for (const PaneCell& cell : m_cells) {
        if (cell.byte == '\t' || cell.byte == ' ')
            continue;
        const int colour = cell.selected ? kSelected : cell.dim ? kDim : kText;
        if (m.drawAlone[cell.byte]) {
            alone.append({xOf(cell.column), QChar(PaneChar(cell.byte)), colour});
        } else {
            glyphs[colour].append(m.glyph[cell.byte]);
            positions[colour].append(QPointF(xOf(cell.column), baseline));
        }
    }
    const QColor colours[kColours] = {palette().color(QPalette::Text), palette().color(QPalette::HighlightedText),
                                      palette().color(QPalette::PlaceholderText)};
    for (int colour = 0; colour < kColours; ++colour) {
        if (glyphs[colour].isEmpty())
            continue;
        QGlyphRun run;
        run.setRawFont(m.rawFont);
        run.setGlyphIndexes(glyphs[colour]);
        run.setPositions(positions[colour]);
        painter.setPen(colours[colour]);
        painter.drawGlyphRun(QPointF(0, 0), run);
    }
    if (!alone.isEmpty()) {
        painter.setFont(m.font);
        for (const Alone& a : alone) {
            painter.setPen(colours[a.colour]);
            painter.drawText(QRect(a.x, y, m.cell, m.lineHeight), Qt::AlignCenter, QString(a.c));
        }
    }
}

// A received sentence: a quiet mark at the left edge when its checksum is
// right; a red mark on a red line when it is wrong.
void CLogPane::PaintSentenceMark(QPainter& painter, std::size_t line, int y) const
{
    const int height = TextMetrics().lineHeight;
    switch (m_model.MarkOf(line)) {
    case CPaneModel::LineMark::None:
        return;
    case CPaneModel::LineMark::Valid:
        painter.fillRect(QRect(0, y + 1, kMarkWidth, height - 2), QColor(150, 200, 150));
        return;
    case CPaneModel::LineMark::Broken:
        painter.fillRect(QRect(0, y, viewport()->width(), height), QColor(255, 215, 215));
        painter.fillRect(QRect(0, y, kMarkWidth, height), QColor(220, 0, 0));
        return;
    case CPaneModel::LineMark::Sent:
        painter.fillRect(QRect(0, y, viewport()->width(), height), QColor(225, 235, 250));
        painter.fillRect(QRect(0, y, kMarkWidth, height), QColor(40, 90, 200));
        return;
    }
}

// Each link event of the lines [first, end) as a rule over the line where
// it happened, with what it was and when at the right.
void CLogPane::PaintEvents(QPainter& painter, std::size_t first, std::size_t end) const
{
    const Metrics& m = TextMetrics();
    const CPaneText& text = m_model.Text();
    const auto& events = m_model.Events();
    const std::size_t from = text.LineStart(first);
    auto event = std::lower_bound(events.begin(), events.end(), from,
                                  [](const CPaneModel::Event& e, std::size_t pos) { return e.pos < pos; });
    for (; event != events.end(); ++event) {
        const std::size_t line = text.LineOf(event->pos);
        if (line >= end)
            break;
        const bool good = event->kind == CPaneModel::Event::Kind::Opened || event->kind == CPaneModel::Event::Kind::Back;
        const QColor colour = good ? QColor(0, 130, 0) : QColor(200, 60, 0);
        const int y = static_cast<int>(line - first) * m.lineHeight;
        painter.fillRect(QRect(0, y, viewport()->width(), 1), colour);
        const QString label = QString::fromStdString(CPaneModel::EventText(*event));
        painter.setFont(m.font);
        const int width = QFontMetrics(m.font).horizontalAdvance(label) + 6;
        const QRect box(viewport()->width() - width, y + 1, width, m.lineHeight - 1);
        painter.fillRect(box, palette().brush(QPalette::Base));
        painter.setPen(colour);
        painter.drawText(box, Qt::AlignCenter, label);
    }
}

QRect CLogPane::CaretRect() const
{
    const Metrics& m = TextMetrics();
    const std::size_t caret = m_model.Caret();
    const std::size_t line = m_model.Text().LineOf(caret);
    const std::size_t first = FirstVisibleLine();
    const std::size_t column = Layout().ColumnOf(caret);
    if (line < first || column < m_firstColumn)
        return QRect();
    const std::size_t row = line - first;
    if (row > static_cast<std::size_t>(viewport()->height() / m.lineHeight))
        return QRect();
    return QRect(TextLeft() + static_cast<int>(column - m_firstColumn) * m.cell - 1, static_cast<int>(row) * m.lineHeight,
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
    const PaneViewStart now{FirstVisibleLine(), m_firstColumn};
    const std::size_t caret = m_model.Caret();
    const PaneViewStart start = ViewShowing(m_model.Text().LineOf(caret), Layout().ColumnOf(caret), now,
                                            static_cast<std::size_t>(FullRows()), static_cast<std::size_t>(VisibleColumns()));
    if (start.line != now.line)
        verticalScrollBar()->setValue(static_cast<int>(std::min<std::size_t>(start.line, INT_MAX)));
    if (start.column != m_firstColumn) {
        m_firstColumn = start.column;
        Repaint();
    }
}

// Geometry ------------------------------------------------------------------

std::size_t CLogPane::PositionAt(const QPoint& point) const
{
    const Metrics& m = TextMetrics();
    const long row = point.y() < 0 ? -1 : point.y() / m.lineHeight;
    const long line = std::clamp<long>(static_cast<long>(FirstVisibleLine()) + row, 0,
                                       static_cast<long>(m_model.Text().LineCount()) - 1);
    const int x = std::max(0, point.x() - TextLeft() + m.cell / 2);
    return Layout().PositionAt(static_cast<std::size_t>(line), m_firstColumn + static_cast<std::size_t>(x / m.cell));
}

// Caret, selection and editing ------------------------------------------------

void CLogPane::CaretMoved(bool hadSelection)
{
    if (hadSelection || m_model.HasSelection())
        Repaint();
    if (m_model.HasSelection() && !m_dragging)
        OfferSelection();
    RestartBlink();
    EnsureCaretVisible();
    UpdateCaret();
}

void CLogPane::MoveCaret(std::size_t pos, Move move)
{
    const bool hadSelection = m_model.HasSelection();
    UpdateCaret();  // where it was
    m_model.MoveCaret(pos, move == Move::Select);
    CaretMoved(hadSelection);
}

void CLogPane::OfferSelection()
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (clipboard->supportsSelection())
        clipboard->setMimeData(new SelectionData(this, m_model.SelectionBegin(), m_model.SelectionEnd()),
                               QClipboard::Selection);
}

void CLogPane::ReplaceSelection(const std::string& bytes)
{
    m_model.ReplaceSelection(bytes);
    AfterEdit();
}

void CLogPane::AfterEdit()
{
    UpdateScrollRange();
    Repaint();
    RestartBlink();
    EnsureCaretVisible();
}

bool CLogPane::HandleMoveKey(QKeyEvent* event)
{
    using M = CPaneModel::Move;
    static const struct
    {
        QKeySequence::StandardKey stay, select;
        M move;
    } kMoves[] = {
        {QKeySequence::MoveToNextChar, QKeySequence::SelectNextChar, M::NextChar},
        {QKeySequence::MoveToPreviousChar, QKeySequence::SelectPreviousChar, M::PreviousChar},
        {QKeySequence::MoveToNextWord, QKeySequence::SelectNextWord, M::NextWord},
        {QKeySequence::MoveToPreviousWord, QKeySequence::SelectPreviousWord, M::PreviousWord},
        {QKeySequence::MoveToNextLine, QKeySequence::SelectNextLine, M::NextLine},
        {QKeySequence::MoveToPreviousLine, QKeySequence::SelectPreviousLine, M::PreviousLine},
        {QKeySequence::MoveToNextPage, QKeySequence::SelectNextPage, M::NextPage},
        {QKeySequence::MoveToPreviousPage, QKeySequence::SelectPreviousPage, M::PreviousPage},
        {QKeySequence::MoveToStartOfLine, QKeySequence::SelectStartOfLine, M::LineStart},
        {QKeySequence::MoveToEndOfLine, QKeySequence::SelectEndOfLine, M::LineEnd},
        {QKeySequence::MoveToStartOfDocument, QKeySequence::SelectStartOfDocument, M::TextStart},
        {QKeySequence::MoveToEndOfDocument, QKeySequence::SelectEndOfDocument, M::TextEnd},
    };
    for (const auto& entry : kMoves) {
        const bool stay = event->matches(entry.stay);
        if (!stay && !event->matches(entry.select))
            continue;
        const bool hadSelection = m_model.HasSelection();
        UpdateCaret();
        m_model.Apply(entry.move, !stay, static_cast<std::size_t>(FullRows()));
        CaretMoved(hadSelection);
        return true;
    }
    return false;
}

bool CLogPane::HandleEditKey(QKeyEvent* event)
{
    if (event == QKeySequence::Save && m_save)
        m_save();
    else if (event == QKeySequence::Find)
        OpenFind();
    else if (event == QKeySequence::FindNext)
        Find(true);
    else if (event == QKeySequence::FindPrevious)
        Find(false);
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
    else if (event->key() == Qt::Key_Backspace) {
        m_model.DeleteBackward();
        AfterEdit();
    } else if (event == QKeySequence::Delete) {
        m_model.DeleteForward();
        AfterEdit();
    } else {
        const QString text = event->text();
        const bool typed = !text.isEmpty() && text.at(0).isPrint() &&
                           !(event->modifiers() & (Qt::ControlModifier | Qt::MetaModifier));
        if (!typed)
            return false;
        ReplaceSelection(PaneBytesOf(text));
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
                                    QKeySequence::Paste, QKeySequence::Delete, QKeySequence::Save, QKeySequence::Find,
                                    QKeySequence::FindNext, QKeySequence::FindPrevious}) {
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
        ReplaceSelection(PaneBytesOf(event->commitString()));
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
        const std::string bytes = PaneBytesOf(clipboard->text(QClipboard::Selection));
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
        if (m_model.HasSelection())
            OfferSelection();
    }
}

void CLogPane::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const bool hadSelection = m_model.HasSelection();
    UpdateCaret();
    m_model.SelectWordAt(PositionAt(event->position().toPoint()));
    CaretMoved(hadSelection);
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
    const bool selection = m_model.HasSelection();
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
    add("Выделить всё", QKeySequence::SelectAll, !m_model.Text().Empty(), [this] { selectAll(); });
    add("Найти…", QKeySequence::Find, true, [this] { OpenFind(); });
    menu->addSeparator();
    QAction* hex = menu->addAction(QStringLiteral("Hex"), this, [this] { SetHex(!m_hex); });
    hex->setCheckable(true);
    hex->setChecked(m_hex);
    QAction* times = menu->addAction(QString::fromUtf8("Время"), this, [this] { SetTimesShown(!m_times); });
    times->setCheckable(true);
    times->setChecked(m_times);
    if (m_save) {
        menu->addSeparator();
        add("Сохранить в файл…", QKeySequence::Save, true, [this] { m_save(); });
    }
    if (!m_menuItems.empty())
        menu->addSeparator();
    for (const CPaneMenuItem& item : m_menuItems) {
        QAction* action = menu->addAction(QString::fromStdString(item.caption), this, item.action);
        action->setCheckable(static_cast<bool>(item.checked));
        action->setChecked(item.checked && item.checked());
        action->setEnabled(!item.enabled || item.enabled());
    }
    return menu;
}

void CLogPane::OpenFind()
{
    // A selection within a line is what to find.
    if (m_model.HasSelection() && m_model.Text().LineOf(m_model.SelectionBegin()) == m_model.Text().LineOf(m_model.SelectionEnd()))
        m_findBar->SetNeedle(selectedText());
    m_findBar->SetStatus(QString());
    setViewportMargins(0, 0, 0, m_findBar->sizeHint().height());
    PlaceFindBar();
    m_findBar->Open();
}

void CLogPane::Find(bool forward)
{
    if (m_findBar->Needle().isEmpty()) {
        OpenFind();
        return;
    }
    m_findBar->SetStatus(QString::fromUtf8("Поиск…"));
    m_search.Start(PaneBytesOf(m_findBar->Needle()), forward, m_findBar->MatchCase());
}

void CLogPane::OnFound(std::size_t begin, std::size_t end, bool wrapped)
{
    m_findBar->SetStatus(wrapped ? QString::fromUtf8("Найдено, с другого конца") : QString());
    SetSelection(begin, end);
}

void CLogPane::PlaceFindBar()
{
    const QRect area = contentsRect();
    const int height = m_findBar->sizeHint().height();
    m_findBar->setGeometry(area.left(), area.bottom() + 1 - height, area.width(), height);
}

bool CLogPane::viewportEvent(QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        const QString tip = m_note.empty() ? SentencesText() : SentencesText() + '\n' + QString::fromStdString(m_note);
        QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), tip, viewport());
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
    PlaceFindBar();
    UpdateScrollRange(follow);
}

void CLogPane::scrollContentsBy(int, int dy)
{
    const int rows = viewport()->height() / TextMetrics().lineHeight;
    if (dy != 0 && std::abs(dy) <= rows)
        viewport()->scroll(0, dy * TextMetrics().lineHeight);
    else
        Repaint();
}

void CLogPane::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::FontChange || event->type() == QEvent::PaletteChange) {
        m_metricsValid = false;
        UpdateScrollRange();
        Repaint();
    }
    QAbstractScrollArea::changeEvent(event);
}

} // namespace ui

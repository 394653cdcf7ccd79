#include "ColorStatic.h"

#include "DlgItem.h"

#include <QApplication>
#include <QPainter>
#include <QPalette>
#include <QStyle>
#include <QTimerEvent>

#include <algorithm>
#include <climits>

namespace MfcExtControl {

QColor ToQColor(COLORREF colour)
{
    return QColor(GetRValue(colour), GetGValue(colour), GetBValue(colour));
}

COLORREF ToColorRef(const QColor& colour)
{
    return RGB(static_cast<std::uint8_t>(colour.red()), static_cast<std::uint8_t>(colour.green()),
               static_cast<std::uint8_t>(colour.blue()));
}

namespace {

// Shortest and longest timer intervals, as the platform's timers clamp them.
constexpr UINT kMinimumElapse = 10;
constexpr UINT kMaximumElapse = INT_MAX;

} // namespace

CColorStatic::CColorStatic(QWidget* parent)
    : QLabel(parent),
      m_pulseDuration(250),
      m_textColor(RGB(0, 0, 0)),
      m_textColorAlt(RGB(255, 0, 0)),
      m_backColor(ToColorRef(QApplication::palette().color(QPalette::Button))),
      m_litColor(RGB(0, 255, 0)),
      m_textAlt(false),
      m_lit(false),
      m_pulseTimer(0),
      m_blinkTimer(0)
{
    m_backBrush = QBrush(ToQColor(m_backColor), Qt::SolidPattern);
    m_litBrush = QBrush(ToQColor(m_litColor), Qt::SolidPattern);
    setAlignment(Qt::AlignCenter);
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(1);
    // The lamp paints every pixel it covers: its repaints stop at its edges.
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_caption.setTextFormat(Qt::PlainText);
}

CColorStatic::~CColorStatic()
{
    for (const auto& timer : m_timers)
        killTimer(timer.second.qtTimerId);
}

bool CColorStatic::SubclassDlgItem(int id, QWidget* parent)
{
    if (parentWidget() != nullptr)
        return false;
    QWidget* const standIn = GetDlgItem(parent, id);
    if (standIn == nullptr || standIn == this)
        return false;

    QWidget* const home = standIn->parentWidget();
    setParent(home);
    setObjectName(standIn->objectName());
    setText(standIn->property("text").toString());
    setFont(standIn->font());
    setGeometry(standIn->geometry());
    setMinimumSize(standIn->minimumSize());
    setMaximumSize(standIn->maximumSize());
    setSizePolicy(standIn->sizePolicy());
    setEnabled(standIn->isEnabledTo(home));
    stackUnder(standIn);
    if (standIn->focusPolicy() != Qt::NoFocus) {
        setFocusPolicy(standIn->focusPolicy());
        QWidget::setTabOrder(standIn, this);
    }
    setVisible(standIn->isVisibleTo(home));
    SetDlgItemId(this, id);
    delete standIn;
    return true;
}

void CColorStatic::SetTip(const std::string& text)
{
    setToolTip(QString::fromStdString(text));
}

std::string CColorStatic::Tip() const
{
    return toolTip().toStdString();
}

void CColorStatic::ReplaceLitBrush(COLORREF colour)
{
    m_litBrush = QBrush(ToQColor(colour), Qt::SolidPattern);
}

void CColorStatic::RepaintIfChanged()
{
    if (!m_painted || m_paintedBack != CurrentBackColor() || m_paintedText != CurrentTextColor())
        update();
}

UINT_PTR CColorStatic::SetTimer(UINT_PTR id, UINT elapse)
{
    if (id == kRepaintTimerId)
        return 0;
    KillTimer(id);
    const int qtTimerId = startTimer(static_cast<int>(std::clamp(elapse, kMinimumElapse, kMaximumElapse)));
    if (qtTimerId == 0)
        return 0;
    m_timers[id] = RunningTimer{qtTimerId, elapse};
    return id;
}

void CColorStatic::KillTimer(UINT_PTR id)
{
    const auto timer = m_timers.find(id);
    if (timer == m_timers.end())
        return;
    killTimer(timer->second.qtTimerId);
    m_timers.erase(timer);
}

UINT CColorStatic::TimerElapse(UINT_PTR id) const
{
    const auto timer = m_timers.find(id);
    return timer == m_timers.end() ? 0 : timer->second.elapse;
}

void CColorStatic::timerEvent(QTimerEvent* event)
{
    for (const auto& timer : m_timers) {
        if (timer.second.qtTimerId == event->timerId()) {
            OnTimer(timer.first);
            return;
        }
    }
    QLabel::timerEvent(event);
}

void CColorStatic::paintEvent(QPaintEvent*)
{
    m_painted = true;
    m_paintedBack = CurrentBackColor();
    m_paintedText = CurrentTextColor();
    QPainter painter(this);
    painter.fillRect(rect(), m_lit ? m_litBrush : m_backBrush);
    drawFrame(&painter);
    painter.setPen(ToQColor(CurrentTextColor()));
    // The caption is laid out once, not at every flash.
    if (m_caption.text() != text())
        m_caption.setText(text());
    const QSize size = m_caption.size().toSize();
    painter.drawStaticText(QStyle::alignedRect(layoutDirection(), alignment(), size, contentsRect()).topLeft(),
                           m_caption);
}

} // namespace MfcExtControl

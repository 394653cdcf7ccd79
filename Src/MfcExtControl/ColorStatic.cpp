#include "ColorStatic.h"

#include "DlgItem.h"

#include <QApplication>
#include <QCoreApplication>
#include <QEvent>
#include <QLayout>
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

// The wake-up event that makes the lamp's thread run the posted requests.
QEvent::Type RequestsEventType()
{
    static const QEvent::Type type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

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
    m_backBrush = MakeBrush(m_backColor);
    m_litBrush = MakeBrush(m_litColor);
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

QBrush CColorStatic::MakeBrush(COLORREF colour)
{
    ++m_brushesMade;
    return QBrush(ToQColor(colour), Qt::SolidPattern);
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
    if (QLayout* const layout = home->layout())
        delete layout->replaceWidget(standIn, this);
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

void CColorStatic::SetLitColor(COLORREF colour)
{
    if (colour == m_litColor)
        return;
    m_litBrush = MakeBrush(colour);
    m_litColor = colour;
}

void CColorStatic::TurnOn()
{
    m_lit = true;
    PostRepaint();
}

void CColorStatic::TurnOn(COLORREF colour)
{
    SetLitColor(colour);
    TurnOn();
}

void CColorStatic::TurnOff()
{
    m_lit = false;
    KillTimer(kBlinkTimerId);
    m_blinkTimer = 0;
    PostRepaint();
}

void CColorStatic::Pulse(UINT elapse)
{
    if (m_pulseTimer != 0)
        return;
    TurnOn();
    m_pulseTimer = SetTimer(kPulseTimerId, elapse);
}

void CColorStatic::Pulse(UINT elapse, COLORREF colour)
{
    if (m_pulseTimer != 0)
        return;
    TurnOn(colour);
    m_pulseTimer = SetTimer(kPulseTimerId, elapse);
}

void CColorStatic::Blink(UINT elapse)
{
    m_blinkTimer = SetTimer(kBlinkTimerId, elapse);
}

void CColorStatic::OnTimer(UINT_PTR id)
{
    if (id == kPulseTimerId) {
        m_lit = false;
        KillTimer(kPulseTimerId);
        m_pulseTimer = 0;
    } else if (id == kBlinkTimerId) {
        m_lit = !m_lit;
    }
    // Repainted only when it would look different from what was painted last.
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
    ++m_timersStarted;
    return id;
}

bool CColorStatic::KillTimer(UINT_PTR id)
{
    const auto timer = m_timers.find(id);
    if (timer == m_timers.end())
        return false;
    killTimer(timer->second.qtTimerId);
    m_timers.erase(timer);
    return true;
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

COLORREF CColorStatic::CurrentBackColor() const
{
    return m_lit ? m_litColor : m_backColor;
}

COLORREF CColorStatic::CurrentTextColor() const
{
    return m_textAlt ? m_textColorAlt : m_textColor;
}

const QBrush& CColorStatic::CurrentBrush() const
{
    return m_lit ? m_litBrush : m_backBrush;
}

void CColorStatic::paintEvent(QPaintEvent*)
{
    m_painted = true;
    m_paintedBack = CurrentBackColor();
    m_paintedText = CurrentTextColor();
    QPainter painter(this);
    painter.fillRect(rect(), CurrentBrush());
    drawFrame(&painter);
    painter.setPen(ToQColor(CurrentTextColor()));
    // The caption is laid out once, not at every flash.
    if (m_caption.text() != text())
        m_caption.setText(text());
    const QSize size = m_caption.size().toSize();
    painter.drawStaticText(QStyle::alignedRect(layoutDirection(), alignment(), size, contentsRect()).topLeft(),
                           m_caption);
}

void CColorStatic::PostPulse(UINT elapse)
{
    PostRequest({Request::Pulse, false, 0, elapse});
}

void CColorStatic::PostPulse(UINT elapse, COLORREF colour)
{
    PostRequest({Request::Pulse, true, colour, elapse});
}

void CColorStatic::PostTurnOn()
{
    PostRequest({Request::TurnOn, false, 0, 0});
}

void CColorStatic::PostTurnOn(COLORREF colour)
{
    PostRequest({Request::TurnOn, true, colour, 0});
}

void CColorStatic::PostTurnOff()
{
    PostRequest({Request::TurnOff, false, 0, 0});
}

void CColorStatic::PostRepaint()
{
    PostRequest({Request::Repaint, false, 0, 0});
}

void CColorStatic::PostRequest(const Request& request)
{
    bool wakeUp = false;
    {
        const std::lock_guard<std::mutex> lock(m_requestMutex);
        m_requests.push_back(request);
        wakeUp = !m_wakeUpPosted;
        m_wakeUpPosted = true;
    }
    // Posted events to a receiver die with it, so a request in flight to a
    // destroyed lamp is dropped.
    if (wakeUp)
        QCoreApplication::postEvent(this, new QEvent(RequestsEventType()));
}

bool CColorStatic::event(QEvent* event)
{
    if (event->type() == RequestsEventType()) {
        RunPostedRequests();
        return true;
    }
    return QLabel::event(event);
}

void CColorStatic::RunPostedRequests()
{
    std::vector<Request> batch;
    {
        const std::lock_guard<std::mutex> lock(m_requestMutex);
        batch.swap(m_requests);
        m_wakeUpPosted = false;
    }
    for (const Request& request : batch)
        Run(request);
}

void CColorStatic::Run(const Request& request)
{
    switch (request.kind) {
    case Request::Repaint:
        OnTimer(kRepaintTimerId);
        break;
    case Request::Pulse:
        if (request.hasColour)
            Pulse(request.elapse, request.colour);
        else
            Pulse(request.elapse);
        break;
    case Request::TurnOn:
        if (request.hasColour)
            TurnOn(request.colour);
        else
            TurnOn();
        break;
    case Request::TurnOff:
        TurnOff();
        break;
    }
}

} // namespace MfcExtControl

#pragma once

#include <QBrush>
#include <QLabel>
#include <QStaticText>

#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <vector>

namespace MfcExtControl {

// A colour as the device tables give it: 0x00BBGGRR.
typedef std::uint32_t COLORREF;
typedef unsigned int UINT;
typedef std::uintptr_t UINT_PTR;

constexpr COLORREF RGB(std::uint8_t r, std::uint8_t g, std::uint8_t b)
{
    return static_cast<COLORREF>(r) | (static_cast<COLORREF>(g) << 8) |
           (static_cast<COLORREF>(b) << 16);
}

constexpr std::uint8_t GetRValue(COLORREF c) { return static_cast<std::uint8_t>(c); }
constexpr std::uint8_t GetGValue(COLORREF c) { return static_cast<std::uint8_t>(c >> 8); }
constexpr std::uint8_t GetBValue(COLORREF c) { return static_cast<std::uint8_t>(c >> 16); }

QColor ToQColor(COLORREF colour);
COLORREF ToColorRef(const QColor& colour);

// An indicator lamp: a centred static caption with a sunken edge whose
// background is dark (the button-face colour) or lit (a signal colour).
// A lamp is lit steadily (TurnOn), for a limited time (Pulse, ended by its
// own timer 158), or toggled by its blink timer 159.
//
// Every operation except the Post* ones belongs to the thread that owns the
// widget. The Post* operations may be called from any thread: they never
// block and run the operation later on the lamp's thread; a request still
// queued when the lamp is destroyed is dropped. The caller must not race a
// Post* call against the lamp's destruction.
//
// A lamp may be held by value; it then has to be destroyed before its
// parent widget (a member of the parent's class is).
class CColorStatic : public QLabel
{
    Q_OBJECT

public:
    static constexpr UINT_PTR kRepaintTimerId = 0;
    static constexpr UINT_PTR kPulseTimerId = 158;
    static constexpr UINT_PTR kBlinkTimerId = 159;

    explicit CColorStatic(QWidget* parent = nullptr);
    ~CColorStatic() override;

    CColorStatic(const CColorStatic&) = delete;
    CColorStatic& operator=(const CColorStatic&) = delete;

    // Takes over the place of the dialog control `id` of `parent` (found with
    // GetDlgItem): parent, geometry, caption, font, stacking and tab position,
    // visibility, enabled state and the identifier. The stand-in is deleted.
    // False when there is no such control or this lamp is already placed.
    bool SubclassDlgItem(int id, QWidget* parent);

    // Replaces the lit brush only when the colour really changes.
    void SetLitColor(COLORREF colour);

    void TurnOn();
    void TurnOn(COLORREF colour);
    // Darkens at once and stops blinking; a running pulse ends by itself.
    void TurnOff();
    // Lights the lamp for `elapse` ms unless a pulse already runs: a running
    // pulse is neither restarted, lengthened nor recoloured.
    void Pulse(UINT elapse);
    void Pulse(UINT elapse, COLORREF colour);
    // Toggles the lamp every `elapse` ms until TurnOff.
    void Blink(UINT elapse);

    // Thread-safe, non-blocking requests run later on the lamp's thread.
    void PostPulse(UINT elapse);
    void PostPulse(UINT elapse, COLORREF colour);
    void PostTurnOn();
    void PostTurnOn(COLORREF colour);
    void PostTurnOff();

    // Timer handling: 158 ends the pulse, 159 toggles, any other identifier
    // (0 is the repaint request) changes nothing; the lamp is repainted when
    // it would look different from its last painting.
    void OnTimer(UINT_PTR id);

    // The lamp's own timers, by logical identifier. SetTimer returns a
    // non-zero handle, or 0 when the timer could not be started; starting a
    // running identifier restarts it with the new elapse.
    UINT_PTR SetTimer(UINT_PTR id, UINT elapse);
    bool KillTimer(UINT_PTR id);
    // Elapse a running timer was started with; 0 when it is not running.
    UINT TimerElapse(UINT_PTR id) const;
    // How many times SetTimer started a timer, over the lamp's life.
    std::size_t TimersStarted() const { return m_timersStarted; }

    // State, as painting uses it.
    bool IsLit() const { return m_lit; }
    COLORREF BackColor() const { return m_backColor; }
    COLORREF LitColor() const { return m_litColor; }
    COLORREF CurrentBackColor() const;
    COLORREF CurrentTextColor() const;
    const QBrush& CurrentBrush() const;
    UINT_PTR PulseTimer() const { return m_pulseTimer; }
    UINT_PTR BlinkTimer() const { return m_blinkTimer; }
    // Solid brushes made over the lamp's life (two by the constructor).
    std::size_t BrushesMade() const { return m_brushesMade; }

    // Pulse length callers use for a traffic pulse, in milliseconds.
    std::int32_t m_pulseDuration;

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    // An operation handed to the lamp's thread.
    struct Request
    {
        enum Kind { Repaint, Pulse, TurnOn, TurnOff } kind;
        bool hasColour;
        COLORREF colour;
        UINT elapse;
    };

    QBrush MakeBrush(COLORREF colour);
    // Queues a repaint request: OnTimer(0) once the lamp's thread gets to it.
    void PostRepaint();
    void PostRequest(const Request& request);
    void RunPostedRequests();
    void Run(const Request& request);

    COLORREF m_textColor;
    COLORREF m_textColorAlt;
    COLORREF m_backColor;
    COLORREF m_litColor;
    QBrush m_backBrush;
    QBrush m_litBrush;
    bool m_textAlt;
    bool m_lit;
    UINT_PTR m_pulseTimer;
    UINT_PTR m_blinkTimer;

    struct RunningTimer
    {
        int qtTimerId;
        UINT elapse;
    };
    std::map<UINT_PTR, RunningTimer> m_timers;
    std::size_t m_timersStarted = 0;
    std::size_t m_brushesMade = 0;
    QStaticText m_caption;
    // What the last painting showed.
    bool m_painted = false;
    COLORREF m_paintedBack = 0;
    COLORREF m_paintedText = 0;

    // Requests from any thread, run in order on the lamp's thread. One
    // wake-up event is in flight at a time, however many requests wait.
    std::mutex m_requestMutex;
    std::vector<Request> m_requests;
    bool m_wakeUpPosted = false;
};

} // namespace MfcExtControl

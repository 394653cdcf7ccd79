#pragma once

#include "WinTypes.h"

#include <QBrush>
#include <QLabel>
#include <QStaticText>

#include <cstdint>
#include <map>
#include <string>

namespace MfcExtControl {

QColor ToQColor(COLORREF colour);
COLORREF ToColorRef(const QColor& colour);

// An indicator lamp: a centred static caption with a sunken edge whose
// background is dark (the button-face colour) or lit (a signal colour).
// A lamp is lit steadily (TurnOn), for a limited time (Pulse, ended by its
// own timer 158), or toggled by its blink timer 159. It is repainted, and
// only it, when it would look different from its last painting.
//
// Every operation belongs to the thread that owns the widget. A lamp may be
// held by value; it then has to be destroyed before its parent widget (a
// member of the parent's class is).
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
    // Ends a running pulse now, as its timer would.
    void EndPulse();
    // Toggles the lamp every `elapse` ms until TurnOff.
    void Blink(UINT elapse);
    // What the lamp says when the pointer rests on it (UTF-8).
    void SetTip(const std::string& text);
    std::string Tip() const;

    // Timer handling: 158 ends the pulse, 159 toggles, any other identifier
    // (0 is the repaint request) changes nothing.
    void OnTimer(UINT_PTR id);

    // Elapse a running timer of the lamp was started with; 0 when it is not
    // running.
    UINT TimerElapse(UINT_PTR id) const;

    // State, as painting uses it.
    bool IsLit() const { return m_lit; }
    COLORREF BackColor() const { return m_backColor; }
    COLORREF LitColor() const { return m_litColor; }
    COLORREF CurrentBackColor() const { return m_lit ? m_litColor : m_backColor; }
    COLORREF CurrentTextColor() const { return m_textAlt ? m_textColorAlt : m_textColor; }
    UINT_PTR PulseTimer() const { return m_pulseTimer; }
    UINT_PTR BlinkTimer() const { return m_blinkTimer; }

    // Pulse length callers use for a traffic pulse, in milliseconds.
    std::int32_t m_pulseDuration;

protected:
    void paintEvent(QPaintEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    // The lamp's timers, by identifier: a non-zero handle, or 0 when the
    // timer could not be started; starting a running one restarts it.
    UINT_PTR SetTimer(UINT_PTR id, UINT elapse);
    void KillTimer(UINT_PTR id);
    void RepaintIfChanged();
    void ReplaceLitBrush(COLORREF colour);

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
    QStaticText m_caption;
    // What the last painting showed.
    bool m_painted = false;
    COLORREF m_paintedBack = 0;
    COLORREF m_paintedText = 0;
};

} // namespace MfcExtControl

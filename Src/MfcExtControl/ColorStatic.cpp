// The lamp's behaviour, the same on every window system: which state each
// operation leads to, and when the lamp's timers run. Its window, painting
// and timers are the platform's (ColorStatic.h and ColorStaticWindow.cpp in
// the folder of each window system).

#include "ColorStatic.h"

namespace MfcExtControl {

void CColorStatic::SetLitColor(COLORREF colour)
{
    if (colour == m_litColor)
        return;
    ReplaceLitBrush(colour);
    m_litColor = colour;
}

void CColorStatic::TurnOn()
{
    m_lit = true;
    RepaintIfChanged();
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
    RepaintIfChanged();
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

void CColorStatic::EndPulse()
{
    if (m_pulseTimer != 0)
        OnTimer(kPulseTimerId);
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
    RepaintIfChanged();
}


} // namespace MfcExtControl

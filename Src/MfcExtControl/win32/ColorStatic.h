#pragma once

#include "WinTypes.h"

#include <windows.h>

#include <cstdint>
#include <map>
#include <string>

namespace MfcExtControl {

// The parent's WM_CTLCOLORSTATIC reflected back to the control, as MFC
// reflects it (its reflection base 0xBC00 plus WM_CTLCOLOR): wParam is the
// device context; the answer is the brush to paint with, or 0 for the
// default painting.
constexpr UINT kReflectedCtlColor = 0xBC19;

// An indicator lamp: the template's centred static caption with a sunken
// edge, whose background is dark (the button-face colour) or lit (a signal
// colour). A lamp is lit steadily (TurnOn), for a limited time (Pulse, ended
// by its own timer 158), or toggled by its blink timer 159. It is repainted,
// and only it, when it would look different from its last painting.
//
// The static control is taken over by a window subclass (SubclassDlgItem);
// it paints with the lamp's brush and colours through the parent's reflected
// WM_CTLCOLORSTATIC. Every operation belongs to the window's thread.
class CColorStatic
{
public:
    static constexpr UINT_PTR kRepaintTimerId = 0;
    static constexpr UINT_PTR kPulseTimerId = 158;
    static constexpr UINT_PTR kBlinkTimerId = 159;

    CColorStatic();
    ~CColorStatic();

    CColorStatic(const CColorStatic&) = delete;
    CColorStatic& operator=(const CColorStatic&) = delete;

    // Takes over the static control `id` of `parent`. False when there is
    // no such control or this lamp already has one.
    bool SubclassDlgItem(int id, HWND parent);
    HWND GetSafeHwnd() const { return m_window; }
    // The lamp that took over `window`, or nullptr.
    static CColorStatic* FromHandle(HWND window);

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
    // What the lamp says when the pointer rests on it (UTF-8; its own tooltip
    // control, line breaks kept).
    void SetTip(const std::string& text);
    std::string Tip() const { return m_tip; }

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

private:
    static LRESULT CALLBACK Subclass(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR self);
    // The reflected WM_CTLCOLORSTATIC: colours into the device context, the
    // brush out.
    HBRUSH CtlColor(HDC dc);
    void Detach();
    void ShowTip();

    UINT_PTR SetTimer(UINT_PTR id, UINT elapse);
    void KillTimer(UINT_PTR id);
    void RepaintIfChanged();
    void ReplaceLitBrush(COLORREF colour);

    COLORREF m_textColor;
    COLORREF m_textColorAlt;
    COLORREF m_backColor;
    COLORREF m_litColor;
    HBRUSH m_backBrush;
    HBRUSH m_litBrush;
    bool m_textAlt;
    bool m_lit;
    UINT_PTR m_pulseTimer;
    UINT_PTR m_blinkTimer;

    HWND m_window = nullptr;
    HWND m_tooltip = nullptr;
    std::string m_tip;
    std::map<UINT_PTR, UINT> m_timers;  // running timers and their elapse
    // What the last painting showed.
    bool m_painted = false;
    COLORREF m_paintedBack = 0;
    COLORREF m_paintedText = 0;
};

} // namespace MfcExtControl

#include "ColorStatic.h"

#include "Tooltip.h"

#include <Cp1251.h>

#include <commctrl.h>

#include <algorithm>
#include <climits>
#include <string>

namespace MfcExtControl {

namespace {

constexpr UINT_PTR kSubclassId = 1;
const wchar_t kLampProperty[] = L"OrvelLamp";  // the lamp, as a property of its control

} // namespace

CColorStatic::CColorStatic()
    : m_pulseDuration(250),
      m_textColor(RGB(0, 0, 0)),
      m_textColorAlt(RGB(255, 0, 0)),
      m_backColor(static_cast<COLORREF>(::GetSysColor(COLOR_BTNFACE))),
      m_litColor(RGB(0, 255, 0)),
      m_backBrush(::CreateSolidBrush(m_backColor)),
      m_litBrush(::CreateSolidBrush(m_litColor)),
      m_textAlt(false),
      m_lit(false),
      m_pulseTimer(0),
      m_blinkTimer(0)
{
}

CColorStatic::~CColorStatic()
{
    Detach();
    ::DeleteObject(m_backBrush);
    ::DeleteObject(m_litBrush);
}

bool CColorStatic::SubclassDlgItem(int id, HWND parent)
{
    const HWND control = parent ? ::GetDlgItem(parent, id) : nullptr;
    if (m_window || !control)
        return false;
    if (!::SetWindowSubclass(control, Subclass, kSubclassId, reinterpret_cast<DWORD_PTR>(this)))
        return false;
    m_window = control;
    ::SetPropW(control, kLampProperty, this);
    ShowTip();
    return true;
}

void CColorStatic::SetTip(const std::string& text)
{
    m_tip = text;
    ShowTip();
}

// The tip in a tooltip control of the lamp's own; the static then reports
// the mouse (SS_NOTIFY), as the tooltip needs.
void CColorStatic::ShowTip()
{
    if (!m_window || m_tip.empty())
        return;
    const std::u16string tip = text::Utf8ToUtf16(m_tip);
    const std::wstring wide(tip.begin(), tip.end());
    const HWND parent = ::GetParent(m_window);
    if (m_tooltip) {
        SetTooltipText(m_tooltip, parent, m_window, wide.c_str());
        return;
    }
    ::SetWindowLongW(m_window, GWL_STYLE, ::GetWindowLongW(m_window, GWL_STYLE) | SS_NOTIFY);
    m_tooltip = AddTooltip(parent, m_window, wide.c_str());
}

CColorStatic* CColorStatic::FromHandle(HWND window)
{
    return window ? static_cast<CColorStatic*>(::GetPropW(window, kLampProperty)) : nullptr;
}

void CColorStatic::Detach()
{
    if (!m_window)
        return;
    for (const auto& timer : m_timers)
        ::KillTimer(m_window, timer.first);
    m_timers.clear();
    ::RemoveWindowSubclass(m_window, Subclass, kSubclassId);
    ::RemovePropW(m_window, kLampProperty);
    if (m_tooltip)
        ::DestroyWindow(m_tooltip);
    m_tooltip = nullptr;
    m_window = nullptr;
}

LRESULT CALLBACK CColorStatic::Subclass(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                        DWORD_PTR data)
{
    auto* self = reinterpret_cast<CColorStatic*>(data);
    switch (message) {
    case WM_TIMER:
        self->OnTimer(wParam);
        return 0;
    case kReflectedCtlColor:
        return reinterpret_cast<LRESULT>(self->CtlColor(reinterpret_cast<HDC>(wParam)));
    case WM_NCDESTROY:
        self->Detach();
        break;
    }
    return ::DefSubclassProc(window, message, wParam, lParam);
}

HBRUSH CColorStatic::CtlColor(HDC dc)
{
    m_painted = true;
    m_paintedBack = CurrentBackColor();
    m_paintedText = CurrentTextColor();
    ::SetBkColor(dc, m_paintedBack);
    ::SetTextColor(dc, m_paintedText);
    return m_lit ? m_litBrush : m_backBrush;
}

void CColorStatic::ReplaceLitBrush(COLORREF colour)
{
    ::DeleteObject(m_litBrush);
    m_litBrush = ::CreateSolidBrush(colour);
}

void CColorStatic::RepaintIfChanged()
{
    if (m_window && (!m_painted || m_paintedBack != CurrentBackColor() || m_paintedText != CurrentTextColor()))
        ::RedrawWindow(m_window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

UINT_PTR CColorStatic::SetTimer(UINT_PTR id, UINT elapse)
{
    if (id == kRepaintTimerId || !m_window)
        return 0;
    const UINT clamped = std::clamp<UINT>(elapse, USER_TIMER_MINIMUM, USER_TIMER_MAXIMUM);
    if (::SetTimer(m_window, id, clamped, nullptr) == 0)
        return 0;
    m_timers[id] = elapse;
    return id;
}

void CColorStatic::KillTimer(UINT_PTR id)
{
    if (m_timers.erase(id) && m_window)
        ::KillTimer(m_window, id);
}

UINT CColorStatic::TimerElapse(UINT_PTR id) const
{
    const auto timer = m_timers.find(id);
    return timer == m_timers.end() ? 0 : timer->second;
}

} // namespace MfcExtControl

#include "Tooltip.h"

#include <commctrl.h>

namespace MfcExtControl {

namespace {

TTTOOLINFOW ToolOf(HWND owner, HWND tool, const wchar_t* text)
{
    TTTOOLINFOW info{};
    info.cbSize = TTTOOLINFOW_V2_SIZE;
    info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    info.hwnd = owner;
    info.uId = reinterpret_cast<UINT_PTR>(tool);
    info.lpszText = const_cast<wchar_t*>(text);
    return info;
}

} // namespace

HWND AddTooltip(HWND owner, HWND tool, const wchar_t* text)
{
    const HWND tooltip = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                                           CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, owner, nullptr,
                                           ::GetModuleHandleW(nullptr), nullptr);
    TTTOOLINFOW info = ToolOf(owner, tool, text);
    ::SendMessageW(tooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
    ::SendMessageW(tooltip, TTM_SETMAXTIPWIDTH, 0, 600);  // a width, so that line breaks count
    return tooltip;
}

void SetTooltipText(HWND tooltip, HWND owner, HWND tool, const wchar_t* text)
{
    TTTOOLINFOW info = ToolOf(owner, tool, text);
    ::SendMessageW(tooltip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&info));
}

} // namespace MfcExtControl

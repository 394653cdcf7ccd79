#pragma once

// The tip a window of the program shows when the pointer rests on it: a
// tooltip control of its own, whose line breaks break the tip's lines.

#include <windows.h>

namespace MfcExtControl {

// A tooltip for `tool`, whose notifications go to `owner` (the tool itself,
// or its parent for a control that cannot take them). `text` is the tip, or
// LPSTR_TEXTCALLBACKW to ask `owner` for it each time (TTN_GETDISPINFOW).
HWND AddTooltip(HWND owner, HWND tool, const wchar_t* text);
// Gives the tool of `tooltip` a new tip.
void SetTooltipText(HWND tooltip, HWND owner, HWND tool, const wchar_t* text);

} // namespace MfcExtControl

#pragma once

// Windows and controls as the window's logic knows them: a CWnd* is the
// window system's own handle (WndHandle.h of the platform's layer), and
// these are the few things the logic does to one directly.

#include "WndHandle.h"

namespace ui {

// Enables or greys a control; nothing for a null one.
void EnableWindow(CWnd* control, bool enable);
bool IsWindowEnabled(const CWnd* control);

// Presses an enabled push button as a click does, with its notification.
void ClickButton(CWnd* button);

} // namespace ui

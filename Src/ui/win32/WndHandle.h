#pragma once

// On this side a window or control is a Win32 window: a CWnd* is its HWND.

#include <windows.h>

#include <type_traits>

namespace ui {

using CWnd = std::remove_pointer_t<HWND>;

} // namespace ui

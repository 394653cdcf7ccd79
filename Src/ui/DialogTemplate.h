#pragma once

// Dialog templates kept as data: the window and every control, with the
// platform's class names, style bits, identifiers, captions and rectangles in
// dialog units, in creation (and tab) order. CDialogEx builds its window from
// one of these.

#include <cstdint>
#include <vector>

#ifdef _WIN32
// The style constants are the SDK's own macros, of the same names and values.
#include <windows.h>
#endif

namespace ui {

using DWORD = std::uint32_t;

#ifndef _WIN32
// Window styles.
constexpr DWORD WS_POPUP = 0x80000000;
constexpr DWORD WS_CHILD = 0x40000000;
constexpr DWORD WS_VISIBLE = 0x10000000;
constexpr DWORD WS_DISABLED = 0x08000000;
constexpr DWORD WS_CAPTION = 0x00C00000;
constexpr DWORD WS_BORDER = 0x00800000;
constexpr DWORD WS_VSCROLL = 0x00200000;
constexpr DWORD WS_HSCROLL = 0x00100000;
constexpr DWORD WS_SYSMENU = 0x00080000;
constexpr DWORD WS_THICKFRAME = 0x00040000;
constexpr DWORD WS_GROUP = 0x00020000;
constexpr DWORD WS_TABSTOP = 0x00010000;
constexpr DWORD WS_MINIMIZEBOX = 0x00020000;
constexpr DWORD WS_MAXIMIZEBOX = 0x00010000;

constexpr DWORD WS_EX_STATICEDGE = 0x00020000;
constexpr DWORD WS_EX_APPWINDOW = 0x00040000;

// Dialog styles.
constexpr DWORD DS_SETFONT = 0x0040;
constexpr DWORD DS_FIXEDSYS = 0x0008;
constexpr DWORD DS_SHELLFONT = DS_SETFONT | DS_FIXEDSYS;

// Button styles.
constexpr DWORD BS_PUSHBUTTON = 0x0000;
constexpr DWORD BS_AUTOCHECKBOX = 0x0003;
constexpr DWORD BS_GROUPBOX = 0x0007;
constexpr DWORD BS_TYPEMASK = 0x000F;

// Static styles.
constexpr DWORD SS_CENTER = 0x0001;

// Combo box styles.
constexpr DWORD CBS_DROPDOWNLIST = 0x0003;
constexpr DWORD CBS_SORT = 0x0100;

// Edit styles.
constexpr DWORD ES_MULTILINE = 0x0004;
constexpr DWORD ES_AUTOVSCROLL = 0x0040;
constexpr DWORD ES_AUTOHSCROLL = 0x0080;
constexpr DWORD ES_READONLY = 0x0800;
#endif

// One control of a template. Captions are UTF-8.
struct DlgItemTemplate
{
    const char* windowClass;  // "BUTTON", "STATIC", "COMBOBOX" or "EDIT"
    DWORD style;
    DWORD exStyle;
    int id;                   // -1 (IDC_STATIC) for controls never addressed
    const char* caption;
    int x, y, cx, cy;         // dialog units; a combo box's cy is its dropped list
};

struct DlgTemplate
{
    int id;
    DWORD style;
    DWORD exStyle;
    int cx, cy;               // client area, dialog units
    const char* caption;
    const char* fontFace;
    int pointSize;
    std::vector<DlgItemTemplate> items;
};

// Template 102, the main window with its three channel panels.
const DlgTemplate& MainDialogTemplate();

} // namespace ui

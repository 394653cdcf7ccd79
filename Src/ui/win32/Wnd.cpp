#include "Wnd.h"

#include "Layer.h"

namespace ui {

void EnableWindow(CWnd* control, bool enable)
{
    if (!control)
        return;
    // A control greyed while it has the focus would leave the keyboard
    // nowhere: the focus goes on to the next control first, as the dialog
    // manager moves it.
    const HWND dialog = ::GetParent(control);
    if (!enable && dialog && ::GetFocus() == control)
        ::SendMessageW(dialog, WM_NEXTDLGCTL, 0, FALSE);
    ::EnableWindow(control, enable);
}

bool IsWindowEnabled(const CWnd* control)
{
    return control && ::IsWindowEnabled(const_cast<CWnd*>(control));
}

void ClickButton(CWnd* button)
{
    if (button && ::IsWindowEnabled(button))
        ::SendMessageW(button, BM_CLICK, 0, 0);
}

bool RegisterClassOnce(const wchar_t* name, WNDPROC procedure, UINT style, LPCWSTR cursor, HBRUSH background)
{
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    if (::GetClassInfoExW(::GetModuleHandleW(nullptr), name, &wc))
        return true;
    wc.style = style;
    wc.lpfnWndProc = procedure;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.hCursor = cursor ? ::LoadCursorW(nullptr, cursor) : nullptr;
    wc.hbrBackground = background;
    wc.lpszClassName = name;
    return ::RegisterClassExW(&wc) != 0;
}

HWND CreateChild(HWND parent, const wchar_t* className, const std::wstring& text, DWORD style, int id, HFONT font,
                 const RECT& place)
{
    const HWND child = ::CreateWindowExW(0, className, text.c_str(), WS_CHILD | WS_VISIBLE | style, place.left, place.top,
                                         place.right, place.bottom, parent,
                                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ::GetModuleHandleW(nullptr), nullptr);
    ::SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font ? font : ::GetStockObject(DEFAULT_GUI_FONT)), FALSE);
    return child;
}

HWND CreateOwnedWindow(const wchar_t* className, WNDPROC procedure, const std::string& title, DWORD style,
                       DWORD exStyle, HWND owner, SIZE client, void* object)
{
    if (!RegisterClassOnce(className, procedure, 0, reinterpret_cast<LPCWSTR>(IDC_ARROW),
                           reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1)))
        return nullptr;
    RECT frame{0, 0, client.cx, client.cy};
    ::AdjustWindowRectEx(&frame, style, FALSE, exStyle);
    RECT around{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    if (owner)
        ::GetWindowRect(owner, &around);
    const int width = frame.right - frame.left, height = frame.bottom - frame.top;
    return ::CreateWindowExW(exStyle, className, WideFromUtf8(title).c_str(), style,
                             (around.left + around.right - width) / 2, (around.top + around.bottom - height) / 2, width,
                             height, owner, nullptr, ::GetModuleHandleW(nullptr), object);
}

int DialogUnits(HWND dialog, int units, bool horizontal)
{
    RECT rect{0, 0, units, units};
    if (dialog && ::MapDialogRect(dialog, &rect))
        return horizontal ? rect.right : rect.bottom;
    const LONG base = ::GetDialogBaseUnits();
    return horizontal ? ::MulDiv(units, LOWORD(base), 4) : ::MulDiv(units, HIWORD(base), 8);
}

bool HasClass(HWND window, const wchar_t* className)
{
    wchar_t name[32] = {};
    return window && ::GetClassNameW(window, name, 32) && ::lstrcmpiW(name, className) == 0;
}

RECT PlaceInParent(HWND window)
{
    RECT place{};
    ::GetWindowRect(window, &place);
    ::MapWindowPoints(nullptr, ::GetParent(window), reinterpret_cast<POINT*>(&place), 2);
    return place;
}

std::wstring WindowText(HWND window)
{
    const int length = ::GetWindowTextLengthW(window);
    std::wstring text(static_cast<std::size_t>(length > 0 ? length : 0) + 1, L'\0');
    const int copied = ::GetWindowTextW(window, text.data(), static_cast<int>(text.size()));
    text.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
    return text;
}

} // namespace ui

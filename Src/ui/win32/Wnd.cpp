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

std::wstring WindowText(HWND window)
{
    const int length = ::GetWindowTextLengthW(window);
    std::wstring text(static_cast<std::size_t>(length > 0 ? length : 0) + 1, L'\0');
    const int copied = ::GetWindowTextW(window, text.data(), static_cast<int>(text.size()));
    text.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
    return text;
}

} // namespace ui

#pragma once

// What the Win32 layer's files share. Texts as the wide Win32 API takes
// them, from the program's own texts: Windows-1251 (captions, command
// texts), UTF-8 (texts written in the sources, paths), through the program's
// own conversion (Cp1251.h); never the ANSI API.

#include <Cp1251.h>

#include <windows.h>

#include <string>

namespace ui {

inline std::wstring Wide(const std::u16string& text)
{
    return std::wstring(text.begin(), text.end());
}

inline std::u16string U16(const wchar_t* text, std::size_t size)
{
    return std::u16string(reinterpret_cast<const char16_t*>(text), size);
}

inline std::wstring WideFromCp1251(const std::string& cp1251) { return Wide(text::FromCp1251(cp1251)); }
inline std::wstring WideFromUtf8(const std::string& utf8) { return Wide(text::Utf8ToUtf16(utf8)); }
inline std::string Cp1251FromWide(const std::wstring& wide) { return text::ToCp1251(U16(wide.data(), wide.size())); }
inline std::string Utf8FromWide(const std::wstring& wide) { return text::Utf16ToUtf8(U16(wide.data(), wide.size())); }

// A window's text, whole.
std::wstring WindowText(HWND window);

// Whether `window` is of that class (its name in any letter case).
bool HasClass(HWND window, const wchar_t* className);

// Dialog units of `dialog`'s font (of the system font without a dialog) in pixels.
int DialogUnits(HWND dialog, int units, bool horizontal);

// A child window's rectangle in its parent's client coordinates.
RECT PlaceInParent(HWND window);

// The object a window of the program's own classes stands for: given to
// CreateWindowExW as its last argument and kept with the window. Called by
// the class's window procedure for every message.
template <typename Object>
Object* WindowObject(HWND window, UINT message, LPARAM lParam)
{
    if (message == WM_NCCREATE)
        ::SetWindowLongPtrW(window, GWLP_USERDATA,
                            reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
    return reinterpret_cast<Object*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
}

// A visible child control of `parent` at `place` (left, top, width, height
// in pixels), in `font` (the stock GUI font when there is none).
HWND CreateChild(HWND parent, const wchar_t* className, const std::wstring& text, DWORD style, int id, HFONT font,
                 const RECT& place = RECT{});

// A top-level window of the program's class `className` (registered here,
// the dialogs' face colour behind it) owned by `owner` and centred on it,
// whose client area is `client` pixels; `object` as WindowObject gives it.
HWND CreateOwnedWindow(const wchar_t* className, WNDPROC procedure, const std::string& title, DWORD style,
                       DWORD exStyle, HWND owner, SIZE client, void* object);

// Registers a window class of the program once; false when it cannot be.
bool RegisterClassOnce(const wchar_t* name, WNDPROC procedure, UINT style = 0, LPCWSTR cursor = nullptr,
                       HBRUSH background = nullptr);

// Runs what CComboBox::SetBeforeDropDown gave the combo box, if anything:
// the dialog calls it when the list is about to drop down (CBN_DROPDOWN).
void RunBeforeDropDown(HWND combo);

} // namespace ui

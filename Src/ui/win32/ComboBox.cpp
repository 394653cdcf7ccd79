#include "ComboBox.h"

#include "Layer.h"

#include <commctrl.h>

namespace ui {

namespace {

constexpr UINT_PTR kRefreshSubclass = 1;
// Messages to a combo box that holds a refresh: run it; let it go.
constexpr UINT kRunRefresh = WM_APP + 0x100;
constexpr UINT kForgetRefresh = WM_APP + 0x101;

// Keeps a combo box's drop-down refresh for the life of its window.
LRESULT CALLBACK RefreshHolder(HWND combo, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR data)
{
    auto* refresh = reinterpret_cast<std::function<void()>*>(data);
    switch (message) {
    case kRunRefresh:
        (*refresh)();
        return 0;
    case kForgetRefresh:
    case WM_NCDESTROY:
        ::RemoveWindowSubclass(combo, RefreshHolder, kRefreshSubclass);
        delete refresh;
        if (message == kForgetRefresh)
            return 0;
        break;
    }
    return ::DefSubclassProc(combo, message, wParam, lParam);
}

LRESULT Send(HWND combo, UINT message, WPARAM wParam = 0, LPARAM lParam = 0)
{
    return ::SendMessageW(combo, message, wParam, lParam);
}

} // namespace

void RunBeforeDropDown(HWND combo)
{
    ::SendMessageW(combo, kRunRefresh, 0, 0);  // a combo box without one ignores it
}

void CComboBox::Attach(CWnd* control)
{
    m_combo = HasClass(control, WC_COMBOBOXW) ? control : nullptr;
}

void CComboBox::SetBeforeDropDown(std::function<void()> refresh)
{
    if (!m_combo)
        return;
    ::SendMessageW(m_combo, kForgetRefresh, 0, 0);
    ::SetWindowSubclass(m_combo, RefreshHolder, kRefreshSubclass,
                        reinterpret_cast<DWORD_PTR>(new std::function<void()>(std::move(refresh))));
}

// The sorted style sorts itself, as the list is told to.
int CComboBox::AddString(const char* text)
{
    const std::wstring item = WideFromCp1251(text ? text : "");
    return m_combo ? static_cast<int>(Send(m_combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()))) : CB_ERR;
}

int CComboBox::FindString(int startAfter, const char* prefix) const
{
    const int count = GetCount();
    const std::wstring wanted = WideFromCp1251(prefix ? prefix : "");
    const WPARAM start = startAfter < 0 || startAfter >= count ? static_cast<WPARAM>(-1) : static_cast<WPARAM>(startAfter);
    return count > 0 ? static_cast<int>(Send(m_combo, CB_FINDSTRING, start, reinterpret_cast<LPARAM>(wanted.c_str()))) : CB_ERR;
}

int CComboBox::SetCurSel(int index)
{
    return m_combo ? static_cast<int>(Send(m_combo, CB_SETCURSEL, static_cast<WPARAM>(index))) : CB_ERR;
}

int CComboBox::GetCurSel() const
{
    return m_combo ? static_cast<int>(Send(m_combo, CB_GETCURSEL)) : CB_ERR;
}

int CComboBox::GetCount() const
{
    return m_combo ? static_cast<int>(Send(m_combo, CB_GETCOUNT)) : CB_ERR;
}

void CComboBox::ResetContent()
{
    if (m_combo)
        Send(m_combo, CB_RESETCONTENT);
}

int CComboBox::SetItemData(int index, std::uintptr_t data)
{
    const bool set = m_combo && index >= 0
                     && Send(m_combo, CB_SETITEMDATA, static_cast<WPARAM>(index), static_cast<LPARAM>(data)) != CB_ERR;
    return set ? 0 : CB_ERR;
}

int CComboBox::SetItemDataPtr(int index, void* data)
{
    return SetItemData(index, reinterpret_cast<std::uintptr_t>(data));
}

std::uintptr_t CComboBox::GetItemData(int index) const
{
    const bool inRange = m_combo && index >= 0 && index < GetCount();
    return static_cast<std::uintptr_t>(inRange ? Send(m_combo, CB_GETITEMDATA, static_cast<WPARAM>(index)) : CB_ERR);
}

void* CComboBox::GetItemDataPtr(int index) const
{
    return reinterpret_cast<void*>(GetItemData(index));
}

std::string CComboBox::GetLBText(int index) const
{
    const LRESULT length = m_combo && index >= 0 ? Send(m_combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(index)) : CB_ERR;
    if (length <= 0)
        return std::string();
    std::wstring item(static_cast<std::size_t>(length) + 1, L'\0');
    const LRESULT copied = Send(m_combo, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(item.data()));
    item.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
    return Cp1251FromWide(item);
}

} // namespace ui

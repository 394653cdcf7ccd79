#include "FindBar.h"

#include "Layer.h"

#include <Tooltip.h>

#include <commctrl.h>

namespace ui {

namespace {

const wchar_t kClassName[] = L"OrvelFindBar";
constexpr UINT_PTR kKeysSubclass = 1;
enum : int { kNeedleId = 100, kUpId, kDownId, kCaseId, kStatusId, kCloseId };

// The bar's controls left to right; widths in dialog units, 0 for the text
// to find, which takes the rest.
const struct
{
    int id;
    const wchar_t* className;
    const char* text;
    DWORD style;
    int width;
    const char* tip;
} kControls[] = {
    {kNeedleId, WC_EDITW, "", WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL, 0, nullptr},
    {kUpId, WC_BUTTONW, "▲", WS_TABSTOP | BS_PUSHBUTTON, 12, "Найти предыдущее (Shift+F3)"},
    {kDownId, WC_BUTTONW, "▼", WS_TABSTOP | BS_PUSHBUTTON, 12, "Найти следующее (F3)"},
    {kCaseId, WC_BUTTONW, "Регистр", WS_TABSTOP | BS_AUTOCHECKBOX, 40, nullptr},
    {kStatusId, WC_STATICW, "", SS_LEFT | SS_CENTERIMAGE, 96, nullptr},
    {kCloseId, WC_BUTTONW, "✕", WS_TABSTOP | BS_PUSHBUTTON, 12, "Закрыть (Esc)"},
};
constexpr int kHeight = 14;  // dialog units, an edit's height
constexpr int kGap = 2;

} // namespace

CFindBar::CFindBar(std::function<void(bool forward)> find, std::function<void()> closed)
    : m_find(std::move(find)), m_closed(std::move(closed))
{
}

CFindBar::~CFindBar()
{
    if (m_window)
        ::DestroyWindow(m_window);
}

void CFindBar::Create(HWND dialog)
{
    if (!RegisterClassOnce(kClassName, Procedure, 0, reinterpret_cast<LPCWSTR>(IDC_ARROW),
                           reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1)))
        return;
    // A container of controls: Tab goes through them, the bar itself is no stop.
    m_window = ::CreateWindowExW(WS_EX_CONTROLPARENT, kClassName, L"", WS_CHILD | WS_CLIPCHILDREN, 0, 0, 0, 0, dialog,
                                 nullptr, ::GetModuleHandleW(nullptr), this);
    const auto font = reinterpret_cast<HFONT>(::SendMessageW(dialog, WM_GETFONT, 0, 0));
    for (const auto& c : kControls) {
        const HWND control = CreateChild(m_window, c.className, WideFromUtf8(c.text), c.style, c.id, font);
        ::SetWindowSubclass(control, ControlProcedure, kKeysSubclass, reinterpret_cast<DWORD_PTR>(this));
        if (c.tip)
            MfcExtControl::AddTooltip(m_window, control, WideFromUtf8(c.tip).c_str());
    }
    m_needle = ::GetDlgItem(m_window, kNeedleId);
    ::SendMessageW(m_needle, EM_SETCUEBANNER, TRUE, reinterpret_cast<LPARAM>(WideFromUtf8("Найти").c_str()));
    m_case = ::GetDlgItem(m_window, kCaseId);
    m_status = ::GetDlgItem(m_window, kStatusId);
}

void CFindBar::Open(HWND pane)
{
    if (!IsOpen() && pane) {
        if (!m_window)
            Create(::GetParent(pane));
        m_pane = pane;
        Place();
    }
    ::SetFocus(m_needle);
    ::SendMessageW(m_needle, EM_SETSEL, 0, -1);
}

// The bar over the pane's bottom rows, the pane above it, and the controls
// in a row with a gap between them and at either end.
void CFindBar::Place()
{
    const HWND dialog = ::GetParent(m_pane);
    const RECT pane = PlaceInParent(m_pane);
    const int width = pane.right - pane.left;
    const int height = DialogUnits(dialog, kHeight + 2, false);
    const int gap = DialogUnits(dialog, kGap, true);
    ::SetWindowPos(m_pane, nullptr, 0, 0, width, pane.bottom - pane.top - height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    ::SetWindowPos(m_window, m_pane, pane.left, pane.bottom - height, width, height, SWP_SHOWWINDOW | SWP_NOACTIVATE);
    int fixed = 0;
    for (const auto& c : kControls)
        fixed += DialogUnits(dialog, c.width, true) + gap;
    int x = gap;
    for (const auto& c : kControls) {
        const int w = c.width ? DialogUnits(dialog, c.width, true) : width - fixed - gap;
        ::MoveWindow(::GetDlgItem(m_window, c.id), x, 1, w, height - 2, TRUE);
        x += w + gap;
    }
}

void CFindBar::Close()
{
    if (!IsOpen())
        return;
    const RECT bar = PlaceInParent(m_window);
    const RECT pane = PlaceInParent(m_pane);
    ::SetFocus(m_pane);  // before the bar hides, so that the keyboard stays in the window
    ::ShowWindow(m_window, SW_HIDE);
    ::SetWindowPos(m_pane, nullptr, 0, 0, pane.right - pane.left, pane.bottom - pane.top + bar.bottom - bar.top,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    m_closed();
}

bool CFindBar::IsOpen() const
{
    return m_window && ::IsWindowVisible(m_window);
}

std::u16string CFindBar::Needle() const
{
    const std::wstring text = m_needle ? WindowText(m_needle) : std::wstring();
    return U16(text.data(), text.size());
}

void CFindBar::SetNeedle(const std::u16string& needle)
{
    ::SetWindowTextW(m_needle, Wide(needle).c_str());
    ::SendMessageW(m_needle, EM_SETSEL, 0, -1);
}

bool CFindBar::MatchCase() const
{
    return m_case && ::SendMessageW(m_case, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void CFindBar::SetStatus(const std::string& status)
{
    if (m_status)
        ::SetWindowTextW(m_status, WideFromUtf8(status).c_str());
}

std::string CFindBar::Status() const
{
    return m_status ? Utf8FromWide(WindowText(m_status)) : std::string();
}

LRESULT CALLBACK CFindBar::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* self = WindowObject<CFindBar>(window, message, lParam);
    if (self && message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
        switch (LOWORD(wParam)) {
        case kUpId: self->m_find(false); return 0;
        case kDownId: self->m_find(true); return 0;
        case kCloseId: self->Close(); return 0;
        }
    }
    if (self && message == WM_NCDESTROY)
        self->m_window = self->m_needle = self->m_case = self->m_status = nullptr;
    return ::DefWindowProcW(window, message, wParam, lParam);
}

// Escape and F3 anywhere in the bar, Enter in its text, are the bar's: the
// dialog manager hands them to the control (DLGC_WANTMESSAGE) instead of
// ending the window or pressing a button.
bool CFindBar::TakesKey(HWND control, WPARAM key) const
{
    return key == VK_ESCAPE || key == VK_F3 || (key == VK_RETURN && control == m_needle);
}

void CFindBar::OnKey(WPARAM key)
{
    if (key == VK_ESCAPE)
        Close();
    else
        m_find(::GetKeyState(VK_SHIFT) >= 0);
}

LRESULT CALLBACK CFindBar::ControlProcedure(HWND control, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                            DWORD_PTR data)
{
    auto* self = reinterpret_cast<CFindBar*>(data);
    switch (message) {
    case WM_GETDLGCODE: {
        // The characters of those keys too: the dialog manager would look
        // for a control they are the mnemonic of, in a bar that has closed.
        const auto* key = reinterpret_cast<const MSG*>(lParam);
        const LRESULT code = ::DefSubclassProc(control, message, wParam, lParam);
        const bool taken = key && ((key->message == WM_KEYDOWN && self->TakesKey(control, key->wParam))
                                   || (key->message == WM_CHAR && (key->wParam == L'\r' || key->wParam == 0x1B)));
        return taken ? code | DLGC_WANTMESSAGE : code;
    }
    case WM_KEYDOWN:
        if (self->TakesKey(control, wParam)) {
            self->OnKey(wParam);
            return 0;
        }
        break;
    case WM_CHAR:
        if (wParam == L'\r' || wParam == 0x1B)
            return 0;  // their keys have done it all
        break;
    case WM_NCDESTROY:
        ::RemoveWindowSubclass(control, ControlProcedure, kKeysSubclass);
        break;
    }
    return ::DefSubclassProc(control, message, wParam, lParam);
}

} // namespace ui

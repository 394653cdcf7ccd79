#include "DialogEx.h"

#include "Layer.h"
#include "LogPane.h"

#include <ColorStatic.h>

#include <commctrl.h>

#include <utility>

namespace ui {

namespace {

// The dialog object, as a property of its window.
const wchar_t kDialogProperty[] = L"OrvelDialog";

} // namespace

CDialogEx::CDialogEx(const DlgTemplate& dialogTemplate, CWnd* parent) : m_template(dialogTemplate), m_parent(parent) {}

CDialogEx::~CDialogEx()
{
    if (m_window)
        ::DestroyWindow(m_window);
}

bool CDialogEx::Create()
{
    if (m_created)
        return true;
    m_created = true;
    ::CreateDialogParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(m_template.id), m_parent, Procedure,
                         reinterpret_cast<LPARAM>(this));
    // OnInitDialog ran inside the dialog manager; what it raised goes on from here.
    if (m_initFailure)
        std::rethrow_exception(std::exchange(m_initFailure, nullptr));
    return m_window != nullptr;
}

int CDialogEx::DoModal()
{
    Create();
    const bool parentEnabled = m_parent && ::IsWindowEnabled(m_parent);
    if (parentEnabled)
        ::EnableWindow(m_parent, FALSE);
    m_modal = true;
    MSG message;
    while (!m_ended && m_window) {
        const BOOL got = ::GetMessageW(&message, nullptr, 0, 0);
        if (got <= 0) {
            if (got == 0)
                ::PostQuitMessage(static_cast<int>(message.wParam));  // for the loop outside
            break;
        }
        if (!PreTranslateMessage(message)) {
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
    }
    m_modal = false;
    if (parentEnabled)
        ::EnableWindow(m_parent, TRUE);
    DestroyWindow();
    return m_result;
}

bool CDialogEx::PreTranslateMessage(MSG& message)
{
    const HWND root = message.hwnd ? ::GetAncestor(message.hwnd, GA_ROOT) : nullptr;
    if (!root || message.message < WM_KEYFIRST || message.message > WM_KEYLAST)
        return false;
    auto* dialog = static_cast<CDialogEx*>(::GetPropW(root, kDialogProperty));
    return (dialog && dialog->TakeEditKey(message)) || ::IsDialogMessageW(root, &message);
}

// Up or Down alone in a single-line edit, when the window takes it.
bool CDialogEx::TakeEditKey(const MSG& message)
{
    const bool upOrDown = message.message == WM_KEYDOWN && (message.wParam == VK_UP || message.wParam == VK_DOWN);
    if (!upOrDown || ::GetKeyState(VK_SHIFT) < 0 || ::GetKeyState(VK_CONTROL) < 0 || ::GetKeyState(VK_MENU) < 0
        || !HasClass(message.hwnd, WC_EDITW) || (::GetWindowLongW(message.hwnd, GWL_STYLE) & ES_MULTILINE))
        return false;
    const int id = ::GetDlgCtrlID(message.hwnd);
    bool taken = false;
    RunHandler(id, [&] { taken = OnEditKey(id, message.wParam == VK_UP ? EditKey::Up : EditKey::Down); });
    return taken;
}

bool CDialogEx::DestroyWindow()
{
    if (m_destroyed)
        return false;
    m_destroyed = true;
    m_ended = true;
    const HWND window = std::exchange(m_window, nullptr);
    if (window)
        ::DestroyWindow(window);
    return window != nullptr;
}

void CDialogEx::End(int result)
{
    m_result = result;
    if (m_modal) {
        m_ended = true;
        ::PostMessageW(m_window, WM_NULL, 0, 0);  // the loop looks at m_ended again
    } else {
        DestroyWindow();
    }
}

// Each multi-line edit of the template gives way to a log pane.
void CDialogEx::ReplaceLogEdits()
{
    std::vector<HWND> edits;
    for (HWND child = ::GetWindow(m_window, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        if (HasClass(child, WC_EDITW) && (::GetWindowLongW(child, GWL_STYLE) & ES_MULTILINE))
            edits.push_back(child);
    }
    for (const HWND edit : edits)
        m_panes.push_back(std::make_unique<CLogPane>(edit));
}

INT_PTR CALLBACK CDialogEx::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        auto* self = reinterpret_cast<CDialogEx*>(lParam);
        ::SetWindowLongPtrW(window, DWLP_USER, lParam);
        ::SetPropW(window, kDialogProperty, self);
        self->m_window = window;
        self->ReplaceLogEdits();
        try {
            return self->OnInitDialog();
        } catch (...) {
            self->m_initFailure = std::current_exception();
            return TRUE;
        }
    }
    auto* self = reinterpret_cast<CDialogEx*>(::GetWindowLongPtrW(window, DWLP_USER));
    if (!self)
        return FALSE;
    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrW(window, DWLP_USER, 0);
        ::RemovePropW(window, kDialogProperty);
        self->m_window = nullptr;
        return FALSE;
    }
    return self->OnMessage(message, wParam, lParam);
}

INT_PTR CDialogEx::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND: {
        const int id = LOWORD(wParam);
        const int code = HIWORD(wParam);
        const auto control = reinterpret_cast<HWND>(lParam);
        if (id == IDOK)  // Enter, from the dialog manager
            RunHandler(id, [this] { OnEnterKey(::GetFocus()); });
        else if (id == IDCANCEL)  // Escape or the close box
            End(IDCANCEL);
        else if (control && code == CBN_DROPDOWN)
            RunHandler(id, [control] { RunBeforeDropDown(control); });
        else if (control && (code == BN_CLICKED || code == CBN_SELCHANGE))
            RunHandler(id, [this, id, code] { OnCommand(id, code); });
        return TRUE;
    }
    case WM_CLOSE:
        End(IDCANCEL);
        return TRUE;
    case WM_CTLCOLORSTATIC:
        // A lamp paints with its own brush and colours; other statics as usual.
        if (const LRESULT brush = ::SendMessageW(reinterpret_cast<HWND>(lParam), MfcExtControl::kReflectedCtlColor, wParam, 0))
            return static_cast<INT_PTR>(brush);
        return FALSE;
    }
    return FALSE;
}

bool CDialogEx::OnInitDialog()
{
    return true;
}

bool CDialogEx::OnCommand(int, int)
{
    return false;
}

void CDialogEx::OnEnterKey(CWnd* focus)
{
    if (focus && HasClass(focus, WC_BUTTONW) && (::GetWindowLongW(focus, GWL_STYLE) & BS_TYPEMASK) <= BS_DEFPUSHBUTTON)
        ClickButton(focus);
}

bool CDialogEx::OnEditKey(int, EditKey)
{
    return false;
}

CWnd* CDialogEx::GetDlgItem(int id) const
{
    return m_window ? ::GetDlgItem(m_window, id) : nullptr;
}

int CDialogEx::GetDlgItemText(int id, std::string& text) const
{
    const HWND control = GetDlgItem(id);
    text = control ? Cp1251FromWide(WindowText(control)) : std::string();
    return static_cast<int>(text.size());
}

void CDialogEx::SetDlgItemText(int id, const char* text)
{
    const HWND control = GetDlgItem(id);
    const std::wstring wide = WideFromCp1251(text ? text : "");
    if (control && HasClass(control, WC_COMBOBOXW))  // a drop-down list selects the item of that text
        ::SendMessageW(control, CB_SETCURSEL,
                       ::SendMessageW(control, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(wide.c_str())), 0);
    else if (control)
        ::SetWindowTextW(control, wide.c_str());
}

void CDialogEx::CheckDlgButton(int id, UINT check)
{
    if (m_window)
        ::CheckDlgButton(m_window, id, check);
}

UINT CDialogEx::IsDlgButtonChecked(int id) const
{
    return m_window ? ::IsDlgButtonChecked(m_window, id) : BST_UNCHECKED;
}

} // namespace ui

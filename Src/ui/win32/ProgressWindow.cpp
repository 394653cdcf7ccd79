#include "ProgressWindow.h"

#include "Layer.h"

#include <commctrl.h>

namespace ui {

namespace {

const wchar_t kClassName[] = L"OrvelProgressWindow";
constexpr int kTextId = 100;
constexpr int kBarId = 101;
// Layout in dialog units of the owner's font.
constexpr RECT kText{7, 7, 200, 24};     // x, y, width, height
constexpr RECT kBar{7, 35, 200, 10};
constexpr RECT kCancel{157, 52, 50, 14};
constexpr SIZE kClient{214, 73};

} // namespace

// A small top-level window owned by the main one: the text, the common
// progress bar and "Отмена" (IDCANCEL, which Escape gives too), "Закрыть"
// once the operation has ended.
class CProgressWindow::CImpl
{
public:
    CImpl(CWnd* parent, const std::string& title, std::function<void()> cancel) : m_cancel(std::move(cancel))
    {
        m_owner = parent;
        m_font = parent ? reinterpret_cast<HFONT>(::SendMessageW(parent, WM_GETFONT, 0, 0)) : nullptr;
        m_window = CreateOwnedWindow(kClassName, Procedure, title, WS_POPUP | WS_CAPTION | WS_SYSMENU,
                                     WS_EX_DLGMODALFRAME, parent, SIZE{Dlu(kClient.cx, true), Dlu(kClient.cy, false)}, this);
        if (!m_window)
            return;
        m_text = Child(WC_STATICW, L"", SS_LEFT, kText, kTextId);
        m_bar = Child(PROGRESS_CLASSW, L"", 0, kBar, kBarId);
        m_button = Child(WC_BUTTONW, WideFromUtf8("Отмена"), BS_PUSHBUTTON | WS_TABSTOP, kCancel, IDCANCEL);
        ::SendMessageW(m_bar, PBM_SETRANGE32, 0, 1000);
    }

    ~CImpl()
    {
        if (m_window)
            ::DestroyWindow(m_window);
    }

    void Show(const std::string& text, int permille)
    {
        if (text != m_shown) {
            m_shown = text;
            ::SetWindowTextW(m_text, WideFromUtf8(text).c_str());
        }
        ::SendMessageW(m_bar, PBM_SETPOS, static_cast<WPARAM>(permille), 0);
        if (m_window && !::IsWindowVisible(m_window))
            ::ShowWindow(m_window, SW_SHOWNOACTIVATE);
    }

    // The operation has ended: "Закрыть" only puts the window away.
    void Finish(const std::string& text)
    {
        m_finished = true;
        ::SetWindowTextW(m_button, WideFromUtf8("Закрыть").c_str());
        Show(text, 1000);
    }

    bool IsShown() const { return m_window && ::IsWindowVisible(m_window); }

    std::string m_shown;

private:
    // Dialog units of the owner's font to pixels.
    int Dlu(int units, bool horizontal) const { return DialogUnits(m_owner, units, horizontal); }

    HWND Child(const wchar_t* className, const std::wstring& text, DWORD style, const RECT& place, int id)
    {
        return CreateChild(m_window, className, text, style, id, m_font,
                           RECT{Dlu(place.left, true), Dlu(place.top, false), Dlu(place.right, true), Dlu(place.bottom, false)});
    }

    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        auto* self = WindowObject<CImpl>(window, message, lParam);
        // "Отмена", Escape and the close box all cancel; the window stays
        // until its owner lets it go.
        if (self && ((message == WM_COMMAND && LOWORD(wParam) == IDCANCEL) || message == WM_CLOSE)) {
            if (self->m_finished)
                ::ShowWindow(window, SW_HIDE);
            else
                self->m_cancel();
            return 0;
        }
        if (message == WM_NCDESTROY && self)
            self->m_window = nullptr;
        return ::DefWindowProcW(window, message, wParam, lParam);
    }

    std::function<void()> m_cancel;
    HWND m_owner = nullptr;
    HFONT m_font = nullptr;
    HWND m_window = nullptr;
    HWND m_text = nullptr;
    HWND m_bar = nullptr;
    HWND m_button = nullptr;
    bool m_finished = false;
};

CProgressWindow::CProgressWindow(CWnd* parent, const std::string& title, std::function<void()> cancel)
    : m_impl(std::make_unique<CImpl>(parent, title, std::move(cancel)))
{
}

CProgressWindow::~CProgressWindow() = default;

void CProgressWindow::Show(const std::string& text, int permille)
{
    m_impl->Show(text, permille);
}

void CProgressWindow::Finish(const std::string& text)
{
    m_impl->Finish(text);
}

bool CProgressWindow::IsShown() const
{
    return m_impl->IsShown();
}

std::string CProgressWindow::Text() const
{
    return m_impl->m_shown;
}

} // namespace ui

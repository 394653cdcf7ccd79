#include "MessageWindow.h"

#include "Layer.h"

namespace ui {

namespace {

const wchar_t kClassName[] = L"OrvelMessageWindow";

} // namespace

CMessageWindow::CMessageWindow(Handler handler) : m_handler(std::move(handler))
{
    RegisterClassOnce(kClassName, Procedure);
    m_window = ::CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                 ::GetModuleHandleW(nullptr), this);
}

CMessageWindow::~CMessageWindow()
{
    if (m_window)
        ::DestroyWindow(m_window);
}

LRESULT CALLBACK CMessageWindow::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* self = WindowObject<CMessageWindow>(window, message, lParam);
    if (self && (message == WM_TIMER || message >= WM_APP)) {
        self->m_handler(message, wParam, lParam);
        return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

} // namespace ui

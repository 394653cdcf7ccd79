#pragma once

// A message-only window of the window's thread whose messages go to a
// handler: the receiver of the layer's timers and posted wake-ups. Made and
// destroyed on that thread; a message still queued goes with the window.

#include <windows.h>

#include <functional>

namespace ui {

class CMessageWindow
{
public:
    using Handler = std::function<void(UINT message, WPARAM wParam, LPARAM lParam)>;

    explicit CMessageWindow(Handler handler);
    ~CMessageWindow();
    CMessageWindow(const CMessageWindow&) = delete;
    CMessageWindow& operator=(const CMessageWindow&) = delete;

    HWND Handle() const { return m_window; }

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    Handler m_handler;
    HWND m_window = nullptr;
};

} // namespace ui

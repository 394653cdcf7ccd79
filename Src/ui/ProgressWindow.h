#pragma once

// A small window beside the main one that tells how a long operation goes:
// a line or two of text, a bar, and "Отмена". It is not modal: the main
// window stays usable. "Отмена", Escape and its close box all call `cancel`
// (which must not destroy the window from inside the call). One per window
// system (ProgressWindow.cpp of the platform's layer). Texts are UTF-8.

#include "Wnd.h"

#include <functional>
#include <memory>
#include <string>

namespace ui {

class CProgressWindow
{
public:
    CProgressWindow(CWnd* parent, const std::string& title, std::function<void()> cancel);
    ~CProgressWindow();
    CProgressWindow(const CProgressWindow&) = delete;
    CProgressWindow& operator=(const CProgressWindow&) = delete;

    // Shows the window (the first call) with `text` and the bar at
    // `permille` thousandths.
    void Show(const std::string& text, int permille);
    // The operation has ended: the window says `text` until the operator
    // closes it ("Закрыть"); `cancel` is not called any more.
    void Finish(const std::string& text);
    // Whether the window is on the screen.
    bool IsShown() const;
    // What it says now.
    std::string Text() const;

private:
    class CImpl;
    std::unique_ptr<CImpl> m_impl;
};

} // namespace ui

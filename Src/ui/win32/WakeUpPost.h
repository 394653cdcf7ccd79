#pragma once

#include "WakeUp.h"

#include "MessageWindow.h"

namespace ui {

// A run is a message posted to a message-only window of the window's
// thread; a run still queued goes with the window.
class CWakeUp::CPoster
{
public:
    explicit CPoster(std::function<void()> run);

    // Any thread.
    void Post();

private:
    std::function<void()> m_run;
    CMessageWindow m_window;
};

} // namespace ui

#pragma once

// Wakes the window's thread from any other thread: Signal() never blocks for
// long; the window's thread then runs the handler from its event loop.
// Signals that arrive before the handler runs are folded into one run, so a
// busy producer posts at most one event per run. Made and destroyed on the
// window's thread, after every thread that signals has stopped.

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

namespace ui {

class CWakeUp
{
public:
    explicit CWakeUp(std::function<void()> handler);
    ~CWakeUp();

    CWakeUp(const CWakeUp&) = delete;
    CWakeUp& operator=(const CWakeUp&) = delete;

    // Any thread.
    void Signal() noexcept;

private:
    // Posts a run to the window's thread's event queue and delivers it
    // there to OnSignalled; one per window system (WakeUpPost.cpp).
    class CPoster;

    void OnSignalled();

    std::function<void()> m_handler;
    std::atomic<bool> m_pending{false};  // a run is posted and has not begun
    // Held while a run is made and posted, and taken by the run: the making
    // then visibly happens before the run and its end (the window system's
    // own queue lock is invisible to ThreadSanitizer).
    std::mutex m_posting;
    std::unique_ptr<CPoster> m_poster;
};

} // namespace ui

#pragma once

// Wakes the window's thread from any other thread: Signal() never blocks;
// the window's thread then runs the handler from its event loop. Signals
// that arrive before the handler runs are folded into one run, so a busy
// producer posts at most one event per run. Made and destroyed on the
// window's thread, after every thread that signals has stopped.

#include <QObject>

#include <atomic>
#include <functional>

namespace ui {

class CWakeUp
{
public:
    explicit CWakeUp(std::function<void()> handler);

    CWakeUp(const CWakeUp&) = delete;
    CWakeUp& operator=(const CWakeUp&) = delete;

    // Any thread.
    void Signal() noexcept;

private:
    void OnSignalled();

    std::function<void()> m_handler;
    std::atomic<bool> m_pending{false};  // a run is posted and has not begun
    QObject m_context;  // receives the posted runs; they go with it
};

} // namespace ui

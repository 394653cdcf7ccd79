#pragma once

// Wakes the window's thread from any other thread: Signal() never blocks
// and never touches a Qt object; the window's thread then runs the handler
// from its event loop. Signals that arrive before the handler runs are
// folded into one run. Made and destroyed on the window's thread.

#include <QObject>

#include <functional>
#include <memory>

class QSocketNotifier;

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
    void OnSignalled();

    std::function<void()> m_handler;
    int m_fd;  // eventfd; -1 when none could be made
    std::unique_ptr<QSocketNotifier> m_notifier;
    QObject m_context;  // target of the queued fallback when there is no eventfd
};

} // namespace ui

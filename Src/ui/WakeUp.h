#pragma once

// Wakes the window's thread from any other thread: Signal() never blocks for
// long; the window's thread then runs the handler from its event loop.
// Signals that arrive before the handler runs are folded into one run, so a
// busy producer posts at most one event per run. Made and destroyed on the
// window's thread, after every thread that signals has stopped.

#include <QObject>

#include <atomic>
#include <functional>
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
    // Receives the posted runs on the window's thread; they go with it.
    class CReceiver : public QObject
    {
    public:
        explicit CReceiver(CWakeUp& wakeUp) : m_wakeUp(wakeUp) {}

    protected:
        void customEvent(QEvent*) override { m_wakeUp.OnSignalled(); }

    private:
        CWakeUp& m_wakeUp;
    };

    void OnSignalled();

    std::function<void()> m_handler;
    std::atomic<bool> m_pending{false};  // a run is posted and has not begun
    // Held while an event is made and posted, and taken by its run: the
    // event's making then visibly happens before its run and its deletion
    // (Qt's own queue lock is invisible to ThreadSanitizer).
    std::mutex m_posting;
    CReceiver m_receiver{*this};
};

} // namespace ui

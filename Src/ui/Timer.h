#pragma once

// A timer of the window's thread: it runs its handler there, every interval
// or once. Made, used and destroyed on the window's thread; the handler
// never runs after Stop or the timer's end.

#include <functional>
#include <memory>

namespace ui {

class CTimer
{
public:
    explicit CTimer(std::function<void()> handler);
    ~CTimer();
    CTimer(const CTimer&) = delete;
    CTimer& operator=(const CTimer&) = delete;

    // Every `milliseconds` from now on; a running timer starts again.
    void Start(int milliseconds);
    // Once, `milliseconds` from now.
    void StartOnce(int milliseconds);
    void Stop();
    bool IsActive() const;

private:
    class CImpl;
    std::unique_ptr<CImpl> m_impl;
};

} // namespace ui

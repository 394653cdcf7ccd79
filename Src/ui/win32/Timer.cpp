#include "Timer.h"

#include "MessageWindow.h"

namespace ui {

// Each timer has a message-only window of its own, so that a WM_TIMER still
// queued after Stop, or after the timer's end, finds nothing to run.
class CTimer::CImpl
{
public:
    explicit CImpl(std::function<void()> handler)
        : m_handler(std::move(handler)), m_window([this](UINT message, WPARAM, LPARAM) {
              if (message == WM_TIMER)
                  Fire();
          })
    {
    }

    void Start(int milliseconds, bool once)
    {
        m_once = once;
        m_active = ::SetTimer(m_window.Handle(), kId, static_cast<UINT>(milliseconds > 0 ? milliseconds : 0), nullptr) != 0;
    }

    void Stop()
    {
        m_active = false;
        ::KillTimer(m_window.Handle(), kId);
    }

    bool m_active = false;

private:
    static constexpr UINT_PTR kId = 1;

    void Fire()
    {
        if (!m_active)
            return;
        if (m_once)
            Stop();
        m_handler();
    }

    std::function<void()> m_handler;
    bool m_once = false;
    CMessageWindow m_window;
};

CTimer::CTimer(std::function<void()> handler) : m_impl(std::make_unique<CImpl>(std::move(handler))) {}

CTimer::~CTimer() = default;

void CTimer::Start(int milliseconds)
{
    m_impl->Start(milliseconds, false);
}

void CTimer::StartOnce(int milliseconds)
{
    m_impl->Start(milliseconds, true);
}

void CTimer::Stop()
{
    m_impl->Stop();
}

bool CTimer::IsActive() const
{
    return m_impl->m_active;
}

} // namespace ui

#include "Timer.h"

#include <QTimer>

namespace ui {

class CTimer::CImpl
{
public:
    explicit CImpl(std::function<void()> handler) : m_handler(std::move(handler))
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this] { m_handler(); });
    }

    QTimer m_timer;
    std::function<void()> m_handler;
};

CTimer::CTimer(std::function<void()> handler) : m_impl(std::make_unique<CImpl>(std::move(handler))) {}

CTimer::~CTimer() = default;

void CTimer::Start(int milliseconds)
{
    m_impl->m_timer.setSingleShot(false);
    m_impl->m_timer.start(milliseconds);
}

void CTimer::StartOnce(int milliseconds)
{
    m_impl->m_timer.setSingleShot(true);
    m_impl->m_timer.start(milliseconds);
}

void CTimer::Stop()
{
    m_impl->m_timer.stop();
}

bool CTimer::IsActive() const
{
    return m_impl->m_timer.isActive();
}

} // namespace ui

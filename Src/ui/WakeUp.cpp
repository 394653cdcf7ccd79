#include "WakeUp.h"

#include <QMetaObject>

namespace ui {

CWakeUp::CWakeUp(std::function<void()> handler) : m_handler(std::move(handler)) {}

void CWakeUp::Signal() noexcept
{
    if (m_pending.exchange(true))
        return;  // a run is on its way and will see what this signal is for
    QMetaObject::invokeMethod(&m_context, [this] { OnSignalled(); }, Qt::QueuedConnection);
}

void CWakeUp::OnSignalled()
{
    // Reset first: a signal that comes while the handler runs wakes again.
    m_pending = false;
    m_handler();
}

} // namespace ui

#include "WakeUp.h"

#include <QCoreApplication>
#include <QEvent>

namespace ui {

CWakeUp::CWakeUp(std::function<void()> handler) : m_handler(std::move(handler)) {}

CWakeUp::~CWakeUp()
{
    // A run still queued goes with the receiver, after every posting.
    const std::lock_guard<std::mutex> posted(m_posting);
}

void CWakeUp::Signal() noexcept
{
    if (m_pending.exchange(true))
        return;  // a run is on its way and will see what this signal is for
    const std::lock_guard<std::mutex> posting(m_posting);
    QCoreApplication::postEvent(&m_receiver, new QEvent(QEvent::User));
}

void CWakeUp::OnSignalled()
{
    { const std::lock_guard<std::mutex> posted(m_posting); }
    // Reset first: a signal that comes while the handler runs wakes again.
    m_pending = false;
    m_handler();
}

} // namespace ui

#include "WakeUp.h"

#include <QMetaObject>
#include <QSocketNotifier>

#include <cerrno>
#include <cstdint>
#include <sys/eventfd.h>
#include <unistd.h>

namespace ui {

CWakeUp::CWakeUp(std::function<void()> handler)
    : m_handler(std::move(handler)), m_fd(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC))
{
    if (m_fd >= 0) {
        m_notifier = std::make_unique<QSocketNotifier>(m_fd, QSocketNotifier::Read);
        QObject::connect(m_notifier.get(), &QSocketNotifier::activated, &m_context, [this] { OnSignalled(); });
    }
}

CWakeUp::~CWakeUp()
{
    m_notifier.reset();
    if (m_fd >= 0)
        ::close(m_fd);
}

void CWakeUp::Signal() noexcept
{
    if (m_fd < 0) {
        // Without an eventfd: a queued call, dropped if this object goes first.
        QMetaObject::invokeMethod(&m_context, [this] { OnSignalled(); }, Qt::QueuedConnection);
        return;
    }
    const std::uint64_t one = 1;
    ssize_t written;
    do {
        written = ::write(m_fd, &one, sizeof one);
    } while (written < 0 && errno == EINTR);
    // EAGAIN only when the counter is full, and then a wake-up is pending anyway.
}

void CWakeUp::OnSignalled()
{
    if (m_fd >= 0) {
        // Reset first: a signal that comes while the handler runs wakes again.
        std::uint64_t count = 0;
        while (::read(m_fd, &count, sizeof count) < 0 && errno == EINTR) {
        }
    }
    m_handler();
}

} // namespace ui

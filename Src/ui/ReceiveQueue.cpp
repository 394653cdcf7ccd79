#include "ReceiveQueue.h"

namespace ui {

namespace {

// A batch buffer up to this size is kept for reuse.
constexpr std::size_t kKeptCapacity = 256 * 1024;

} // namespace

void CReceiveQueue::Batch::clear()
{
    bytes.clear();
    if (bytes.capacity() > kKeptCapacity)
        std::string().swap(bytes);
    times.clear();
    failed = false;
    lost = false;
}

bool CReceiveQueue::Push(const char* data, std::uint32_t count, std::int64_t timeMs)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (data == nullptr || count == 0) {
        m_queued.failed = true;
    } else {
        if (m_queued.times.empty() || m_queued.times.back().second != timeMs)
            m_queued.times.emplace_back(m_queued.bytes.size(), timeMs);
        m_queued.bytes.append(data, count);
    }
    const bool wakeUp = !m_wakeUpPending;
    m_wakeUpPending = true;
    return wakeUp;
}

bool CReceiveQueue::PushLost()
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_queued.lost = true;
    const bool wakeUp = !m_wakeUpPending;
    m_wakeUpPending = true;
    return wakeUp;
}

void CReceiveQueue::Take(Batch& into)
{
    into.clear();
    const std::lock_guard<std::mutex> lock(m_mutex);
    std::swap(into, m_queued);
}

bool CReceiveQueue::Idle()
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_queued.empty())
        return false;
    m_wakeUpPending = false;
    return true;
}

} // namespace ui

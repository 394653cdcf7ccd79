#include "ReceiveQueue.h"

namespace ui {

bool CReceiveQueue::Push(const char* data, std::uint32_t count)
{
    if (data == nullptr)
        count = 0;
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_bytes.append(data ? data : "", count);
    m_counts.push_back(count);
    const bool wakeUp = !m_wakeUpPending;
    m_wakeUpPending = true;
    return wakeUp;
}

bool CReceiveQueue::Take(Batch& into, std::size_t maxBytes)
{
    into.clear();
    const std::lock_guard<std::mutex> lock(m_mutex);
    std::size_t end = m_countsTaken;
    std::size_t size = 0;
    while (end < m_counts.size() && (end == m_countsTaken || size + m_counts[end] <= maxBytes))
        size += m_counts[end++];
    into.bytes.assign(m_bytes, m_bytesTaken, size);
    into.counts.assign(m_counts.begin() + static_cast<std::ptrdiff_t>(m_countsTaken),
                       m_counts.begin() + static_cast<std::ptrdiff_t>(end));
    m_bytesTaken += size;
    m_countsTaken = end;

    if (m_countsTaken == m_counts.size()) {
        m_bytes.clear();
        m_counts.clear();
        m_bytesTaken = 0;
        m_countsTaken = 0;
        m_wakeUpPending = false;
        return false;
    }
    // Drop what was taken once it is the larger part, so the buffers stay
    // about as large as what waits.
    if (m_bytesTaken > m_bytes.size() / 2) {
        m_bytes.erase(0, m_bytesTaken);
        m_counts.erase(m_counts.begin(), m_counts.begin() + static_cast<std::ptrdiff_t>(m_countsTaken));
        m_bytesTaken = 0;
        m_countsTaken = 0;
    }
    return true;
}

} // namespace ui

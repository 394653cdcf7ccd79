#include "RecentRate.h"

#include <cmath>

namespace ui {

using Seconds = std::chrono::duration<double>;

CRecentRate::CRecentRate(std::chrono::milliseconds window) : m_window(window)
{
}

void CRecentRate::Add(Clock::time_point now, std::size_t sent)
{
    if (!m_samples.empty() && sent < m_samples.back().sent)
        m_samples.clear();
    if (!m_samples.empty() && now < m_samples.back().time)
        return;
    m_samples.push_back({now, sent});
    // The oldest sample kept is the last one at or before the window's
    // start, so that the rate spans the whole window.
    const Clock::time_point start = now - m_window;
    while (m_samples.size() > 2 && m_samples[1].time <= start)
        m_samples.pop_front();
}

void CRecentRate::Reset()
{
    m_samples.clear();
}

std::optional<double> CRecentRate::BytesPerSecond() const
{
    if (m_samples.size() < 2)
        return std::nullopt;
    const Sample& oldest = m_samples.front();
    const Sample& newest = m_samples.back();
    const Seconds span = newest.time - oldest.time;
    if (span < kLeast)
        return std::nullopt;
    return static_cast<double>(newest.sent - oldest.sent) / span.count();
}

std::optional<std::chrono::milliseconds> CRecentRate::TimeLeft(std::size_t total) const
{
    const std::optional<double> rate = BytesPerSecond();
    if (!rate || *rate <= 0)
        return std::nullopt;
    const std::size_t sent = m_samples.back().sent;
    const double left = total > sent ? static_cast<double>(total - sent) / *rate : 0.0;
    return std::chrono::milliseconds(static_cast<long long>(std::ceil(left * 1000.0)));
}

} // namespace ui

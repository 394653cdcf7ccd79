#include "WakeUp.h"

#include "WakeUpPost.h"

namespace ui {

CWakeUp::CWakeUp(std::function<void()> handler)
    : m_handler(std::move(handler)), m_poster(std::make_unique<CPoster>([this] { OnSignalled(); }))
{
}

CWakeUp::~CWakeUp()
{
    // A run still queued goes with the poster, after every posting.
    const std::lock_guard<std::mutex> posted(m_posting);
    m_poster.reset();
}

void CWakeUp::Signal() noexcept
{
    if (m_pending.exchange(true))
        return;  // a run is on its way and will see what this signal is for
    const std::lock_guard<std::mutex> posting(m_posting);
    m_poster->Post();
}

void CWakeUp::OnSignalled()
{
    { const std::lock_guard<std::mutex> posted(m_posting); }
    // Reset first: a signal that comes while the handler runs wakes again.
    m_pending = false;
    m_handler();
}

} // namespace ui

#include "SendProgress.h"

#include "ShownText.h"

#include <cmath>

namespace ui {

namespace {

using Clock = std::chrono::steady_clock;
using Seconds = std::chrono::duration<double>;

constexpr Seconds kShowAfter(0.5);
constexpr Seconds kStalledAfter(5.0);

} // namespace

std::string CSendProgress::Describe(const serialport::CSender::Progress& progress, Clock::time_point now,
                                    const CRecentRate& rate)
{
    std::string text = "Передано " + GroupedNumber(progress.sent) + " из " + GroupedNumber(progress.total) + " байт";
    const double idle = Seconds(now - progress.lastByte).count();
    if (idle >= kStalledAfter.count())
        return text + "\nУстройство не принимает данные (" + std::to_string(static_cast<int>(idle)) + " с)";
    const std::optional<double> perSecond = rate.BytesPerSecond();
    if (!perSecond)
        return text;
    text += "\n" + GroupedNumber(static_cast<std::size_t>(std::lround(*perSecond))) + " байт/с";
    if (const auto left = rate.TimeLeft(progress.total))
        text += ", осталось " + std::to_string((left->count() + 999) / 1000) + " с";
    return text;
}

CSendProgress::CSendProgress(const CDialogEx& owner, std::string title, std::function<void()> cancel)
    : m_owner(owner), m_title(std::move(title)), m_cancel(std::move(cancel))
{
}

CSendProgress::~CSendProgress() = default;

void CSendProgress::Update(const serialport::CSender::Progress& progress)
{
    const Clock::time_point now = Clock::now();
    m_rate.Add(now, progress.sent);
    if (!m_window) {
        if (now - progress.started < kShowAfter)
            return;
        m_window = std::make_unique<CProgressWindow>(m_owner.GetSafeHwnd(), m_title, [this] { m_cancel(); });
    }
    const int permille =
        progress.total ? static_cast<int>(1000 * static_cast<double>(progress.sent) / progress.total) : 0;
    m_window->Show(Describe(progress, now, m_rate), permille);
}

void CSendProgress::Finish()
{
    m_window.reset();
    m_rate.Reset();
}

std::string CSendProgress::Text() const
{
    return m_window ? m_window->Text() : std::string();
}

} // namespace ui

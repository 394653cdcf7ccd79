#include "SendProgress.h"

#include <cmath>

namespace ui {

namespace {

using Clock = std::chrono::steady_clock;
using Seconds = std::chrono::duration<double>;

constexpr Seconds kShowAfter(0.5);
constexpr Seconds kStalledAfter(5.0);

} // namespace

std::string CSendProgress::Describe(const serialport::CSender::Progress& progress, Clock::time_point now)
{
    std::string text = "Передано " + std::to_string(progress.sent) + " из " + std::to_string(progress.total) + " байт";
    const double idle = Seconds(now - progress.lastByte).count();
    if (idle >= kStalledAfter.count())
        return text + "\nУстройство не принимает данные (" + std::to_string(static_cast<int>(idle)) + " с)";
    const double elapsed = Seconds(now - progress.started).count();
    if (progress.sent == 0 || elapsed <= 0)
        return text;
    const double rate = progress.sent / elapsed;
    const double left = (progress.total - progress.sent) / rate;
    return text + "\n" + std::to_string(std::lround(rate)) + " байт/с, осталось "
           + std::to_string(static_cast<long>(std::ceil(left))) + " с";
}

CSendProgress::CSendProgress(const CDialogEx& owner, std::string title, std::function<void()> cancel)
    : m_owner(owner), m_title(std::move(title)), m_cancel(std::move(cancel))
{
}

CSendProgress::~CSendProgress() = default;

void CSendProgress::Update(const serialport::CSender::Progress& progress)
{
    const Clock::time_point now = Clock::now();
    if (!m_window) {
        if (now - progress.started < kShowAfter)
            return;
        m_window = std::make_unique<CProgressWindow>(m_owner.GetSafeHwnd(), m_title, [this] { m_cancel(); });
    }
    const int permille =
        progress.total ? static_cast<int>(1000 * static_cast<double>(progress.sent) / progress.total) : 0;
    m_window->Show(Describe(progress, now), permille);
}

void CSendProgress::Finish()
{
    m_window.reset();
}

std::string CSendProgress::Text() const
{
    return m_window ? m_window->Text() : std::string();
}

} // namespace ui

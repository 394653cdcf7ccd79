#include "Sender.h"

#include "BaudRate.h"
#include "PortIo.h"

#include <algorithm>

namespace serialport {

namespace {

using Clock = std::chrono::steady_clock;

// How long the sending thread waits at a time for room in the driver, so
// that it notices a cancel soon.
constexpr std::chrono::milliseconds kWaitStep(20);

} // namespace

CSender::~CSender()
{
    Stop();
}

std::size_t CSender::SliceBytes(std::uint32_t baudRate)
{
    return std::max<std::size_t>(1, baudRate / 10 / 20);  // 50 ms of bytes
}

bool CSender::Start(NativeHandle port, std::vector<char> bytes, DoneCallback done)
{
    if (m_running || bytes.empty())
        return false;
    if (m_thread.joinable())
        m_thread.join();  // the last send, already ended
    m_bytes = std::move(bytes);
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_cancel = false;
        m_deviceGone = false;
        m_progress = Progress{0, m_bytes.size(), Clock::now(), Clock::now()};
    }
    // The sending thread must never block in a write: it waits for room
    // itself, watching for a cancel.
    detail::PrepareBackgroundWrites(port);
    m_running = true;
    m_thread = std::thread(&CSender::Run, this, port, std::move(done));
    return true;
}

CSender::Progress CSender::GetProgress() const
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_progress;
}

void CSender::Cancel()
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_cancel = true;
    m_cancelled.notify_all();
}

void CSender::Stop()
{
    if (!m_thread.joinable())
        return;
    Cancel();
    m_thread.join();
}

void CSender::StopAsFailed()
{
    if (!m_thread.joinable())
        return;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_deviceGone = true;
    }
    Stop();
}

void CSender::Run(NativeHandle port, DoneCallback done)
{
    Outcome outcome = Send(port);
    if (outcome == Outcome::Cancelled) {
        const std::lock_guard<std::mutex> lock(m_mutex);
        if (m_deviceGone)
            outcome = Outcome::Failed;
    }
    if (outcome == Outcome::Cancelled)
        detail::DiscardQueued(port);  // what the driver still holds for the line goes too
    std::vector<char>().swap(m_bytes);
    m_running = false;
    if (done)
        done(outcome);
}

CSender::Outcome CSender::Send(NativeHandle port)
{
    const std::size_t slice = SliceBytes(CurrentBaudRate(port));
    const std::size_t total = m_bytes.size();
    const auto notCancelled = [this] { return Pause(std::chrono::milliseconds(0)); };
    std::size_t sent = 0;
    while (sent < total) {
        if (!notCancelled())
            return Outcome::Cancelled;
        // No more than a slice waits in the driver when the next goes in.
        if (detail::QueuedForTheLine(port) > slice) {
            if (!Pause(kWaitStep))
                return Outcome::Cancelled;
            continue;
        }
        const std::ptrdiff_t written = detail::WriteSome(port, m_bytes.data() + sent, std::min(slice, total - sent),
                                                         kWaitStep, notCancelled);
        if (written < 0)
            return Outcome::Failed;  // an error or hang-up: no room will come
        if (written > 0) {
            sent += static_cast<std::size_t>(written);
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_progress.sent = sent;
            m_progress.lastByte = Clock::now();
        }
    }
    return Outcome::Sent;
}

bool CSender::Pause(std::chrono::milliseconds timeout)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    if (timeout.count() > 0)
        m_cancelled.wait_for(lock, timeout, [this] { return m_cancel; });
    return !m_cancel;
}

} // namespace serialport

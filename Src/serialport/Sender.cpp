#include "Sender.h"

#include "BaudRate.h"

#include <algorithm>
#include <cerrno>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace serialport {

namespace {

using Clock = std::chrono::steady_clock;

// How long the sending thread waits at a time for room in the driver, so
// that it notices a cancel soon.
constexpr std::chrono::milliseconds kWaitStep(20);

// Bytes the driver still holds for the line; 0 where it cannot tell (a
// pseudo-terminal hands its bytes on at once).
std::size_t QueuedForTheLine(int fd)
{
    int queued = 0;
    if (::ioctl(fd, TIOCOUTQ, &queued) != 0 || queued < 0)
        return 0;
    return static_cast<std::size_t>(queued);
}

} // namespace

CSender::~CSender()
{
    Stop();
}

std::size_t CSender::SliceBytes(std::uint32_t baudRate)
{
    return std::max<std::size_t>(1, baudRate / 10 / 20);  // 50 ms of bytes
}

bool CSender::Start(int fd, std::vector<char> bytes, DoneCallback done)
{
    if (m_running || bytes.empty())
        return false;
    if (m_thread.joinable())
        m_thread.join();  // the last send, already ended
    m_bytes = std::move(bytes);
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_cancel = false;
        m_progress = Progress{0, m_bytes.size(), Clock::now(), Clock::now()};
    }
    m_running = true;
    m_thread = std::thread(&CSender::Run, this, fd, std::move(done));
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

void CSender::Run(int fd, DoneCallback done)
{
    const Outcome outcome = Send(fd);
    if (outcome == Outcome::Cancelled)
        ::tcflush(fd, TCOFLUSH);  // what the driver still holds for the line goes too
    std::vector<char>().swap(m_bytes);
    m_running = false;
    if (done)
        done(outcome);
}

CSender::Outcome CSender::Send(int fd)
{
    const std::size_t slice = SliceBytes(CurrentBaudRate(fd));
    const std::size_t total = m_bytes.size();
    std::size_t sent = 0;
    while (sent < total) {
        if (!Pause(std::chrono::milliseconds(0)))
            return Outcome::Cancelled;
        // No more than a slice waits in the driver when the next goes in.
        if (QueuedForTheLine(fd) > slice) {
            if (!Pause(kWaitStep))
                return Outcome::Cancelled;
            continue;
        }
        const ssize_t written = ::write(fd, m_bytes.data() + sent, std::min(slice, total - sent));
        if (written > 0) {
            sent += static_cast<std::size_t>(written);
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_progress.sent = sent;
            m_progress.lastByte = Clock::now();
            continue;
        }
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            pollfd room{fd, POLLOUT, 0};
            const int ready = ::poll(&room, 1, static_cast<int>(kWaitStep.count()));
            if (ready > 0 && (room.revents & POLLOUT) == 0)
                return Outcome::Failed;  // error or hang-up, and no room will come
            continue;
        }
        return Outcome::Failed;
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

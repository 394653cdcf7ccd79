#include "PtyPair.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <stdexcept>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>
#include <utility>

namespace testsupport {

using Clock = std::chrono::steady_clock;

PtyPair::PtyPair()
{
    int slave = -1;
    char name[128] = {};
    termios raw{};
    ::cfmakeraw(&raw);
    if (::openpty(&m_fd, &slave, name, &raw, nullptr) != 0)
        throw std::runtime_error(std::string("openpty: ") + std::strerror(errno));
    m_slavePath = name;
    ::fcntl(m_fd, F_SETFD, FD_CLOEXEC);
    // The slave descriptor only set the raw mode. Kept open, it would hold
    // the line up after the code under test closes its port, and keep a
    // second opener from finding the device busy.
    ::close(slave);
}

void PtyPair::Send(const std::string& bytes)
{
    for (std::size_t sent = 0; sent < bytes.size();) {
        const ssize_t n = ::write(m_fd, bytes.data() + sent, bytes.size() - sent);
        if (n > 0) {
            sent += static_cast<std::size_t>(n);
        } else if (errno == EINTR || errno == EAGAIN) {
            pollfd room{m_fd, POLLOUT, 0};
            ::poll(&room, 1, 1000);
        } else {
            throw std::runtime_error(std::string("write to pty master: ") + std::strerror(errno));
        }
    }
}

// False at the end of the data or at the deadline.
bool CReader::ReadSome(Clock::time_point deadline)
{
    for (;;) {
        const auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now()).count();
        pollfd pfd{m_fd, POLLIN, 0};
        if (::poll(&pfd, 1, static_cast<int>(std::max<long long>(0, left))) <= 0)
            return false;
        char chunk[65536];
        const ssize_t count = ::read(m_fd, chunk, sizeof chunk);
        if (count > 0)
            m_buffer.append(chunk, static_cast<std::size_t>(count));
        if (count >= 0 || (errno != EINTR && errno != EAGAIN))
            return count > 0;
    }
}

std::optional<std::string> CReader::WaitFor(const std::string& prefix, const std::string& end)
{
    const auto deadline = Clock::now() + kCeiling;
    do {
        for (std::size_t at; (at = m_buffer.find(end)) != std::string::npos;) {
            std::string line = m_buffer.substr(0, at);
            m_buffer.erase(0, at + end.size());
            if (line.rfind(prefix, 0) == 0)
                return line;
        }
    } while (ReadSome(deadline));
    return std::nullopt;
}

std::string CReader::Read(std::size_t count, milliseconds ceiling)
{
    const auto deadline = Clock::now() + ceiling;
    while (m_buffer.size() < count && ReadSome(deadline)) {
    }
    std::string bytes = m_buffer.substr(0, count);
    m_buffer.erase(0, bytes.size());
    return bytes;
}

bool CReader::Ends()
{
    const auto deadline = Clock::now() + kCeiling;
    while (ReadSome(deadline))
        m_buffer.clear();
    return Clock::now() < deadline;
}

std::string CReader::Drain(milliseconds quiet)
{
    while (ReadSome(Clock::now() + quiet)) {
    }
    return std::exchange(m_buffer, {});
}

void CReader::Close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

void CReader::Send(const std::string& line)
{
    const std::string bytes = line + "\n";
    if (::send(m_fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(bytes.size()))
        throw std::runtime_error("the other end does not take \"" + line + "\"");
}

} // namespace testsupport

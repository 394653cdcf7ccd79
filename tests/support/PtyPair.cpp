#include "PtyPair.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <stdexcept>
#include <termios.h>
#include <unistd.h>

namespace testsupport {

PtyPair::PtyPair()
{
    int slave = -1;
    char name[128] = {};
    termios raw{};
    ::cfmakeraw(&raw);
    if (::openpty(&m_master, &slave, name, &raw, nullptr) != 0)
        throw std::runtime_error(std::string("openpty: ") + std::strerror(errno));
    m_slavePath = name;
    ::fcntl(m_master, F_SETFD, FD_CLOEXEC);
    // The slave descriptor only set the raw mode. Kept open, it would hold
    // the line up after the code under test closes its port, and keep a
    // second opener from finding the device busy.
    ::close(slave);
}

void PtyPair::Send(const std::string& bytes)
{
    for (std::size_t sent = 0; sent < bytes.size();) {
        const ssize_t n = ::write(m_master, bytes.data() + sent, bytes.size() - sent);
        if (n > 0) {
            sent += static_cast<std::size_t>(n);
        } else if (errno == EINTR || errno == EAGAIN) {
            pollfd room{m_master, POLLOUT, 0};
            ::poll(&room, 1, 1000);
        } else {
            throw std::runtime_error(std::string("write to pty master: ") + std::strerror(errno));
        }
    }
}

std::string PtyPair::Read(std::size_t count, std::chrono::milliseconds deadline, std::chrono::milliseconds quiet)
{
    std::string out;
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (out.size() < count) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
        pollfd ready{m_master, POLLIN, 0};
        if (left.count() <= 0 || ::poll(&ready, 1, static_cast<int>(std::min(left, quiet).count())) <= 0)
            break;
        char buf[4096];
        const ssize_t n = ::read(m_master, buf, std::min(sizeof buf, count - out.size()));
        if (n > 0)
            out.append(buf, static_cast<std::size_t>(n));
        else if (n == 0 || (errno != EINTR && errno != EAGAIN))
            break;
    }
    return out;
}

void PtyPair::CloseMaster()
{
    if (m_master >= 0)
        ::close(m_master);
    m_master = -1;
}

} // namespace testsupport

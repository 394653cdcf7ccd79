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

namespace {

[[noreturn]] void Fail(const char* what)
{
    throw std::runtime_error(std::string(what) + ": " + std::strerror(errno));
}

void MakeRaw(int fd)
{
    termios tio{};
    if (::tcgetattr(fd, &tio) != 0)
        Fail("tcgetattr");
    ::cfmakeraw(&tio);
    if (::tcsetattr(fd, TCSANOW, &tio) != 0)
        Fail("tcsetattr");
}

} // namespace

PtyPair::PtyPair()
{
    char name[128] = {};
    if (::openpty(&m_master, &m_slaveKeepAlive, name, nullptr, nullptr) != 0)
        Fail("openpty");
    m_slavePath = name;
    MakeRaw(m_master);
    MakeRaw(m_slaveKeepAlive);
    ::fcntl(m_master, F_SETFD, FD_CLOEXEC);
    ::fcntl(m_slaveKeepAlive, F_SETFD, FD_CLOEXEC);
    // The slave descriptor is closed at once: it only fixed the raw mode.
    // Keeping it open would hold the line up after the code under test
    // closes its port, and would keep a second opener from looking "busy".
    ::close(m_slaveKeepAlive);
    m_slaveKeepAlive = -1;
}

PtyPair::~PtyPair()
{
    CloseMaster();
}

void PtyPair::Send(const std::string& bytes)
{
    Send(bytes.data(), bytes.size());
}

void PtyPair::Send(const void* data, std::size_t size)
{
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(m_master, p, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            if (errno == EAGAIN) {
                pollfd pfd{m_master, POLLOUT, 0};
                ::poll(&pfd, 1, 1000);
                continue;
            }
            Fail("write to pty master");
        }
        p += n;
        size -= static_cast<std::size_t>(n);
    }
}

std::string PtyPair::Receive(std::size_t count, std::chrono::milliseconds deadline)
{
    std::string out;
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (out.size() < count) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            end - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            break;
        pollfd pfd{m_master, POLLIN, 0};
        const int r = ::poll(&pfd, 1, static_cast<int>(left.count()));
        if (r <= 0)
            continue;
        char buf[4096];
        const ssize_t n = ::read(m_master, buf, std::min(sizeof buf, count - out.size()));
        if (n > 0)
            out.append(buf, static_cast<std::size_t>(n));
        else if (n < 0 && errno != EINTR && errno != EAGAIN)
            break;
        else if (n == 0)
            break;
    }
    return out;
}

std::string PtyPair::Drain(std::chrono::milliseconds quiet)
{
    std::string out;
    for (;;) {
        pollfd pfd{m_master, POLLIN, 0};
        if (::poll(&pfd, 1, static_cast<int>(quiet.count())) <= 0)
            return out;
        char buf[4096];
        const ssize_t n = ::read(m_master, buf, sizeof buf);
        if (n <= 0)
            return out;
        out.append(buf, static_cast<std::size_t>(n));
    }
}

void PtyPair::CloseMaster()
{
    if (m_master >= 0) {
        ::close(m_master);
        m_master = -1;
    }
}

} // namespace testsupport

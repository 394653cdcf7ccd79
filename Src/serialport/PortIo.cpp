#include "PortIo.h"

#include <boost/asio/error.hpp>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace serialport {
namespace detail {

namespace {

// Waits up to `timeoutMs` (-1: for ever) for room to write. False when the
// descriptor reports an error or hang-up instead, so no room will come.
bool WaitForRoom(int fd, int timeoutMs)
{
    pollfd room{fd, POLLOUT, 0};
    const int ready = ::poll(&room, 1, timeoutMs);
    if (ready < 0)
        return errno == EINTR;
    return ready == 0 || (room.revents & POLLOUT) != 0;
}

bool WouldBlock(int error)
{
    return error == EAGAIN || error == EWOULDBLOCK;
}

} // namespace

bool WriteAll(NativeHandle fd, const char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written > 0) {
            data += written;
            size -= static_cast<std::size_t>(written);
            continue;
        }
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0 && WouldBlock(errno) && WaitForRoom(fd, -1))
            continue;
        return false;
    }
    return true;
}

void PrepareBackgroundWrites(NativeHandle fd)
{
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
}

std::ptrdiff_t WriteSome(NativeHandle fd, const char* data, std::size_t size,
                         std::chrono::milliseconds step, const std::function<bool()>& keepWaiting)
{
    for (;;) {
        const ssize_t written = ::write(fd, data, size);
        if (written > 0)
            return written;
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0 && WouldBlock(errno)) {
            if (!WaitForRoom(fd, static_cast<int>(step.count())))
                return -1;
            if (!keepWaiting())
                return 0;
            continue;
        }
        return -1;
    }
}

std::size_t QueuedForTheLine(NativeHandle fd)
{
    int queued = 0;
    if (::ioctl(fd, TIOCOUTQ, &queued) != 0 || queued < 0)
        return 0;
    return static_cast<std::size_t>(queued);
}

void DiscardQueued(NativeHandle fd)
{
    ::tcflush(fd, TCOFLUSH);
}

// A pulled adapter's tty is hung up: its reads see the end of the file.
// A pseudo-terminal whose master closed fails them with EIO; a device whose
// driver let it go, with ENXIO or ENODEV.
bool ReadFailureMeansGone(NativeHandle, const boost::system::error_code& error)
{
    if (error == boost::asio::error::eof)
        return true;
    if (error.category() != boost::system::system_category())
        return false;
    return error.value() == EIO || error.value() == ENXIO || error.value() == ENODEV;
}

} // namespace detail
} // namespace serialport

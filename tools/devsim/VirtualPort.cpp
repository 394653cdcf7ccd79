#include "VirtualPort.h"

#include <climits>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <stdexcept>
#include <sys/stat.h>
#include <termios.h>

namespace devsim {

namespace {

const std::string kPtyFolder = "/dev/pts/";

std::string ReadLink(const std::string& path)
{
    char target[PATH_MAX];
    const ssize_t length = ::readlink(path.c_str(), target, sizeof target - 1);
    return length < 0 ? std::string() : std::string(target, static_cast<std::size_t>(length));
}

void MakeRaw(int fd)
{
    termios tio{};
    if (::tcgetattr(fd, &tio) != 0)
        throw SystemError("tcgetattr");
    ::cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    ::cfsetspeed(&tio, B115200);
    if (::tcsetattr(fd, TCSANOW, &tio) != 0)
        throw SystemError("tcsetattr");
}

} // namespace

void ClaimLinkName(const std::string& linkPath)
{
    struct stat info{};
    if (::lstat(linkPath.c_str(), &info) != 0) {
        if (errno == ENOENT)
            return;
        throw SystemError("cannot examine " + linkPath);
    }
    if (!S_ISLNK(info.st_mode))
        throw std::runtime_error(linkPath + " is taken by something that is not a port link");
    const std::string target = ReadLink(linkPath);
    if (target.compare(0, kPtyFolder.size(), kPtyFolder) != 0)
        throw std::runtime_error(linkPath + " is taken by a link to " + target);
    if (::unlink(linkPath.c_str()) != 0 && errno != ENOENT)
        throw SystemError("cannot remove stale link " + linkPath);
}

CVirtualPort::CVirtualPort(std::string linkPath)
    : m_linkPath(std::move(linkPath))
{
}

CVirtualPort::~CVirtualPort()
{
    Unplug();
}

void CVirtualPort::Plug()
{
    if (IsPlugged())
        return;
    int master = -1;
    int slave = -1;
    char name[PATH_MAX] = {};
    if (::openpty(&master, &slave, name, nullptr, nullptr) != 0)
        throw SystemError("openpty");
    CFileDescriptor masterFd(master);
    const CFileDescriptor slaveFd(slave);
    // The line settings stay with the pseudo-terminal while its master is
    // open, so a reader that opens the slave without setting them still gets
    // every byte unchanged and no echo.
    MakeRaw(slaveFd.Get());
    if (::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK) != 0 ||
        ::fcntl(master, F_SETFD, FD_CLOEXEC) != 0)
        throw SystemError("fcntl");

    m_slavePath = name;
    m_master = std::move(masterFd);
    try {
        PlaceLink();
    } catch (...) {
        m_master.Close();
        throw;
    }
}

void CVirtualPort::Unplug()
{
    if (!IsPlugged())
        return;
    RemoveLink();
    m_master.Close();
}

bool CVirtualPort::PeerPresent() const
{
    if (!IsPlugged())
        return false;
    pollfd pfd{m_master.Get(), 0, 0};
    return ::poll(&pfd, 1, 0) >= 0 && (pfd.revents & POLLHUP) == 0;
}

void CVirtualPort::DiscardUnread() const
{
    const CFileDescriptor slave(::open(m_slavePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (slave.IsOpen())
        ::tcflush(slave.Get(), TCIFLUSH);
}

void CVirtualPort::PlaceLink() const
{
    ClaimLinkName(m_linkPath);
    if (::symlink(m_slavePath.c_str(), m_linkPath.c_str()) != 0)
        throw SystemError("cannot create link " + m_linkPath);
}

// The link goes only if it is still ours: someone may have replaced it.
void CVirtualPort::RemoveLink() const
{
    if (ReadLink(m_linkPath) == m_slavePath)
        ::unlink(m_linkPath.c_str());
}

} // namespace devsim

#include "PortLock.h"

#include "PortError.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace serialport {

namespace {

// PID written in a lock file: ASCII (HDB style, "%10d\n") or, from old
// tools, a binary int. 0 when the file cannot be read.
pid_t ReadLockOwner(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return 0;
    char text[64] = {};
    const ssize_t size = ::read(fd, text, sizeof text - 1);
    ::close(fd);
    if (size <= 0)
        return 0;
    const bool isText = std::all_of(text, text + size, [](char c) {
        return (c >= '0' && c <= '9') || c == ' ' || c == '\n';
    });
    if (!isText && size == static_cast<ssize_t>(sizeof(int))) {
        int binaryPid = 0;
        std::memcpy(&binaryPid, text, sizeof binaryPid);
        return binaryPid > 0 ? binaryPid : 0;
    }
    const long pid = std::strtol(text, nullptr, 10);
    return pid > 0 && pid <= INT_MAX ? static_cast<pid_t>(pid) : 0;
}

bool ProcessIsAlive(pid_t pid)
{
    return pid > 0 && (::kill(pid, 0) == 0 || errno == EPERM);
}

bool HeldByLiveProcess(const std::string& lockFile)
{
    return ProcessIsAlive(ReadLockOwner(lockFile));
}

enum class CreateResult { Created, HeldByOther, NotPossible };

CreateResult CreateLockFile(const std::string& path)
{
    for (int attempt = 0; attempt < 2; ++attempt) {
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd >= 0) {
            char text[16];
            const int length = std::snprintf(text, sizeof text, "%10d\n", static_cast<int>(::getpid()));
            const bool written = ::write(fd, text, static_cast<std::size_t>(length)) == length;
            ::close(fd);
            if (written)
                return CreateResult::Created;
            ::unlink(path.c_str());
            return CreateResult::NotPossible;
        }
        if (errno != EEXIST)
            return CreateResult::NotPossible;
        if (HeldByLiveProcess(path))
            return CreateResult::HeldByOther;
        ::unlink(path.c_str()); // stale: its process is gone
    }
    return CreateResult::NotPossible;
}

} // namespace

boost::system::error_code OpenFailure(const boost::system::error_code& openError)
{
    if (openError.category() == boost::system::system_category() && openError.value() == EBUSY)
        return PortError::HeldByAnotherProgram;
    return openError;
}

std::vector<std::string> LockFolders()
{
    std::vector<std::string> folders;
    for (const char* candidate : {"/run/lock", "/var/lock"}) {
        char resolved[PATH_MAX];
        if (::realpath(candidate, resolved) == nullptr)
            continue;
        if (std::find(folders.begin(), folders.end(), resolved) == folders.end())
            folders.emplace_back(resolved);
    }
    return folders;
}

std::string LockFileName(const std::string& devicePath)
{
    static const std::string kDevFolder = "/dev/";
    std::string name;
    if (devicePath.compare(0, kDevFolder.size(), kDevFolder) == 0)
        name = devicePath.substr(kDevFolder.size());
    else
        name = devicePath.substr(devicePath.rfind('/') + 1);
    std::replace(name.begin(), name.end(), '/', '_');
    return "LCK.." + name;
}

std::string ResolveDevicePath(const std::string& portName)
{
    char resolved[PATH_MAX];
    if (::realpath(portName.c_str(), resolved) == nullptr)
        return portName;
    return resolved;
}

CPortLock::~CPortLock()
{
    RemoveLockFile();
}

bool CPortLock::Claim(const std::string& portName)
{
    RemoveLockFile();
    m_lockFileName = LockFileName(ResolveDevicePath(portName));
    for (const std::string& folder : LockFolders()) {
        if (HeldByLiveProcess(folder + "/" + m_lockFileName))
            return false;
    }
    return true;
}

bool CPortLock::Attach(NativeHandle fd)
{
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
        return false;
    for (const std::string& folder : LockFolders()) {
        const std::string path = folder + "/" + m_lockFileName;
        const CreateResult result = CreateLockFile(path);
        if (result == CreateResult::HeldByOther) {
            ::flock(fd, LOCK_UN);
            return false;
        }
        if (result == CreateResult::Created) {
            m_lockFilePath = path;
            break;
        }
        // Leaving a lock file is a courtesy: when a folder refuses, try the next.
    }
    ::ioctl(fd, TIOCEXCL); // not every device takes it; flock already holds
    return true;
}

void CPortLock::Release(NativeHandle fd)
{
    // A pty keeps its exclusive mode after the last close while its master
    // lives, so leave it explicitly.
    ::ioctl(fd, TIOCNXCL);
    ::flock(fd, LOCK_UN);
    RemoveLockFile();
}

void CPortLock::RemoveLockFile()
{
    if (!m_lockFilePath.empty()) {
        ::unlink(m_lockFilePath.c_str());
        m_lockFilePath.clear();
    }
}

} // namespace serialport

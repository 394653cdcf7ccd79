#include "RecordFile.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace record {

namespace {

int Fd(std::intptr_t handle) { return static_cast<int>(handle); }

// Opens `path` without following a symbolic link and takes its record lock;
// -1 with errno when it cannot, EWOULDBLOCK when a running program holds it.
int OpenLocked(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return -1;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::close(fd);
        errno = error;
        return -1;
    }
    return fd;
}

} // namespace

void InitRecordSignals()
{
    std::signal(SIGXFSZ, SIG_IGN);
}

std::string SystemErrorText(int error)
{
    char buffer[256];
    return std::string(::strerror_r(error, buffer, sizeof buffer)) + " (errno " + std::to_string(error) + ")";
}

CRecordFile::~CRecordFile()
{
    Close();
}

void CRecordFile::Close()
{
    if (IsOpen())
        ::close(Fd(m_handle));
    m_handle = -1;
}

CRecordFile::CreateResult CRecordFile::Create(const std::string& path, int& error)
{
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        error = errno;
        return error == EEXIST ? CreateResult::Exists : CreateResult::Failed;
    }
    // The lock tells another program's retention that this record is open.
    // Taken after the create, so make sure no retention removed the file
    // in between; if one did, or holds it now, the name is as good as taken.
    struct stat st{};
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::fstat(fd, &st) != 0 || st.st_nlink == 0) {
        ::close(fd);
        return CreateResult::Exists;
    }
    m_handle = fd;
    return CreateResult::Created;
}

bool CRecordFile::IsOpen() const
{
    return m_handle >= 0;
}

bool CRecordFile::WriteAt(std::uint64_t offset, const char* data, std::size_t size, std::size_t& written,
                          int& error)
{
    written = 0;
    while (written < size) {
        const ssize_t n = ::pwrite(Fd(m_handle), data + written, size - written, static_cast<off_t>(offset + written));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            error = n < 0 ? errno : ENOSPC;
            return false;
        }
        written += static_cast<std::size_t>(n);
    }
    return true;
}

std::size_t CRecordFile::ReadAt(std::uint64_t offset, char* out, std::size_t size) const
{
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pread(Fd(m_handle), out + done, size - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    return done;
}

bool CRecordFile::Sync(int& error)
{
    if (::fdatasync(Fd(m_handle)) == 0)
        return true;
    error = errno;
    return false;
}

void CRecordFile::Truncate(std::uint64_t size)
{
    // The record has stopped already and its readers never go past `size`:
    // a failure here changes nothing they see.
    const int ignored = ::ftruncate(Fd(m_handle), static_cast<off_t>(size));
    (void)ignored;
}

bool StampOf(const std::string& path, FileStamp& stamp)
{
    struct stat st{};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    stamp.size = static_cast<std::uint64_t>(st.st_size);
    stamp.modified = static_cast<Millis>(st.st_mtim.tv_sec) * 1000 + st.st_mtim.tv_nsec / 1000000;
    return true;
}

RemoveResult RemoveRecordFiles(const std::string& bytesPath, const std::string& timesPath, int& error)
{
    // Held locked while its files go, so no program opens it as its own in
    // between (a new record is made under a new name anyway).
    const int fd = OpenLocked(bytesPath);
    if (fd < 0 && errno != ENOENT) {
        error = errno;
        return error == EWOULDBLOCK ? RemoveResult::InUse : RemoveResult::Failed;
    }
    RemoveResult result = RemoveResult::Removed;
    for (const std::string* path : {&timesPath, &bytesPath}) {
        if (::unlink(path->c_str()) != 0 && errno != ENOENT) {
            error = errno;
            result = RemoveResult::Failed;
        }
    }
    if (fd >= 0)
        ::close(fd);
    return result;
}

void RemoveFile(const std::string& path)
{
    ::unlink(path.c_str());
}

} // namespace record

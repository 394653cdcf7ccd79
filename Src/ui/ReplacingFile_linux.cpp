#include "ReplacingFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace ui {

namespace {

std::string Failure(const char* what)
{
    return std::string(what) + ": " + std::strerror(errno);
}

std::string FolderOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

// Where `path` leads through any symbolic links; itself when it is none.
// Empty, with errno set, when the links go round in a loop.
std::string Destination(const std::string& path)
{
    constexpr int kMaxLinks = 40;  // as many as the kernel follows in one path
    std::filesystem::path target = path;
    for (int hops = 0; hops <= kMaxLinks; ++hops) {
        std::error_code notALink;
        const std::filesystem::path next = std::filesystem::read_symlink(target, notALink);
        if (notALink)
            return target.string();  // a file, or none yet
        target = next.is_absolute() ? next : target.parent_path() / next;
    }
    errno = ELOOP;
    return std::string();
}

// Creates a file beside `path`, named after it, for writing: with `mode`
// when it is to replace a file that has it, else with what the umask and
// the folder's default permissions leave of 0666, as an editor's new file.
// Returns its descriptor and its name in `temporary`; -1 with errno set.
int CreateTemporary(const std::string& path, const mode_t* mode, std::string& temporary)
{
    std::random_device device;
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, ".saving-%06x", static_cast<unsigned>(device() & 0xFFFFFF));
        temporary = path + suffix;
        const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode ? 0600 : 0666);
        if (fd < 0 && errno == EEXIST)
            continue;
        if (fd >= 0 && mode && ::fchmod(fd, *mode) != 0) {
            const int error = errno;
            ::close(fd);
            ::unlink(temporary.c_str());
            errno = error;
            return -1;
        }
        return fd;
    }
    return -1;
}

} // namespace

CReplacingFile::CReplacingFile(const std::string& chosenPath) : m_path(Destination(chosenPath))
{
    if (m_path.empty()) {
        m_error = Failure("cannot follow the link");
        return;
    }
    // A file replaced keeps its permissions.
    struct stat replaced {};
    const bool replacing = ::stat(m_path.c_str(), &replaced) == 0;
    const mode_t kept = replaced.st_mode & 07777;
    const int fd = CreateTemporary(m_path, replacing ? &kept : nullptr, m_temporary);
    if (fd < 0) {
        m_temporary.clear();
        m_error = Failure("cannot create a file in the folder");
        return;
    }
    m_file = fd;
}

CReplacingFile::~CReplacingFile()
{
    if (m_file >= 0)
        ::close(static_cast<int>(m_file));
    if (!m_temporary.empty())
        ::unlink(m_temporary.c_str());
}

bool CReplacingFile::Write(const char* data, std::size_t size)
{
    while (m_error.empty() && size > 0) {
        const ssize_t written = ::write(static_cast<int>(m_file), data, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            m_error = Failure("cannot write");
            break;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return m_error.empty();
}

std::string CReplacingFile::Commit()
{
    if (!m_error.empty())
        return m_error;
    const int fd = static_cast<int>(m_file);
    m_file = -1;
    if (::fsync(fd) != 0)
        m_error = Failure("cannot write to the disk");
    if (::close(fd) != 0 && m_error.empty())
        m_error = Failure("cannot write to the disk");
    if (m_error.empty() && ::rename(m_temporary.c_str(), m_path.c_str()) != 0)
        m_error = Failure("cannot put the file in place");
    if (!m_error.empty())
        return m_error;
    m_temporary.clear();
    // The new name, too, is on the disk.
    const int folder = ::open(FolderOf(m_path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
    return std::string();
}

} // namespace ui

#include "WholeFile.h"

#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <limits>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace ui {

namespace {

class FileDescriptor
{
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const { return m_fd; }

private:
    int m_fd;
};

} // namespace

bool ReadWholeFile(const char* path, std::vector<char>& contents)
{
    contents.clear();
    // Non-blocking, so that opening a FIFO without a writer cannot hang.
    const FileDescriptor file(::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (file.get() < 0)
        return false;
    struct stat info {};
    if (::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode))
        return false;
    if (info.st_size < 0 || info.st_size > std::numeric_limits<std::int32_t>::max())
        return false;

    try {
        contents.resize(static_cast<std::size_t>(info.st_size));
    } catch (const std::bad_alloc&) {
        contents = std::vector<char>();
        return false;
    }
    std::size_t done = 0;
    while (done < contents.size()) {
        const ssize_t n = ::read(file.get(), contents.data() + done, contents.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            contents = std::vector<char>();
            return false;
        }
        if (n == 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    contents.resize(done);
    return true;
}

} // namespace ui

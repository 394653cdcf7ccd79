#include "WholeFile.h"

#include <PortError.h>

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

bool ReadWholeFile(const char* path, std::vector<char>& contents, std::error_code& error)
{
    contents.clear();
    const auto fail = [&](std::error_code why) {
        contents = std::vector<char>();
        error = why;
        return false;
    };
    const auto systemError = [] { return std::error_code(errno, std::generic_category()); };
    // Non-blocking, so that opening a FIFO without a writer cannot hang.
    const FileDescriptor file(::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (file.get() < 0)
        return fail(systemError());
    struct stat info {};
    if (::fstat(file.get(), &info) != 0)
        return fail(systemError());
    if (!S_ISREG(info.st_mode))
        return fail(serialport::make_error_code(serialport::FileError::NotRegularFile));
    if (info.st_size < 0 || info.st_size > std::numeric_limits<std::int32_t>::max())
        return fail(serialport::make_error_code(serialport::FileError::TooLarge));

    try {
        contents.resize(static_cast<std::size_t>(info.st_size));
    } catch (const std::bad_alloc&) {
        return fail(serialport::make_error_code(serialport::FileError::TooLarge));
    }
    std::size_t done = 0;
    while (done < contents.size()) {
        const ssize_t n = ::read(file.get(), contents.data() + done, contents.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return fail(systemError());
        if (n == 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    contents.resize(done);
    return true;
}

} // namespace ui

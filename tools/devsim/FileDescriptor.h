#pragma once

#include <string>
#include <system_error>
#include <unistd.h>
#include <utility>

namespace devsim {

// Owns one file descriptor and closes it.
class CFileDescriptor
{
public:
    CFileDescriptor() = default;
    explicit CFileDescriptor(int fd) : m_fd(fd) {}
    ~CFileDescriptor() { Close(); }

    CFileDescriptor(CFileDescriptor&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    CFileDescriptor& operator=(CFileDescriptor&& other) noexcept
    {
        if (this != &other) {
            Close();
            m_fd = std::exchange(other.m_fd, -1);
        }
        return *this;
    }
    CFileDescriptor(const CFileDescriptor&) = delete;
    CFileDescriptor& operator=(const CFileDescriptor&) = delete;

    int Get() const { return m_fd; }
    bool IsOpen() const { return m_fd >= 0; }

    void Close()
    {
        if (m_fd >= 0)
            ::close(std::exchange(m_fd, -1));
    }

private:
    int m_fd = -1;
};

// The error of the last failed system call, with what was being done.
inline std::system_error SystemError(const std::string& what)
{
    return std::system_error(errno, std::generic_category(), what);
}

} // namespace devsim

#include "WholeFile.h"

#include "win32/Layer.h"

#include <PortError.h>

#include <cstdint>
#include <limits>
#include <new>

namespace ui {

namespace {

class CFileHandle
{
public:
    explicit CFileHandle(HANDLE handle) : m_handle(handle) {}
    ~CFileHandle()
    {
        if (m_handle != INVALID_HANDLE_VALUE)
            ::CloseHandle(m_handle);
    }
    CFileHandle(const CFileHandle&) = delete;
    CFileHandle& operator=(const CFileHandle&) = delete;

    HANDLE get() const { return m_handle; }

private:
    HANDLE m_handle;
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
    const auto systemError = [] { return std::error_code(static_cast<int>(::GetLastError()), std::system_category()); };
    const auto notAFile = [] { return std::error_code(serialport::make_error_code(serialport::FileError::NotRegularFile)); };
    // Opening does not wait for anything; what is not a file on a disk (a
    // pipe, a serial port, a console) is let go before it is read.
    const CFileHandle file(::CreateFileW(WideFromUtf8(path).c_str(), GENERIC_READ,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                         FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE)
        return fail(systemError());
    if (::GetFileType(file.get()) != FILE_TYPE_DISK)
        return fail(notAFile());
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(file.get(), &info))
        return fail(systemError());
    if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        return fail(notAFile());
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.get(), &size))
        return fail(systemError());
    if (size.QuadPart < 0 || size.QuadPart > std::numeric_limits<std::int32_t>::max())
        return fail(serialport::make_error_code(serialport::FileError::TooLarge));

    try {
        contents.resize(static_cast<std::size_t>(size.QuadPart));
    } catch (const std::bad_alloc&) {
        return fail(serialport::make_error_code(serialport::FileError::TooLarge));
    }
    std::size_t done = 0;
    while (done < contents.size()) {
        DWORD read = 0;
        if (!::ReadFile(file.get(), contents.data() + done, static_cast<DWORD>(contents.size() - done), &read, nullptr))
            return fail(systemError());
        if (read == 0)
            break;  // it shrank meanwhile
        done += read;
    }
    contents.resize(done);
    return true;
}

} // namespace ui

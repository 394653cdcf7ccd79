#include "WholeFile.h"

#include "win32/Layer.h"

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

bool ReadWholeFile(const char* path, std::vector<char>& contents)
{
    contents.clear();
    // Opening does not wait for anything; what is not a file on a disk (a
    // pipe, a serial port, a console) is let go before it is read.
    const CFileHandle file(::CreateFileW(WideFromUtf8(path).c_str(), GENERIC_READ,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                         FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE || ::GetFileType(file.get()) != FILE_TYPE_DISK)
        return false;
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(file.get(), &info) || (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return false;
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.get(), &size) || size.QuadPart < 0
        || size.QuadPart > std::numeric_limits<std::int32_t>::max())
        return false;

    try {
        contents.resize(static_cast<std::size_t>(size.QuadPart));
    } catch (const std::bad_alloc&) {
        contents = std::vector<char>();
        return false;
    }
    std::size_t done = 0;
    while (done < contents.size()) {
        DWORD read = 0;
        if (!::ReadFile(file.get(), contents.data() + done, static_cast<DWORD>(contents.size() - done), &read, nullptr)) {
            contents = std::vector<char>();
            return false;
        }
        if (read == 0)
            break;  // it shrank meanwhile
        done += read;
    }
    contents.resize(done);
    return true;
}

} // namespace ui

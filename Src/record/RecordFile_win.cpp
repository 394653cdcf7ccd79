#include "RecordFile.h"

#include "OwnerOnly_win.h"

#include <algorithm>

namespace record {

namespace {

HANDLE Handle(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

OVERLAPPED At(std::uint64_t offset)
{
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return at;
}

// One call moves at most this much.
constexpr std::size_t kLargestIo = 1u << 30;

} // namespace

void InitRecordSignals()
{
}

std::string SystemErrorText(int error)
{
    char buffer[256] = {};
    DWORD length = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                    static_cast<DWORD>(error), 0, buffer, sizeof buffer, nullptr);
    while (length > 0 && (buffer[length - 1] == '\r' || buffer[length - 1] == '\n' || buffer[length - 1] == '.'))
        --length;
    const std::string text = length > 0 ? std::string(buffer, length) : "system error";
    return text + " (error " + std::to_string(error) + ")";
}

CRecordFile::~CRecordFile()
{
    Close();
}

void CRecordFile::Close()
{
    if (IsOpen())
        ::CloseHandle(Handle(m_handle));
    m_handle = -1;
}

CRecordFile::CreateResult CRecordFile::Create(const std::string& path, int& error)
{
    // The user's only, whatever the folder allows. Others may read it while
    // it is open, never write or remove it.
    DWORD failure = ERROR_SUCCESS;
    const SecurityDescriptor ownerOnly = OwnerOnlyDescriptor(false, failure);
    if (!ownerOnly) {
        error = static_cast<int>(failure);
        return CreateResult::Failed;
    }
    SECURITY_ATTRIBUTES attributes{sizeof attributes, ownerOnly.get(), FALSE};
    const HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, &attributes,
                                      CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error = static_cast<int>(::GetLastError());
        return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ? CreateResult::Exists
                                                                           : CreateResult::Failed;
    }
    m_handle = reinterpret_cast<std::intptr_t>(file);
    return CreateResult::Created;
}

bool CRecordFile::IsOpen() const
{
    return m_handle != -1;
}

// Every read and write names its offset, so the handle's own file pointer,
// shared by the writer and the readers, never matters.
bool CRecordFile::WriteAt(std::uint64_t offset, const char* data, std::size_t size, std::size_t& written,
                          int& error)
{
    written = 0;
    while (written < size) {
        OVERLAPPED at = At(offset + written);
        DWORD n = 0;
        const DWORD count = static_cast<DWORD>(std::min(size - written, kLargestIo));
        if (!::WriteFile(Handle(m_handle), data + written, count, &n, &at) || n == 0) {
            error = n == 0 && ::GetLastError() == ERROR_SUCCESS ? ERROR_DISK_FULL : static_cast<int>(::GetLastError());
            return false;
        }
        written += n;
    }
    return true;
}

std::size_t CRecordFile::ReadAt(std::uint64_t offset, char* out, std::size_t size) const
{
    std::size_t done = 0;
    while (done < size) {
        OVERLAPPED at = At(offset + done);
        DWORD n = 0;
        const DWORD count = static_cast<DWORD>(std::min(size - done, kLargestIo));
        if (!::ReadFile(Handle(m_handle), out + done, count, &n, &at) || n == 0)
            break;
        done += n;
    }
    return done;
}

bool CRecordFile::Sync(int& error)
{
    if (::FlushFileBuffers(Handle(m_handle)))
        return true;
    error = static_cast<int>(::GetLastError());
    return false;
}

void CRecordFile::Truncate(std::uint64_t size)
{
    // The record has stopped already and its readers never go past `size`:
    // a failure here changes nothing they see.
    FILE_END_OF_FILE_INFO end{};
    end.EndOfFile.QuadPart = static_cast<LONGLONG>(size);
    ::SetFileInformationByHandle(Handle(m_handle), FileEndOfFileInfo, &end, sizeof end);
}

bool StampOf(const std::string& path, FileStamp& stamp)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)))
        return false;
    stamp.size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    const std::uint64_t ticks = (static_cast<std::uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                                data.ftLastWriteTime.dwLowDateTime;
    constexpr std::uint64_t kTicksTo1970 = 116444736000000000ull;  // 100 ns ticks from 1601
    stamp.modified = static_cast<Millis>((ticks - kTicksTo1970) / 10000);
    return true;
}

RemoveResult RemoveRecordFiles(const std::string& bytesPath, const std::string& timesPath, int& error)
{
    // A record open in a running program was opened without FILE_SHARE_DELETE:
    // removing its bytes file is refused, and its times file is kept too.
    for (const std::string* path : {&bytesPath, &timesPath}) {
        if (::DeleteFileA(path->c_str()))
            continue;
        error = static_cast<int>(::GetLastError());
        if (error == ERROR_FILE_NOT_FOUND)
            continue;
        if (path == &bytesPath && error == ERROR_SHARING_VIOLATION)
            return RemoveResult::InUse;
        return RemoveResult::Failed;
    }
    return RemoveResult::Removed;
}

void RemoveFile(const std::string& path)
{
    ::DeleteFileA(path.c_str());
}

} // namespace record

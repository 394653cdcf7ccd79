#include "ReplacingFile.h"

#include "win32/Layer.h"

#include <aclapi.h>

#include <algorithm>
#include <random>
#include <utility>

namespace ui {

namespace {

// "what: the system's reason", in the system's language (UTF-8).
std::string Failure(const char* what, DWORD error = ::GetLastError())
{
    wchar_t* reason = nullptr;
    ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                     nullptr, error, 0, reinterpret_cast<wchar_t*>(&reason), 0, nullptr);
    std::wstring text = reason ? reason : L"";
    ::LocalFree(reason);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L'.'))
        text.pop_back();
    if (text.empty())
        text = L"error " + std::to_wstring(error);
    return std::string(what) + ": " + Utf8FromWide(text);
}

// Where `path` leads through any symbolic links or junctions; itself when
// there is no file there yet.
std::wstring Destination(const std::wstring& path)
{
    const HANDLE file = ::CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return path;
    std::wstring target(MAX_PATH, L'\0');
    DWORD size = ::GetFinalPathNameByHandleW(file, target.data(), static_cast<DWORD>(target.size()), FILE_NAME_NORMALIZED);
    if (size >= target.size()) {
        target.resize(size + 1);
        size = ::GetFinalPathNameByHandleW(file, target.data(), static_cast<DWORD>(target.size()), FILE_NAME_NORMALIZED);
    }
    ::CloseHandle(file);
    if (size == 0 || size >= target.size())
        return path;
    target.resize(size);
    return target;
}

// The replaced file's own attributes and permissions go to its successor,
// as far as Windows lets them be read and set.
void KeepWhatTheFileHad(const std::wstring& replaced, HANDLE successor, const std::wstring& successorName)
{
    const DWORD attributes = ::GetFileAttributesW(replaced.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return;
    constexpr DWORD kKept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE
                            | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
    ::SetFileAttributesW(successorName.c_str(), (attributes & kKept) ? attributes & kKept : FILE_ATTRIBUTE_NORMAL);
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (::GetNamedSecurityInfoW(replaced.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl,
                                nullptr, &descriptor) == ERROR_SUCCESS) {
        ::SetSecurityInfo(successor, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, dacl, nullptr);
        ::LocalFree(descriptor);
    }
}

} // namespace

CReplacingFile::CReplacingFile(const std::string& chosenPath)
{
    const std::wstring destination = Destination(WideFromUtf8(chosenPath));
    m_path = Utf8FromWide(destination);
    std::random_device device;
    for (int attempt = 0; attempt < 100; ++attempt) {
        wchar_t suffix[16];
        ::swprintf(suffix, 16, L".saving-%06x", static_cast<unsigned>(device() & 0xFFFFFF));
        const std::wstring temporary = destination + suffix;
        const HANDLE file = ::CreateFileW(temporary.c_str(), GENERIC_WRITE | WRITE_DAC, 0, nullptr, CREATE_NEW,
                                          FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE && ::GetLastError() == ERROR_FILE_EXISTS)
            continue;
        if (file == INVALID_HANDLE_VALUE)
            break;
        m_file = reinterpret_cast<std::intptr_t>(file);
        m_temporary = Utf8FromWide(temporary);
        KeepWhatTheFileHad(destination, file, temporary);
        return;
    }
    m_error = Failure("cannot create a file in the folder");
}

CReplacingFile::~CReplacingFile()
{
    if (m_file != -1)
        ::CloseHandle(reinterpret_cast<HANDLE>(m_file));
    if (!m_temporary.empty())
        ::DeleteFileW(WideFromUtf8(m_temporary).c_str());
}

bool CReplacingFile::Write(const char* data, std::size_t size)
{
    while (m_error.empty() && size > 0) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
        DWORD written = 0;
        if (!::WriteFile(reinterpret_cast<HANDLE>(m_file), data, chunk, &written, nullptr) || written == 0) {
            m_error = Failure("cannot write");
            break;
        }
        data += written;
        size -= written;
    }
    return m_error.empty();
}

std::string CReplacingFile::Commit()
{
    if (!m_error.empty())
        return m_error;
    const HANDLE file = reinterpret_cast<HANDLE>(std::exchange(m_file, -1));
    if (!::FlushFileBuffers(file))
        m_error = Failure("cannot write to the disk");
    ::CloseHandle(file);
    // A read-only file is not replaced, as Windows' own programs leave it
    // (Wine's move would replace it).
    const std::wstring destination = WideFromUtf8(m_path);
    const DWORD attributes = ::GetFileAttributesW(destination.c_str());
    if (m_error.empty() && attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        m_error = Failure("cannot put the file in place", ERROR_ACCESS_DENIED);
    if (m_error.empty()
        && !::MoveFileExW(WideFromUtf8(m_temporary).c_str(), destination.c_str(),
                          MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        m_error = Failure("cannot put the file in place");
    if (m_error.empty())
        m_temporary.clear();
    return m_error;
}

} // namespace ui

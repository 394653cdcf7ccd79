#pragma once

// The operating system's side of a record's files: one file, written at
// increasing offsets by one thread while others read any part of it at
// once; the files of old records, removed unless a running program holds
// them. One source per platform.
//
// Errors are the system's own numbers: errno on Linux, GetLastError() on
// Windows.

#include "RecordTime.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace record {

// Ignores SIGXFSZ on Linux, so that a write beyond the file-size limit fails
// with EFBIG instead of ending the process. Nothing on Windows.
void InitRecordSignals();

// "<message> (errno 28)", "<message> (error 112)".
std::string SystemErrorText(int error);

class CRecordFile
{
public:
    CRecordFile() = default;
    ~CRecordFile();
    CRecordFile(const CRecordFile&) = delete;
    CRecordFile& operator=(const CRecordFile&) = delete;

    // Makes a new file, owner-only, and holds it so that no other program's
    // retention removes it while it is open (Linux: an exclusive flock;
    // Windows: no FILE_SHARE_DELETE). Exists: the name is taken (or being
    // removed by a retention); Failed: the system's error says why.
    enum class CreateResult { Created, Exists, Failed };
    CreateResult Create(const std::string& path, int& error);
    bool IsOpen() const;
    void Close();

    // Writes all of data[0, size) at `offset`; false with the error when
    // not all of it went, `written` saying how much did.
    bool WriteAt(std::uint64_t offset, const char* data, std::size_t size, std::size_t& written, int& error);
    // Reads up to `size` bytes at `offset`; returns how many. Any thread.
    std::size_t ReadAt(std::uint64_t offset, char* out, std::size_t size) const;
    // What was written reaches the disk (fdatasync, FlushFileBuffers).
    bool Sync(int& error);
    // Cuts the file to `size` bytes; best effort.
    void Truncate(std::uint64_t size);

private:
    std::intptr_t m_handle = -1;  // a file descriptor, or a Windows HANDLE
};

// A regular file's size and last change; false for anything else (a folder,
// a symbolic link, a file that is not there).
struct FileStamp
{
    std::uint64_t size = 0;
    Millis modified = 0;
};
bool StampOf(const std::string& path, FileStamp& stamp);

// Removes the files of one record unless a running program holds it (its
// bytes file); either may be missing.
enum class RemoveResult { Removed, InUse, Failed };
RemoveResult RemoveRecordFiles(const std::string& bytesPath, const std::string& timesPath, int& error);

// Removes a file just made, not yet a record.
void RemoveFile(const std::string& path);

} // namespace record

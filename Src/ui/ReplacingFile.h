#pragma once

// A file written to replace the one at a path whole or not at all: the bytes
// go to a temporary file beside the destination, which is flushed to the
// disk and then moved into place. A file replaced keeps its permissions; a
// new one has what the operator's defaults give a new file (Linux: 0666 less
// the umask). When the path is a symbolic link, the file it leads to is
// replaced and the link stays. One file per platform (ReplacingFile_linux.cpp,
// ReplacingFile_win.cpp). Errors are short texts with the system's reason.

#include <cstdint>
#include <string>

namespace ui {

class CReplacingFile
{
public:
    explicit CReplacingFile(const std::string& path);
    // Removes the temporary file unless it was put in place.
    ~CReplacingFile();
    CReplacingFile(const CReplacingFile&) = delete;
    CReplacingFile& operator=(const CReplacingFile&) = delete;

    // Empty while nothing went wrong.
    const std::string& Error() const { return m_error; }
    bool Write(const char* data, std::size_t size);
    // Flushes, moves the file into place and makes its name durable; returns
    // the error, empty on success.
    std::string Commit();

private:
    std::string m_error;
    std::string m_path;       // where the file goes, links followed
    std::string m_temporary;  // empty once in place or never made
    std::intptr_t m_file = -1;
};

} // namespace ui

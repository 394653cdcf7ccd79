#pragma once

#include "ChildProcess.h"

#include <optional>
#include <string>
#include <vector>

namespace devsimtest {

// A readable descriptor cut into lines; reads wait up to a ceiling.
class CLineReader
{
public:
    // The next line that starts with `prefix`, without its end; nothing at the
    // ceiling, end of data or a failed read.
    std::optional<std::string> WaitFor(const std::string& prefix, milliseconds ceiling = kCeiling);
    // Exactly `count` bytes, or fewer at the ceiling or a failed read.
    std::string Read(std::size_t count, milliseconds ceiling = kCeiling);

protected:
    CLineReader(int fd, std::string end) : m_fd(fd), m_end(std::move(end)) {}
    bool ReadSome(std::chrono::steady_clock::time_point deadline);

    int m_fd;
    std::string m_end;
    std::string m_buffer;
};

// orvel-devsim running as a child: control lines go to its standard input;
// its event lines and error messages ("orvel-devsim: ...") are read here.
class CDevsimProcess : public CLineReader
{
public:
    explicit CDevsimProcess(const std::vector<std::string>& arguments);
    ~CDevsimProcess();

    void Control(const std::string& line); // a line end is added
    void Signal(int signal) const { m_child->Signal(signal); }
    std::optional<int> Wait(milliseconds ceiling = kCeiling) { return m_child->Wait(ceiling); }

private:
    int m_stdin = -1;
    std::optional<CChildProcess> m_child;
};

// orvel-devsim started on `folder`, past its ready line.
struct CReadySimulator
{
    explicit CReadySimulator(const std::string& folder, const std::vector<std::string>& extra = {});

    CDevsimProcess m_process;
    std::string m_gnss, m_beacon, m_sounder; // the link paths
};

// A simulator's port opened as a program opens a serial port, its line
// settings left as the simulator made them; lines end in "\r\n".
class CPort : public CLineReader
{
public:
    explicit CPort(const std::string& path);
    ~CPort();
    CPort(const CPort&) = delete;
    CPort& operator=(const CPort&) = delete;

    int Fd() const { return m_fd; }
    void Write(const std::string& bytes);
};

} // namespace devsimtest

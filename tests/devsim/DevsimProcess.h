#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace devsimtest {

using std::chrono::milliseconds;
constexpr milliseconds kCeiling{20000};

// A readable descriptor cut into lines; reads wait up to a ceiling.
class CLineReader
{
public:
    // The next line without its end; nothing at the ceiling, end of data or a failed read.
    std::optional<std::string> ReadLine(milliseconds ceiling = kCeiling);
    // The next line that starts with `prefix`.
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

// orvel-devsim running as a child, with its standard input (control lines),
// output (event lines, read through CLineReader) and error on pipes. It is
// killed when this object goes, and gets SIGTERM if the test process dies.
class CDevsimProcess : public CLineReader
{
public:
    explicit CDevsimProcess(const std::vector<std::string>& arguments);
    ~CDevsimProcess();
    CDevsimProcess(const CDevsimProcess&) = delete;
    CDevsimProcess& operator=(const CDevsimProcess&) = delete;

    void Control(const std::string& line); // a line end is added
    void Signal(int signal);
    // The exit status, or 128 + the signal; nothing at the ceiling.
    std::optional<int> Wait(milliseconds ceiling = kCeiling);
    // Standard error, whole once the process has ended.
    std::string Errors();

private:
    pid_t m_pid = -1;
    int m_stdin = -1;
    int m_stderr = -1;
    std::optional<int> m_status;
};

// orvel-devsim started on `folder`, past its ready line.
struct CReadySimulator
{
    explicit CReadySimulator(const std::string& folder, const std::vector<std::string>& extra = {});

    CDevsimProcess m_process;
    std::string m_gnss, m_beacon, m_sounder; // the link paths
};

// A simulator's port opened as a program opens a serial port; lines end in
// "\r\n". The line settings are left alone unless `makeRaw` is set.
class CPort : public CLineReader
{
public:
    explicit CPort(const std::string& path, bool makeRaw = true);
    ~CPort();
    CPort(const CPort&) = delete;
    CPort& operator=(const CPort&) = delete;

    int Fd() const { return m_fd; }
    void Write(const std::string& bytes);
};

} // namespace devsimtest

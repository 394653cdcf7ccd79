#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace devsimtest {

// The orvel-devsim program running as a child process, with its standard
// input (control lines), output (event lines) and error (kept) on pipes. It is
// killed, if still running, when this object goes; it also gets SIGTERM if the
// test process dies first.
class CDevsimProcess
{
public:
    explicit CDevsimProcess(const std::vector<std::string>& arguments);
    ~CDevsimProcess();
    CDevsimProcess(const CDevsimProcess&) = delete;
    CDevsimProcess& operator=(const CDevsimProcess&) = delete;

    // The next line of standard output; nothing at its end or at the ceiling.
    std::optional<std::string> ReadLine(std::chrono::milliseconds ceiling = std::chrono::seconds(20));

    // Skips lines until one starts with `prefix` and returns it.
    std::optional<std::string> WaitFor(const std::string& prefix,
                                       std::chrono::milliseconds ceiling = std::chrono::seconds(20));

    // Sends one control line (a line end is added).
    void Control(const std::string& line);

    void Signal(int signal);

    // Waits for the end: the exit status, or 128 + the signal. Nothing at the
    // ceiling.
    std::optional<int> Wait(std::chrono::milliseconds ceiling = std::chrono::seconds(20));

    // What it wrote on standard error (complete once it has ended).
    std::string Errors();

private:
    pid_t m_pid = -1;
    int m_stdin = -1;
    int m_stdout = -1;
    int m_stderr = -1;
    std::string m_outBuffer;
    std::string m_errors;
    std::optional<int> m_status;
};

// Starts orvel-devsim in `folder` and reads its ready line.
struct CReadySimulator
{
    explicit CReadySimulator(const std::string& folder, std::vector<std::string> extra = {});

    CDevsimProcess m_process;
    std::string m_gnss;
    std::string m_beacon;
    std::string m_sounder;
};

// A simulator's port opened the way a program opens it: read and write, no
// controlling terminal. The line settings are left as they are, unless
// `makeRaw` is set.
class CPort
{
public:
    explicit CPort(const std::string& path, bool makeRaw = true);
    ~CPort();
    CPort(const CPort&) = delete;
    CPort& operator=(const CPort&) = delete;

    int Fd() const { return m_fd; }
    void Write(const std::string& bytes);

    // The next line without its "\r\n"; nothing at the ceiling or when reads fail.
    std::optional<std::string> ReadLine(std::chrono::milliseconds ceiling = std::chrono::seconds(20));
    // Exactly `count` bytes, or fewer at the ceiling or when reads fail.
    std::string Read(std::size_t count, std::chrono::milliseconds ceiling = std::chrono::seconds(20));
    // The next line whose address is `address` ("$GPGGA"), or that is just
    // `address` ("<OK").
    std::optional<std::string> WaitForSentence(const std::string& address,
                                               std::chrono::milliseconds ceiling = std::chrono::seconds(20));

    void Close();

private:
    int m_fd = -1;
    std::string m_buffer;
};

} // namespace devsimtest

#pragma once

// Programs run as children of a test (the simulator, the configurator), for
// the simulator's process tests and the end-to-end tests.

#include <chrono>
#include <csignal>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace devsimtest {

using std::chrono::milliseconds;
constexpr milliseconds kCeiling{60000}; // only keeps a broken test from hanging

// What a descriptor it owns delivers, read as it comes; every wait ends at
// the ceiling.
class CReader
{
public:
    explicit CReader(int fd = -1) : m_fd(fd) {}
    ~CReader();
    CReader(const CReader&) = delete;
    CReader& operator=(const CReader&) = delete;
    // Sends `line` and a line end to a socket.
    void Send(const std::string& line);
    // The next piece that starts with `prefix` and ends with `end`, without
    // the end; nothing at the ceiling or the end of the data.
    std::optional<std::string> WaitFor(const std::string& prefix, const std::string& end = "\n");
    // `count` bytes, fewer at the ceiling or the end of the data.
    std::string Read(std::size_t count, milliseconds ceiling = kCeiling);
    // True once reads fail or see the end, as after a hang-up.
    bool Ends();

protected:
    bool ReadSome(std::chrono::steady_clock::time_point deadline);
    int m_fd;
    std::string m_buffer;
};

// A program run as a child (argv[0] is its path), killed when this object
// goes and sent SIGTERM if the test dies. With `piped`, its standard input,
// output and error are the reader's socket; otherwise it shares the test's.
class CChild : public CReader
{
public:
    CChild(std::vector<std::string> argv, bool piped);
    ~CChild();

    void Signal(int signal) const { ::kill(m_pid, signal); }
    // The exit status, or 128 + the signal, once it has ended.
    std::optional<int> Wait();

private:
    pid_t m_pid = -1;
    std::optional<int> m_status;
};

// orvel-devsim with its links in `folder`, past its "ready" line.
class CSimulator : public CChild
{
public:
    explicit CSimulator(const std::string& folder, const std::vector<std::string>& options = {});
    // The link of device 0 (gnss), 1 (beacon) or 2 (sounder).
    std::string Port(int device) const;

private:
    std::string m_folder;
};

} // namespace devsimtest

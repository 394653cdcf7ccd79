#pragma once

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace devsimtest {

using std::chrono::milliseconds;
constexpr milliseconds kCeiling{20000};

// A program run as a child, with its standard streams on the given
// descriptors (-1: /dev/null), in `folder` (empty: here), with `environment`
// set on top of ours. Killed when this object goes, and sent SIGTERM if the
// test process dies.
class CChildProcess
{
public:
    struct Streams
    {
        int in = -1, out = -1, err = -1;
    };

    CChildProcess(std::vector<std::string> argv, Streams streams, const std::string& folder = {},
                  const std::map<std::string, std::string>& environment = {});
    ~CChildProcess();
    CChildProcess(const CChildProcess&) = delete;
    CChildProcess& operator=(const CChildProcess&) = delete;

    pid_t Pid() const { return m_pid; }
    void Signal(int signal) const;
    // The exit status, or 128 + the signal; nothing at the ceiling.
    std::optional<int> Wait(milliseconds ceiling = kCeiling);
    // Processor time used so far, user and system together.
    std::chrono::nanoseconds CpuTime() const;

private:
    pid_t m_pid = -1;
    std::optional<int> m_status;
};

} // namespace devsimtest

#pragma once

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <sys/types.h>

namespace e2e {

using std::chrono::milliseconds;

// A program run as a child: started in a working folder with changes to the
// environment, its standard output and error collected in one file. Killed
// when this object goes, and sent SIGTERM if the test process dies.
class CProgramProcess
{
public:
    // `environment`: variables to set (an empty value removes the variable).
    CProgramProcess(const std::string& program, const std::string& workFolder,
                    const std::map<std::string, std::string>& environment, const std::string& outputFile);
    ~CProgramProcess();
    CProgramProcess(const CProgramProcess&) = delete;
    CProgramProcess& operator=(const CProgramProcess&) = delete;

    pid_t Pid() const { return m_pid; }
    // The exit status, or 128 + the signal; nothing at the ceiling.
    std::optional<int> Wait(milliseconds ceiling);
    bool HasEnded() { return Wait(milliseconds(0)).has_value(); }
    // Processor time used so far, user and system together.
    std::chrono::nanoseconds CpuTime() const;
    // What it wrote to standard output and error so far.
    std::string Output() const;

private:
    pid_t m_pid = -1;
    std::string m_outputFile;
    std::optional<int> m_status;
};

} // namespace e2e

#pragma once

// Programs run as children of a test (the simulator, the configurator), for
// the simulator's process tests and the end-to-end tests.

#include <PtyPair.h>

#include <csignal>
#include <sys/types.h>
#include <vector>

namespace devsimtest {

using std::chrono::milliseconds;
using testsupport::CReader;
using testsupport::kCeiling;

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
    explicit CSimulator(const std::string& folder, std::vector<std::string> options = {});
    // The link of device 0 (gnss), 1 (beacon) or 2 (sounder).
    std::string Port(int device) const;

private:
    std::string m_folder;
};

} // namespace devsimtest

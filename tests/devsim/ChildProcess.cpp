#include "ChildProcess.h"

#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace devsimtest {

namespace {

std::vector<char*> Pointers(std::vector<std::string>& words)
{
    std::vector<char*> pointers;
    for (std::string& word : words)
        pointers.push_back(word.data());
    pointers.push_back(nullptr);
    return pointers;
}

} // namespace

CChildProcess::CChildProcess(std::vector<std::string> argv, Streams streams, const std::string& folder,
                             const std::map<std::string, std::string>& environment)
{
    // Everything the child needs is prepared before fork.
    std::vector<std::string> variables;
    for (char** entry = environ; *entry; ++entry) {
        const std::string variable(*entry);
        if (environment.count(variable.substr(0, variable.find('='))) == 0)
            variables.push_back(variable);
    }
    for (const auto& [name, value] : environment)
        variables.push_back(name + "=" + value);
    const std::vector<char*> args = Pointers(argv);
    const std::vector<char*> envp = Pointers(variables);

    const pid_t parent = ::getpid();
    m_pid = ::fork();
    if (m_pid < 0)
        throw std::runtime_error("fork failed");
    if (m_pid == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != parent || (!folder.empty() && ::chdir(folder.c_str()) != 0))
            ::_exit(127);
        const int null = ::open("/dev/null", O_RDWR | O_CLOEXEC);
        ::dup2(streams.in < 0 ? null : streams.in, STDIN_FILENO);
        ::dup2(streams.out < 0 ? null : streams.out, STDOUT_FILENO);
        ::dup2(streams.err < 0 ? null : streams.err, STDERR_FILENO);
        ::execve(args[0], args.data(), envp.data());
        ::_exit(127);
    }
}

CChildProcess::~CChildProcess()
{
    if (!m_status) {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
    }
}

void CChildProcess::Signal(int signal) const
{
    ::kill(m_pid, signal);
}

std::optional<int> CChildProcess::Wait(milliseconds ceiling)
{
    const auto deadline = std::chrono::steady_clock::now() + ceiling;
    while (!m_status) {
        int status = 0;
        if (::waitpid(m_pid, &status, WNOHANG) == m_pid)
            m_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        else if (std::chrono::steady_clock::now() >= deadline)
            break;
        else
            std::this_thread::sleep_for(milliseconds(5));
    }
    return m_status;
}

// Fields 14 and 15 of /proc/<pid>/stat, after the parenthesised name.
std::chrono::nanoseconds CChildProcess::CpuTime() const
{
    std::ifstream stat("/proc/" + std::to_string(m_pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line))
        throw std::runtime_error("cannot read the child's /proc stat");
    std::istringstream fields(line.substr(line.rfind(')') + 2));
    std::string skipped;
    for (int field = 3; field < 14; ++field)
        fields >> skipped;
    unsigned long long userTicks = 0, systemTicks = 0;
    if (!(fields >> userTicks >> systemTicks))
        throw std::runtime_error("unexpected /proc stat: " + line);
    return std::chrono::nanoseconds((userTicks + systemTicks) * 1000000000ULL / ::sysconf(_SC_CLK_TCK));
}

} // namespace devsimtest

#include "ProgramProcess.h"

#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace e2e {

namespace {

std::vector<std::string> MergedEnvironment(const std::map<std::string, std::string>& changes)
{
    std::vector<std::string> merged;
    for (char** entry = environ; *entry; ++entry) {
        const std::string variable(*entry);
        if (changes.count(variable.substr(0, variable.find('='))) == 0)
            merged.push_back(variable);
    }
    for (const auto& [name, value] : changes) {
        if (!value.empty())
            merged.push_back(name + "=" + value);
    }
    return merged;
}

std::vector<char*> Pointers(std::vector<std::string>& words)
{
    std::vector<char*> pointers;
    for (std::string& word : words)
        pointers.push_back(word.data());
    pointers.push_back(nullptr);
    return pointers;
}

} // namespace

CProgramProcess::CProgramProcess(const std::string& program, const std::string& workFolder,
                                 const std::map<std::string, std::string>& environment,
                                 const std::string& outputFile)
    : m_outputFile(outputFile)
{
    // Everything the child needs is prepared before fork.
    std::vector<std::string> arguments{program};
    std::vector<std::string> variables = MergedEnvironment(environment);
    std::vector<char*> argv = Pointers(arguments);
    std::vector<char*> envp = Pointers(variables);
    const int output = ::open(outputFile.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (output < 0)
        throw std::runtime_error("cannot create " + outputFile + ": " + std::strerror(errno));

    const pid_t parent = ::getpid();
    m_pid = ::fork();
    if (m_pid < 0) {
        ::close(output);
        throw std::runtime_error("fork failed");
    }
    if (m_pid == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != parent || ::chdir(workFolder.c_str()) != 0)
            ::_exit(127);
        const int input = ::open("/dev/null", O_RDONLY);
        ::dup2(input, STDIN_FILENO);
        ::dup2(output, STDOUT_FILENO);
        ::dup2(output, STDERR_FILENO);
        ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
    ::close(output);
}

CProgramProcess::~CProgramProcess()
{
    if (!m_status) {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
    }
}

std::optional<int> CProgramProcess::Wait(milliseconds ceiling)
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
std::chrono::nanoseconds CProgramProcess::CpuTime() const
{
    std::ifstream stat("/proc/" + std::to_string(m_pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line))
        throw std::runtime_error("cannot read the program's /proc stat");
    std::istringstream fields(line.substr(line.rfind(')') + 2));
    std::string field;
    for (int i = 3; i < 14 && fields >> field; ++i) {
    }
    unsigned long long userTicks = 0, systemTicks = 0;
    if (!(fields >> userTicks >> systemTicks))
        throw std::runtime_error("unexpected /proc stat: " + line);
    const long ticksPerSecond = ::sysconf(_SC_CLK_TCK);
    return std::chrono::nanoseconds((userTicks + systemTicks) * 1000000000ULL / ticksPerSecond);
}

std::string CProgramProcess::Output() const
{
    std::ifstream file(m_outputFile);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

} // namespace e2e

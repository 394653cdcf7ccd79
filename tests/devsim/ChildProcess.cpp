#include "ChildProcess.h"

#include <stdexcept>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace devsimtest {

CChild::CChild(std::vector<std::string> argv, bool piped)
{
    std::vector<char*> args; // made before fork
    for (std::string& word : argv)
        args.push_back(word.data());
    args.push_back(nullptr);
    int io[2] = {-1, -1};
    if (piped && ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, io) != 0)
        throw std::runtime_error("socketpair failed");
    const pid_t parent = ::getpid();
    m_pid = ::fork();
    if (m_pid < 0)
        throw std::runtime_error("fork failed");
    if (m_pid == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != parent || (piped && (::dup2(io[1], 0) < 0 || ::dup2(io[1], 1) < 0 || ::dup2(io[1], 2) < 0)))
            ::_exit(127);
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    ::close(io[1]);
    m_fd = io[0];
}

CChild::~CChild()
{
    if (!m_status) {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
    }
}

std::optional<int> CChild::Wait()
{
    int status = 0;
    if (!m_status && ::waitpid(m_pid, &status, 0) == m_pid)
        m_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return m_status;
}

CSimulator::CSimulator(const std::string& folder, std::vector<std::string> options)
    : CChild((options.insert(options.begin(), {ORVEL_DEVSIM_PATH, "--dir", folder}), options), true), m_folder(folder)
{
    const auto ready = WaitFor("");
    if (ready != "ready gnss=" + Port(0) + " beacon=" + Port(1) + " sounder=" + Port(2))
        throw std::runtime_error("orvel-devsim did not start: " + ready.value_or("(nothing)"));
}

std::string CSimulator::Port(int device) const
{
    static const char* const kDevices[3] = {"gnss", "beacon", "sounder"};
    return m_folder + "/devsim-" + kDevices[device];
}

} // namespace devsimtest

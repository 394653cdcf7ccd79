#include "ChildProcess.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace devsimtest {

using Clock = std::chrono::steady_clock;

CReader::~CReader()
{
    ::close(m_fd);
}

// False at the end of the data or at the deadline.
bool CReader::ReadSome(Clock::time_point deadline)
{
    for (;;) {
        const auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now()).count();
        pollfd pfd{m_fd, POLLIN, 0};
        if (::poll(&pfd, 1, static_cast<int>(std::max<long long>(0, left))) <= 0)
            return false;
        char chunk[65536];
        const ssize_t count = ::read(m_fd, chunk, sizeof chunk);
        if (count > 0)
            m_buffer.append(chunk, static_cast<std::size_t>(count));
        if (count >= 0 || (errno != EINTR && errno != EAGAIN))
            return count > 0;
    }
}

std::optional<std::string> CReader::WaitFor(const std::string& prefix, const std::string& end)
{
    const auto deadline = Clock::now() + kCeiling;
    do {
        for (std::size_t at; (at = m_buffer.find(end)) != std::string::npos;) {
            std::string line = m_buffer.substr(0, at);
            m_buffer.erase(0, at + end.size());
            if (line.rfind(prefix, 0) == 0)
                return line;
        }
    } while (ReadSome(deadline));
    return std::nullopt;
}

std::string CReader::Read(std::size_t count, milliseconds ceiling)
{
    const auto deadline = Clock::now() + ceiling;
    while (m_buffer.size() < count && ReadSome(deadline)) {
    }
    std::string bytes = m_buffer.substr(0, count);
    m_buffer.erase(0, bytes.size());
    return bytes;
}

bool CReader::Ends()
{
    const auto deadline = Clock::now() + kCeiling;
    while (ReadSome(deadline))
        m_buffer.clear();
    return Clock::now() < deadline;
}

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

void CReader::Send(const std::string& line)
{
    const std::string bytes = line + "\n";
    if (::send(m_fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(bytes.size()))
        throw std::runtime_error("the other end does not take \"" + line + "\"");
}

std::optional<int> CChild::Wait()
{
    int status = 0;
    if (!m_status && ::waitpid(m_pid, &status, 0) == m_pid)
        m_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return m_status;
}

CSimulator::CSimulator(const std::string& folder, const std::vector<std::string>& options)
    : CChild([&] {
        std::vector<std::string> argv{ORVEL_DEVSIM_PATH, "--dir", folder};
        argv.insert(argv.end(), options.begin(), options.end());
        return argv;
    }(), true)
    , m_folder(folder)
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

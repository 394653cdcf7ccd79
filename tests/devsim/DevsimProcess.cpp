#include "DevsimProcess.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

namespace devsimtest {

using Clock = std::chrono::steady_clock;

namespace {

int MillisecondsLeft(Clock::time_point deadline)
{
    return static_cast<int>(
        std::max<long long>(0, std::chrono::duration_cast<milliseconds>(deadline - Clock::now()).count()));
}

} // namespace

bool CLineReader::ReadSome(Clock::time_point deadline)
{
    for (;;) {
        pollfd pfd{m_fd, POLLIN, 0};
        const int ready = ::poll(&pfd, 1, MillisecondsLeft(deadline));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return false;
        char chunk[65536];
        const ssize_t count = ::read(m_fd, chunk, sizeof chunk);
        if (count > 0) {
            m_buffer.append(chunk, static_cast<std::size_t>(count));
            return true;
        }
        if (count == 0 || (errno != EINTR && errno != EAGAIN))
            return false;
    }
}

std::optional<std::string> CLineReader::ReadLine(milliseconds ceiling)
{
    const auto deadline = Clock::now() + ceiling;
    for (;;) {
        const std::size_t at = m_buffer.find(m_end);
        if (at != std::string::npos) {
            std::string line = m_buffer.substr(0, at);
            m_buffer.erase(0, at + m_end.size());
            return line;
        }
        if (!ReadSome(deadline))
            return std::nullopt;
    }
}

std::optional<std::string> CLineReader::WaitFor(const std::string& prefix, milliseconds ceiling)
{
    const auto deadline = Clock::now() + ceiling;
    while (auto line = ReadLine(milliseconds(MillisecondsLeft(deadline)))) {
        if (line->rfind(prefix, 0) == 0)
            return line;
    }
    return std::nullopt;
}

std::string CLineReader::Read(std::size_t count, milliseconds ceiling)
{
    const auto deadline = Clock::now() + ceiling;
    while (m_buffer.size() < count && ReadSome(deadline)) {
    }
    std::string bytes = m_buffer.substr(0, count);
    m_buffer.erase(0, bytes.size());
    return bytes;
}

CDevsimProcess::CDevsimProcess(const std::vector<std::string>& arguments)
    : CLineReader(-1, "\n")
{
    int in[2], out[2], err[2];
    if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe2 failed");
    std::vector<std::string> words{ORVEL_DEVSIM_PATH};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);

    const pid_t parent = ::getpid();
    m_pid = ::fork();
    if (m_pid < 0)
        throw std::runtime_error("fork failed");
    if (m_pid == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != parent)
            ::_exit(127);
        ::dup2(in[0], STDIN_FILENO);
        ::dup2(out[1], STDOUT_FILENO);
        ::dup2(err[1], STDERR_FILENO);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(in[0]);
    ::close(out[1]);
    ::close(err[1]);
    m_stdin = in[1];
    m_fd = out[0];
    m_stderr = err[0];
}

CDevsimProcess::~CDevsimProcess()
{
    if (!m_status) {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
    }
    for (const int fd : {m_stdin, m_fd, m_stderr})
        ::close(fd);
}

void CDevsimProcess::Control(const std::string& line)
{
    const std::string bytes = line + "\n";
    ASSERT_EQ(::write(m_stdin, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
}

void CDevsimProcess::Signal(int signal)
{
    ::kill(m_pid, signal);
}

std::optional<int> CDevsimProcess::Wait(milliseconds ceiling)
{
    const auto deadline = Clock::now() + ceiling;
    while (!m_status && Clock::now() < deadline) {
        int status = 0;
        if (::waitpid(m_pid, &status, WNOHANG) == m_pid)
            m_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        else
            ::usleep(2000);
    }
    return m_status;
}

std::string CDevsimProcess::Errors()
{
    std::string errors;
    char chunk[4096];
    for (pollfd pfd{m_stderr, POLLIN, 0}; ::poll(&pfd, 1, m_status ? 5000 : 0) > 0;) {
        const ssize_t count = ::read(m_stderr, chunk, sizeof chunk);
        if (count <= 0)
            break;
        errors.append(chunk, static_cast<std::size_t>(count));
    }
    return errors;
}

CReadySimulator::CReadySimulator(const std::string& folder, const std::vector<std::string>& extra)
    : m_process([&] {
        std::vector<std::string> arguments{"--dir", folder};
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        return arguments;
    }())
    , m_gnss(folder + "/devsim-gnss")
    , m_beacon(folder + "/devsim-beacon")
    , m_sounder(folder + "/devsim-sounder")
{
    const auto ready = m_process.WaitFor("ready ");
    const std::string expected = "ready gnss=" + m_gnss + " beacon=" + m_beacon + " sounder=" + m_sounder;
    if (ready != expected)
        throw std::runtime_error("no ready line as expected: " + ready.value_or("") + m_process.Errors());
}

CPort::CPort(const std::string& path, bool makeRaw)
    : CLineReader(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC), "\r\n")
{
    if (m_fd < 0)
        throw std::runtime_error("cannot open " + path + ": " + std::strerror(errno));
    termios tio{};
    if (makeRaw && ::tcgetattr(m_fd, &tio) == 0) {
        ::cfmakeraw(&tio);
        ::tcsetattr(m_fd, TCSANOW, &tio);
    }
}

CPort::~CPort()
{
    ::close(m_fd);
}

void CPort::Write(const std::string& bytes)
{
    ASSERT_EQ(::write(m_fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
}

} // namespace devsimtest

#include "DevsimProcess.h"

#include <gtest/gtest.h>

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

namespace {

using Clock = std::chrono::steady_clock;

int MillisecondsLeft(Clock::time_point end)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
    return left < 0 ? 0 : static_cast<int>(left);
}

// Waits for `fd` to be readable and appends what one read gives to
// `buffer`. False at the ceiling, at the end of the stream or on an error.
bool ReadSome(int fd, std::string& buffer, Clock::time_point end)
{
    for (;;) {
        pollfd pfd{fd, POLLIN, 0};
        const int ready = ::poll(&pfd, 1, MillisecondsLeft(end));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return false;
        char chunk[65536];
        const ssize_t count = ::read(fd, chunk, sizeof chunk);
        if (count < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (count <= 0)
            return false;
        buffer.append(chunk, static_cast<std::size_t>(count));
        return true;
    }
}

std::optional<std::string> TakeLine(std::string& buffer, const char* end)
{
    const std::size_t at = buffer.find(end);
    if (at == std::string::npos)
        return std::nullopt;
    std::string line = buffer.substr(0, at);
    buffer.erase(0, at + std::strlen(end));
    return line;
}

void Pipe(int fds[2])
{
    if (::pipe2(fds, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe2 failed");
}

} // namespace

CDevsimProcess::CDevsimProcess(const std::vector<std::string>& arguments)
{
    int in[2], out[2], err[2];
    Pipe(in);
    Pipe(out);
    Pipe(err);
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
        std::vector<char*> argv;
        std::string program = ORVEL_DEVSIM_PATH;
        argv.push_back(program.data());
        std::vector<std::string> copies = arguments;
        for (std::string& argument : copies)
            argv.push_back(argument.data());
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(in[0]);
    ::close(out[1]);
    ::close(err[1]);
    m_stdin = in[1];
    m_stdout = out[0];
    m_stderr = err[0];
}

CDevsimProcess::~CDevsimProcess()
{
    if (!m_status) {
        ::kill(m_pid, SIGKILL);
        int status = 0;
        ::waitpid(m_pid, &status, 0);
    }
    for (const int fd : {m_stdin, m_stdout, m_stderr}) {
        if (fd >= 0)
            ::close(fd);
    }
}

std::optional<std::string> CDevsimProcess::ReadLine(std::chrono::milliseconds ceiling)
{
    const auto end = Clock::now() + ceiling;
    for (;;) {
        if (auto line = TakeLine(m_outBuffer, "\n"))
            return line;
        if (!ReadSome(m_stdout, m_outBuffer, end))
            return std::nullopt;
    }
}

std::optional<std::string> CDevsimProcess::WaitFor(const std::string& prefix, std::chrono::milliseconds ceiling)
{
    const auto end = Clock::now() + ceiling;
    while (auto line = ReadLine(std::chrono::milliseconds(MillisecondsLeft(end)))) {
        if (line->rfind(prefix, 0) == 0)
            return line;
    }
    return std::nullopt;
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

std::optional<int> CDevsimProcess::Wait(std::chrono::milliseconds ceiling)
{
    if (m_status)
        return m_status;
    const auto end = Clock::now() + ceiling;
    for (;;) {
        int status = 0;
        const pid_t done = ::waitpid(m_pid, &status, WNOHANG);
        if (done == m_pid) {
            m_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            return m_status;
        }
        if (Clock::now() >= end)
            return std::nullopt;
        ::usleep(2000);
    }
}

std::string CDevsimProcess::Errors()
{
    while (ReadSome(m_stderr, m_errors, Clock::now() + std::chrono::milliseconds(m_status ? 5000 : 0))) {
    }
    return m_errors;
}

CReadySimulator::CReadySimulator(const std::string& folder, std::vector<std::string> extra)
    : m_process([&] {
        std::vector<std::string> arguments{"--dir", folder};
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        return arguments;
    }())
{
    const auto ready = m_process.WaitFor("ready ");
    if (!ready)
        throw std::runtime_error("orvel-devsim did not get ready: " + m_process.Errors());
    const std::string expected = "ready gnss=" + folder + "/devsim-gnss beacon=" + folder +
                                 "/devsim-beacon sounder=" + folder + "/devsim-sounder";
    if (*ready != expected)
        throw std::runtime_error("unexpected ready line: " + *ready);
    m_gnss = folder + "/devsim-gnss";
    m_beacon = folder + "/devsim-beacon";
    m_sounder = folder + "/devsim-sounder";
}

CPort::CPort(const std::string& path, bool makeRaw)
    : m_fd(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC))
{
    if (m_fd < 0)
        throw std::runtime_error("cannot open " + path + ": " + std::strerror(errno));
    if (makeRaw) {
        termios tio{};
        ::tcgetattr(m_fd, &tio);
        ::cfmakeraw(&tio);
        ::tcsetattr(m_fd, TCSANOW, &tio);
    }
}

CPort::~CPort()
{
    Close();
}

void CPort::Close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_buffer.clear();
}

void CPort::Write(const std::string& bytes)
{
    ASSERT_EQ(::write(m_fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
}

std::optional<std::string> CPort::ReadLine(std::chrono::milliseconds ceiling)
{
    const auto end = Clock::now() + ceiling;
    for (;;) {
        if (auto line = TakeLine(m_buffer, "\r\n"))
            return line;
        if (!ReadSome(m_fd, m_buffer, end))
            return std::nullopt;
    }
}

std::string CPort::Read(std::size_t count, std::chrono::milliseconds ceiling)
{
    const auto end = Clock::now() + ceiling;
    while (m_buffer.size() < count && ReadSome(m_fd, m_buffer, end)) {
    }
    std::string bytes = m_buffer.substr(0, count);
    m_buffer.erase(0, bytes.size());
    return bytes;
}

std::optional<std::string> CPort::WaitForSentence(const std::string& address, std::chrono::milliseconds ceiling)
{
    const auto end = Clock::now() + ceiling;
    while (auto line = ReadLine(std::chrono::milliseconds(MillisecondsLeft(end)))) {
        if (*line == address || line->rfind(address + ",", 0) == 0 || line->rfind(address + "*", 0) == 0)
            return line;
    }
    return std::nullopt;
}

} // namespace devsimtest

#include "DevsimProcess.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <unistd.h>

namespace devsimtest {

using Clock = std::chrono::steady_clock;

bool CLineReader::ReadSome(Clock::time_point deadline)
{
    for (;;) {
        const auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now()).count();
        pollfd pfd{m_fd, POLLIN, 0};
        const int ready = ::poll(&pfd, 1, static_cast<int>(std::max<long long>(0, left)));
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

std::optional<std::string> CLineReader::WaitFor(const std::string& prefix, milliseconds ceiling)
{
    const auto deadline = Clock::now() + ceiling;
    do {
        for (std::size_t at; (at = m_buffer.find(m_end)) != std::string::npos;) {
            std::string line = m_buffer.substr(0, at);
            m_buffer.erase(0, at + m_end.size());
            if (line.rfind(prefix, 0) == 0)
                return line;
        }
    } while (ReadSome(deadline));
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
    int in[2], out[2];
    if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe2 failed");
    std::vector<std::string> argv{ORVEL_DEVSIM_PATH};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    m_child.emplace(argv, CChildProcess::Streams{in[0], out[1], out[1]});
    ::close(in[0]);
    ::close(out[1]);
    m_stdin = in[1];
    m_fd = out[0];
}

CDevsimProcess::~CDevsimProcess()
{
    m_child.reset();
    ::close(m_stdin);
    ::close(m_fd);
}

void CDevsimProcess::Control(const std::string& line)
{
    const std::string bytes = line + "\n";
    ASSERT_EQ(::write(m_stdin, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
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
    const auto first = m_process.WaitFor("");
    if (first != "ready gnss=" + m_gnss + " beacon=" + m_beacon + " sounder=" + m_sounder)
        throw std::runtime_error("orvel-devsim did not start: " + first.value_or("(nothing)"));
}

CPort::CPort(const std::string& path)
    : CLineReader(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC), "\r\n")
{
    if (m_fd < 0)
        throw std::runtime_error("cannot open " + path + ": " + std::strerror(errno));
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

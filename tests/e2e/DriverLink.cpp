#include "DriverLink.h"

#include "driver/Wire.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace e2e {

using Clock = std::chrono::steady_clock;

namespace {

int MillisecondsLeft(Clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now()).count();
    return static_cast<int>(std::max<long long>(0, left));
}

// Waits for `events` on `fd` until the deadline; false at the deadline.
bool PollFor(int fd, short events, Clock::time_point deadline)
{
    for (;;) {
        pollfd pfd{fd, events, 0};
        const int ready = ::poll(&pfd, 1, MillisecondsLeft(deadline));
        if (ready < 0 && errno == EINTR)
            continue;
        return ready > 0;
    }
}

} // namespace

CDriverLink::CDriverLink(std::string socketPath) : m_path(std::move(socketPath))
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (m_path.size() >= sizeof address.sun_path)
        throw std::runtime_error("socket path too long: " + m_path);
    std::strcpy(address.sun_path, m_path.c_str());
    m_listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_listener < 0 || ::bind(m_listener, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(m_listener, 1) != 0)
        throw std::runtime_error("cannot listen at " + m_path + ": " + std::strerror(errno));
}

CDriverLink::~CDriverLink()
{
    Disconnect();
    ::close(m_listener);
    ::unlink(m_path.c_str());
}

void CDriverLink::Disconnect()
{
    if (m_connection >= 0)
        ::close(m_connection);
    m_connection = -1;
    m_buffer.clear();
    m_answers.clear();
}

pid_t CDriverLink::Accept(milliseconds ceiling)
{
    Disconnect();
    const auto deadline = Clock::now() + ceiling;
    if (!PollFor(m_listener, POLLIN, deadline))
        throw std::runtime_error("no operator driver connected to " + m_path);
    m_connection = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
    if (m_connection < 0)
        throw std::runtime_error(std::string("accept: ") + std::strerror(errno));
    std::vector<std::string> hello;
    if (!ReadMessage(hello, deadline) || hello.size() != 3 || hello[0] != "0" || hello[1] != "hello")
        throw std::runtime_error("the operator driver did not greet");
    return static_cast<pid_t>(std::stol(hello[2]));
}

int CDriverLink::Send(const std::string& verb, const std::vector<std::string>& arguments)
{
    if (m_connection < 0)
        throw std::runtime_error("no operator driver connected");
    const int request = m_nextRequest++;
    std::vector<std::string> fields{std::to_string(request), verb};
    fields.insert(fields.end(), arguments.begin(), arguments.end());
    const std::string line = wire::Join(fields);
    for (std::size_t sent = 0; sent < line.size();) {
        const ssize_t count = ::send(m_connection, line.data() + sent, line.size() - sent, MSG_NOSIGNAL);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            throw std::runtime_error("the operator driver went away while sending " + verb);
        sent += static_cast<std::size_t>(count);
    }
    return request;
}

std::vector<std::string> CDriverLink::Await(int request, milliseconds ceiling)
{
    const auto deadline = Clock::now() + ceiling;
    for (;;) {
        const auto found = m_answers.find(request);
        if (found != m_answers.end()) {
            std::vector<std::string> answer = std::move(found->second);
            m_answers.erase(found);
            if (answer.size() >= 2 && answer[1] == "ok")
                return std::vector<std::string>(answer.begin() + 2, answer.end());
            throw DriverRefusal(answer.size() >= 3 ? answer[2] : "malformed answer");
        }
        std::vector<std::string> message;
        if (!ReadMessage(message, deadline))
            throw std::runtime_error("no answer to request " + std::to_string(request) +
                                     (Clock::now() >= deadline ? " within the ceiling" : ": the driver went away"));
        if (!message.empty())
            m_answers[std::atoi(message[0].c_str())] = std::move(message);
    }
}

std::vector<std::string> CDriverLink::Call(const std::string& verb, const std::vector<std::string>& arguments,
                                           milliseconds ceiling)
{
    return Await(Send(verb, arguments), ceiling);
}

bool CDriverLink::ReadMessage(std::vector<std::string>& fields, Clock::time_point deadline)
{
    for (;;) {
        const std::size_t end = m_buffer.find('\n');
        if (end != std::string::npos) {
            fields = wire::Split(m_buffer.substr(0, end));
            m_buffer.erase(0, end + 1);
            return true;
        }
        if (m_connection < 0 || !PollFor(m_connection, POLLIN, deadline))
            return false;
        char chunk[65536];
        const ssize_t count = ::recv(m_connection, chunk, sizeof chunk, 0);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            return false;
        m_buffer.append(chunk, static_cast<std::size_t>(count));
    }
}

} // namespace e2e

#include "Operator.h"

#include "driver/Wire.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace e2e {

using Clock = std::chrono::steady_clock;

namespace {

// Waits for input on `fd` until the deadline; false at the deadline.
bool PollIn(int fd, Clock::time_point deadline)
{
    for (;;) {
        const auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now()).count();
        pollfd pfd{fd, POLLIN, 0};
        const int ready = ::poll(&pfd, 1, static_cast<int>(std::max<long long>(0, left)));
        if (ready >= 0 || errno != EINTR)
            return ready > 0;
    }
}

} // namespace

COperator::COperator(std::string socketPath) : m_path(std::move(socketPath))
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

COperator::~COperator()
{
    Disconnect();
    ::close(m_listener);
    ::unlink(m_path.c_str());
}

void COperator::Disconnect()
{
    if (m_connection >= 0)
        ::close(m_connection);
    m_connection = -1;
    m_buffer.clear();
    m_answers.clear();
}

pid_t COperator::Accept(milliseconds ceiling)
{
    Disconnect();
    const auto deadline = Clock::now() + ceiling;
    if (!PollIn(m_listener, deadline))
        throw std::runtime_error("no operator driver connected to " + m_path);
    m_connection = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
    Fields hello;
    if (m_connection < 0 || !ReadMessage(hello, deadline) || hello.size() != 3 || hello[1] != "hello")
        throw std::runtime_error("the operator driver did not greet");
    return static_cast<pid_t>(std::stol(hello[2]));
}

int COperator::Send(const std::string& verb, const Fields& arguments)
{
    const int request = m_nextRequest++;
    Fields fields{std::to_string(request), verb};
    fields.insert(fields.end(), arguments.begin(), arguments.end());
    const std::string line = wire::Join(fields);
    for (std::size_t sent = 0; sent < line.size();) {
        const ssize_t count = ::send(m_connection, line.data() + sent, line.size() - sent, MSG_NOSIGNAL);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            throw std::runtime_error("the operator driver is not there to take " + verb);
        sent += static_cast<std::size_t>(count);
    }
    return request;
}

COperator::Fields COperator::Await(int request, milliseconds ceiling)
{
    const auto deadline = Clock::now() + ceiling;
    for (;;) {
        const auto found = m_answers.find(request);
        if (found != m_answers.end()) {
            const Fields answer = std::move(found->second);
            m_answers.erase(found);
            if (answer.size() >= 2 && answer[1] == "ok")
                return Fields(answer.begin() + 2, answer.end());
            throw DriverRefusal(answer.size() >= 3 ? answer[2] : "malformed answer");
        }
        Fields message;
        if (!ReadMessage(message, deadline))
            throw std::runtime_error("no answer to request " + std::to_string(request) +
                                     (Clock::now() >= deadline ? " within the ceiling" : ": the driver went away"));
        m_answers[std::atoi(message[0].c_str())] = std::move(message);
    }
}

COperator::Fields COperator::Retry(const std::string& verb, const Fields& arguments, milliseconds ceiling)
{
    const auto deadline = Clock::now() + ceiling;
    for (;;) {
        try {
            return Call(verb, arguments);
        } catch (const DriverRefusal&) {
            if (Clock::now() >= deadline)
                throw;
            std::this_thread::sleep_for(milliseconds(50));
        }
    }
}

bool COperator::ReadMessage(Fields& fields, Clock::time_point deadline)
{
    for (;;) {
        const std::size_t end = m_buffer.find('\n');
        if (end != std::string::npos) {
            fields = wire::Split(m_buffer.substr(0, end));
            m_buffer.erase(0, end + 1);
            return true;
        }
        if (m_connection < 0 || !PollIn(m_connection, deadline))
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

ControlState COperator::State(int id)
{
    const Fields fields = Call("state", {Id(id)});
    return {fields.at(0) == "1", fields.at(1) == "1"};
}

LampState COperator::Lamp(int id)
{
    const Fields fields = Call("lamp", {Id(id)});
    return {fields.at(0) == "1", static_cast<std::uint32_t>(std::stoul(fields.at(1))),
            static_cast<std::uint32_t>(std::stoul(fields.at(2))), std::stoul(fields.at(3))};
}

} // namespace e2e

#pragma once

#include "PtyPair.h"
#include "SerialPort.h"
#include "TempDir.h"

#include <boost/bind/bind.hpp>

#include <atomic>
#include <fcntl.h>
#include <filesystem>
#include <mutex>
#include <poll.h>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace porttest {

// Records what a port's receive callback is given.
class Receiver
{
public:
    serialport::CSerialPort::ReceiveCallback Callback()
    {
        return boost::bind(&Receiver::OnReceive, this, boost::placeholders::_1, boost::placeholders::_2);
    }
    void OnReceive(const char* data, boost::uint32_t count)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_counts.push_back(count);
        m_bytes.append(data, count);
    }
    std::string Bytes() const { std::lock_guard<std::mutex> l(m_mutex); return m_bytes; }
    std::vector<boost::uint32_t> Counts() const { std::lock_guard<std::mutex> l(m_mutex); return m_counts; }
    std::size_t Calls() const { return Counts().size(); }
    void Clear() { std::lock_guard<std::mutex> l(m_mutex); m_bytes.clear(); m_counts.clear(); }
    bool WaitForBytes(std::size_t count) const
    {
        return testsupport::WaitUntil([&] { return Bytes().size() >= count; });
    }

private:
    mutable std::mutex m_mutex;
    std::string m_bytes;
    std::vector<boost::uint32_t> m_counts;
};

// A pty playing the device, and a port listening to it.
struct Line
{
    explicit Line(boost::asio::io_service& ioService) : port(ioService, rx.Callback()) {}
    bool Open(boost::uint32_t rate = 9600) { return port.Open(pty.SlavePath().c_str(), rate); }

    testsupport::PtyPair pty;
    Receiver rx;
    serialport::CSerialPort port;
};

// Byte `index` of the stream a Flooder sends; 0xFF never occurs in it.
inline char PatternByte(std::size_t index) { return static_cast<char>(index % 251); }

// Whether each byte follows its predecessor in the pattern.
inline bool FollowsPattern(const std::string& bytes)
{
    for (std::size_t i = 1; i < bytes.size(); ++i) {
        if (static_cast<unsigned char>(bytes[i]) != (static_cast<unsigned char>(bytes[i - 1]) + 1) % 251)
            return false;
    }
    return true;
}

// A device sending the pattern from a pty master as fast as the line takes it.
class Flooder
{
public:
    explicit Flooder(int masterFd) : m_fd(masterFd), m_flags(::fcntl(masterFd, F_GETFL))
    {
        ::fcntl(m_fd, F_SETFL, m_flags | O_NONBLOCK);
        m_thread = std::thread([this] { Run(); });
    }
    ~Flooder() { Stop(); }
    void Stop()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
        ::fcntl(m_fd, F_SETFL, m_flags);
    }

private:
    void Run()
    {
        char chunk[1024];
        for (std::size_t sent = 0; !m_stop;) {
            for (std::size_t i = 0; i < sizeof chunk; ++i)
                chunk[i] = PatternByte(sent + i);
            const ssize_t written = ::write(m_fd, chunk, sizeof chunk);
            if (written > 0) {
                sent += static_cast<std::size_t>(written);
            } else {
                pollfd room{m_fd, POLLOUT, 0};
                ::poll(&room, 1, 20);
            }
        }
    }

    const int m_fd;
    const int m_flags;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

// Threads of this process.
inline std::size_t TaskCount()
{
    const std::filesystem::directory_iterator tasks("/proc/self/task");
    return static_cast<std::size_t>(std::distance(begin(tasks), end(tasks)));
}

} // namespace porttest

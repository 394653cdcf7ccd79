#pragma once

#include "PtyPair.h"
#include "SerialPort.h"
#include "TempDir.h"

#include <boost/asio/error.hpp>

#include <algorithm>
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

// Records what a port reports: the bytes and counts its receive callback is
// given, and in order "rx <count>" per receive and "lost <errno>" (or
// "lost eof") per lost report.
class Receiver
{
public:
    serialport::CSerialPort::ReceiveCallback Callback()
    {
        return [this](const char* data, boost::uint32_t count) {
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_counts.push_back(count);
            m_bytes.append(data, count);
            m_events.push_back("rx " + std::to_string(count));
        };
    }
    serialport::CSerialPort::LostCallback Lost()
    {
        return [this](const boost::system::error_code& error) {
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_events.push_back(error == boost::asio::error::eof ? "lost eof" : "lost " + std::to_string(error.value()));
        };
    }
    std::string Bytes() const { const std::lock_guard<std::mutex> l(m_mutex); return m_bytes; }
    std::vector<boost::uint32_t> Counts() const { const std::lock_guard<std::mutex> l(m_mutex); return m_counts; }
    std::vector<std::string> Events() const { const std::lock_guard<std::mutex> l(m_mutex); return m_events; }
    std::size_t Calls() const { return Counts().size(); }
    void Clear() { const std::lock_guard<std::mutex> l(m_mutex); m_bytes.clear(); m_counts.clear(); m_events.clear(); }
    bool WaitForBytes(std::size_t count) const
    {
        return testsupport::WaitUntil([&] { return Bytes().size() >= count; });
    }

private:
    mutable std::mutex m_mutex;
    std::string m_bytes;
    std::vector<boost::uint32_t> m_counts;
    std::vector<std::string> m_events;
};

// The rates every panel offers.
inline const std::vector<boost::uint32_t> kRates = {110,   300,   600,   1200,   2400,   4800,   9600,  14400,
                                                    19200, 38400, 56000, 57600, 115200, 128000, 256000};

// A pty playing the device, and a port listening to it.
struct Line
{
    explicit Line(boost::asio::io_service& ioService) : port(ioService, rx.Callback()) {}
    bool Open(boost::uint32_t rate = 9600) { return port.Open(pty.SlavePath().c_str(), rate); }

    testsupport::PtyPair pty;
    Receiver rx;
    serialport::CSerialPort port;
};

// The stream a Flooder sends: byte i is i % 251, so 0xFF never occurs in it.
inline char PatternByte(std::size_t index) { return static_cast<char>(index % 251); }

inline bool FollowsPattern(const std::string& bytes)
{
    const auto broken = [](char a, char b) { return b != PatternByte(static_cast<unsigned char>(a) + 1); };
    return std::adjacent_find(bytes.begin(), bytes.end(), broken) == bytes.end();
}

// A device sending the pattern from a pty master as fast as the line takes
// it, until the Flooder goes. The master is left non-blocking.
class Flooder
{
public:
    explicit Flooder(int masterFd) : m_fd(masterFd)
    {
        ::fcntl(m_fd, F_SETFL, ::fcntl(m_fd, F_GETFL) | O_NONBLOCK);
        m_thread = std::thread([this] { Run(); });
    }
    ~Flooder()
    {
        m_stop = true;
        m_thread.join();
    }

private:
    void Run()
    {
        for (std::size_t sent = 0; !m_stop;) {
            const char byte = PatternByte(sent);
            pollfd room{m_fd, POLLOUT, 0};
            if (::write(m_fd, &byte, 1) == 1)
                ++sent;
            else
                ::poll(&room, 1, 20);
        }
    }

    const int m_fd;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

// The descriptor this process holds on `path`, or -1.
inline int DescriptorOf(const std::string& path)
{
    std::error_code error;
    for (const auto& fd : std::filesystem::directory_iterator("/proc/self/fd")) {
        if (std::filesystem::read_symlink(fd.path(), error) == path)
            return std::stoi(fd.path().filename());
    }
    return -1;
}

// Threads of this process.
inline std::size_t TaskCount()
{
    const std::filesystem::directory_iterator tasks("/proc/self/task");
    return static_cast<std::size_t>(std::distance(begin(tasks), end(tasks)));
}

// The line settings of the tty behind `fd` (a pty master reads its slave's),
// e.g. "9600 in, 9600 out, raw"; any stop bits, flow control or cooked mode
// is named.
std::string LineSettings(int fd);
// Sets the tty behind `fd` the way no device here wants it:
// "50 in, 75 out, 2 stop bits, RTS/CTS, XON/XOFF, cooked".
void SpoilLine(int fd);

} // namespace porttest

// bench_serial_receive [MB per port, default 50]
// Receive throughput of CSerialPort: one port, then three on one io_service,
// each fed at full speed from its pty master by a writer thread. The
// receiver checks a known byte pattern, so lost or reordered bytes show.
// Prints MB/s per port and in total, bytes lost, and the receiving side's
// CPU seconds per MB (process CPU minus the writers' own).
#include "SerialPort.h"

#include <boost/bind/bind.hpp>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <poll.h>
#include <pty.h>
#include <stdexcept>
#include <string>
#include <sys/resource.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

const double kMB = 1e6;

double CpuSeconds(int who)
{
    rusage usage{};
    ::getrusage(who, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec
         + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

unsigned char PatternByte(std::size_t index) { return static_cast<unsigned char>(index % 251); }

// One simulated device and the port that listens to it.
class Link
{
public:
    Link(boost::asio::io_service& ioService, std::size_t volume)
        : m_volume(volume)
        , m_port(ioService, boost::bind(&Link::OnReceive, this, boost::placeholders::_1,
                                        boost::placeholders::_2))
    {
        int slave = -1;
        char name[128] = {};
        if (::openpty(&m_master, &slave, name, nullptr, nullptr) != 0)
            throw std::runtime_error("openpty");
        termios tio{};
        ::tcgetattr(m_master, &tio);
        ::cfmakeraw(&tio);
        ::tcsetattr(m_master, TCSANOW, &tio);
        ::close(slave);
        m_slavePath = name;
    }

    ~Link()
    {
        if (m_writer.joinable())
            m_writer.join();
        m_port.Close();
        ::close(m_master);
    }

    void Open()
    {
        if (!m_port.Open(m_slavePath.c_str(), 115200))
            throw std::runtime_error("cannot open " + m_slavePath);
    }

    void StartWriting()
    {
        m_writer = std::thread([this] { Write(); });
    }

    void FinishWriting()
    {
        m_writer.join();
    }

    bool AllArrived() const { return m_received.load() >= m_volume; }
    std::size_t Received() const { return m_received.load(); }
    std::size_t Mismatches() const { return m_mismatches; }
    double WriterCpu() const { return m_writerCpu; }
    double Seconds() const { return std::chrono::duration<double>(m_lastByte - m_firstWrite).count(); }
    std::chrono::steady_clock::time_point FirstWrite() const { return m_firstWrite; }
    std::chrono::steady_clock::time_point LastByte() const { return m_lastByte; }

private:
    void Write()
    {
        std::vector<char> chunk(4096);
        std::size_t sent = 0;
        m_firstWrite = std::chrono::steady_clock::now();
        while (sent < m_volume) {
            const std::size_t size = std::min(chunk.size(), m_volume - sent);
            for (std::size_t i = 0; i < size; ++i)
                chunk[i] = static_cast<char>(PatternByte(sent + i));
            const ssize_t written = ::write(m_master, chunk.data(), size);
            if (written > 0)
                sent += static_cast<std::size_t>(written);
            else if (written < 0 && errno != EINTR && errno != EAGAIN)
                throw std::runtime_error("write to pty master");
        }
        m_writerCpu = CpuSeconds(RUSAGE_THREAD);
    }

    void OnReceive(const char* data, boost::uint32_t count)
    {
        std::size_t next = m_received.load(std::memory_order_relaxed);
        for (boost::uint32_t i = 0; i < count; ++i, ++next) {
            if (static_cast<unsigned char>(data[i]) != PatternByte(next))
                ++m_mismatches;
        }
        m_lastByte = std::chrono::steady_clock::now();
        m_received.store(next, std::memory_order_release);
    }

    const std::size_t m_volume;
    int m_master = -1;
    std::string m_slavePath;
    serialport::CSerialPort m_port;
    std::thread m_writer;
    std::atomic<std::size_t> m_received{0};
    std::size_t m_mismatches = 0;
    double m_writerCpu = 0;
    std::chrono::steady_clock::time_point m_firstWrite, m_lastByte;
};

void Run(const char* title, std::size_t ports, std::size_t volume)
{
    boost::asio::io_service ioService;
    std::vector<std::unique_ptr<Link>> links;
    for (std::size_t i = 0; i < ports; ++i)
        links.push_back(std::make_unique<Link>(ioService, volume));
    for (auto& link : links)
        link->Open();

    const double cpuBefore = CpuSeconds(RUSAGE_SELF);
    const auto start = std::chrono::steady_clock::now();
    for (auto& link : links)
        link->StartWriting();
    for (auto& link : links)
        link->FinishWriting();
    const auto ceiling = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    for (auto& link : links) {
        while (!link->AllArrived() && std::chrono::steady_clock::now() < ceiling)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    double writersCpu = 0;
    std::size_t received = 0, lost = 0, mismatches = 0;
    auto end = start;
    for (auto& link : links) {
        writersCpu += link->WriterCpu();
        received += link->Received();
        lost += volume - std::min(volume, link->Received());
        mismatches += link->Mismatches();
        end = std::max(end, link->LastByte());
    }
    const double receiverCpu = CpuSeconds(RUSAGE_SELF) - cpuBefore - writersCpu;
    const double seconds = std::chrono::duration<double>(end - start).count();

    std::printf("%s: %zu port(s), %.0f MB each\n", title, ports, volume / kMB);
    for (std::size_t i = 0; i < links.size(); ++i)
        std::printf("  port %zu: %.1f MB/s\n", i, links[i]->Received() / kMB / links[i]->Seconds());
    std::printf("  total: %.1f MB/s over %.2f s\n", received / kMB / seconds, seconds);
    std::printf("  bytes lost: %zu, bytes out of order: %zu\n", lost, mismatches);
    std::printf("  receiving CPU: %.4f s per MB (writers: %.4f s per MB)\n",
                receiverCpu / (received / kMB), writersCpu / (received / kMB));
}

} // namespace

int main(int argc, char** argv)
{
    const double megabytes = argc > 1 ? std::atof(argv[1]) : 50;
    const std::size_t volume = static_cast<std::size_t>(megabytes * kMB);
    Run("one port", 1, volume);
    Run("three ports on one io_service", 3, volume);
    return 0;
}

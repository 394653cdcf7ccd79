#include "BaudRate.h"
#include "PortTestSupport.h"

#include <gtest/gtest.h>

#include <boost/thread/exceptions.hpp>

#include <climits>
#include <memory>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

using porttest::Line;
using serialport::CSerialPort;
using testsupport::WaitUntil;

extern char** environ;

namespace {

boost::int32_t WriteText(CSerialPort& port, const std::string& text)
{
    const boost::uint32_t count = static_cast<boost::uint32_t>(text.size());
    return port.Write(text.data(), count);
}

double CpuSeconds()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec
         + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The descriptor this process holds on `path`, or -1.
int DescriptorOf(const std::string& path)
{
    for (int fd = 0; fd < 1024; ++fd) {
        char target[PATH_MAX] = {};
        const std::string link = "/proc/self/fd/" + std::to_string(fd);
        if (::readlink(link.c_str(), target, sizeof target - 1) > 0 && path == target)
            return fd;
    }
    return -1;
}

} // namespace

TEST(SerialPort, OpenWriteAndCloseFollowTheStates)
{
    boost::asio::io_service ioService;
    Line line(ioService);
    CSerialPort& port = line.port;
    const boost::uint32_t noBytes = 0;

    EXPECT_EQ(-1, WriteText(port, "ping"));
    EXPECT_FALSE(port.Open("/dev/no-such-serial-port", 9600));
    try {
        line.Open(0);
        FAIL() << "a rate of 0 must be refused";
    } catch (const boost::system::system_error& error) {
        EXPECT_EQ(boost::system::errc::invalid_argument, error.code());
        EXPECT_EQ(0, std::string(error.what()).rfind("set_option", 0)) << error.what();
    }
    EXPECT_FALSE(line.Open()) << "held after a refused option";
    EXPECT_EQ(2, WriteText(port, "ok"));
    port.Close();
    EXPECT_EQ(0u, line.rx.Calls()) << "a port that never read reports nothing";

    ASSERT_TRUE(line.Open());
    testsupport::PtyPair other;
    EXPECT_FALSE(port.Open(other.SlavePath().c_str(), 9600)) << "a port is already held";
    EXPECT_EQ(0, port.Write("x", noBytes));
    EXPECT_EQ(4, WriteText(port, "ping"));
    EXPECT_EQ("okping", line.pty.Receive(6));
    EXPECT_EQ("", line.pty.Drain()) << "a zero count sends nothing";
    line.pty.Send("hello");
    ASSERT_TRUE(line.rx.WaitForBytes(5));
    EXPECT_EQ("hello", line.rx.Bytes()) << "refused opens leave the reading port alone";

    port.Close();
    port.Close();
    EXPECT_EQ(-1, WriteText(port, "ping"));
}

// Windows takes any rate; termios has constants only for a fixed table.
TEST(SerialPort, RatesOutsideTheTermiosTableAreSet)
{
    boost::asio::io_service ioService;
    Line line(ioService);
    for (boost::uint32_t rate : {110u, 14400u, 56000u, 115200u, 128000u, 256000u}) {
        boost::asio::serial_port device(ioService, line.pty.SlavePath());
        serialport::SetBaudRate(device, rate);
        device.set_option(boost::asio::serial_port_base::character_size(8));
        EXPECT_EQ(rate, serialport::CurrentBaudRate(device.native_handle()));
    }
    EXPECT_TRUE(line.Open(14400));
}

TEST(SerialPort, PortsOnOneServiceReceiveCloseAndReopenIndependently)
{
    boost::asio::io_service ioService;
    Line a(ioService), b(ioService);
    ASSERT_TRUE(a.Open());
    ASSERT_TRUE(b.Open(4800));

    std::string burst;
    for (std::size_t i = 0; i < 600; ++i)
        burst += porttest::PatternByte(i * 7);
    a.pty.Send(burst);
    ASSERT_TRUE(a.rx.WaitForBytes(burst.size()));
    EXPECT_EQ(burst, a.rx.Bytes());
    const std::vector<boost::uint32_t> chunks = a.rx.Counts();
    EXPECT_GE(chunks.size(), 3u);
    for (boost::uint32_t count : chunks)
        EXPECT_TRUE(count > 0 && count <= 256) << count;

    // The line is quiet: Close cancels the outstanding read, which reports
    // once with 0 before Close returns, and never again.
    a.port.Close();
    a.rx.Seal();
    ASSERT_EQ(chunks.size() + 1, a.rx.Calls());
    EXPECT_EQ(0u, a.rx.Counts().back());
    a.pty.Send("late");
    b.pty.Send("still here");
    ASSERT_TRUE(b.rx.WaitForBytes(10));
    EXPECT_EQ("still here", b.rx.Bytes());
    EXPECT_EQ(0u, a.rx.CallsAfterSeal());

    b.port.Close();
    Line c(ioService);
    ASSERT_TRUE(c.Open()) << "all were closed";
    c.pty.Send("again");
    ASSERT_TRUE(c.rx.WaitForBytes(5));
    EXPECT_EQ("again", c.rx.Bytes());
}

// The device reads slowly and talks meanwhile: the write must go out whole
// while the port keeps reading.
TEST(SerialPort, LongWriteGoesOutWholeToASlowReader)
{
    boost::asio::io_service ioService;
    Line line(ioService);
    ASSERT_TRUE(line.Open(115200));
    std::string block(200 * 1024, '\0');
    for (std::size_t i = 0; i < block.size(); ++i)
        block[i] = porttest::PatternByte(i);

    std::string arrived;
    std::thread device([&] {
        line.pty.Send(std::string(4096, 'c'));
        while (arrived.size() < block.size()) {
            const std::string piece = line.pty.Receive(std::min<std::size_t>(512, block.size() - arrived.size()));
            if (piece.empty())
                break;
            arrived += piece;
            std::this_thread::sleep_for(std::chrono::microseconds(300));
        }
    });
    EXPECT_EQ(static_cast<boost::int32_t>(block.size()), WriteText(line.port, block));
    device.join();
    EXPECT_TRUE(arrived == block) << arrived.size() << " bytes arrived, not the block";
    EXPECT_TRUE(line.rx.WaitForBytes(4096));

    line.pty.CloseMaster();
    EXPECT_EQ(0, WriteText(line.port, "gone")) << "a failed write reports 0";
}

// Closes meet completions being handled. Two reads sharing the buffer would
// break the byte order within a session; a lost worker would stop a session;
// a leftover worker would outlive its port.
TEST(SerialPort, ReopeningUnderTrafficKeepsOneReadAndOneWorkerPerPort)
{
    const std::size_t threadsBefore = porttest::TaskCount();
    {
        boost::asio::io_service ioService;
        Line line(ioService);
        porttest::Flooder device(line.pty.MasterFd());
        for (int session = 0; session < 25; ++session) {
            line.rx.Clear();
            ASSERT_TRUE(line.Open(115200)) << "session " << session;
            ASSERT_TRUE(line.rx.WaitForBytes(2000)) << "session " << session;
            line.port.Close();
            EXPECT_TRUE(porttest::FollowsPattern(line.rx.Bytes())) << "session " << session;
        }
        device.Stop();

        line.rx.Clear();
        ASSERT_TRUE(line.Open(115200));
        line.pty.Send("\xFF");
        ASSERT_TRUE(WaitUntil([&] { const std::string b = line.rx.Bytes(); return !b.empty() && b.back() == '\xFF'; }));
        const std::string drained = line.rx.Bytes();
        EXPECT_TRUE(porttest::FollowsPattern(drained.substr(0, drained.size() - 1)));
        const std::size_t callsBefore = line.rx.Calls();
        line.port.Close();
        EXPECT_EQ(callsBefore + 1, line.rx.Calls()) << "exactly one read was outstanding";

        EXPECT_TRUE(WaitUntil([&] { return porttest::TaskCount() == threadsBefore; }))
            << "workers of closed ports retire: " << porttest::TaskCount() << " threads";
    }
    EXPECT_EQ(threadsBefore, porttest::TaskCount());
}

TEST(SerialPort, DestroyingPortsAndServiceWhileDevicesFloodIsClean)
{
    struct Window // holds them as the main window does: the service first
    {
        explicit Window(porttest::Receiver (&rx)[3])
            : sns(ioService, rx[0].Callback()), kks(ioService, rx[1].Callback()), son(ioService, rx[2].Callback())
        {
        }
        boost::asio::io_service ioService;
        CSerialPort sns, kks, son;
    };
    const std::size_t threadsBefore = porttest::TaskCount();
    testsupport::PtyPair pty[3];
    porttest::Receiver rx[3];
    auto window = std::make_unique<Window>(rx);
    CSerialPort* ports[] = {&window->sns, &window->kks, &window->son};
    std::vector<std::unique_ptr<porttest::Flooder>> devices;
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(ports[i]->Open(pty[i].SlavePath().c_str(), 115200));
        devices.push_back(std::make_unique<porttest::Flooder>(pty[i].MasterFd()));
    }
    for (porttest::Receiver& r : rx)
        ASSERT_TRUE(r.WaitForBytes(10000));

    window.reset();
    devices.clear();
    EXPECT_EQ(threadsBefore, porttest::TaskCount()) << "every worker was joined";
}

// The descriptor is closed behind the port's back, so its close fails. (The
// port is left held by a refused option first: closing a descriptor under a
// read in progress would be a race of the test's own.)
TEST(SerialPort, FailedCloseReportsAndLetsThePortGoAndTheDestructorStaysQuiet)
{
    boost::asio::io_service ioService;
    testsupport::PtyPair pty;
    auto port = std::make_unique<CSerialPort>(ioService, CSerialPort::ReceiveCallback());
    auto openHeldPortAndLoseItsDescriptor = [&] {
        EXPECT_THROW(port->Open(pty.SlavePath().c_str(), 0), boost::system::system_error);
        const int fd = DescriptorOf(pty.SlavePath());
        ASSERT_GE(fd, 0);
        ASSERT_EQ(0, ::close(fd));
    };

    openHeldPortAndLoseItsDescriptor();
    try {
        port->Close();
        FAIL() << "closing a closed descriptor must fail";
    } catch (const boost::system::system_error& error) {
        EXPECT_EQ(boost::system::errc::bad_file_descriptor, error.code());
        EXPECT_EQ(0, std::string(error.what()).rfind("close", 0)) << error.what();
    }
    EXPECT_EQ(-1, WriteText(*port, "x")) << "nothing is held after the failed close";
    EXPECT_TRUE(port->Open(pty.SlavePath().c_str(), 9600)) << "the operator can try again";
    port->Close();

    // The same failure met by the destructor must not escape it.
    port = std::make_unique<CSerialPort>(ioService, CSerialPort::ReceiveCallback());
    openHeldPortAndLoseItsDescriptor();
    port.reset();
}

// A vanished device fails every read at once. The port keeps reporting it,
// paced, without burning a core.
TEST(SerialPort, VanishedDeviceKeepsReportingFailuresAtAPacedRate)
{
    boost::asio::io_service ioService;
    Line line(ioService);
    ASSERT_TRUE(line.Open());
    line.pty.Send("last words");
    ASSERT_TRUE(line.rx.WaitForBytes(10));
    const std::size_t dataCalls = line.rx.Calls();

    line.pty.CloseMaster();
    ASSERT_TRUE(WaitUntil([&] { return line.rx.Calls() >= dataCalls + 5; })) << "failures keep coming";
    const std::size_t callsBefore = line.rx.Calls();
    const double cpuBefore = CpuSeconds();
    const auto wallBefore = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(2));
    const double cpu = CpuSeconds() - cpuBefore;
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallBefore).count();
    const std::size_t failures = line.rx.Calls() - callsBefore;

    EXPECT_GT(failures, 0u);
    EXPECT_LT(failures, 200u) << "retries back off to one per 100 ms";
    EXPECT_LT(cpu, wall / 4) << "cpu " << cpu << " s in " << wall << " s";
    const std::vector<boost::uint32_t> counts = line.rx.Counts();
    EXPECT_EQ(std::vector<boost::uint32_t>(counts.size() - dataCalls, 0u),
              std::vector<boost::uint32_t>(counts.begin() + dataCalls, counts.end()));
    line.port.Close();
}

#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
namespace {

// Caps the address space just above what the process uses: no further
// thread stack fits.
void LeaveNoRoomForThreads()
{
    long pages = 0;
    FILE* statm = std::fopen("/proc/self/statm", "r");
    ASSERT_NE(nullptr, statm);
    ASSERT_EQ(1, std::fscanf(statm, "%ld", &pages));
    std::fclose(statm);
    const rlim_t cap = static_cast<rlim_t>(pages) * ::sysconf(_SC_PAGESIZE) + (4u << 20);
    const rlimit limit{cap, cap};
    ASSERT_EQ(0, ::setrlimit(RLIMIT_AS, &limit));
}

void OpenWithoutRoomForWorkers()
{
    boost::asio::io_service ioService;
    Line a(ioService), b(ioService);
    ASSERT_TRUE(a.Open());
    LeaveNoRoomForThreads();
    EXPECT_THROW(b.Open(), boost::thread_resource_error);
    a.port.Close();
    b.pty.Send("served");
    ASSERT_TRUE(b.rx.WaitForBytes(6)) << "port a's worker serves port b";
    b.port.Close();

    boost::asio::io_service lonelyService;
    Line alone(lonelyService);
    EXPECT_THROW(alone.Open(), boost::thread_resource_error);
    alone.port.Close(); // no worker at all: must still return
}

} // namespace

// With no room for another thread, Open raises thread_resource_error; the
// port is served by a worker another port started, and a Close with no worker
// at all must not hang. Runs in a fresh copy of this program (a forked one
// would reuse cached thread stacks) with its address space capped, which
// sanitizers' reservations do not allow.
TEST(SerialPort, PortsWithoutTheirOwnWorkerAreServedAndClose)
{
    if (std::getenv("ORVEL_NO_THREAD_ROOM") != nullptr)
        return OpenWithoutRoomForWorkers();
    std::vector<std::string> environment{"ORVEL_NO_THREAD_ROOM=1"};
    for (char** variable = environ; *variable != nullptr; ++variable)
        environment.emplace_back(*variable);
    std::vector<char*> envp;
    for (std::string& variable : environment)
        envp.push_back(variable.data());
    envp.push_back(nullptr);
    char self[] = "/proc/self/exe";
    char filter[] = "--gtest_filter=SerialPort.PortsWithoutTheirOwnWorkerAreServedAndClose";
    char* argv[] = {self, filter, nullptr};
    pid_t child = -1;
    ASSERT_EQ(0, ::posix_spawn(&child, self, nullptr, nullptr, argv, envp.data()));

    int status = 0;
    const bool ended = WaitUntil([&] { return ::waitpid(child, &status, WNOHANG) == child; },
                                 std::chrono::seconds(60));
    if (!ended) {
        ::kill(child, SIGKILL);
        ::waitpid(child, &status, 0);
    }
    ASSERT_TRUE(ended) << "the child hung";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the child's checks failed";
}
#endif

#include "BaudRate.h"
#include "PortTestSupport.h"
#include "PtyPair.h"
#include "SerialPort.h"

#include <gtest/gtest.h>

#include <boost/thread/exceptions.hpp>

#include <cerrno>
#include <climits>
#include <memory>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

using porttest::Receiver;
using serialport::CSerialPort;
using testsupport::PtyPair;
using testsupport::WaitUntil;

extern char** environ;

namespace {

const boost::uint32_t kNoBytes = 0;

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

} // namespace

TEST(SerialPort, OpenWriteAndCloseFollowTheStates)
{
    boost::asio::io_service ioService;
    PtyPair pty;
    Receiver rx;
    CSerialPort port(ioService, rx.Callback());

    EXPECT_EQ(-1, WriteText(port, "ping"));
    EXPECT_FALSE(port.Open("/dev/no-such-serial-port", 9600));
    EXPECT_EQ(-1, WriteText(port, "ping"));
    port.Close();

    ASSERT_TRUE(port.Open(pty.SlavePath().c_str(), 9600));
    PtyPair other;
    EXPECT_FALSE(port.Open(other.SlavePath().c_str(), 9600)) << "a port is already held";

    EXPECT_EQ(0, port.Write("x", kNoBytes));
    EXPECT_EQ(4, WriteText(port, "ping"));
    EXPECT_EQ("ping", pty.Receive(4));
    EXPECT_EQ("", pty.Drain()) << "a zero count sends nothing";

    pty.Send("hello");
    ASSERT_TRUE(rx.WaitForBytes(5));
    EXPECT_EQ("hello", rx.Bytes()) << "refused opens leave the reading port alone";

    port.Close();
    port.Close();
    EXPECT_EQ(-1, WriteText(port, "ping"));
}

TEST(SerialPort, RefusedOptionLeavesThePortHeldUntilClosed)
{
    boost::asio::io_service ioService;
    PtyPair pty;
    Receiver rx;
    CSerialPort port(ioService, rx.Callback());

    try {
        port.Open(pty.SlavePath().c_str(), 0);
        FAIL() << "a rate of 0 must be refused";
    } catch (const boost::system::system_error& error) {
        EXPECT_EQ(boost::system::errc::invalid_argument, error.code());
        EXPECT_EQ(0, std::string(error.what()).rfind("set_option", 0)) << error.what();
    }
    EXPECT_FALSE(port.Open(pty.SlavePath().c_str(), 9600)) << "still held";
    EXPECT_EQ(2, WriteText(port, "ok"));
    EXPECT_EQ("ok", pty.Receive(2));
    port.Close();
    EXPECT_EQ(0u, rx.Calls()) << "a port that never read reports nothing";

    ASSERT_TRUE(port.Open(pty.SlavePath().c_str(), 9600));
    pty.Send("back");
    EXPECT_TRUE(rx.WaitForBytes(4));
}

// Windows takes any rate; termios has constants only for a fixed table.
TEST(SerialPort, RatesOutsideTheTermiosTableAreSet)
{
    boost::asio::io_service ioService;
    PtyPair pty;
    for (boost::uint32_t rate : {110u, 14400u, 56000u, 115200u, 128000u, 256000u}) {
        boost::asio::serial_port line(ioService, pty.SlavePath());
        serialport::SetBaudRate(line, rate);
        line.set_option(boost::asio::serial_port_base::character_size(8));
        line.set_option(boost::asio::serial_port_base::flow_control());
        EXPECT_EQ(rate, serialport::CurrentBaudRate(line.native_handle()));
    }
    CSerialPort port(ioService, CSerialPort::ReceiveCallback());
    EXPECT_TRUE(port.Open(pty.SlavePath().c_str(), 14400));
}

TEST(SerialPort, BurstArrivesWholeInOrderedChunksOfAtMost256)
{
    boost::asio::io_service ioService;
    PtyPair pty;
    Receiver rx;
    CSerialPort port(ioService, rx.Callback());
    ASSERT_TRUE(port.Open(pty.SlavePath().c_str(), 115200));

    std::string burst;
    for (std::size_t i = 0; i < 600; ++i)
        burst += porttest::PatternByte(i * 7);
    pty.Send(burst);
    ASSERT_TRUE(rx.WaitForBytes(burst.size()));
    EXPECT_EQ(burst, rx.Bytes());
    const std::vector<boost::uint32_t> counts = rx.Counts();
    EXPECT_GE(counts.size(), 3u);
    for (boost::uint32_t count : counts) {
        EXPECT_GT(count, 0u);
        EXPECT_LE(count, 256u);
    }
}

TEST(SerialPort, CloseOfAQuietPortEndsWithOneEmptyCallbackThenNone)
{
    boost::asio::io_service ioService;
    PtyPair pty, otherPty;
    Receiver rx, otherRx;
    CSerialPort port(ioService, rx.Callback());
    CSerialPort other(ioService, otherRx.Callback());
    ASSERT_TRUE(port.Open(pty.SlavePath().c_str(), 9600));
    ASSERT_TRUE(other.Open(otherPty.SlavePath().c_str(), 9600));

    pty.Send("abc");
    ASSERT_TRUE(rx.WaitForBytes(3));
    const std::size_t callsBefore = rx.Calls();
    port.Close();
    rx.Seal();
    ASSERT_EQ(callsBefore + 1, rx.Calls()) << "Close returns after the last callback";
    EXPECT_EQ(0u, rx.Counts().back());

    // The service keeps running for the other port; nothing reaches the closed one.
    pty.Send("late");
    otherPty.Send("more");
    ASSERT_TRUE(otherRx.WaitForBytes(4));
    other.Close();
    EXPECT_EQ(0u, rx.CallsAfterSeal());
}

TEST(SerialPort, PortsOnOneServiceCloseAndReopenIndependently)
{
    boost::asio::io_service ioService;
    PtyPair ptyA, ptyB;
    Receiver rxA, rxB;
    CSerialPort portA(ioService, rxA.Callback());
    CSerialPort portB(ioService, rxB.Callback());
    ASSERT_TRUE(portA.Open(ptyA.SlavePath().c_str(), 9600));
    ASSERT_TRUE(portB.Open(ptyB.SlavePath().c_str(), 4800));

    portA.Close();
    ptyB.Send("still here");
    ASSERT_TRUE(rxB.WaitForBytes(10));
    EXPECT_EQ("still here", rxB.Bytes());

    portB.Close();
    rxA.Clear();
    ASSERT_TRUE(portA.Open(ptyA.SlavePath().c_str(), 9600));
    ptyA.Send("again");
    ASSERT_TRUE(rxA.WaitForBytes(5));
    EXPECT_EQ("again", rxA.Bytes());
}

// The device reads slowly and sends meanwhile: the write must go out whole
// while the port keeps reading.
TEST(SerialPort, LongWriteGoesOutWholeToASlowReader)
{
    boost::asio::io_service ioService;
    PtyPair pty;
    Receiver rx;
    CSerialPort port(ioService, rx.Callback());
    ASSERT_TRUE(port.Open(pty.SlavePath().c_str(), 115200));

    std::string block(200 * 1024, '\0');
    for (std::size_t i = 0; i < block.size(); ++i)
        block[i] = porttest::PatternByte(i);
    std::string arrived;
    std::thread device([&] {
        std::string chatter(4096, 'c');
        pty.Send(chatter);
        while (arrived.size() < block.size()) {
            const std::string piece = pty.Receive(std::min<std::size_t>(512, block.size() - arrived.size()));
            if (piece.empty())
                break;
            arrived += piece;
            std::this_thread::sleep_for(std::chrono::microseconds(300));
        }
    });
    const boost::uint32_t size = static_cast<boost::uint32_t>(block.size());
    EXPECT_EQ(static_cast<boost::int32_t>(size), port.Write(block.data(), size));
    device.join();
    EXPECT_TRUE(arrived == block) << "arrived " << arrived.size() << " bytes, differing";
    EXPECT_TRUE(rx.WaitForBytes(4096));

    pty.CloseMaster();
    EXPECT_EQ(0, WriteText(port, "gone")) << "a failed write reports 0";
}

// A Close that meets a completion being handled must not leave a read behind,
// and no worker may be lost or left over. Two reads sharing the buffer would
// break the byte order within a session.
TEST(SerialPort, ReopeningUnderTrafficKeepsOneReadAndOneWorkerPerPort)
{
    const std::size_t threadsBefore = porttest::TaskCount();
    {
        boost::asio::io_service ioService;
        PtyPair pty;
        Receiver rx;
        CSerialPort port(ioService, rx.Callback());
        porttest::Flooder device(pty.MasterFd());

        for (int session = 0; session < 25; ++session) {
            rx.Clear();
            ASSERT_TRUE(port.Open(pty.SlavePath().c_str(), 115200)) << "session " << session;
            ASSERT_TRUE(rx.WaitForBytes(2000)) << "session " << session;
            port.Close();
            const std::string bytes = rx.Bytes();
            EXPECT_TRUE(porttest::FollowsPattern(bytes)) << "session " << session;
        }

        device.Stop();
        rx.Clear();
        ASSERT_TRUE(port.Open(pty.SlavePath().c_str(), 115200));
        pty.Send("\xFF");
        ASSERT_TRUE(WaitUntil([&] { const std::string b = rx.Bytes(); return !b.empty() && b.back() == '\xFF'; }));
        const std::string drained = rx.Bytes();
        EXPECT_TRUE(porttest::FollowsPattern(drained.substr(0, drained.size() - 1)));
        const std::size_t callsBefore = rx.Calls();
        port.Close();
        EXPECT_EQ(callsBefore + 1, rx.Calls()) << "exactly one read was outstanding";
        EXPECT_EQ(0u, rx.Counts().back());

        EXPECT_TRUE(WaitUntil([&] { return porttest::TaskCount() == threadsBefore; }))
            << "workers of closed ports retire: " << porttest::TaskCount() << " threads";
    }
    EXPECT_EQ(threadsBefore, porttest::TaskCount());
}

namespace {

struct ThreeChannels
{
    explicit ThreeChannels(Receiver (&rx)[3])
        : sns(ioService, rx[0].Callback())
        , kks(ioService, rx[1].Callback())
        , son(ioService, rx[2].Callback())
    {
    }
    boost::asio::io_service ioService;
    CSerialPort sns, kks, son;
};

} // namespace

TEST(SerialPort, DestroyingPortsAndServiceWhileDevicesFloodIsClean)
{
    const std::size_t threadsBefore = porttest::TaskCount();
    Receiver rx[3];
    PtyPair pty[3];
    auto channels = std::make_unique<ThreeChannels>(rx);
    ASSERT_TRUE(channels->sns.Open(pty[0].SlavePath().c_str(), 115200));
    ASSERT_TRUE(channels->kks.Open(pty[1].SlavePath().c_str(), 115200));
    ASSERT_TRUE(channels->son.Open(pty[2].SlavePath().c_str(), 115200));
    {
        porttest::Flooder snsDevice(pty[0].MasterFd());
        porttest::Flooder kksDevice(pty[1].MasterFd());
        porttest::Flooder sonDevice(pty[2].MasterFd());
        for (Receiver& r : rx)
            ASSERT_TRUE(r.WaitForBytes(10000));
        channels.reset();
        for (Receiver& r : rx)
            r.Seal();
    }
    EXPECT_EQ(threadsBefore, porttest::TaskCount()) << "every worker was joined";
    for (Receiver& r : rx) {
        EXPECT_EQ(0u, r.CallsAfterSeal());
        EXPECT_TRUE(porttest::FollowsPattern(r.Bytes()));
    }
}

namespace {

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

// The descriptor is closed behind the port's back, so its close fails. (The
// port is left held by a refused option first: closing a descriptor under a
// read in progress would be a race of the test's own.)
TEST(SerialPort, FailedCloseLeavesThePortHeldAndTheDestructorQuiet)
{
    boost::asio::io_service ioService;
    PtyPair pty;
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
    EXPECT_FALSE(port->Open(pty.SlavePath().c_str(), 9600)) << "held, closed";
    port->Close();
    EXPECT_EQ(-1, WriteText(*port, "x"));

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
    PtyPair pty;
    Receiver rx;
    CSerialPort port(ioService, rx.Callback());
    ASSERT_TRUE(port.Open(pty.SlavePath().c_str(), 9600));
    pty.Send("last words");
    ASSERT_TRUE(rx.WaitForBytes(10));

    pty.CloseMaster();
    ASSERT_TRUE(rx.WaitForCalls(rx.Calls() + 5)) << "failures keep being reported";
    const std::size_t callsBefore = rx.Calls();
    const double cpuBefore = CpuSeconds();
    const auto wallBefore = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(2));
    const double cpu = CpuSeconds() - cpuBefore;
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallBefore).count();
    const std::size_t failures = rx.Calls() - callsBefore;

    EXPECT_GT(failures, 0u);
    // Retries back off to one per 100 ms: some 20 in two seconds.
    EXPECT_LT(failures, 200u);
    EXPECT_LT(cpu, wall / 4) << "cpu " << cpu << " s in " << wall << " s";
    const std::vector<boost::uint32_t> counts = rx.Counts();
    EXPECT_EQ(std::vector<boost::uint32_t>(counts.size() - 1, 0u),
              std::vector<boost::uint32_t>(counts.begin() + 1, counts.end()));
    port.Close();
}

#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
namespace {

// Caps the address space just above what the process uses, so that no
// further thread stack fits.
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

void OpenWithoutWorkerRoom()
{
    boost::asio::io_service ioService;
    PtyPair ptyA, ptyB;
    Receiver rxA, rxB;
    CSerialPort portA(ioService, rxA.Callback());
    CSerialPort portB(ioService, rxB.Callback());
    ASSERT_TRUE(portA.Open(ptyA.SlavePath().c_str(), 9600));
    LeaveNoRoomForThreads();
    EXPECT_THROW(portB.Open(ptyB.SlavePath().c_str(), 9600), boost::thread_resource_error);

    portA.Close();
    ptyB.Send("served");
    ASSERT_TRUE(rxB.WaitForBytes(6)) << "port A's worker serves port B";
    portB.Close();
    EXPECT_EQ(0u, rxB.Counts().back());

    boost::asio::io_service lonelyService;
    PtyPair ptyC;
    CSerialPort alone(lonelyService, CSerialPort::ReceiveCallback());
    EXPECT_THROW(alone.Open(ptyC.SlavePath().c_str(), 9600), boost::thread_resource_error);
    alone.Close(); // no worker at all: must return
}

} // namespace

// With no room for another thread, Open raises thread_resource_error; the
// port is still served by a worker another port started, and a Close with no
// worker at all must not hang. Runs in a fresh copy of this program (a forked
// one would reuse cached thread stacks) whose address space is capped;
// sanitizers reserve too much address space for that.
TEST(SerialPort, PortsWithoutTheirOwnWorkerAreServedAndClose)
{
    if (std::getenv("ORVEL_NO_THREAD_ROOM") != nullptr) {
        OpenWithoutWorkerRoom();
        return;
    }
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
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(0, WEXITSTATUS(status)) << "the child's checks failed";
}
#endif

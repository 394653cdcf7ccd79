#include "LineFraming.h"
#include "PortTestSupport.h"

#include <gtest/gtest.h>

#include <boost/thread/exceptions.hpp>

#include <climits>
#include <cstdlib>
#include <fstream>
#include <list>
#include <memory>
#include <sys/resource.h>

using porttest::Line;
using serialport::CSerialPort;
using testsupport::WaitUntil;

namespace {

boost::int32_t WriteText(CSerialPort& port, const std::string& text)
{
    return port.Write(text.data(), static_cast<boost::uint32_t>(text.size()));
}

// `action` must raise a system_error of `code` whose text starts with `context`.
template <typename Action>
void ExpectSystemError(Action action, boost::system::errc::errc_t code, const std::string& context)
{
    try {
        action();
        ADD_FAILURE() << "no " << context << " error";
    } catch (const boost::system::system_error& error) {
        EXPECT_EQ(code, error.code());
        EXPECT_EQ(0, std::string(error.what()).rfind(context, 0)) << error.what();
    }
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

    EXPECT_EQ(-1, WriteText(port, "ping"));
    EXPECT_FALSE(port.Open("/dev/no-such-serial-port", 9600));
    // The next name opens; its rate of 0 is refused.
    ExpectSystemError([&] { line.Open(0); }, boost::system::errc::invalid_argument, "set_option");
    EXPECT_FALSE(line.Open()) << "held after a refused option";
    EXPECT_EQ(2, WriteText(port, "ok"));
    port.Close();
    EXPECT_EQ(0u, line.rx.Calls()) << "a port that never read reports nothing";

    ASSERT_TRUE(line.Open());
    testsupport::PtyPair other;
    EXPECT_FALSE(port.Open(other.SlavePath().c_str(), 9600)) << "a port is already held";
    EXPECT_EQ(0, port.Write("x", 0));
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

// Open sets the whole line whatever the tty held before: the rate (any of
// the window's, in and out), one stop bit, no RTS/CTS, no XON/XOFF, raw
// bytes both ways. The pty driver itself forces 8 data bits and clears
// parity on every change, so those two cannot be told apart here.
TEST(SerialPort, OpenSetsTheLineWhateverTheTtyHeld)
{
    boost::asio::io_service ioService;
    Line line(ioService);
    for (boost::uint32_t rate : {110u, 300u, 600u, 1200u, 2400u, 4800u, 9600u, 14400u, 19200u, 38400u, 56000u, 57600u,
                                 115200u, 128000u, 256000u}) {
        ASSERT_TRUE(porttest::SpoilLineFraming(line.pty.SlavePath()));
        ASSERT_TRUE(line.Open(rate));
        const porttest::LineFraming framing = porttest::ReadLineFraming(DescriptorOf(line.pty.SlavePath()));
        ASSERT_TRUE(framing.ok);
        EXPECT_EQ(rate, framing.inputRate);
        EXPECT_EQ(rate, framing.outputRate);
        EXPECT_FALSE(framing.twoStopBits) << rate;
        EXPECT_FALSE(framing.hardwareFlow) << rate;
        EXPECT_FALSE(framing.softwareFlow) << rate;
        EXPECT_TRUE(framing.rawInput) << rate;
        line.port.Close();
    }
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
    ASSERT_EQ(chunks.size() + 1, a.rx.Calls());
    EXPECT_EQ(0u, a.rx.Counts().back());
    a.pty.Send("late");
    b.pty.Send("still here");
    ASSERT_TRUE(b.rx.WaitForBytes(10));
    EXPECT_EQ("still here", b.rx.Bytes());
    EXPECT_EQ(chunks.size() + 1, a.rx.Calls()) << "nothing after Close";

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

// A background send never holds up its caller. It reports how it ended:
// sent whole, cancelled (by CancelSend, or by Close, which returns only once
// the send has reported), or failed when the device went away.
TEST(SerialPort, BackgroundSendsReportHowTheyEndedAndCloseEndsThemFirst)
{
    using Outcome = serialport::CSender::Outcome;
    boost::asio::io_service ioService;
    Line line(ioService);
    ASSERT_TRUE(line.Open(4800));
    std::mutex mutex;
    std::vector<Outcome> outcomes;
    const auto done = [&](Outcome outcome) {
        const std::lock_guard<std::mutex> lock(mutex);
        outcomes.push_back(outcome);
    };
    const auto reported = [&](std::size_t count) {
        return WaitUntil([&] {
            const std::lock_guard<std::mutex> lock(mutex);
            return outcomes.size() >= count;
        });
    };
    const std::vector<char> tooMuch(1 << 20, 'x');  // for a device that reads nothing

    EXPECT_FALSE(line.port.StartSend({}, done)) << "nothing to send";
    ASSERT_TRUE(line.port.StartSend({'a', 'b'}, done));
    EXPECT_EQ("ab", line.pty.Receive(2));
    ASSERT_TRUE(reported(1));

    ASSERT_TRUE(line.port.StartSend(tooMuch, done));
    EXPECT_FALSE(line.port.StartSend({'y'}, done)) << "one send at a time";
    ASSERT_TRUE(WaitUntil([&] { return line.port.SendProgress().sent > 0; }));
    EXPECT_TRUE(line.port.Sending());
    line.port.CancelSend();
    ASSERT_TRUE(reported(2));
    line.pty.Drain();

    ASSERT_TRUE(line.port.StartSend(tooMuch, done));
    line.port.Close();
    EXPECT_FALSE(line.port.Sending());
    EXPECT_FALSE(line.port.StartSend({'z'}, done)) << "no open port";

    ASSERT_TRUE(line.Open(4800));
    ASSERT_TRUE(line.port.StartSend(tooMuch, done));
    line.pty.CloseMaster();
    ASSERT_TRUE(reported(4));
    const std::lock_guard<std::mutex> lock(mutex);
    EXPECT_EQ(outcomes, (std::vector<Outcome>{Outcome::Sent, Outcome::Cancelled, Outcome::Cancelled, Outcome::Failed}));
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
    const std::size_t threadsBefore = porttest::TaskCount();
    testsupport::PtyPair pty[3];
    porttest::Receiver rx[3];
    std::list<porttest::Flooder> devices;
    {
        boost::asio::io_service ioService; // as the window holds them: the service first
        std::list<CSerialPort> ports;
        for (int i = 0; i < 3; ++i) {
            ports.emplace_back(ioService, rx[i].Callback());
            ASSERT_TRUE(ports.back().Open(pty[i].SlavePath().c_str(), 115200));
            devices.emplace_back(pty[i].MasterFd());
        }
        for (porttest::Receiver& r : rx)
            ASSERT_TRUE(r.WaitForBytes(10000));
    }
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
    ExpectSystemError([&] { port->Close(); }, boost::system::errc::bad_file_descriptor, "close");
    EXPECT_EQ(-1, WriteText(*port, "x")) << "nothing is held after the failed close";
    EXPECT_TRUE(port->Open(pty.SlavePath().c_str(), 9600)) << "the operator can try again";
    port->Close();

    // The same failure met by the destructor must not escape it.
    port = std::make_unique<CSerialPort>(ioService, CSerialPort::ReceiveCallback());
    openHeldPortAndLoseItsDescriptor();
    port.reset();
}

// A vanished device fails every read at once; the port keeps reporting it
// (each failure as a count of 0) until it is closed. (The retries are paced;
// how fast is a matter for the benchmarks, not for a shared test machine.)
TEST(SerialPort, VanishedDeviceKeepsReportingFailuresUntilClosed)
{
    boost::asio::io_service ioService;
    Line line(ioService);
    ASSERT_TRUE(line.Open());
    line.pty.CloseMaster();
    ASSERT_TRUE(WaitUntil([&] { return line.rx.Calls() >= 3; })) << "failures keep coming";
    line.port.Close();
    const std::vector<boost::uint32_t> counts = line.rx.Counts();
    EXPECT_EQ(std::vector<boost::uint32_t>(counts.size(), 0u), counts);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(counts.size(), line.rx.Calls()) << "nothing after Close";
}

#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
namespace {

// Caps the address space just above what the process uses: no further
// thread stack fits.
void LeaveNoRoomForThreads()
{
    long pages = 0;
    std::ifstream("/proc/self/statm") >> pages;
    ASSERT_GT(pages, 0);
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
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            ::alarm(60); // a hung Close ends the child
            OpenWithoutRoomForWorkers();
            std::exit(::testing::Test::HasFailure() ? 1 : 0);
        },
        ::testing::ExitedWithCode(0), "");
}
#endif

#include "ErrorText.h"
#include "PortTestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <list>
#include <memory>
#include <sys/resource.h>
#include <system_error>

using porttest::Line;
using serialport::CSerialPort;
using testsupport::WaitUntil;

namespace {

boost::int32_t WriteText(CSerialPort& port, const std::string& text)
{
    return port.Write(text.data(), static_cast<boost::uint32_t>(text.size()));
}

} // namespace

// Each failed open says why in LastError() (the texts are OpenErrorTest.cpp's);
// a successful open clears the reason.
TEST(SerialPort, OpenWriteAndCloseFollowTheStates)
{
    namespace errc = boost::system::errc;
    boost::asio::io_service ioService;
    Line line(ioService);
    CSerialPort& port = line.port;

    EXPECT_FALSE(port.LastError()) << "nothing failed yet";
    EXPECT_EQ(-1, WriteText(port, "ping"));
    EXPECT_FALSE(port.Open("/dev/no-such-serial-port", 9600));
    EXPECT_EQ(port.LastError(), errc::no_such_file_or_directory);
    // The next name opens; its rate of 0 is refused.
    EXPECT_THROW(line.Open(0), boost::system::system_error);
    EXPECT_EQ(port.LastError(), errc::invalid_argument) << "the refused rate";
    EXPECT_FALSE(line.Open()) << "held after a refused option";
    EXPECT_EQ(port.LastError(), serialport::PortError::AlreadyOpen);
    EXPECT_EQ(2, WriteText(port, "ok"));
    port.Close();
    EXPECT_EQ(0u, line.rx.Calls()) << "a port that never read reports nothing";

    ASSERT_TRUE(line.Open());
    EXPECT_FALSE(port.LastError()) << "a successful open clears the reason";
    testsupport::PtyPair other;
    EXPECT_FALSE(port.Open(other.SlavePath().c_str(), 9600)) << "a port is already held";
    EXPECT_EQ(4, WriteText(port, "ping"));
    EXPECT_EQ("okping", line.pty.Receive(6));
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
    for (const boost::uint32_t rate : porttest::kRates) {
        porttest::SpoilLine(line.pty.MasterFd());
        ASSERT_EQ("50 in, 75 out, 2 stop bits, RTS/CTS, XON/XOFF, cooked", porttest::LineSettings(line.pty.MasterFd()));
        ASSERT_TRUE(line.Open(rate));
        const std::string r = std::to_string(rate);
        EXPECT_EQ(r + " in, " + r + " out, raw", porttest::LineSettings(line.pty.MasterFd()));
        line.port.Close();
    }
}

// The rate of an open port changes under a device that never stops
// talking: each of the window's rates in turn and back, in and out, read
// back from the tty; a refused rate changes nothing. The read stays
// outstanding throughout: bytes keep coming after every change, none is
// lost or out of order, a write goes out after it, and Close still finds
// exactly one read to cancel.
TEST(SerialPort, SetBaudRateChangesTheOpenLineAndLosesNoByte)
{
    boost::asio::io_service ioService;
    Line line(ioService);
    EXPECT_FALSE(line.port.SetBaudRate(9600)) << "no open port";
    EXPECT_EQ(line.port.BaudRate(), 0u);
    ASSERT_TRUE(line.Open(9600));
    std::vector<boost::uint32_t> rates = porttest::kRates;
    rates.insert(rates.end(), porttest::kRates.rbegin(), porttest::kRates.rend());
    {
        const porttest::Flooder device(line.pty.MasterFd());
        for (const boost::uint32_t rate : rates) {
            const std::size_t before = line.rx.Bytes().size();
            ASSERT_TRUE(line.port.SetBaudRate(rate)) << rate;
            const std::string r = std::to_string(rate);
            EXPECT_EQ(r + " in, " + r + " out, raw", porttest::LineSettings(line.pty.MasterFd()));
            EXPECT_EQ(line.port.BaudRate(), rate);
            ASSERT_TRUE(line.rx.WaitForBytes(before + 1000)) << "still reading after the change to " << rate;
        }
        EXPECT_FALSE(line.port.SetBaudRate(0));
        EXPECT_EQ("110 in, 110 out, raw", porttest::LineSettings(line.pty.MasterFd()));
    }
    line.pty.Send("\xFF");
    ASSERT_TRUE(WaitUntil([&] { const std::string b = line.rx.Bytes(); return !b.empty() && b.back() == '\xFF'; }));
    const std::string received = line.rx.Bytes();
    EXPECT_TRUE(porttest::FollowsPattern(received.substr(0, received.size() - 1)))
        << "a byte lost or out of order in " << received.size();
    EXPECT_EQ(4, WriteText(line.port, "sent"));
    EXPECT_EQ("sent", line.pty.Receive(4));
    const std::vector<boost::uint32_t> counts = line.rx.Counts();
    EXPECT_EQ(std::count(counts.begin(), counts.end(), 0u), 0) << "a failed read would light Rx Err";
    line.port.Close();
    EXPECT_EQ(counts.size() + 1, line.rx.Calls()) << "exactly one read was outstanding";
    EXPECT_FALSE(line.port.SetBaudRate(9600)) << "closed";
}

// Two ports share a service. A quiet port's Close cancels its outstanding
// read, which reports once with 0 before Close returns, and never again; the
// other port reads on. (A vanished device is LostDeviceTest.cpp's.)
TEST(SerialPort, PortsOnOneServiceReceiveFailAndCloseIndependently)
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
    a.port.Close();
    ASSERT_EQ(chunks.size() + 1, a.rx.Calls());
    EXPECT_EQ(0u, a.rx.Counts().back());

    a.pty.Send("late");
    b.pty.Send("still here");
    ASSERT_TRUE(b.rx.WaitForBytes(10));
    EXPECT_EQ("still here", b.rx.Bytes());
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(chunks.size() + 1, a.rx.Calls()) << "nothing after Close";
}

// The device takes the bytes as they come and talks meanwhile: the write
// must go out whole, waiting whenever the line is full, while the port keeps
// reading.
TEST(SerialPort, LongWriteGoesOutWholeWhileThePortReads)
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
        arrived = line.pty.Receive(block.size());
    });
    EXPECT_EQ(static_cast<boost::int32_t>(block.size()), WriteText(line.port, block));
    device.join();
    EXPECT_TRUE(arrived == block) << arrived.size() << " bytes arrived, not the block";
    EXPECT_TRUE(line.rx.WaitForBytes(4096));
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
    porttest::Receiver ends; // a letter for each ended send: Sent, Failed or Cancelled
    const auto done = [record = ends.Callback()](Outcome outcome) { record(&"SFC"[static_cast<int>(outcome)], 1); };
    const std::vector<char> tooMuch(1 << 20, 'x');  // for a device that reads nothing

    EXPECT_FALSE(line.port.StartSend({}, done)) << "nothing to send";
    ASSERT_TRUE(line.port.StartSend({'a', 'b'}, done));
    EXPECT_EQ("ab", line.pty.Receive(2));
    ASSERT_TRUE(ends.WaitForBytes(1));

    ASSERT_TRUE(line.port.StartSend(tooMuch, done));
    EXPECT_FALSE(line.port.StartSend({'y'}, done)) << "one send at a time";
    ASSERT_TRUE(WaitUntil([&] { return line.port.SendProgress().sent > 0; }));
    EXPECT_TRUE(line.port.Sending());
    line.port.CancelSend();
    ASSERT_TRUE(ends.WaitForBytes(2));
    line.pty.Drain();

    ASSERT_TRUE(line.port.StartSend(tooMuch, done));
    line.port.Close();
    EXPECT_EQ("SCC", ends.Bytes()) << "Close waits for the send's report";
    EXPECT_FALSE(line.port.Sending());
    EXPECT_FALSE(line.port.StartSend({'z'}, done)) << "no open port";

    ASSERT_TRUE(line.Open(4800));
    ASSERT_TRUE(line.port.StartSend(tooMuch, done));
    line.pty.CloseMaster();
    ASSERT_TRUE(ends.WaitForBytes(4));
    EXPECT_EQ("SCCF", ends.Bytes());
}

// Closes and destructors meet completions being handled. Two reads sharing
// the buffer would break the byte order within a session; a lost worker
// would stop a session; a leftover worker would outlive its port; the
// service, going with its ports still flooded, joins every worker.
TEST(SerialPort, ReopeningAndDestroyingUnderTrafficKeepOneReadAndOneWorkerPerPort)
{
    const std::size_t threadsBefore = porttest::TaskCount();
    testsupport::PtyPair flooded[2];
    porttest::Receiver rx[2];
    std::list<porttest::Flooder> devices;
    {
        boost::asio::io_service ioService; // as the window holds them: the service first
        Line line(ioService);
        {
            const porttest::Flooder device(line.pty.MasterFd());
            for (int session = 0; session < 25; ++session) {
                line.rx.Clear();
                ASSERT_TRUE(line.Open(115200)) << "session " << session;
                ASSERT_TRUE(line.rx.WaitForBytes(2000)) << "session " << session;
                line.port.Close();
                EXPECT_TRUE(porttest::FollowsPattern(line.rx.Bytes())) << "session " << session;
            }
        }
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

        std::list<CSerialPort> ports;
        for (int i = 0; i < 2; ++i) {
            ports.emplace_back(ioService, rx[i].Callback());
            ASSERT_TRUE(ports.back().Open(flooded[i].SlavePath().c_str(), 115200));
            devices.emplace_back(flooded[i].MasterFd());
        }
        ASSERT_TRUE(line.Open(115200));
        for (porttest::Receiver& r : rx)
            ASSERT_TRUE(r.WaitForBytes(10000));
    }
    devices.clear();
    EXPECT_EQ(threadsBefore, porttest::TaskCount()) << "every worker was joined";
}

// The descriptor is closed behind the port's back, so its close fails: the
// port reports it and lets go, and the destructor meeting the same failure
// stays quiet. (The port is left held by a refused option first: closing a
// descriptor under a read in progress would be a race of the test's own.)
TEST(SerialPort, FailedCloseReportsAndLetsThePortGoAndTheDestructorStaysQuiet)
{
    boost::asio::io_service ioService;
    testsupport::PtyPair pty;
    for (const bool byDestructor : {false, true}) {
        auto port = std::make_unique<CSerialPort>(ioService, CSerialPort::ReceiveCallback());
        EXPECT_THROW(port->Open(pty.SlavePath().c_str(), 0), boost::system::system_error);
        ASSERT_EQ(0, ::close(porttest::DescriptorOf(pty.SlavePath())));
        if (byDestructor)
            continue;
        EXPECT_THROW(port->Close(), boost::system::system_error);
        EXPECT_EQ(-1, WriteText(*port, "x")) << "nothing is held after the failed close";
        EXPECT_TRUE(port->Open(pty.SlavePath().c_str(), 9600)) << "the operator can try again";
    }
}

// With no room for another thread, Open raises std::system_error; the
// port is served by a worker another port started, and a Close with no worker
// at all must not hang. Runs in a fresh copy of this program (a forked one
// would reuse cached thread stacks) with its address space capped just above
// what it uses, which sanitizers' reservations do not allow.
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
TEST(SerialPort, PortsWithoutTheirOwnWorkerAreServedAndClose)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const auto openWithoutRoomForWorkers = [] {
        ::alarm(60); // a hung Close ends the child
        boost::asio::io_service ioService;
        Line a(ioService), b(ioService);
        ASSERT_TRUE(a.Open());
        long pages = 0;
        std::ifstream("/proc/self/statm") >> pages;
        const rlim_t cap = static_cast<rlim_t>(pages) * ::sysconf(_SC_PAGESIZE) + (4u << 20);
        const rlimit limit{cap, cap};
        ASSERT_EQ(0, ::setrlimit(RLIMIT_AS, &limit));
        EXPECT_THROW(b.Open(), std::system_error);
        a.port.Close();
        b.pty.Send("served");
        ASSERT_TRUE(b.rx.WaitForBytes(6)) << "port a's worker serves port b";
        b.port.Close();

        boost::asio::io_service lonelyService;
        Line alone(lonelyService);
        EXPECT_THROW(alone.Open(), std::system_error);
        alone.port.Close(); // no worker at all: must still return
    };
    EXPECT_EXIT((openWithoutRoomForWorkers(), std::exit(::testing::Test::HasFailure() ? 1 : 0)),
                ::testing::ExitedWithCode(0), "");
}
#endif

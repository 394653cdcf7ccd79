// The serial port on Windows, against the COM ports scripts/wine-ports maps
// to pseudo-terminals whose far end echoes back every byte it gets.

#include "SerialPort.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

using serialport::CSender;
using Outcomes = std::vector<CSender::Outcome>;
using Lock = std::lock_guard<std::mutex>;
using testsupport::WaitUntil;

namespace {

// The COM names scripts/wine-ports passes: "COM7=<pty> COM8=<pty>".
std::vector<std::string> MappedPorts()
{
    const char* const mapped = std::getenv("ORVEL_WINE_PORTS");
    std::istringstream in(mapped ? mapped : "");
    std::vector<std::string> names;
    for (std::string entry; in >> entry;)
        names.push_back(entry.substr(0, entry.find('=')));
    return names;
}

// A port and what its receive callback and its background sends report.
struct EchoLine
{
    explicit EchoLine(boost::asio::io_service& io)
        : port(io, [this](const char* data, boost::uint32_t count) {
              const Lock lock(mutex);
              lastCount = count;
              bytes.append(data, count);
          })
    {
    }
    bool Echoed() { const Lock lock(mutex); return bytes.size() >= sent.size() && !ends.empty(); }
    CSender::DoneCallback Done() { return [this](CSender::Outcome o) { const Lock lock(mutex); ends.push_back(o); }; }
    // Sends a marker and waits for its echo: whatever the device still held
    // has come back before it. Then forgets what came.
    bool Settle()
    {
        const bool settled = port.Write("<settled>", 9) == 9 &&
                             WaitUntil([&] { const Lock lock(mutex); return bytes.find("<settled>") != bytes.npos; });
        const Lock lock(mutex);
        bytes.clear();
        return settled;
    }

    std::mutex mutex;
    std::string bytes, sent;  // what came back, what was sent
    boost::uint32_t lastCount = 1;
    Outcomes ends;
    serialport::CSerialPort port;
};

// The ports scripts/wine-ports maps, both on one service: a missing port is
// refused; each port gets back exactly its own bytes of a write and then a
// background send, whole and in order, and its Close ends with the cancelled
// read's count of 0. A send at 300 bit/s, cancelled or cut by Close, ends
// long before its bytes are out, and Close returns once it has reported.
TEST(SerialPortWin, EchoesWritesAndSendsAndEndsSendsEarly)
{
    const std::vector<std::string> names = MappedPorts();
    ASSERT_EQ(names.size(), 2u) << "run under scripts/wine-ports";
    boost::asio::io_service io;
    EchoLine lines[2]{EchoLine(io), EchoLine(io)};
    EXPECT_FALSE(lines[0].port.Open("COM29", 9600));
    for (int i = 0; i < 2; ++i)
        ASSERT_TRUE(lines[i].port.Open(names[i].c_str(), 115200) && lines[i].Settle()) << names[i] << ": run under wine-ports";
    for (int i = 0; i < 2; ++i) {
        for (std::size_t n = 0; n < 72 * 1024; ++n)  // different bytes for each port
            lines[i].sent += static_cast<char>((n * (2 * i + 3) + i) % 251);
        EXPECT_EQ(lines[i].port.Write(lines[i].sent.data(), 64 * 1024), 64 * 1024);
        ASSERT_TRUE(lines[i].port.StartSend({lines[i].sent.begin() + 64 * 1024, lines[i].sent.end()}, lines[i].Done()));
    }
    for (EchoLine& line : lines) {
        ASSERT_TRUE(WaitUntil([&] { return line.Echoed(); }));
        line.port.Close();
        EXPECT_EQ(line.ends, Outcomes{CSender::Outcome::Sent});
        EXPECT_TRUE(line.bytes == line.sent) << line.bytes.size() << " bytes back of " << line.sent.size();
        EXPECT_EQ(line.lastCount, 0u) << "the cancelled read reports last";
    }
    EchoLine& line = lines[0];
    line.ends.clear();
    for (const bool byClose : {false, true}) {
        ASSERT_TRUE(line.port.Open(names[0].c_str(), 300));
        ASSERT_TRUE(line.port.StartSend(std::vector<char>(1 << 20, 'x'), line.Done()));
        ASSERT_TRUE(WaitUntil([&] { return line.port.SendProgress().sent > 0; }));
        if (!byClose)
            line.port.CancelSend();
        ASSERT_TRUE(byClose || WaitUntil([&] { return !line.port.Sending(); }));
        line.port.Close();
        EXPECT_EQ(line.ends, Outcomes(byClose ? 2 : 1, CSender::Outcome::Cancelled));
    }
}

} // namespace

// The rate of an open port changes through the device control block, read
// back with GetCommState, while the far end echoes: every byte written
// before and after each change comes back, in order, and the read stays
// outstanding throughout (its one cancelled read reports at Close). A
// closed port refuses, and so does a rate of 0, leaving the line as it was.
// (Wine puts a rate outside the termios table on a Linux tty as 38400 and a
// custom divisor, which a pseudo-terminal does not keep: 14400, 56000,
// 128000 and 256000 read back as 38400 here, so only the others are read
// back.)
TEST(SerialPortWin, SetBaudRateChangesTheOpenLineAndLosesNoByte)
{
    const std::vector<std::string> names = MappedPorts();
    ASSERT_EQ(names.size(), 2u) << "run under scripts/wine-ports";
    boost::asio::io_service io;
    EchoLine line(io);
    EXPECT_FALSE(line.port.SetBaudRate(9600)) << "no open port";
    ASSERT_TRUE(line.port.Open(names[0].c_str(), 9600) && line.Settle());
    for (const boost::uint32_t rate : {110u, 300u, 600u, 1200u, 2400u, 4800u, 9600u, 14400u, 19200u, 38400u, 56000u,
                                       57600u, 115200u, 128000u, 256000u, 4800u}) {
        ASSERT_TRUE(line.port.SetBaudRate(rate)) << rate;
        const bool custom = rate == 14400 || rate == 56000 || rate == 128000 || rate == 256000;
        if (!custom)
            EXPECT_EQ(line.port.BaudRate(), rate);
        std::string block;
        for (std::size_t n = 0; n < 4096; ++n)
            block += static_cast<char>((n * 13 + rate) % 251);
        ASSERT_EQ(line.port.Write(block.data(), static_cast<boost::uint32_t>(block.size())), 4096);
        line.sent += block;
    }
    EXPECT_FALSE(line.port.SetBaudRate(0));
    EXPECT_EQ(line.port.BaudRate(), 4800u);
    ASSERT_TRUE(WaitUntil([&] { const Lock lock(line.mutex); return line.bytes.size() >= line.sent.size(); }));
    line.port.Close();
    EXPECT_TRUE(line.bytes == line.sent) << line.bytes.size() << " bytes back of " << line.sent.size();
    EXPECT_EQ(line.lastCount, 0u) << "the cancelled read reports last";
    EXPECT_FALSE(line.port.SetBaudRate(9600)) << "closed";
}

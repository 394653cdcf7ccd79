// The serial port on Windows, against the COM ports scripts/wine-ports maps
// to pseudo-terminals whose far end echoes back every byte it gets.

#include "SerialPort.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

using serialport::CSender;
using serialport::CSerialPort;

namespace {

// The COM names in ORVEL_WINE_PORTS ("COM7=<pty> COM8=<pty>").
std::vector<std::string> EchoPorts()
{
    const char* listed = std::getenv("ORVEL_WINE_PORTS");
    std::istringstream entries(listed != nullptr ? listed : "");
    std::vector<std::string> names;
    for (std::string entry; entries >> entry;)
        names.push_back(entry.substr(0, entry.find('=')));
    return names;
}

template <typename Condition>
bool WaitUntil(Condition condition)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

// A port and what its receive callback and its background sends report.
struct EchoLine
{
    explicit EchoLine(boost::asio::io_service& ioService)
        : port(ioService, [this](const char* data, boost::uint32_t count) {
              const std::lock_guard<std::mutex> lock(mutex);
              counts.push_back(count);
              bytes.append(data, count);
          })
    {
    }
    std::string Bytes() { const std::lock_guard<std::mutex> lock(mutex); return bytes; }
    bool WaitForBytes(std::size_t size) { return WaitUntil([&] { return Bytes().size() >= size; }); }
    CSender::DoneCallback Done()
    {
        return [this](CSender::Outcome outcome) { const std::lock_guard<std::mutex> lock(mutex); ends.push_back(outcome); };
    }
    std::vector<CSender::Outcome> Ends() { const std::lock_guard<std::mutex> lock(mutex); return ends; }
    // Sends a marker and waits for its echo: whatever the device still held
    // has come back before it. Then forgets what came.
    bool Settle()
    {
        const std::string marker = "<settled>";
        const auto size = static_cast<boost::uint32_t>(marker.size());
        if (port.Write(marker.data(), size) != static_cast<boost::int32_t>(size))
            return false;
        const bool settled = WaitUntil([&] {
            const std::string b = Bytes();
            return b.size() >= marker.size() && b.compare(b.size() - marker.size(), marker.size(), marker) == 0;
        });
        const std::lock_guard<std::mutex> lock(mutex);
        bytes.clear();
        counts.clear();
        return settled;
    }

    std::mutex mutex;
    std::string bytes;
    std::vector<boost::uint32_t> counts;
    std::vector<CSender::Outcome> ends;
    CSerialPort port;
};

// `size` bytes, different for each `seed`.
std::string Pattern(std::size_t size, int seed)
{
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * (2 * seed + 1) + seed) % 251);
    return bytes;
}

} // namespace

TEST(SerialPortWin, MissingPortIsRefused)
{
    boost::asio::io_service ioService;
    EchoLine line(ioService);
    EXPECT_FALSE(line.port.Open("COM9", 9600));
    EXPECT_FALSE(line.port.IsOpen());
    EXPECT_EQ(-1, line.port.Write("x", 1));
}

// Two ports on one service, each written to in the foreground and then in
// the background: each gets back exactly its own bytes, whole and in order,
// and its Close ends with the cancelled read's count of 0.
TEST(SerialPortWin, EchoedWritesAndSendsComeBackWholeToTheirOwnPort)
{
    const std::vector<std::string> names = EchoPorts();
    ASSERT_EQ(2u, names.size()) << "run under scripts/wine-ports";
    boost::asio::io_service ioService;
    EchoLine lines[2]{EchoLine(ioService), EchoLine(ioService)};
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(lines[i].port.Open(names[i].c_str(), 115200)) << names[i];
        ASSERT_TRUE(lines[i].Settle()) << names[i];
    }
    EXPECT_FALSE(lines[0].port.Open(names[1].c_str(), 115200)) << "a port is already held";

    std::string expected[2];
    for (int i = 0; i < 2; ++i) {
        const std::string block = Pattern(64 * 1024, i);
        EXPECT_EQ(static_cast<boost::int32_t>(block.size()),
                  lines[i].port.Write(block.data(), static_cast<boost::uint32_t>(block.size())));
        const std::string sent = Pattern(8 * 1024, i + 2);
        ASSERT_TRUE(lines[i].port.StartSend(std::vector<char>(sent.begin(), sent.end()), lines[i].Done()));
        expected[i] = block + sent;
    }
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(WaitUntil([&] { return !lines[i].Ends().empty(); }));
        EXPECT_EQ(std::vector<CSender::Outcome>{CSender::Outcome::Sent}, lines[i].Ends());
        ASSERT_TRUE(lines[i].WaitForBytes(expected[i].size()));
        lines[i].port.Close();
        const std::string got = lines[i].Bytes();
        EXPECT_EQ(expected[i].size(), got.size()) << names[i];
        const auto same = static_cast<std::size_t>(
            std::mismatch(got.begin(), got.end(), expected[i].begin(), expected[i].end()).first - got.begin());
        EXPECT_EQ(got.size(), same) << names[i] << ": the first " << same << " bytes came back as sent";
        EXPECT_EQ(0u, lines[i].counts.back()) << "the cancelled read reports last";
        EXPECT_EQ(-1, lines[i].port.Write("x", 1));
    }
}

// A send at 300 bit/s goes a byte a slice: cancelled, or cut by Close, it
// ends long before its bytes are out, and Close returns once it has
// reported. The port opens again afterwards.
TEST(SerialPortWin, CancelAndCloseEndABackgroundSend)
{
    const std::vector<std::string> names = EchoPorts();
    ASSERT_EQ(2u, names.size()) << "run under scripts/wine-ports";
    boost::asio::io_service ioService;
    EchoLine line(ioService);
    const std::vector<char> tooMuch(1 << 20, 'x');
    for (const bool byClose : {false, true}) {
        ASSERT_TRUE(line.port.Open(names[0].c_str(), 300));
        ASSERT_TRUE(line.port.StartSend(tooMuch, line.Done()));
        ASSERT_TRUE(WaitUntil([&] { return line.port.SendProgress().sent > 0; }));
        if (!byClose) {
            line.port.CancelSend();
            ASSERT_TRUE(WaitUntil([&] { return !line.port.Sending(); }));
        }
        line.port.Close();
        EXPECT_EQ(byClose ? 2u : 1u, line.Ends().size());
    }
    EXPECT_EQ(std::vector<CSender::Outcome>(2, CSender::Outcome::Cancelled), line.Ends());

    // Nothing is left in the device for the next test.
    ASSERT_TRUE(line.port.Open(names[0].c_str(), 115200));
    EXPECT_TRUE(line.Settle());
}

// A device that goes away while its port is open: reported once, the dead
// handle no longer read, the device let go, and the port ready to open again.

#include "ErrorText.h"
#include "PortLock.h"
#include "PortTestSupport.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sys/ioctl.h>

using serialport::CSerialPort;
using serialport::PortError;
using testsupport::WaitUntil;

namespace {

// What a port reports, in order: "rx <count>" per receive callback and
// "lost <errno>" per lost report.
class Events
{
public:
    CSerialPort::ReceiveCallback Receive()
    {
        return [this](const char* data, boost::uint32_t count) {
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_bytes.append(data, count);
            m_events.push_back("rx " + std::to_string(count));
        };
    }
    CSerialPort::LostCallback Lost()
    {
        return [this](const boost::system::error_code& error) {
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_events.push_back(error == boost::asio::error::eof ? "lost eof" : "lost " + std::to_string(error.value()));
        };
    }
    std::vector<std::string> List() const { const std::lock_guard<std::mutex> l(m_mutex); return m_events; }
    std::string Bytes() const { const std::lock_guard<std::mutex> l(m_mutex); return m_bytes; }
    std::size_t Count() const { return List().size(); }
    bool Saw(const std::string& prefix) const
    {
        for (const std::string& e : List())
            if (e.rfind(prefix, 0) == 0)
                return true;
        return false;
    }
    void Clear() { const std::lock_guard<std::mutex> l(m_mutex); m_events.clear(); m_bytes.clear(); }

private:
    mutable std::mutex m_mutex;
    std::vector<std::string> m_events;
    std::string m_bytes;
};

// Whether this process still has the device behind `path` open.
bool HoldsDevice(const std::string& path)
{
    const std::string device = serialport::ResolveDevicePath(path);
    std::error_code error;
    for (const auto& fd : std::filesystem::directory_iterator("/proc/self/fd"))
        if (std::filesystem::read_symlink(fd.path(), error) == device)
            return true;
    return false;
}

// Whether a lock file of this process still names the device. (Once the
// pseudo-terminal has gone, another test may get its number and lock it.)
bool LocksDevice(const std::string& path)
{
    const std::string name = serialport::LockFileName(serialport::ResolveDevicePath(path));
    for (const std::string& folder : serialport::LockFolders()) {
        long owner = 0;
        if (std::ifstream(folder + "/" + name) >> owner && owner == ::getpid())
            return true;
    }
    return false;
}

// After the loss: the one failed read, then the report; the port holds
// nothing and says why; nothing more arrives.
void ExpectLostAndLetGo(const CSerialPort& port, const Events& events, const std::string& device)
{
    ASSERT_TRUE(WaitUntil([&] { return events.Saw("lost"); }));
    const std::vector<std::string> seen = events.List();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0], "rx 0");
    EXPECT_TRUE(seen[1] == "lost eof" || seen[1] == "lost " + std::to_string(EIO)) << seen[1];
    EXPECT_TRUE(port.IsLost());
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(port.LastError(), PortError::DeviceGone);
    EXPECT_EQ(serialport::PortErrorText(port.LastError()), "устройство отключено");
    EXPECT_FALSE(HoldsDevice(device)) << "the dead handle is closed";
    EXPECT_FALSE(LocksDevice(device)) << "our lock file is gone";
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(events.Count(), 2u) << "the dead handle is not read again";
}

} // namespace

// A pseudo-terminal whose far end hangs up fails reads (the end of the file,
// or EIO on older kernels): reported once, and the port refuses writes and sends until it is opened again,
// which needs no Close.
TEST(LostDevice, FarEndHungUpIsReportedOnceAndThePortOpensAgain)
{
    boost::asio::io_service ioService;
    Events events;
    CSerialPort port(ioService, events.Receive(), events.Lost());
    auto pty = std::make_unique<testsupport::PtyPair>();
    const std::string device = pty->SlavePath();
    ASSERT_TRUE(port.Open(device.c_str(), 9600));
    pty->Send("$GPGGA\r\n");
    ASSERT_TRUE(WaitUntil([&] { return events.Bytes() == "$GPGGA\r\n"; }));
    events.Clear();

    pty->CloseMaster();
    ExpectLostAndLetGo(port, events, device);
    EXPECT_EQ(-1, port.Write("x", 1));
    EXPECT_FALSE(port.StartSend({'x'}, nullptr));

    testsupport::PtyPair back;
    ASSERT_TRUE(port.Open(back.SlavePath().c_str(), 9600)) << "a lost port opens again without Close";
    EXPECT_FALSE(port.IsLost());
    EXPECT_FALSE(port.LastError());
    back.Send("again");
    ASSERT_TRUE(WaitUntil([&] { return events.Bytes() == "again"; }));
    port.Close();
    EXPECT_FALSE(port.IsOpen());
}

// A pulled USB adapter's tty is hung up by its driver: reads see the end of
// the file. TIOCVHANGUP does the same to a pseudo-terminal (root only). A
// send running at the time ends Failed.
TEST(LostDevice, HungUpTtyIsLostAndItsSendFails)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "hanging up a tty (TIOCVHANGUP) needs root";
    boost::asio::io_service ioService;
    Events events;
    CSerialPort port(ioService, events.Receive(), events.Lost());
    testsupport::PtyPair pty;
    ASSERT_TRUE(port.Open(pty.SlavePath().c_str(), 300));
    std::vector<serialport::CSender::Outcome> ends;
    std::mutex endsMutex;
    ASSERT_TRUE(port.StartSend(std::vector<char>(1 << 20, 'x'), [&](serialport::CSender::Outcome outcome) {
        const std::lock_guard<std::mutex> lock(endsMutex);
        ends.push_back(outcome);
    }));
    ASSERT_TRUE(WaitUntil([&] { return port.SendProgress().sent > 0; }));

    const int other = ::open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(other, 0);
    ASSERT_EQ(0, ::ioctl(other, TIOCVHANGUP));
    ::close(other);
    ExpectLostAndLetGo(port, events, pty.SlavePath());
    EXPECT_FALSE(port.Sending());
    const std::lock_guard<std::mutex> lock(endsMutex);
    EXPECT_EQ(ends, std::vector<serialport::CSender::Outcome>{serialport::CSender::Outcome::Failed});
}

// Close while the port waits for its device ends the waiting: the port is
// closed, a second Close does nothing, and the port opens again.
TEST(LostDevice, CloseEndsTheWaiting)
{
    boost::asio::io_service ioService;
    Events events;
    CSerialPort port(ioService, events.Receive(), events.Lost());
    auto pty = std::make_unique<testsupport::PtyPair>();
    ASSERT_TRUE(port.Open(pty->SlavePath().c_str(), 9600));
    pty->CloseMaster();
    ASSERT_TRUE(WaitUntil([&] { return port.IsLost(); }));
    port.Close();
    EXPECT_FALSE(port.IsLost());
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(port.LastError(), PortError::DeviceGone) << "the reason stays for the lamp";
    port.Close();
    testsupport::PtyPair again;
    EXPECT_TRUE(port.Open(again.SlavePath().c_str(), 9600));
}

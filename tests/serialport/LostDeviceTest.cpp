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
void ExpectLostAndLetGo(const CSerialPort& port, const porttest::Receiver& rx, const std::string& device)
{
    ASSERT_TRUE(WaitUntil([&] { return rx.Events().size() >= 2; }));
    const std::vector<std::string> seen = rx.Events();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0], "rx 0");
    EXPECT_TRUE(seen[1] == "lost eof" || seen[1] == "lost " + std::to_string(EIO)) << seen[1];
    EXPECT_TRUE(port.IsLost());
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(port.LastError(), PortError::DeviceGone);
    EXPECT_EQ(serialport::PortErrorText(port.LastError()), "устройство отключено");
    EXPECT_EQ(porttest::DescriptorOf(device), -1) << "the dead handle is closed";
    EXPECT_FALSE(LocksDevice(device)) << "our lock file is gone";
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(rx.Events().size(), 2u) << "the dead handle is not read again";
}

} // namespace

// A pseudo-terminal whose far end hangs up fails reads (the end of the file,
// or EIO on older kernels): reported once, and the port refuses writes and
// sends until it is opened again, which needs no Close. Lost again, Close
// ends the waiting: the port is closed, the reason stays for the lamp, a
// second Close does nothing, and the port opens again.
TEST(LostDevice, FarEndHungUpIsReportedOnceAndThePortOpensAgain)
{
    boost::asio::io_service ioService;
    porttest::Receiver rx;
    CSerialPort port(ioService, rx.Callback(), rx.Lost());
    auto pty = std::make_unique<testsupport::PtyPair>();
    const std::string device = pty->SlavePath();
    ASSERT_TRUE(port.Open(device.c_str(), 9600));
    pty->Send("$GPGGA\r\n");
    ASSERT_TRUE(WaitUntil([&] { return rx.Bytes() == "$GPGGA\r\n"; }));
    rx.Clear();

    pty->CloseMaster();
    ExpectLostAndLetGo(port, rx, device);
    EXPECT_EQ(-1, port.Write("x", 1));
    EXPECT_FALSE(port.StartSend({'x'}, nullptr));

    auto back = std::make_unique<testsupport::PtyPair>();
    ASSERT_TRUE(port.Open(back->SlavePath().c_str(), 9600)) << "a lost port opens again without Close";
    EXPECT_FALSE(port.IsLost());
    EXPECT_FALSE(port.LastError());
    back->Send("again");
    ASSERT_TRUE(WaitUntil([&] { return rx.Bytes() == "again"; }));
    rx.Clear();

    back->CloseMaster();
    ASSERT_TRUE(WaitUntil([&] { return port.IsLost(); }));
    port.Close();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(rx.Events().size(), 2u) << "Close adds nothing to the failed read and the report";
    EXPECT_FALSE(port.IsLost());
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(port.LastError(), PortError::DeviceGone) << "the reason stays for the lamp";
    port.Close();
    testsupport::PtyPair again;
    EXPECT_TRUE(port.Open(again.SlavePath().c_str(), 9600));
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
    porttest::Receiver rx;
    CSerialPort port(ioService, rx.Callback(), rx.Lost());
    testsupport::PtyPair pty;
    ASSERT_TRUE(port.Open(pty.SlavePath().c_str(), 300));
    porttest::Receiver ends; // a letter for each ended send: Sent, Failed or Cancelled
    ASSERT_TRUE(port.StartSend(std::vector<char>(1 << 20, 'x'), [record = ends.Callback()](auto outcome) {
        record(&"SFC"[static_cast<int>(outcome)], 1);
    }));
    ASSERT_TRUE(WaitUntil([&] { return port.SendProgress().sent > 0; }));

    const int other = ::open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(other, 0);
    ASSERT_EQ(0, ::ioctl(other, TIOCVHANGUP));
    ::close(other);
    ExpectLostAndLetGo(port, rx, pty.SlavePath());
    EXPECT_FALSE(port.Sending());
    EXPECT_EQ(ends.Bytes(), "F");
}

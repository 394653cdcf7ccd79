#include "ChildProcess.h"
#include "PortLock.h"
#include "PortTestSupport.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sys/file.h>

using porttest::Line;

namespace {

// What serial_open_probe, in a process of its own, says opening `port`.
std::string ProbeOf(const std::string& port)
{
    devsimtest::CChild probe({ORVEL_OPEN_PROBE, port}, true);
    return probe.WaitFor("").value_or("(nothing)");
}

} // namespace

// Linux would let every open share the tty, each stealing bytes: a held
// device is refused, as taken by another program, to another port of this
// process (by its own name or a link), to another process, and to this
// process while another holds it or a tool such as pyserial holds it with
// flock() alone; the holder keeps reading throughout.
TEST(PortLock, HeldDeviceIsRefusedToEveryOtherOpener)
{
    boost::asio::io_service ioService;
    Line first(ioService);
    serialport::CSerialPort second(ioService, serialport::CSerialPort::ReceiveCallback());
    testsupport::TempDir dir;
    const std::string device = first.pty.SlavePath();
    const std::string link = dir.File("KKC");
    ASSERT_EQ(0, ::symlink(device.c_str(), link.c_str()));
    const auto refusedToSecond = [&](const std::string& path) {
        return !second.Open(path.c_str(), 9600) && second.LastError() == serialport::PortError::HeldByAnotherProgram;
    };

    ASSERT_TRUE(first.port.Open(link.c_str(), 9600));
    EXPECT_TRUE(refusedToSecond(device));
    EXPECT_TRUE(refusedToSecond(link));
    EXPECT_EQ(ProbeOf(device), "refused: Порт занят другой программой");
    first.pty.Send("for the first");
    ASSERT_TRUE(first.rx.WaitForBytes(13));
    EXPECT_EQ("for the first", first.rx.Bytes());
    first.port.Close();

    devsimtest::CChild other({ORVEL_OPEN_PROBE, device, "hold"}, true);
    ASSERT_EQ(other.WaitFor(""), "held");
    EXPECT_TRUE(refusedToSecond(device));
    other.Close();  // its standard input ends: it lets go
    EXPECT_EQ(other.Wait(), 0);

    const int flocked = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_EQ(0, ::flock(flocked, LOCK_EX | LOCK_NB));
    EXPECT_TRUE(refusedToSecond(device));
    ::close(flocked);
    EXPECT_TRUE(first.Open());
    first.port.Close();
    EXPECT_EQ(ProbeOf(device), "held") << "free for other programs once closed";
}

TEST(PortLock, LockFilesOfLiveProcessesAreHonouredAndStaleOnesReplaced)
{
    const std::vector<std::string> folders = serialport::LockFolders();
    if (folders.empty() || ::access(folders[0].c_str(), W_OK) != 0)
        GTEST_SKIP() << "lock folder not writable";
    boost::asio::io_service ioService;
    Line line(ioService);
    testsupport::TempDir dir;
    const std::string link = dir.File("SON");
    ASSERT_EQ(0, ::symlink(line.pty.SlavePath().c_str(), link.c_str()));
    // Named after the device, whatever link led to it: "/dev/pts/3" -> "LCK..pts_3".
    const std::string device = line.pty.SlavePath();
    const std::string lockFile = folders[0] + "/LCK.." + device.substr(5).replace(3, 1, "_");

    std::ofstream(lockFile) << ::getppid() << "\n";
    EXPECT_FALSE(line.Open()) << "held by a live process";

    long gone = 0;
    std::ifstream("/proc/sys/kernel/pid_max") >> gone; // no process has this number
    std::ofstream(lockFile) << "     " << gone << "\n";
    ASSERT_TRUE(line.port.Open(link.c_str(), 9600)) << "a stale lock file is ignored";
    long owner = 0;
    std::ifstream(lockFile) >> owner;
    EXPECT_EQ(::getpid(), owner);

    line.port.Close();
    EXPECT_NE(0, ::access(lockFile.c_str(), F_OK)) << "our lock file goes with the port";
}

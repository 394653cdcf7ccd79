#include "PortLock.h"
#include "PortTestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sys/file.h>
#include <sys/wait.h>

using porttest::Line;

namespace {

// serial_open_probe in another process. With a release file it holds the port
// until the file is removed.
class OpenProbe
{
public:
    OpenProbe(const std::string& port, const std::string& releaseFile = "")
        : m_releaseFile(releaseFile)
    {
        if (!releaseFile.empty())
            std::ofstream(releaseFile) << "hold";
        m_pipe = ::popen((std::string(ORVEL_OPEN_PROBE) + " " + port + " " + releaseFile).c_str(), "r");
    }
    ~OpenProbe()
    {
        if (!m_releaseFile.empty())
            ::unlink(m_releaseFile.c_str());
        if (m_pipe)
            ::pclose(m_pipe);
    }
    std::string Verdict()
    {
        char line[32] = {};
        return m_pipe && std::fgets(line, sizeof line, m_pipe) ? line : "";
    }

private:
    std::string m_releaseFile;
    FILE* m_pipe = nullptr;
};

} // namespace

// Linux would let every open share the tty, each stealing bytes.
TEST(PortLock, SecondOpenInThisProcessFailsAndLeavesTheFirstReading)
{
    boost::asio::io_service ioService;
    Line first(ioService);
    serialport::CSerialPort second(ioService, serialport::CSerialPort::ReceiveCallback());
    testsupport::TempDir dir;
    const std::string link = dir.File("KKC");
    ASSERT_EQ(0, ::symlink(first.pty.SlavePath().c_str(), link.c_str()));

    ASSERT_TRUE(first.port.Open(link.c_str(), 9600));
    EXPECT_FALSE(second.Open(first.pty.SlavePath().c_str(), 9600));
    EXPECT_FALSE(second.Open(link.c_str(), 9600));
    first.pty.Send("for the first");
    ASSERT_TRUE(first.rx.WaitForBytes(13));
    EXPECT_EQ("for the first", first.rx.Bytes());
    first.port.Close();

    // Tools such as pyserial take the device with flock() alone.
    const int other = ::open(first.pty.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_EQ(0, ::flock(other, LOCK_EX | LOCK_NB));
    EXPECT_FALSE(first.Open());
    ::close(other);
    EXPECT_TRUE(first.Open());
}

TEST(PortLock, OpenFailsWhileAnotherProcessHoldsThePort)
{
    boost::asio::io_service ioService;
    Line line(ioService);
    testsupport::TempDir dir;
    {
        OpenProbe holder(line.pty.SlavePath(), dir.File("release"));
        ASSERT_EQ("opened\n", holder.Verdict());
        EXPECT_FALSE(line.Open());
    }
    ASSERT_TRUE(line.Open()) << "free once the other process closed";
    EXPECT_EQ("busy\n", OpenProbe(line.pty.SlavePath()).Verdict());
    line.pty.Send("intact");
    ASSERT_TRUE(line.rx.WaitForBytes(6));
    EXPECT_EQ("intact", line.rx.Bytes());
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

    const pid_t gone = ::fork();
    if (gone == 0)
        _exit(0);
    ::waitpid(gone, nullptr, 0);
    std::ofstream(lockFile) << "     " << gone << "\n";
    ASSERT_TRUE(line.port.Open(link.c_str(), 9600)) << "a stale lock file is ignored";
    long owner = 0;
    std::ifstream(lockFile) >> owner;
    EXPECT_EQ(::getpid(), owner);

    line.port.Close();
    EXPECT_NE(0, ::access(lockFile.c_str(), F_OK)) << "our lock file goes with the port";
}

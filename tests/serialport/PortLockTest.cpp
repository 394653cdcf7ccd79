#include "PortLock.h"
#include "PortTestSupport.h"
#include "PtyPair.h"
#include "SerialPort.h"

#include <gtest/gtest.h>

#include <fstream>
#include <spawn.h>
#include <sys/file.h>
#include <sys/wait.h>

using porttest::Receiver;
using serialport::CSerialPort;
using testsupport::PtyPair;

extern char** environ;

namespace {

// serial_open_probe in a child process; its standard input holds it open.
class OpenProbe
{
public:
    OpenProbe(const std::string& port, bool hold)
    {
        int toChild[2], fromChild[2];
        if (::pipe2(toChild, O_CLOEXEC) != 0 || ::pipe2(fromChild, O_CLOEXEC) != 0)
            throw std::runtime_error("pipe");
        posix_spawn_file_actions_t actions;
        ::posix_spawn_file_actions_init(&actions);
        ::posix_spawn_file_actions_adddup2(&actions, toChild[0], STDIN_FILENO);
        ::posix_spawn_file_actions_adddup2(&actions, fromChild[1], STDOUT_FILENO);
        const char* argv[] = {ORVEL_OPEN_PROBE, port.c_str(), hold ? "hold" : nullptr, nullptr};
        const int failed = ::posix_spawn(&m_pid, ORVEL_OPEN_PROBE, &actions, nullptr,
                                         const_cast<char**>(argv), environ);
        ::posix_spawn_file_actions_destroy(&actions);
        ::close(toChild[0]);
        ::close(fromChild[1]);
        m_toChild = toChild[1];
        m_fromChild = fromChild[0];
        if (failed != 0)
            throw std::runtime_error("posix_spawn");
    }

    ~OpenProbe() { Finish(); }

    // "opened" or "busy"; empty if the child said nothing.
    std::string Verdict()
    {
        std::string line;
        char c;
        pollfd ready{m_fromChild, POLLIN, 0};
        while (::poll(&ready, 1, 30000) > 0 && ::read(m_fromChild, &c, 1) == 1 && c != '\n')
            line += c;
        return line;
    }

    // Lets the child close its port and end.
    void Finish()
    {
        if (m_pid <= 0)
            return;
        ::close(m_toChild);
        ::close(m_fromChild);
        int status = 0;
        ::waitpid(m_pid, &status, 0);
        m_pid = -1;
    }

private:
    pid_t m_pid = -1;
    int m_toChild = -1;
    int m_fromChild = -1;
};

std::string LockFileOf(const std::string& device)
{
    return serialport::LockFolders().at(0) + "/" + serialport::LockFileName(device);
}

bool LockFolderWritable()
{
    const std::vector<std::string> folders = serialport::LockFolders();
    return !folders.empty() && ::access(folders[0].c_str(), W_OK) == 0;
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, const std::string& text)
{
    std::ofstream(path) << text;
}

} // namespace

TEST(PortLock, LockFileNamesFollowTheResolvedDevice)
{
    EXPECT_EQ("LCK..ttyUSB0", serialport::LockFileName("/dev/ttyUSB0"));
    EXPECT_EQ("LCK..pts_3", serialport::LockFileName("/dev/pts/3"));

    PtyPair pty;
    testsupport::TempDir dir;
    const std::string link = dir.File("SNS");
    ASSERT_EQ(0, ::symlink(pty.SlavePath().c_str(), link.c_str()));
    EXPECT_EQ(pty.SlavePath(), serialport::ResolveDevicePath(link));
}

TEST(PortLock, SecondOpenInTheSameProcessFailsAndLeavesTheFirstReading)
{
    boost::asio::io_service ioService;
    PtyPair pty;
    testsupport::TempDir dir;
    const std::string link = dir.File("KKC");
    ASSERT_EQ(0, ::symlink(pty.SlavePath().c_str(), link.c_str()));
    Receiver rxFirst, rxSecond;
    CSerialPort first(ioService, rxFirst.Callback());
    CSerialPort second(ioService, rxSecond.Callback());

    ASSERT_TRUE(first.Open(link.c_str(), 9600));
    EXPECT_FALSE(second.Open(pty.SlavePath().c_str(), 9600));
    EXPECT_FALSE(second.Open(link.c_str(), 9600));
    EXPECT_EQ(-1, second.Write("x", 1));

    pty.Send("for the first");
    ASSERT_TRUE(rxFirst.WaitForBytes(13));
    EXPECT_EQ("for the first", rxFirst.Bytes());
    EXPECT_EQ(0u, rxSecond.Calls());

    first.Close();
    ASSERT_TRUE(second.Open(pty.SlavePath().c_str(), 9600));
    pty.Send("now the second");
    EXPECT_TRUE(rxSecond.WaitForBytes(14));
}

TEST(PortLock, OpenFailsWhileAnotherProcessHoldsThePort)
{
    boost::asio::io_service ioService;
    PtyPair pty;
    Receiver rx;
    CSerialPort port(ioService, rx.Callback());
    {
        OpenProbe holder(pty.SlavePath(), true);
        ASSERT_EQ("opened", holder.Verdict());
        EXPECT_FALSE(port.Open(pty.SlavePath().c_str(), 9600));
    }
    ASSERT_TRUE(port.Open(pty.SlavePath().c_str(), 9600)) << "free once the other process closed";

    OpenProbe intruder(pty.SlavePath(), false);
    EXPECT_EQ("busy", intruder.Verdict());
    intruder.Finish();
    pty.Send("intact");
    ASSERT_TRUE(rx.WaitForBytes(6));
    EXPECT_EQ("intact", rx.Bytes());
}

// Tools such as pyserial take the device with flock() and leave no lock file.
TEST(PortLock, DeviceFlockedByAnotherProgramIsBusy)
{
    boost::asio::io_service ioService;
    PtyPair pty;
    CSerialPort port(ioService, CSerialPort::ReceiveCallback());
    const int other = ::open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(other, 0);
    ASSERT_EQ(0, ::flock(other, LOCK_EX | LOCK_NB));
    EXPECT_FALSE(port.Open(pty.SlavePath().c_str(), 9600));
    ::close(other);
    EXPECT_TRUE(port.Open(pty.SlavePath().c_str(), 9600));
}

TEST(PortLock, LockFilesOfLiveProcessesAreHonouredAndStaleOnesReplaced)
{
    if (!LockFolderWritable())
        GTEST_SKIP() << "lock folder not writable";
    boost::asio::io_service ioService;
    PtyPair pty;
    CSerialPort port(ioService, CSerialPort::ReceiveCallback());
    const std::string lockFile = LockFileOf(pty.SlavePath());

    WriteFile(lockFile, std::to_string(::getppid()) + "\n");
    EXPECT_FALSE(port.Open(pty.SlavePath().c_str(), 9600)) << "held by a live process";

    const pid_t gone = ::fork();
    if (gone == 0)
        _exit(0);
    ::waitpid(gone, nullptr, 0);
    WriteFile(lockFile, "     " + std::to_string(gone) + "\n");
    ASSERT_TRUE(port.Open(pty.SlavePath().c_str(), 9600)) << "a stale lock file is ignored";
    EXPECT_EQ(std::to_string(::getpid()), std::to_string(std::stol(ReadFile(lockFile))));

    port.Close();
    EXPECT_NE(0, ::access(lockFile.c_str(), F_OK)) << "our lock file goes with the port";
}

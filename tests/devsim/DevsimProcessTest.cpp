// orvel-devsim as a program, for what the operator walk through the real
// program cannot see: exact flood bytes, how it ends, which link names it
// takes. Its ports are opened as a program opens serial ports.

#include "DevsimProcess.h"
#include "NmeaCheck.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

using devsimtest::CDevsimProcess;
using devsimtest::CPort;
using devsimtest::CReadySimulator;

namespace {

std::string LinkTarget(const std::string& path)
{
    char target[PATH_MAX];
    const ssize_t length = ::readlink(path.c_str(), target, sizeof target - 1);
    return length < 0 ? std::string() : std::string(target, static_cast<std::size_t>(length));
}

bool Exists(const std::string& path)
{
    struct stat info{};
    return ::lstat(path.c_str(), &info) == 0;
}

// True once reads on `fd` fail (the pty's other side is gone), after any
// bytes still buffered; false if it stays quiet up to the ceiling.
bool ReadsFail(int fd)
{
    for (char buffer[4096];;) {
        pollfd pfd{fd, POLLIN, 0};
        if (::poll(&pfd, 1, 20000) <= 0)
            return false;
        const ssize_t count = ::read(fd, buffer, sizeof buffer);
        if (count == 0 || (count < 0 && errno != EAGAIN && errno != EINTR))
            return true;
    }
}

// The flood pattern, written out independently of the simulator's code.
std::string FloodPattern(std::size_t size)
{
    std::string bytes;
    for (unsigned line = 0; bytes.size() < size; ++line) {
        char number[16];
        std::snprintf(number, sizeof number, "%010u ", line);
        bytes += number;
        for (unsigned i = 0; i < 51; ++i)
            bytes += static_cast<char>('A' + (line + i) % 26);
        bytes += "\r\n";
    }
    bytes.resize(size);
    return bytes;
}

class DevsimProcessTest : public ::testing::Test
{
protected:
    testsupport::TempDir m_dir;
};

} // namespace

// The port is read with the line settings the simulator gave it: a pty left
// cooked would turn the pattern's line ends into something else.
TEST_F(DevsimProcessTest, FloodDeliversExactlyTheBytesInOrder)
{
    constexpr std::size_t kBytes = 1000003; // ends inside a line
    CReadySimulator sim(m_dir.Path(), {"--flood", std::to_string(kBytes), "--device", "beacon"});
    CPort beacon(sim.m_beacon);
    const std::string bytes = beacon.Read(kBytes);
    EXPECT_EQ(sim.m_process.WaitFor("flood done"), "flood done " + std::to_string(kBytes));
    const std::string expected = FloodPattern(kBytes);
    const auto at = std::mismatch(bytes.begin(), bytes.end(), expected.begin(), expected.end()).first - bytes.begin();
    EXPECT_TRUE(bytes == expected) << bytes.size() << " bytes read, first difference at byte " << at;
}

class DevsimStopTest : public DevsimProcessTest, public ::testing::WithParamInterface<int>
{
};

// Links left behind would be offered to the program as ports nobody serves.
TEST_P(DevsimStopTest, EndingRemovesTheLinksAndHangsUpItsPorts)
{
    CReadySimulator sim(m_dir.Path());
    CPort gnss(sim.m_gnss);
    ASSERT_TRUE(gnss.WaitFor("$"));

    if (GetParam() == 0)
        sim.m_process.Control("quit");
    else
        sim.m_process.Signal(GetParam());
    EXPECT_EQ(sim.m_process.Wait(), 0);
    for (const std::string& link : {sim.m_gnss, sim.m_beacon, sim.m_sounder})
        EXPECT_FALSE(Exists(link)) << link;
    EXPECT_TRUE(ReadsFail(gnss.Fd()));
}

INSTANTIATE_TEST_SUITE_P(SignalsAndQuit, DevsimStopTest, ::testing::Values(SIGTERM, SIGINT, SIGHUP, 0));

// A link name held by someone else's file or link is refused, named, and left
// alone; a stale link of a simulator that died is replaced; a second simulator
// on the same links is refused while the first serves them.
TEST_F(DevsimProcessTest, TakesOnlyLinkNamesThatAreFree)
{
    auto refused = [&](const std::string& named) {
        CDevsimProcess process({"--dir", m_dir.Path()});
        EXPECT_EQ(process.Wait(), 1);
        const std::string error = process.WaitFor("orvel-devsim: ").value_or("no message");
        EXPECT_NE(error.find(named), std::string::npos) << error;
    };
    const std::string gnss = m_dir.File("devsim-gnss");
    const std::string beacon = m_dir.File("devsim-beacon");
    std::ofstream(beacon) << "someone's file";
    refused(beacon);
    ASSERT_EQ(::unlink(beacon.c_str()), 0);
    const std::string sounder = m_dir.File("devsim-sounder");
    ASSERT_EQ(::symlink("/etc/hostname", sounder.c_str()), 0);
    refused(sounder);
    EXPECT_EQ(LinkTarget(sounder), "/etc/hostname");
    EXPECT_FALSE(Exists(gnss)) << "a refused start leaves no link";
    ASSERT_EQ(::unlink(sounder.c_str()), 0);

    ASSERT_EQ(::symlink("/dev/pts/99999", gnss.c_str()), 0);
    CReadySimulator first(m_dir.Path());
    const std::string target = LinkTarget(gnss);
    EXPECT_NE(target, "/dev/pts/99999");
    refused("another orvel-devsim");
    EXPECT_EQ(LinkTarget(gnss), target);

    // The first one serves on, and joins a command that arrives in pieces.
    CPort port(first.m_beacon);
    port.Write("$GPCRQ,MSK\r\n");
    ASSERT_TRUE(port.WaitFor("$CRMSK,"));
    port.Write("$GPCRQ,M");
    first.m_process.Control("pull sounder"); // a turn of its loop between the pieces
    ASSERT_TRUE(first.m_process.WaitFor("pulled sounder"));
    port.Write("SS\r\n");
    const auto signal = port.WaitFor("$CRMSS,");
    ASSERT_TRUE(signal);
    EXPECT_TRUE(devsimtest::HasValidChecksum(*signal)) << *signal;
}

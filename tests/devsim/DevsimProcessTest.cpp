// orvel-devsim as a program: started for real, its ports opened as a program
// opens serial ports, its event lines read from its standard output.

#include "DevsimProcess.h"
#include "NmeaCheck.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <optional>
#include <poll.h>
#include <set>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

using devsimtest::CDevsimProcess;
using devsimtest::CPort;
using devsimtest::CReadySimulator;
using devsimtest::Fields;
using devsimtest::HasValidChecksum;
using Strings = std::vector<std::string>;

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

int SecondOfDay(const std::string& hhmmss)
{
    return std::stoi(hhmmss.substr(0, 2)) * 3600 + std::stoi(hhmmss.substr(2, 2)) * 60 + std::stoi(hhmmss.substr(4, 2));
}

// True once reads on `fd` fail (the pty's other side is gone), after any
// bytes still buffered; false if it stays quiet up to the ceiling.
bool ReadsFail(int fd)
{
    for (;;) {
        pollfd pfd{fd, POLLIN, 0};
        if (::poll(&pfd, 1, 20000) <= 0)
            return false;
        char buffer[4096];
        const ssize_t count = ::read(fd, buffer, sizeof buffer);
        if (count == 0 || (count < 0 && errno != EAGAIN && errno != EINTR))
            return true;
    }
}

// A line that must arrive, checked for its checksum.
std::string Sentence(CPort& port, const std::string& address)
{
    const auto line = port.WaitFor(address + ",");
    if (!line) {
        ADD_FAILURE() << "no " << address;
        return {};
    }
    EXPECT_TRUE(HasValidChecksum(*line)) << *line;
    return *line;
}

class DevsimProcessTest : public ::testing::Test
{
protected:
    testsupport::TempDir m_dir;
};

} // namespace

TEST_F(DevsimProcessTest, OffersThreeLinksToPseudoTerminalsInRawMode)
{
    CReadySimulator sim(m_dir.Path());
    for (const std::string& link : {sim.m_gnss, sim.m_beacon, sim.m_sounder})
        EXPECT_EQ(LinkTarget(link).rfind("/dev/pts/", 0), 0u) << link;

    // Opened without touching the line settings: no echo, no line editing.
    CPort gnss(sim.m_gnss, /*makeRaw=*/false);
    termios tio{};
    ASSERT_EQ(::tcgetattr(gnss.Fd(), &tio), 0);
    EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(tio.c_iflag & (ICRNL | IXON), 0u);
    EXPECT_EQ(tio.c_oflag & OPOST, 0u);
    EXPECT_TRUE(sim.m_process.WaitFor("opened gnss"));

    std::set<std::string> seen;
    while (seen.size() < 3) {
        const auto line = gnss.ReadLine();
        ASSERT_TRUE(line);
        EXPECT_TRUE(HasValidChecksum(*line)) << *line;
        seen.insert(Fields(*line).front());
    }
    EXPECT_EQ(seen, (std::set<std::string>{"GPGGA", "GPRMC", "GPHDT"}));

    CPort sounder(sim.m_sounder);
    Sentence(sounder, "$SDDBT");
    Sentence(sounder, "$SDDPT");
}

TEST_F(DevsimProcessTest, ReceiverCommandsChangeTheOutput)
{
    CReadySimulator sim(m_dir.Path());
    CPort gnss(sim.m_gnss);
    Sentence(gnss, "$GPRMC");

    gnss.Write("$PORZB*54\r\n"); // wrong checksum: refused
    EXPECT_EQ(Fields(Sentence(gnss, "$POACK")), (Strings{"POACK", "PORZB", "V", "CHECKSUM"}));

    gnss.Write("$PORZB,RMC,10*08\r\n");
    EXPECT_EQ(Fields(Sentence(gnss, "$POACK")), (Strings{"POACK", "PORZB", "A"}));
    // Every second used to bring an RMC; now four seconds bring one.
    int ggas = 0;
    int rmcs = 0;
    while (ggas < 4) {
        const auto line = gnss.ReadLine();
        ASSERT_TRUE(line);
        ggas += Fields(*line).front() == "GPGGA";
        rmcs += Fields(*line).front() == "GPRMC";
    }
    EXPECT_EQ(rmcs, 1);

    gnss.Write("log COM1 gpgst ontime 1\n");
    EXPECT_TRUE(gnss.WaitFor("<OK"));
    Sentence(gnss, "$GPGST");
}

TEST_F(DevsimProcessTest, BeaconAnswersCommandsSplitAcrossWrites)
{
    CReadySimulator sim(m_dir.Path());
    CPort beacon(sim.m_beacon);
    beacon.Write("$GPCRQ,MSK\r\n");
    EXPECT_EQ(Fields(Sentence(beacon, "$CRMSK")).size(), 6u);

    beacon.Write("$GPCR");
    ASSERT_TRUE(sim.m_process.WaitFor("opened beacon"));
    beacon.Write("Q,MSS\n");
    EXPECT_EQ(Fields(Sentence(beacon, "$CRMSS")).size(), 5u);
}

// A reader that closes the port and comes back gets what the device says
// from then on: nothing it left unread, nothing said while it was away.
TEST_F(DevsimProcessTest, ReaderComingBackGetsNoStaleData)
{
    CReadySimulator sim(m_dir.Path());
    std::optional<CPort> gnss(std::in_place, sim.m_gnss);
    const int seen = SecondOfDay(Fields(Sentence(*gnss, "$GPGGA"))[1]);
    Sentence(*gnss, "$GPRMC");
    Sentence(*gnss, "$GPHDT");
    // The next second's sentences arrive and are left unread.
    pollfd pfd{gnss->Fd(), POLLIN, 0};
    ASSERT_EQ(::poll(&pfd, 1, 20000), 1);
    gnss.reset();
    ASSERT_TRUE(sim.m_process.WaitFor("closed gnss"));

    gnss.emplace(sim.m_gnss);
    const auto first = gnss->ReadLine();
    ASSERT_TRUE(first);
    ASSERT_EQ(first->rfind("$GPGGA,", 0), 0u) << *first;
    EXPECT_GE((SecondOfDay(Fields(*first)[1]) - seen + 86400) % 86400, 2) << *first;
}

class DevsimStopTest : public DevsimProcessTest, public ::testing::WithParamInterface<int>
{
};

TEST_P(DevsimStopTest, EndingRemovesTheLinks)
{
    CReadySimulator sim(m_dir.Path());
    CPort gnss(sim.m_gnss);
    ASSERT_TRUE(gnss.ReadLine());

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

TEST_F(DevsimProcessTest, RefusesFoldersAndNamesItMayNotUse)
{
    auto refused = [](const std::string& folder, const std::string& named) {
        CDevsimProcess process({"--dir", folder});
        EXPECT_EQ(process.Wait(), 1);
        const std::string errors = process.Errors();
        EXPECT_NE(errors.find(named), std::string::npos) << errors;
        EXPECT_FALSE(process.ReadLine()) << "no ready line";
    };
    const std::string file = m_dir.File("plain-file");
    std::ofstream(file) << "not a folder";
    refused(file + "/ports", file + "/ports");
    if (::geteuid() != 0) { // root writes into any folder
        const std::string locked = m_dir.File("locked");
        ASSERT_EQ(::mkdir(locked.c_str(), 0500), 0);
        refused(locked, locked);
    }

    const std::string beacon = m_dir.File("devsim-beacon");
    std::ofstream(beacon) << "someone's file";
    refused(m_dir.Path(), beacon);
    ::unlink(beacon.c_str());
    const std::string sounder = m_dir.File("devsim-sounder");
    ASSERT_EQ(::symlink("/etc/hostname", sounder.c_str()), 0);
    refused(m_dir.Path(), sounder);
    EXPECT_EQ(LinkTarget(sounder), "/etc/hostname");
    EXPECT_FALSE(Exists(m_dir.File("devsim-gnss"))) << "a refused start leaves no link";
}

TEST_F(DevsimProcessTest, ReplacesStaleLinksButNotALiveSimulatorsOnes)
{
    const std::string gnss = m_dir.File("devsim-gnss");
    ASSERT_EQ(::symlink("/dev/pts/99999", gnss.c_str()), 0);
    CReadySimulator first(m_dir.Path());
    const std::string target = LinkTarget(gnss);
    CPort port(gnss);
    Sentence(port, "$GPGGA");

    CDevsimProcess second({"--dir", m_dir.Path()});
    EXPECT_EQ(second.Wait(), 1);
    EXPECT_NE(second.Errors().find("another orvel-devsim"), std::string::npos);
    EXPECT_EQ(LinkTarget(gnss), target);

    CDevsimProcess other({"--dir", m_dir.Path(), "--prefix", "second-"});
    const auto ready = other.WaitFor("ready ");
    ASSERT_TRUE(ready) << other.Errors();
    EXPECT_NE(ready->find(m_dir.File("second-gnss")), std::string::npos) << *ready;
}

TEST_F(DevsimProcessTest, FloodDeliversExactlyTheBytesInOrder)
{
    constexpr std::size_t kBytes = 1000003; // ends inside a line
    CReadySimulator sim(m_dir.Path(), {"--flood", std::to_string(kBytes), "--device", "beacon"});
    CPort beacon(sim.m_beacon);
    const std::string bytes = beacon.Read(kBytes);
    ASSERT_EQ(bytes.size(), kBytes);
    EXPECT_EQ(sim.m_process.WaitFor("flood done"), "flood done " + std::to_string(kBytes));

    constexpr std::size_t kLine = 64;
    for (std::size_t at = 0, number = 0; at < kBytes; at += kLine, ++number) {
        const std::string line = bytes.substr(at, kLine);
        char digits[32];
        std::snprintf(digits, sizeof digits, "%010zu", number);
        ASSERT_EQ(line.substr(0, 10), std::string(digits).substr(0, line.size())) << "at byte " << at;
        if (line.size() < kLine)
            break;
        for (std::size_t i = 0; i < 51; ++i)
            ASSERT_EQ(line[11 + i], static_cast<char>('A' + (number + i) % 26)) << "at byte " << at;
        ASSERT_EQ(line.substr(10, 1) + line.substr(62), " \r\n");
    }

    // The flooded device falls silent; the others carry on.
    beacon.Write("$GPCRQ,MSK\r\n");
    CPort gnss(sim.m_gnss);
    Sentence(gnss, "$GPGGA");
    EXPECT_EQ(beacon.Read(1, devsimtest::milliseconds(300)), "");
}

TEST_F(DevsimProcessTest, PulledCableFailsTheOldPortAndComesBackUnderTheSameName)
{
    CReadySimulator sim(m_dir.Path());
    CPort before(sim.m_gnss);
    ASSERT_TRUE(before.ReadLine());
    const std::string oldTarget = LinkTarget(sim.m_gnss);

    sim.m_process.Control("pull gnss");
    ASSERT_EQ(sim.m_process.WaitFor("pulled"), "pulled gnss");
    EXPECT_FALSE(Exists(sim.m_gnss));
    EXPECT_TRUE(ReadsFail(before.Fd()));

    sim.m_process.Control("plug gnss");
    const auto back = sim.m_process.WaitFor("back");
    const std::string newTarget = LinkTarget(sim.m_gnss);
    EXPECT_EQ(back, "back gnss " + newTarget);
    EXPECT_NE(newTarget, oldTarget) << "the old slave is still held open here";
    CPort after(sim.m_gnss);
    Sentence(after, "$GPGGA");
}

TEST_F(DevsimProcessTest, TimedPullsComeBackByThemselves)
{
    CReadySimulator sim(m_dir.Path(), {"--pull", "sounder:0:1"});
    EXPECT_EQ(sim.m_process.WaitFor("pulled"), "pulled sounder");
    const auto sounderBack = sim.m_process.WaitFor("back");
    EXPECT_EQ(sounderBack, "back sounder " + LinkTarget(sim.m_sounder));

    sim.m_process.Control("pull beacon 1");
    EXPECT_EQ(sim.m_process.WaitFor("pulled"), "pulled beacon");
    const auto beaconBack = sim.m_process.WaitFor("back");
    EXPECT_EQ(beaconBack, "back beacon " + LinkTarget(sim.m_beacon));
    CPort beacon(sim.m_beacon);
    beacon.Write("$GPCRQ,MSK\r\n");
    Sentence(beacon, "$CRMSK");

    sim.m_process.Control("pull radar");
    sim.m_process.Control("quit");
    EXPECT_EQ(sim.m_process.Wait(), 0);
    EXPECT_NE(sim.m_process.Errors().find("pull radar"), std::string::npos);
}

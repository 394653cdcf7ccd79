// orvel-devsim as a program, its ports opened as a program opens serial
// ports: the flood, a pulled cable, an answer to a command in pieces, and
// the ways it ends. (The end-to-end tests have every device answer its
// commands, sent whole.)

#include "ChildProcess.h"
#include "ValidSentences.h"

#include <FloodSource.h>
#include <Nmea.h>
#include <TempDir.h>

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <termios.h>
#include <unistd.h>

using devsimtest::CSimulator;
namespace fs = std::filesystem;

namespace {

// A simulator's port, its line settings left as the simulator made them.
class CPort : public devsimtest::CReader
{
public:
    // (A port that cannot be opened shows as one that sends nothing.)
    explicit CPort(const std::string& path) : CReader(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC)) {}
    void Write(const std::string& bytes) { ASSERT_EQ(::write(m_fd, bytes.data(), bytes.size()), ssize_t(bytes.size())); }
    // Waits for a line that starts with `start`; a sentence must be whole.
    void Expect(const std::string& start)
    {
        const auto line = WaitFor(start, "\r\n");
        ASSERT_TRUE(line) << "no " << start;
        const auto sentence = devsim::nmea::Parse(*line);
        EXPECT_TRUE(!sentence || sentence->m_checksum == devsim::nmea::ChecksumState::Valid) << *line;
    }
    // Sets the line to `speed` both ways, as a program sets its port.
    void SetSpeed(speed_t speed)
    {
        termios tio{};
        ASSERT_EQ(::tcgetattr(m_fd, &tio), 0);
        ::cfsetspeed(&tio, speed);
        ASSERT_EQ(::tcsetattr(m_fd, TCSANOW, &tio), 0);
    }
};


} // namespace

// A reader gets the pattern exactly, ending inside a line: a pseudo-terminal
// left cooked would turn its line ends into something else.
TEST(DevsimProcess, FloodDeliversExactlyThePattern)
{
    constexpr std::size_t kBytes = 1000003;
    testsupport::TempDir dir;
    CSimulator sim(dir.Path(), {"--flood", std::to_string(kBytes), "--device", "beacon"});
    std::string expected;
    for (std::uint64_t line = 0; expected.size() < kBytes; ++line)
        expected += devsim::CFloodSource::Line(line);
    expected.resize(kBytes);
    CPort beacon(sim.Port(1));
    EXPECT_TRUE(beacon.Read(kBytes) == expected);
    EXPECT_EQ(sim.WaitFor("flood done"), "flood done " + std::to_string(kBytes));
}

// While the cable is out, the port is hung up and its link gone. Meanwhile
// a command whose rest comes in a second write, after that turn of the
// simulator's loop, is answered as a whole.
TEST(DevsimProcess, PulledCableHangsUpAndComesBackOnANewPort)
{
    testsupport::TempDir dir;
    CSimulator sim(dir.Path());
    CPort before(sim.Port(0));
    before.Expect("$GPGGA,");
    CPort beacon(sim.Port(1));
    beacon.Write("$GPCRQ,M");
    sim.Send("pull gnss");
    ASSERT_TRUE(sim.WaitFor("pulled gnss"));
    beacon.Write("SS\n");
    beacon.Expect("$CRMSS,");
    EXPECT_FALSE(fs::exists(fs::symlink_status(sim.Port(0))));
    EXPECT_TRUE(before.Ends());
    sim.Send("plug gnss");
    ASSERT_TRUE(sim.WaitFor("back gnss"));
    CPort after(sim.Port(0));
    after.Expect("$GPRMC,");
}

// Links left behind would be offered to the program as ports nobody serves.
TEST(DevsimProcess, QuitAndStopSignalsRemoveTheLinksAndHangUpThePorts)
{
    testsupport::TempDir dir;
    for (const int signal : {0, SIGTERM, SIGINT, SIGHUP}) {
        CSimulator sim(dir.File(std::to_string(signal)));
        CPort gnss(sim.Port(0));
        gnss.Expect("$GP");
        signal == 0 ? sim.Send("quit") : sim.Signal(signal);
        EXPECT_EQ(sim.Wait(), 0) << signal;
        for (int device = 0; device < 3; ++device)
            EXPECT_FALSE(fs::exists(fs::symlink_status(sim.Port(device)))) << sim.Port(device);
        EXPECT_TRUE(gnss.Ends()) << signal;
    }
}

// A device given a rate talks at that rate only: at another, its sentences
// arrive as garbage without one valid sentence among them, and once the
// program changes the rate of its open port to the device's, they arrive
// as themselves. A device given none talks at any rate.
TEST(DevsimProcess, DeviceWithARateOfItsOwnIsHeardOnlyAtIt)
{
    testsupport::TempDir dir;
    CSimulator sim(dir.Path(), {"--baud", "gnss=4800,sounder=38400"});
    CPort sounder(sim.Port(2));
    sounder.SetSpeed(B38400);
    sounder.Expect("$SDDBT,");

    CPort gnss(sim.Port(0));
    gnss.SetSpeed(B38400);
    const std::string garbage = gnss.Read(1500);
    ASSERT_EQ(garbage.size(), 1500u) << "a device at the wrong rate still sends";
    EXPECT_EQ(devsimtest::ValidSentences(garbage), 0);
    gnss.SetSpeed(B4800);
    gnss.Expect("$GPGGA,");

    CPort beacon(sim.Port(1));
    beacon.SetSpeed(B110);
    beacon.Write("$GPCRQ,MSS\r\n");
    beacon.Expect("$CRMSS,");
}

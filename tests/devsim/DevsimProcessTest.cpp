// orvel-devsim as a program, its ports opened as a program opens serial
// ports: the answers, the flood, a pulled cable and the ways it ends.

#include "ChildProcess.h"

#include <FloodSource.h>
#include <Nmea.h>
#include <TempDir.h>

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using devsimtest::CSimulator;

namespace {

// A simulator's port, its line settings left as the simulator made them.
class CPort : public devsimtest::CReader
{
public:
    explicit CPort(const std::string& path) : CReader(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC))
    {
        if (m_fd < 0)
            throw std::runtime_error("cannot open " + path);
    }
    ~CPort() { ::close(m_fd); }
    void Write(const std::string& bytes) { ASSERT_EQ(::write(m_fd, bytes.data(), bytes.size()), ssize_t(bytes.size())); }
    // Waits for a line that starts with `start`; a sentence must be whole.
    void Expect(const std::string& start)
    {
        const auto line = WaitFor(start, "\r\n");
        ASSERT_TRUE(line) << "no " << start;
        const auto sentence = devsim::nmea::Parse(*line);
        EXPECT_TRUE(!sentence || sentence->m_checksum == devsim::nmea::ChecksumState::Valid) << *line;
    }
};

bool Exists(const std::string& path)
{
    struct stat info{};
    return ::lstat(path.c_str(), &info) == 0;
}

class DevsimProcess : public ::testing::Test
{
protected:
    testsupport::TempDir m_dir;
};

} // namespace

// A command whose rest comes in a second write, after a turn of the
// simulator's loop, is answered as a whole.
TEST_F(DevsimProcess, DevicesAnswerTheirCommands)
{
    const struct
    {
        int device;
        std::string command, rest, answer;
    } kCases[] = {
        {0, "$POCFG,W*26\r\n", "", "$POACK,POCFG,A*"},
        {0, "log com1 gpgst ontime 1\r\n", "", "<OK"},
        {1, "$GPCRQ,MSK\r\n", "", "$CRMSK,"},
        {1, "$PCSI,1,1\r\n", "", "$PCSI,1,1,9600,8,N,1,RTCM*"},
        {1, "$GPCRQ,M", "SS\n", "$CRMSS,"},
    };
    CSimulator sim(m_dir.Path());
    for (const auto& c : kCases) {
        CPort port(sim.Port(c.device));
        port.Write(c.command);
        if (!c.rest.empty()) {
            sim.Send("pull sounder");
            ASSERT_TRUE(sim.WaitFor("pulled sounder"));
            port.Write(c.rest);
        }
        port.Expect(c.answer);
    }
}

// A reader gets the pattern exactly, ending inside a line: a pseudo-terminal
// left cooked would turn its line ends into something else.
TEST_F(DevsimProcess, FloodDeliversExactlyThePattern)
{
    constexpr std::size_t kBytes = 1000003;
    CSimulator sim(m_dir.Path(), {"--flood", std::to_string(kBytes), "--device", "beacon"});
    std::string expected;
    for (std::uint64_t line = 0; expected.size() < kBytes; ++line)
        expected += devsim::CFloodSource::Line(line);
    expected.resize(kBytes);
    CPort beacon(sim.Port(1));
    EXPECT_TRUE(beacon.Read(kBytes) == expected);
    EXPECT_EQ(sim.WaitFor("flood done"), "flood done " + std::to_string(kBytes));
}

TEST_F(DevsimProcess, PulledCableHangsUpAndComesBackOnANewPort)
{
    CSimulator sim(m_dir.Path());
    CPort before(sim.Port(0));
    before.Expect("$GPGGA,");
    sim.Send("pull gnss");
    ASSERT_TRUE(sim.WaitFor("pulled gnss"));
    EXPECT_FALSE(Exists(sim.Port(0)));
    EXPECT_TRUE(before.Ends());
    sim.Send("plug gnss");
    ASSERT_TRUE(sim.WaitFor("back gnss"));
    CPort after(sim.Port(0));
    after.Expect("$GPRMC,");
}

// Links left behind would be offered to the program as ports nobody serves.
class DevsimEnd : public DevsimProcess, public ::testing::WithParamInterface<int>
{
};

TEST_P(DevsimEnd, RemovesTheLinksAndHangsUpItsPorts)
{
    CSimulator sim(m_dir.Path());
    CPort gnss(sim.Port(0));
    gnss.Expect("$GP");
    if (GetParam() == 0)
        sim.Send("quit");
    else
        sim.Signal(GetParam());
    EXPECT_EQ(sim.Wait(), 0);
    for (int device = 0; device < 3; ++device)
        EXPECT_FALSE(Exists(sim.Port(device))) << sim.Port(device);
    EXPECT_TRUE(gnss.Ends());
}

INSTANTIATE_TEST_SUITE_P(QuitAndSignals, DevsimEnd, ::testing::Values(0, SIGTERM, SIGINT, SIGHUP));

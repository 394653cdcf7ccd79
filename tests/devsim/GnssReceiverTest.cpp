#include "GnssReceiver.h"
#include "NmeaCheck.h"

#include <gtest/gtest.h>

#include <map>

using devsim::CGnssReceiver;
using devsimtest::CrLfLines;
using devsimtest::Fields;
using devsimtest::HasValidChecksum;
using Output = CGnssReceiver::Output;

namespace {

const devsim::CUtcTime kNoon = [] {
    devsim::CUtcTime t;
    t.m_year = 2024;
    t.m_month = 6;
    t.m_day = 30;
    t.m_hour = 12;
    return t;
}();

// The addresses sent in one tick, in order.
std::vector<std::string> TickAddresses(CGnssReceiver& receiver)
{
    std::vector<std::string> addresses;
    for (const std::string& line : CrLfLines(receiver.Tick(kNoon)))
        addresses.push_back(Fields(line).front());
    return addresses;
}

// How many of each sentence `ticks` seconds bring.
std::map<std::string, int> Count(CGnssReceiver& receiver, int ticks)
{
    std::map<std::string, int> counts;
    for (int i = 0; i < ticks; ++i) {
        for (const std::string& address : TickAddresses(receiver))
            ++counts[address];
    }
    return counts;
}

const std::string kOk = "<OK\r\n";

// A command sentence with its checksum, without line end.
std::string Command(const std::string& body)
{
    const std::string sentence = devsim::nmea::Sentence(body);
    return sentence.substr(0, sentence.size() - 2);
}

} // namespace

TEST(GnssReceiver, SendsGgaRmcHdtEverySecondWithValidFields)
{
    CGnssReceiver receiver;
    for (int second = 0; second < 5; ++second) {
        const std::vector<std::string> lines = CrLfLines(receiver.Tick(kNoon));
        ASSERT_EQ(lines.size(), 3u);
        for (const std::string& line : lines)
            EXPECT_TRUE(HasValidChecksum(line)) << line;

        const auto gga = Fields(lines[0]);
        ASSERT_EQ(gga.size(), 15u);
        EXPECT_EQ(gga[0], "GPGGA");
        EXPECT_EQ(gga[1], "120000.00");
        EXPECT_EQ(gga[3], "N");
        EXPECT_EQ(gga[5], "E");
        EXPECT_EQ(gga[6], "1"); // a fix

        const auto rmc = Fields(lines[1]);
        ASSERT_EQ(rmc.size(), 13u);
        EXPECT_EQ(rmc[0], "GPRMC");
        EXPECT_EQ(rmc[2], "A");
        EXPECT_EQ(rmc[3], gga[2]); // the same position in both
        EXPECT_EQ(rmc[5], gga[4]);
        EXPECT_EQ(rmc[9], "300624");

        const auto hdt = Fields(lines[2]);
        ASSERT_EQ(hdt.size(), 3u);
        EXPECT_EQ(hdt[0], "GPHDT");
        EXPECT_EQ(hdt[2], "T");
    }
}

TEST(GnssReceiver, ShipMovesAndTurnsSlowly)
{
    CGnssReceiver receiver;
    auto state = [&] {
        const auto lines = CrLfLines(receiver.Tick(kNoon));
        return std::make_pair(Fields(lines[0])[2] + Fields(lines[0])[4], std::stod(Fields(lines[2])[1]));
    };
    auto [position, heading] = state();
    for (int second = 0; second < 600; ++second) {
        const auto [nextPosition, nextHeading] = state();
        EXPECT_NE(nextPosition, position);
        double turn = std::abs(nextHeading - heading);
        turn = std::min(turn, 360.0 - turn);
        EXPECT_LT(turn, 2.0) << "heading jumped from " << heading << " to " << nextHeading;
        EXPECT_GE(nextHeading, 0.0);
        EXPECT_LT(nextHeading, 360.0);
        position = nextPosition;
        heading = nextHeading;
    }
}

TEST(GnssReceiver, TextLogCommandsStartOrChangeSentences)
{
    CGnssReceiver receiver;
    EXPECT_EQ(receiver.Answer("log com1 gpgst ontime 1"), kOk);
    EXPECT_EQ(TickAddresses(receiver), (std::vector<std::string>{"GPGGA", "GPRMC", "GPHDT", "GPGST"}));

    EXPECT_EQ(receiver.Answer("log COM1 gphdt ontime 5"), kOk);
    EXPECT_EQ(Count(receiver, 20)["GPHDT"], 4);
    EXPECT_EQ(receiver.Answer("LOG COM1 GPGGA ONTIME 0.2"), kOk); // rounded up to every second
    EXPECT_EQ(receiver.Period(Output::Gga), 1);
    EXPECT_EQ(receiver.Answer("log gprmc ontime 2"), kOk); // port left out
    EXPECT_EQ(receiver.Period(Output::Rmc), 2);

    for (const char* wrong : {"log com1 gpxyz ontime 1", "log com1 gpgga onchanged", "log com1 gpgga ontime 0",
                              "log com1 gpgga ontime -1", "log com1 gpgga ontime x", "log com1"}) {
        const std::string answer = receiver.Answer(wrong);
        EXPECT_EQ(answer.rfind("<ERROR:", 0), 0u) << wrong << " -> " << answer;
    }
    EXPECT_EQ(receiver.Period(Output::Gga), 1);
    EXPECT_EQ(receiver.Period(Output::Rmc), 2);
}

TEST(GnssReceiver, AcknowledgesPortAndSaveCommands)
{
    CGnssReceiver receiver;
    EXPECT_EQ(receiver.Answer("Saveconfig"), kOk);
    EXPECT_EQ(receiver.Answer("com com1 115200 n 8 1 n off on"), kOk);
    EXPECT_EQ(receiver.Answer("com com1 fast n 8 1 n off on").rfind("<ERROR:", 0), 0u);
    EXPECT_EQ(receiver.Answer("$PORZA,1,115200,1*7D"), devsim::nmea::Sentence("POACK,PORZA,A"));
    EXPECT_EQ(receiver.Answer("$PNVGRZA,0,115200,1*6C"), devsim::nmea::Sentence("POACK,PNVGRZA,A"));
    EXPECT_EQ(receiver.Answer("$PORZA,2,4800,2*76"), devsim::nmea::Sentence("POACK,PORZA,A"));
    EXPECT_EQ(receiver.Answer("$PORZA,2,4800"), devsim::nmea::Sentence("POACK,PORZA,V,FORMAT"));
    EXPECT_EQ(receiver.Answer("$POCFG,W*26"), devsim::nmea::Sentence("POACK,POCFG,A"));
    // None of them changes the output.
    EXPECT_EQ(TickAddresses(receiver), (std::vector<std::string>{"GPGGA", "GPRMC", "GPHDT"}));
}

TEST(GnssReceiver, OutputListCommandsAddChangeAndClear)
{
    CGnssReceiver receiver;
    EXPECT_EQ(receiver.Answer("$PORZB,RMC,10*08"), devsim::nmea::Sentence("POACK,PORZB,A"));
    auto counts = Count(receiver, 30);
    EXPECT_EQ(counts["GPRMC"], 3);
    EXPECT_EQ(counts["GPGGA"], 30);

    EXPECT_EQ(receiver.Answer("$PORZB*55"), devsim::nmea::Sentence("POACK,PORZB,A"));
    EXPECT_TRUE(Count(receiver, 15).empty());

    EXPECT_EQ(receiver.Answer("$PORZB,HDT,1,*10"), devsim::nmea::Sentence("POACK,PORZB,A"));
    EXPECT_EQ(TickAddresses(receiver), std::vector<std::string>{"GPHDT"});
    receiver.Answer("$PORZB,GGA,1*25");
    EXPECT_EQ(TickAddresses(receiver), (std::vector<std::string>{"GPGGA", "GPHDT"}));
    receiver.Answer(Command("PORZB,GGA,0,GST,2"));
    EXPECT_EQ(Count(receiver, 4), (std::map<std::string, int>{{"GPGST", 2}, {"GPHDT", 4}}));
}

TEST(GnssReceiver, WrongOutputListChangesNothing)
{
    CGnssReceiver receiver;
    const std::string nak = devsim::nmea::Sentence("POACK,PORZB,V,FORMAT");
    for (const char* wrong : {"$PORZB,GGA", "$PORZB,GGA,0,XYZ,1", "$PORZB,GGA,0,RMC,-1", "$PORZB,GGA,0,RMC,3601",
                              "$PORZB,,1"}) {
        EXPECT_EQ(receiver.Answer(wrong), nak) << wrong;
    }
    EXPECT_EQ(TickAddresses(receiver), (std::vector<std::string>{"GPGGA", "GPRMC", "GPHDT"}));
}

TEST(GnssReceiver, ResetRestoresTheDefaultOutput)
{
    CGnssReceiver receiver;
    receiver.Answer("$PORZB*55");
    receiver.Answer("log com1 gpgst ontime 1");
    EXPECT_EQ(receiver.Answer("$POCFG,E*34"), devsim::nmea::Sentence("POACK,POCFG,A"));
    EXPECT_EQ(TickAddresses(receiver), (std::vector<std::string>{"GPGGA", "GPRMC", "GPHDT"}));
    EXPECT_EQ(receiver.Answer("$POCFG,X"), devsim::nmea::Sentence("POACK,POCFG,V,FORMAT"));
}

TEST(GnssReceiver, RefusesWrongChecksumsAndChangesNothing)
{
    CGnssReceiver receiver;
    EXPECT_EQ(receiver.Answer("$PORZB*54"), devsim::nmea::Sentence("POACK,PORZB,V,CHECKSUM"));
    EXPECT_EQ(receiver.Answer("$POCFG,E*35"), devsim::nmea::Sentence("POACK,POCFG,V,CHECKSUM"));
    EXPECT_EQ(receiver.Answer("$PORZB,RMC,10*8"), devsim::nmea::Sentence("POACK,PORZB,V,CHECKSUM"));
    EXPECT_EQ(TickAddresses(receiver), (std::vector<std::string>{"GPGGA", "GPRMC", "GPHDT"}));
    // Without a checksum a command is taken as it is.
    EXPECT_EQ(receiver.Answer("$PORZB,RMC,0"), devsim::nmea::Sentence("POACK,PORZB,A"));
    EXPECT_EQ(receiver.Period(Output::Rmc), 0);
}

// A port left in echo mode loops the receiver's own output back to it; an
// answer to any of it would start an endless exchange.
TEST(GnssReceiver, IgnoresItsOwnOutputAndUnknownLines)
{
    CGnssReceiver receiver;
    receiver.Answer("log com1 gpgst ontime 1");
    std::string own;
    for (int i = 0; i < 3; ++i)
        own += receiver.Tick(kNoon);
    for (const char* command : {"$PORZB*54", "$PORZB,X", "Saveconfig", "log com1 gpxyz ontime 1", "$PORZA,1,115200,1"})
        own += receiver.Answer(command);
    for (std::string line : CrLfLines(own)) {
        EXPECT_EQ(receiver.Answer(line), "") << line;
    }
    for (const char* unknown : {"", "hello", "$GPGSV,1,1,00", "unlogall", "$PCSI,0"})
        EXPECT_EQ(receiver.Answer(unknown), "") << unknown;
}

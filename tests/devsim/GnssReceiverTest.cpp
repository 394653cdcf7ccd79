#include "GnssReceiver.h"
#include "NmeaCheck.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>

using devsim::CGnssReceiver;
using devsim::nmea::Sentence;
using devsimtest::CrLfLines;
using devsimtest::Fields;
using devsimtest::HasValidChecksum;
using Output = CGnssReceiver::Output;
using Strings = std::vector<std::string>;

namespace {

const devsim::CUtcTime kNoon = [] {
    devsim::CUtcTime t;
    t.m_year = 2024;
    t.m_month = 6;
    t.m_day = 30;
    t.m_hour = 12;
    return t;
}();

const std::string kOk = "<OK\r\n";

Strings TickAddresses(CGnssReceiver& receiver)
{
    Strings addresses;
    for (const std::string& line : CrLfLines(receiver.Tick(kNoon)))
        addresses.push_back(Fields(line).front());
    return addresses;
}

std::map<std::string, int> Count(CGnssReceiver& receiver, int ticks)
{
    std::map<std::string, int> counts;
    for (int i = 0; i < ticks; ++i) {
        for (const std::string& address : TickAddresses(receiver))
            ++counts[address];
    }
    return counts;
}

const Strings kDefault{"GPGGA", "GPRMC", "GPHDT"};

} // namespace

TEST(GnssReceiver, SendsASailingShipsGgaRmcHdtEverySecond)
{
    CGnssReceiver receiver;
    std::string position;
    double heading = -1;
    for (int second = 0; second < 600; ++second) {
        const Strings lines = CrLfLines(receiver.Tick(kNoon));
        ASSERT_EQ(lines.size(), 3u);
        for (const std::string& line : lines)
            ASSERT_TRUE(HasValidChecksum(line)) << line;
        const Strings gga = Fields(lines[0]), rmc = Fields(lines[1]), hdt = Fields(lines[2]);
        ASSERT_EQ(gga.size(), 15u);
        ASSERT_EQ(rmc.size(), 13u);
        ASSERT_EQ(hdt.size(), 3u);
        EXPECT_EQ(gga[0] + gga[1] + gga[3] + gga[5] + gga[6], "GPGGA120000.00NE1");
        EXPECT_EQ(rmc[0] + rmc[2] + rmc[9], "GPRMCA300624");
        EXPECT_EQ(rmc[3] + rmc[5], gga[2] + gga[4]) << "one position in both";
        EXPECT_NE(gga[2] + gga[4], position) << "the ship moves";
        position = gga[2] + gga[4];

        const double next = std::stod(hdt[1]);
        ASSERT_TRUE(next >= 0 && next < 360) << lines[2];
        if (heading >= 0) {
            EXPECT_LT(std::min(std::fabs(next - heading), 360 - std::fabs(next - heading)), 2.0) << lines[2];
        }
        heading = next;
    }
}

TEST(GnssReceiver, TextCommandsStartOrChangeSentencesAndAreAcknowledged)
{
    CGnssReceiver receiver;
    EXPECT_EQ(receiver.Answer("log com1 gpgst ontime 1"), kOk);
    EXPECT_EQ(TickAddresses(receiver), (Strings{"GPGGA", "GPRMC", "GPHDT", "GPGST"}));
    EXPECT_EQ(receiver.Answer("log COM1 gphdt ontime 5"), kOk);
    EXPECT_EQ(Count(receiver, 20)["GPHDT"], 4);
    EXPECT_EQ(receiver.Answer("LOG COM1 GPGGA ONTIME 0.2"), kOk); // rounded up to every second
    EXPECT_EQ(receiver.Period(Output::Gga), 1);
    EXPECT_EQ(receiver.Answer("log gprmc ontime 2"), kOk); // port left out
    EXPECT_EQ(receiver.Period(Output::Rmc), 2);

    for (const char* wrong : {"log com1 gpxyz ontime 1", "log com1 gpgga onchanged", "log com1 gpgga ontime 0",
                              "log com1 gpgga ontime -1", "log com1 gpgga ontime x", "log com1",
                              "com com1 fast n 8 1 n off on"}) {
        EXPECT_EQ(receiver.Answer(wrong).rfind("<ERROR:", 0), 0u) << wrong;
    }
    EXPECT_EQ(receiver.Period(Output::Gga), 1);
    EXPECT_EQ(receiver.Period(Output::Rmc), 2);

    EXPECT_EQ(receiver.Answer("Saveconfig"), kOk);
    EXPECT_EQ(receiver.Answer("com com1 115200 n 8 1 n off on"), kOk);
}

TEST(GnssReceiver, NavisCommandsSetTheOutputListAndAreAcknowledged)
{
    CGnssReceiver receiver;
    for (const char* port : {"$PORZA,1,115200,1*7D", "$PNVGRZA,0,115200,1*6C", "$PORZA,2,4800,2*76"})
        EXPECT_EQ(receiver.Answer(port), Sentence("POACK," + Fields(port)[0] + ",A")) << port;
    EXPECT_EQ(receiver.Answer("$POCFG,W*26"), Sentence("POACK,POCFG,A"));
    EXPECT_EQ(TickAddresses(receiver), kDefault);

    const std::string ack = Sentence("POACK,PORZB,A");
    EXPECT_EQ(receiver.Answer("$PORZB,RMC,10*08"), ack);
    const auto counts = Count(receiver, 30);
    EXPECT_EQ(counts.at("GPRMC"), 3);
    EXPECT_EQ(counts.at("GPGGA"), 30);
    EXPECT_EQ(receiver.Answer("$PORZB*55"), ack);
    EXPECT_TRUE(Count(receiver, 15).empty());
    EXPECT_EQ(receiver.Answer("$PORZB,HDT,1,*10"), ack);
    EXPECT_EQ(receiver.Answer("$PORZB,GGA,1*25"), ack);
    EXPECT_EQ(TickAddresses(receiver), (Strings{"GPGGA", "GPHDT"}));
    EXPECT_EQ(receiver.Answer("$PORZB,GGA,0,GST,2"), ack);
    EXPECT_EQ(Count(receiver, 4), (std::map<std::string, int>{{"GPGST", 2}, {"GPHDT", 4}}));

    EXPECT_EQ(receiver.Answer("$POCFG,E*34"), Sentence("POACK,POCFG,A"));
    EXPECT_EQ(TickAddresses(receiver), kDefault);
}

TEST(GnssReceiver, RefusedCommandsChangeNothing)
{
    CGnssReceiver receiver;
    const std::string format = Sentence("POACK,PORZB,V,FORMAT");
    for (const char* wrong : {"$PORZB,GGA", "$PORZB,GGA,0,XYZ,1", "$PORZB,GGA,0,RMC,-1", "$PORZB,GGA,0,RMC,3601",
                              "$PORZB,,1"}) {
        EXPECT_EQ(receiver.Answer(wrong), format) << wrong;
    }
    EXPECT_EQ(receiver.Answer("$PORZA,2,4800"), Sentence("POACK,PORZA,V,FORMAT"));
    EXPECT_EQ(receiver.Answer("$POCFG,X"), Sentence("POACK,POCFG,V,FORMAT"));
    for (const char* corrupt : {"$PORZB*54", "$PORZB,RMC,10*8", "$POCFG,E*35"})
        EXPECT_EQ(receiver.Answer(corrupt), Sentence("POACK," + Fields(corrupt)[0] + ",V,CHECKSUM")) << corrupt;
    EXPECT_EQ(TickAddresses(receiver), kDefault);
}

// A port left in echo mode loops the receiver's own output back to it; an
// answer to any of it would start an endless exchange.
TEST(GnssReceiver, IgnoresItsOwnOutputAndUnknownLines)
{
    CGnssReceiver receiver;
    std::string own = receiver.Answer("log com1 gpgst ontime 1");
    for (int i = 0; i < 3; ++i)
        own += receiver.Tick(kNoon);
    for (const char* command : {"$PORZB*54", "$PORZB,X", "log com1 gpxyz ontime 1", "$PORZA,1,115200,1"})
        own += receiver.Answer(command);
    for (const std::string& line : CrLfLines(own))
        EXPECT_EQ(receiver.Answer(line), "") << line;
    for (const char* unknown : {"", "hello", "$GPGSV,1,1,00", "unlogall", "$PCSI,0"})
        EXPECT_EQ(receiver.Answer(unknown), "") << unknown;
}

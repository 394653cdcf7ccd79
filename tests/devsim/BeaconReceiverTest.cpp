#include "BeaconReceiver.h"
#include "NmeaCheck.h"

#include <gtest/gtest.h>

using devsim::CBeaconReceiver;
using devsimtest::CrLfLines;
using devsimtest::Fields;
using devsimtest::HasValidChecksum;
using Strings = std::vector<std::string>;

namespace {

// The answer's sentences without their checksums, each checked; text lines
// (help, start-up) are left out.
Strings Sentences(const std::string& answer)
{
    Strings sentences;
    for (const std::string& line : CrLfLines(answer)) {
        if (line.empty() || line[0] != '$')
            continue;
        EXPECT_TRUE(HasValidChecksum(line)) << line;
        sentences.push_back(line.substr(0, line.find('*')));
    }
    return sentences;
}

const Strings kAutomatic{"$CRMSK,298.5,A,100,A,0"};

} // namespace

TEST(BeaconReceiver, AnswersEveryCatalogueCommand)
{
    CBeaconReceiver beacon;
    const std::string help = beacon.Answer("$PCSI,0");
    EXPECT_EQ(Sentences(help), Strings{"$PCSI,ACK,0"});
    EXPECT_GE(CrLfLines(help).size(), 5u);
    EXPECT_EQ(Sentences(beacon.Answer("$PCSI,1,1")), Strings{"$PCSI,1,1,9600,8,N,1,RTCM"});
    EXPECT_EQ(Sentences(beacon.Answer("$PCSI,6")), Strings{"$PCSI,ACK,6"});
    EXPECT_EQ(Sentences(beacon.Answer("$PCSI,8,VOSKEL,E")), Strings{"$PCSI,ACK,8"});
    EXPECT_EQ(Sentences(beacon.Answer("$GPMSK,311.0,M,,A")), Strings{"$CRMSK,311.0,M,100,A,0"});
    EXPECT_EQ(Sentences(beacon.Answer("$GPMSK,,A,,A")), kAutomatic);
    EXPECT_EQ(Sentences(beacon.Answer("$GPCRQ,MSK")), kAutomatic);

    const Strings signal = Sentences(beacon.Answer("$GPCRQ,MSS"));
    ASSERT_EQ(signal.size(), 1u);
    const Strings mss = Fields(signal[0]);
    ASSERT_EQ(mss.size(), 5u);
    EXPECT_EQ(mss[0] + mss[3] + mss[4], "CRMSS298.5100");
    EXPECT_GT(std::stoi(mss[1]), 0); // strength, dB
    EXPECT_GT(std::stoi(mss[2]), 0); // signal to noise, dB
}

TEST(BeaconReceiver, TuningIsKeptByRebootAndUndoneByBoardReset)
{
    CBeaconReceiver beacon;
    const Strings manual{"$CRMSK,311.0,M,200,M,0"};
    EXPECT_EQ(Sentences(beacon.Answer("$GPMSK,311.0,M,200,M")), manual);
    beacon.Answer("$PCSI,6");
    EXPECT_EQ(Sentences(beacon.Answer("$GPCRQ,MSK")), manual);
    EXPECT_EQ(Fields(Sentences(beacon.Answer("$GPCRQ,MSS"))[0])[3], "311.0");

    EXPECT_EQ(Sentences(beacon.Answer("$PCSI,8,WRONGS,E")), Strings{"$PCSI,NAK,PCSI,KEY"});
    EXPECT_EQ(Sentences(beacon.Answer("$GPCRQ,MSK")), manual);
    beacon.Answer("$PCSI,8,VOSKEL,E");
    EXPECT_EQ(Sentences(beacon.Answer("$GPCRQ,MSK")), kAutomatic);
}

TEST(BeaconReceiver, RefusesWrongArgumentsAndChecksums)
{
    CBeaconReceiver beacon;
    for (const char* wrong : {"$GPMSK,400.0,M,,A", "$GPMSK,311.2,M,,A", "$GPMSK,,M,,A", "$GPMSK,311.0,M,300,M",
                              "$GPMSK,311.0,X,,A", "$GPMSK,311.0,M"}) {
        EXPECT_EQ(Sentences(beacon.Answer(wrong)), Strings{"$PCSI,NAK,GPMSK,FORMAT"}) << wrong;
    }
    EXPECT_EQ(Sentences(beacon.Answer("$GPCRQ,MSK")), kAutomatic);
    EXPECT_EQ(Sentences(beacon.Answer("$PCSI,1,7")), Strings{"$PCSI,NAK,PCSI,PORT"});
    EXPECT_EQ(Sentences(beacon.Answer("$GPCRQ,XYZ")), Strings{"$PCSI,NAK,GPCRQ,QUERY"});
    EXPECT_EQ(Sentences(beacon.Answer("$GPCRQ,MSK*00")), Strings{"$PCSI,NAK,GPCRQ,CHECKSUM"});
    EXPECT_EQ(Sentences(beacon.Answer("$PCSI,6*" + devsim::nmea::Checksum("PCSI,6"))), Strings{"$PCSI,ACK,6"});
}

TEST(BeaconReceiver, IgnoresItsOwnAnswersAndUnknownLines)
{
    CBeaconReceiver beacon;
    std::string own;
    for (const char* command : {"$PCSI,0", "$PCSI,1,1", "$PCSI,6", "$PCSI,8,VOSKEL,E", "$PCSI,8,X,E",
                                "$GPMSK,311.0,M,,A", "$GPMSK,1,M,,A", "$GPCRQ,MSK", "$GPCRQ,MSS", "$GPCRQ,MSK*00"})
        own += beacon.Answer(command);
    for (const std::string& line : CrLfLines(own))
        EXPECT_EQ(beacon.Answer(line), "") << line;
    for (const char* unknown : {"", "PCSI,0", "$PCSI", "$PCSI,99", "$GPGGA,1", "log com1 gpgga ontime 1"})
        EXPECT_EQ(beacon.Answer(unknown), "") << unknown;
    EXPECT_EQ(beacon.Tick({}), "");
}

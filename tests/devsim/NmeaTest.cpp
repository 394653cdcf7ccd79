#include "Nmea.h"

#include <gtest/gtest.h>

using devsim::nmea::ChecksumState;
using devsim::nmea::Parse;
using Fields = std::vector<std::string>;

// Command texts of the receiver catalogue, whose checksums are known good.
TEST(Nmea, SentenceReproducesKnownCommandTexts)
{
    for (const std::string text :
         {"$PORZA,1,115200,1*7D\r\n", "$PNVGRZA,0,115200,1*6C\r\n", "$PORZA,2,4800,2*76\r\n", "$PORZB*55\r\n",
          "$PORZB,GGA,1*25\r\n", "$PORZB,HDT,1,*10\r\n", "$PORZB,RMC,10*08\r\n", "$POCFG,W*26\r\n", "$POCFG,E*34\r\n"})
        EXPECT_EQ(devsim::nmea::Sentence(text.substr(1, text.find('*') - 1)), text);
}

TEST(Nmea, ParseSplitsFieldsKeepingEmptyOnesAndJudgesChecksums)
{
    const auto hdt = Parse("$PORZB,HDT,1,*10");
    ASSERT_TRUE(hdt);
    EXPECT_EQ(hdt->m_address, "PORZB");
    EXPECT_EQ(hdt->m_fields, (Fields{"HDT", "1", ""}));
    EXPECT_EQ(hdt->m_checksum, ChecksumState::Valid);
    EXPECT_EQ(Parse("$GPMSK,,A,,A")->m_fields, (Fields{"", "A", "", "A"}));
    EXPECT_TRUE(Parse("$PORZB")->m_fields.empty());
    EXPECT_EQ(Parse("$PORZB")->m_checksum, ChecksumState::Absent);
    EXPECT_EQ(Parse("$PORZA,1,115200,1*7d")->m_checksum, ChecksumState::Valid); // typed in lower case
    for (const char* wrong : {"$PORZB*5a", "$PORZB,RMC,10*09", "$PORZB,RMC,10*8", "$PORZB,RMC,10*080",
                              "$PORZB,RMC,10*G8", "$PORZB,RMC,10*"})
        EXPECT_EQ(Parse(wrong)->m_checksum, ChecksumState::Invalid) << wrong;
    for (const char* none : {"", "log COM1 gpgga ontime 1", " $PCSI,0", "$", "$,1,2", "$PC SI,0"})
        EXPECT_FALSE(Parse(none)) << none;
}

// --corrupt N: every Nth sentence, counted across calls, goes out with its
// checksum wrong; the rest, and text that is no sentence, as they were.
TEST(Nmea, EveryNthSentenceIsBrokenAcrossCalls)
{
    const std::string second = devsim::nmea::Sentence("GPHDT,251.2,T") + devsim::nmea::Sentence("CRMSS,48,21");
    unsigned counter = 0;
    std::string sent = devsim::nmea::BreakEveryNth(second, 3, counter);
    sent += devsim::nmea::BreakEveryNth("plain\r\n" + second + second, 3, counter);
    EXPECT_EQ(counter, 6u);
    std::vector<ChecksumState> states;
    for (std::size_t start = 0; start < sent.size();) {
        const std::size_t end = sent.find("\r\n", start);
        if (const auto sentence = Parse(sent.substr(start, end - start)))
            states.push_back(sentence->m_checksum);
        start = end + 2;
    }
    EXPECT_EQ(states, (std::vector<ChecksumState>{ChecksumState::Valid, ChecksumState::Valid, ChecksumState::Invalid,
                                                  ChecksumState::Valid, ChecksumState::Valid, ChecksumState::Invalid}));
    EXPECT_EQ(devsim::nmea::BreakEveryNth(second, 0, counter), second);
}

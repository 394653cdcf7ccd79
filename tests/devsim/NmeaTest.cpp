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

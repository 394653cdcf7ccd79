#include "Nmea.h"

#include <gtest/gtest.h>

using devsim::nmea::ChecksumState;

// Command texts of the receiver catalogue whose checksums are known good.
TEST(Nmea, SentenceReproducesKnownCommandTexts)
{
    const char* const known[] = {
        "$PORZA,1,115200,1*7D\r\n", "$PNVGRZA,0,115200,1*6C\r\n", "$PORZA,2,4800,1*75\r\n",
        "$PORZA,2,4800,2*76\r\n",   "$PORZB*55\r\n",              "$PORZB,GGA,1*25\r\n",
        "$PORZB,HDT,1,*10\r\n",     "$PORZB,RMC,1*38\r\n",        "$PORZB,RMC,10*08\r\n",
        "$POCFG,W*26\r\n",          "$POCFG,E*34\r\n",
    };
    for (const std::string text : known) {
        const std::string body = text.substr(1, text.find('*') - 1);
        EXPECT_EQ(devsim::nmea::Sentence(body), text);
    }
    EXPECT_EQ(devsim::nmea::Checksum(""), "00");
}

TEST(Nmea, ParseSplitsAddressAndFieldsKeepingEmptyOnes)
{
    const auto hdt = devsim::nmea::Parse("$PORZB,HDT,1,*10");
    ASSERT_TRUE(hdt);
    EXPECT_EQ(hdt->m_address, "PORZB");
    EXPECT_EQ(hdt->m_fields, (std::vector<std::string>{"HDT", "1", ""}));
    EXPECT_EQ(hdt->m_checksum, ChecksumState::Valid);

    const auto bare = devsim::nmea::Parse("$PORZB");
    ASSERT_TRUE(bare);
    EXPECT_TRUE(bare->m_fields.empty());
    EXPECT_EQ(bare->m_checksum, ChecksumState::Absent);

    const auto msk = devsim::nmea::Parse("$GPMSK,,A,,A");
    ASSERT_TRUE(msk);
    EXPECT_EQ(msk->m_fields, (std::vector<std::string>{"", "A", "", "A"}));
}

TEST(Nmea, ParseJudgesChecksums)
{
    EXPECT_EQ(devsim::nmea::Parse("$PORZB,RMC,10*08")->m_checksum, ChecksumState::Valid);
    EXPECT_EQ(devsim::nmea::Parse("$POCFG,W*26")->m_checksum, ChecksumState::Valid);
    EXPECT_EQ(devsim::nmea::Parse("$PORZB*5a")->m_checksum, ChecksumState::Invalid);
    EXPECT_EQ(devsim::nmea::Parse("$PORZB,RMC,10*09")->m_checksum, ChecksumState::Invalid);
    EXPECT_EQ(devsim::nmea::Parse("$PORZB,RMC,10*8")->m_checksum, ChecksumState::Invalid);
    EXPECT_EQ(devsim::nmea::Parse("$PORZB,RMC,10*080")->m_checksum, ChecksumState::Invalid);
    EXPECT_EQ(devsim::nmea::Parse("$PORZB,RMC,10*G8")->m_checksum, ChecksumState::Invalid);
    EXPECT_EQ(devsim::nmea::Parse("$PORZB,RMC,10*")->m_checksum, ChecksumState::Invalid);
    // Hexadecimal digits may come in lower case from a hand-typed command.
    EXPECT_EQ(devsim::nmea::Parse("$PORZA,1,115200,1*7d")->m_checksum, ChecksumState::Valid);
}

TEST(Nmea, ParseRejectsWhatIsNoSentence)
{
    EXPECT_FALSE(devsim::nmea::Parse(""));
    EXPECT_FALSE(devsim::nmea::Parse("log COM1 gpgga ontime 1"));
    EXPECT_FALSE(devsim::nmea::Parse(" $PCSI,0"));
    EXPECT_FALSE(devsim::nmea::Parse("$"));
    EXPECT_FALSE(devsim::nmea::Parse("$,1,2"));
    EXPECT_FALSE(devsim::nmea::Parse("$PC SI,0"));
}

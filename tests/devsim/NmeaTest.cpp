#include "Nmea.h"

#include <gtest/gtest.h>

#include <sstream>

using S = devsim::nmea::ChecksumState;
using devsim::nmea::Parse;
using Fields = std::vector<std::string>;

TEST(Nmea, ParseSplitsFieldsKeepingEmptyOnesAndJudgesChecksums)
{
    const struct
    {
        const char* line;
        S checksum;
        Fields fields;
    } kCases[] = {
        {"$PORZB,HDT,1,*10", S::Valid, {"HDT", "1", ""}},
        {"$PORZA,1,115200,1*7d", S::Valid, {"1", "115200", "1"}}, // typed in lower case
        {"$GPMSK,,A,,A", S::Absent, {"", "A", "", "A"}},
        {"$PORZB", S::Absent, {}},
        {"$PORZB*5a", S::Invalid, {}},
        {"$PORZB,RMC,10*09", S::Invalid, {"RMC", "10"}},
        {"$PORZB,RMC,10*080", S::Invalid, {"RMC", "10"}},
        {"$PORZB,RMC,10*", S::Invalid, {"RMC", "10"}},
    };
    for (const char* line : {"", "log COM1 gpgga ontime 1", " $PCSI,0", "$", "$,1,2", "$PC SI,0"})
        EXPECT_FALSE(Parse(line)) << line;
    for (const auto& c : kCases) {
        const auto sentence = Parse(c.line);
        ASSERT_TRUE(sentence) << c.line;
        EXPECT_EQ(sentence->m_checksum, c.checksum) << c.line;
        EXPECT_EQ(sentence->m_fields, c.fields) << c.line;
    }
}

// Sentences are made with their checksums and CR LF. --corrupt N: every Nth
// sentence, counted across calls, goes out with its checksum wrong; the rest,
// and text that is no sentence, as they were.
TEST(Nmea, SentencesAreMadeWholeAndEveryNthIsBrokenAcrossCalls)
{
    const std::string two = devsim::nmea::Sentence("GPHDT,251.2,T") + devsim::nmea::Sentence("PNVGRZA,0,115200,1");
    ASSERT_EQ(two, "$GPHDT,251.2,T*31\r\n$PNVGRZA,0,115200,1*6C\r\n");
    unsigned counter = 0;
    std::string first = devsim::nmea::BreakEveryNth(two, 3, counter);
    std::istringstream sent(first + devsim::nmea::BreakEveryNth("plain\r\n" + two + two, 3, counter));
    std::vector<S> states;
    for (std::string line; std::getline(sent, line);) {
        if (const auto sentence = Parse(line.substr(0, line.size() - 1)))
            states.push_back(sentence->m_checksum);
    }
    EXPECT_EQ(states, (std::vector<S>{S::Valid, S::Valid, S::Invalid, S::Valid, S::Valid, S::Invalid}));
    EXPECT_EQ(devsim::nmea::BreakEveryNth(two, 0, counter), two);
}

#include "NmeaChecksum.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>

namespace {

using Result = commands::CSentenceCheck::Result;

Result Check(const std::string& line, std::size_t piece)
{
    commands::CSentenceCheck check;
    for (std::size_t at = 0; at < line.size(); at += piece)
        check.Add(line.data() + at, std::min(piece, line.size() - at));
    return check.Get();
}

} // namespace

// A line is a sentence when it starts with "$" or "!" and ends in "*" and two
// hex digits of either case, as devices send them; the verdict is the same
// whether the line comes whole or a byte at a time.
TEST(SentenceCheck, ChecksumDigitsOfEitherCaseAndLinesThatAreNoSentence)
{
    const std::pair<const char*, Result> cases[] = {
        {"$GPTXT,01,01,02,16*4A", Result::Valid},
        {"$GPTXT,01,01,02,16*4a", Result::Valid},
        {"$GPTXT,01,01,02,p2*0f", Result::Valid},
        {"$GPTXT,01,01,02,16*4b", Result::Broken},
        {"$GPTXT,01,01,02,17*4A", Result::Broken},
        {"!AIVDM,1,1,,A,13u,0*51", Result::Valid},
        {"$*00", Result::Valid},
        {"$GPTXT,01,01,02,16*4G", Result::None},
        {"$GPTXT,01,01,02,16", Result::None},
        {"GPTXT,01,01,02,16*4A", Result::None},
        {"*4A", Result::None},
    };
    for (const auto& [line, result] : cases) {
        EXPECT_EQ(Check(line, 1 << 10), result) << line;
        EXPECT_EQ(Check(line, 1), result) << line << " a byte at a time";
    }
}

#include "LineAssembler.h"

#include <gtest/gtest.h>

using devsim::CLineAssembler;
using Lines = std::vector<std::string>;

namespace {

Lines Feed(CLineAssembler& assembler, const std::string& bytes)
{
    return assembler.Feed(bytes.data(), bytes.size());
}

} // namespace

TEST(LineAssembler, EndsLinesAtCrLfOrLfAloneAndJoinsSplitOnes)
{
    CLineAssembler assembler;
    EXPECT_EQ(Feed(assembler, "$PCSI,0\r\n$GPCRQ,MSK\nSaveconfig\r\n\r\n"),
              (Lines{"$PCSI,0", "$GPCRQ,MSK", "Saveconfig", ""}));
    EXPECT_EQ(Feed(assembler, "a\rb\r\n"), (Lines{"a\rb"})); // a CR inside is no line end

    Lines lines; // one byte per read, CR and LF apart
    for (const char c : std::string("log COM1 gpgga ontime 1\r\n$PORZB,RMC,10*08\r\n")) {
        for (std::string& line : assembler.Feed(&c, 1))
            lines.push_back(std::move(line));
    }
    EXPECT_EQ(lines, (Lines{"log COM1 gpgga ontime 1", "$PORZB,RMC,10*08"}));
}

// The buffer stays bounded whatever a peer sends, and the next line is whole.
TEST(LineAssembler, DropsOverlongAndForgottenLinesAndRecovers)
{
    CLineAssembler assembler;
    const std::string garbage(CLineAssembler::kMaxLine * 40, 'x');
    EXPECT_TRUE(Feed(assembler, garbage).empty());
    EXPECT_TRUE(Feed(assembler, garbage + "\r\n").empty());
    EXPECT_EQ(Feed(assembler, "$PCSI,6\r\n"), Lines{"$PCSI,6"});
    const std::string longest(CLineAssembler::kMaxLine, 'y');
    EXPECT_EQ(Feed(assembler, longest + "\n"), Lines{longest});

    Feed(assembler, "$PORZB,GG");
    assembler.Reset();
    EXPECT_EQ(Feed(assembler, "$POCFG,W*26\r\n"), Lines{"$POCFG,W*26"});
    Feed(assembler, garbage);
    assembler.Reset();
    EXPECT_EQ(Feed(assembler, "ok\n"), Lines{"ok"});
}

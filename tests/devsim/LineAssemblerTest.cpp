#include "LineAssembler.h"

#include <gtest/gtest.h>

using devsim::CLineAssembler;
using Lines = std::vector<std::string>;

// Each row's pieces are fed to an assembler of its own, in order (an empty
// piece resets it, as when the peer went away): the lines it completes.
TEST(LineAssembler, EndsLinesAtLfJoinsPiecesAndDropsOverlongOnes)
{
    const std::string garbage(CLineAssembler::kMaxLine * 40, 'x');
    const std::string longest(CLineAssembler::kMaxLine, 'y');
    const struct
    {
        std::vector<std::string> pieces;
        Lines lines;
    } kCases[] = {
        {{"$PCSI,0\r\n$GPCRQ,MSK\nSaveconfig\r\n\r\n"}, {"$PCSI,0", "$GPCRQ,MSK", "Saveconfig", ""}},
        {{"a\rb\r\n"}, {"a\rb"}}, // a CR inside is no line end
        {{"log COM1 gpgga", " ontime 1\r", "\n$PORZB,", "RMC,10*08\r\n"}, {"log COM1 gpgga ontime 1", "$PORZB,RMC,10*08"}},
        {{garbage, garbage + "\r\n", "$PCSI,6\r\n"}, {"$PCSI,6"}}, // the buffer stays bounded
        {{longest + "\n"}, {longest}},
        {{"$PORZB,GG", "", "$POCFG,W*26\r\n"}, {"$POCFG,W*26"}},
        {{garbage, "", "ok\n"}, {"ok"}},
    };
    for (const auto& c : kCases) {
        CLineAssembler assembler;
        Lines lines;
        for (const std::string& piece : c.pieces) {
            if (piece.empty())
                assembler.Reset();
            for (std::string& line : assembler.Feed(piece.data(), piece.size()))
                lines.push_back(std::move(line));
        }
        EXPECT_EQ(lines, c.lines) << c.pieces.front().substr(0, 40);
    }
}

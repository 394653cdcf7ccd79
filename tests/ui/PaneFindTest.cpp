// Finding text in a pane: matches across line breaks and across the pane's
// blocks, both directions, with and without letter case, wrapping or not,
// at the text's ends; the same on another byte store and in any slice size.

#include <Cp1251.h>
#include <PaneFind.h>
#include <PaneText.h>

#include <QString>

#include <QtText.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

using ui::CPaneFind;
using ui::CPaneText;
using Direction = CPaneFind::Direction;
using Status = CPaneFind::Status;

namespace {

// Another byte store with the pane's reading interface, handing out its
// bytes one at a time: the finder may assume nothing of the pieces.
class CByteByByte
{
public:
    explicit CByteByByte(std::string bytes) : m_bytes(std::move(bytes)) {}
    std::size_t Size() const { return m_bytes.size(); }
    template <typename Piece>
    void ForEachPiece(std::size_t begin, std::size_t end, Piece piece) const
    {
        for (std::size_t at = begin; at < std::min(end, m_bytes.size()); ++at)
            if (!piece(m_bytes.data() + at, 1))
                return;
    }
    void Append(const std::string& bytes) { m_bytes += bytes; }

private:
    std::string m_bytes;
};

// UTF-8 test text as the pane holds it.
std::string Cp(const char* utf8)
{
    return text::Utf8ToCp1251(utf8);
}

constexpr std::size_t kEnd = static_cast<std::size_t>(-1);  // "from the text's end"

struct Case
{
    const char* text;
    const char* needle;
    std::size_t from;
    Direction direction;
    bool matchCase, wrap;
    std::optional<std::size_t> found;  // where the match begins; none: not found
    bool wrapped;
};

template <typename Text>
std::string Describe(const Case& c, const Text& text, std::size_t slice)
{
    CPaneFind find(Cp(c.needle), c.from == kEnd ? text.Size() : c.from, c.direction, {c.matchCase, c.wrap});
    std::size_t steps = 0;
    while (find.Step(text, slice) == Status::Searching)
        ++steps;
    if (find.GetStatus() == Status::NotFound)
        return "not found";
    return "at " + std::to_string(find.MatchBegin()) + (find.Wrapped() ? " wrapped" : "") + " to " +
           std::to_string(find.MatchEnd());
}

std::string Expected(const Case& c)
{
    if (!c.found)
        return "not found";
    return "at " + std::to_string(*c.found) + (c.wrapped ? " wrapped" : "") + " to " +
           std::to_string(*c.found + Cp(c.needle).size());
}

} // namespace

// Every case on pane texts of several block sizes (so that matches span
// blocks), on a store that hands out single bytes, and in slices from one
// position up (so that a search resumes anywhere).
TEST(PaneFind, FindsAcrossLinesAndBlocksBothWaysWithAndWithoutCase)
{
    const auto F = Direction::Forward;
    const auto B = Direction::Backward;
    const char* const nmea = "$GPGGA,1\n$GPRMC,2\nend\n";  // "$GPRMC" at 9, "end" at 18
    const Case kCases[] = {
        {nmea, "GPRMC", 0, F, true, true, 10, false},
        {nmea, "1\n$GP", 0, F, true, true, 7, false},           // across a line break
        {nmea, "C,2\nend\n", 0, F, true, true, 14, false},      // to the very end
        {nmea, "$GP", 10, F, true, false, std::nullopt, false}, // none after 10, no wrapping
        {nmea, "$GP", 10, F, true, true, 0, true},              // wrapped to the start
        {nmea, "$GP", 9, F, true, true, 9, false},              // a match at `from` counts
        {nmea, "$GP", kEnd, B, true, true, 9, false},
        {nmea, "$GP", 9, B, true, true, 0, false},              // begins before `from`
        {nmea, "$GP", 0, B, true, false, std::nullopt, false},
        {nmea, "$GP", 0, B, true, true, 9, true},               // wrapped to the end
        {nmea, "2\nEND", 0, F, false, true, 16, false},         // case, across a line break
        {nmea, "2\nEND", 0, F, true, true, std::nullopt, false},
        {nmea, "gprmc", kEnd, B, false, true, 10, false},
        {nmea, "$gpgga", kEnd, B, true, true, std::nullopt, false},
        {nmea, "$GPGGA,1\n$GPRMC,2\nend\n", 0, F, true, true, 0, false},  // the whole text
        {nmea, "$GPGGA,1\n$GPRMC,2\nend\n!", 0, F, true, true, std::nullopt, false},  // longer than it
        {nmea, "", 0, F, true, true, std::nullopt, false},
        {"", "a", 0, F, false, true, std::nullopt, false},
        {"aaaa", "aa", 1, F, true, true, 1, false},             // overlapping matches
        {"aaaa", "aa", 3, B, true, true, 2, false},
        {"ab", "ab", 0, B, true, false, std::nullopt, false},
        {"ab", "ab", 1, B, true, false, 0, false},
        {"ab", "b", 99, F, true, true, 1, true},                // `from` past the end
        {"ёлка ЁЛКА Ёлка", "ЁЛКА", 1, F, false, true, 5, false},
        {"ёлка ЁЛКА Ёлка", "ЁЛКА", 1, F, true, true, 5, false},
        {"ёлка ЁЛКА Ёлка", "ёлка", 1, F, true, true, 0, true},
        {"ёлка ЁЛКА Ёлка", "ёЛкА", kEnd, B, false, true, 10, false},
        {"Ґанок Їжак Ўлада Єва Індія", "ґанок їжак ўлада єва індія", 0, F, false, true, 0, false},
        {"ЂЃЉЊЌЋЏЈЅ", "ђѓљњќћџјѕ", 0, F, false, true, 0, false},
        {"ЂЃЉЊЌЋЏЈЅ", "ђѓљњќћџјѕ", 0, F, true, true, std::nullopt, false},
        {"№ 5", "№", 0, F, false, true, 0, false},
        {"Qq", "q", 0, F, false, true, 0, false},
    };
    for (const Case& c : kCases) {
        const std::string bytes = Cp(c.text);
        const std::string expected = Expected(c);
        for (const std::size_t block : {1u, 2u, 3u, 7u, 64u}) {
            CPaneText pane(block);
            pane.Append(bytes);
            for (const std::size_t slice : {1u, 2u, 5u, 1000u})
                EXPECT_EQ(Describe(c, pane, slice), expected)
                    << c.text << " / " << c.needle << " from " << c.from << ", block " << block << ", slice " << slice;
        }
        EXPECT_EQ(Describe(c, CByteByByte(bytes), 3), expected) << c.text << " / " << c.needle;
    }
}

// Every byte's fold is what Qt makes of the letter in lower case, where the
// code page holds that; any other byte folds to itself.
TEST(PaneFind, CaseFoldingIsWindows1251s)
{
    int letters = 0;
    for (int b = 0; b < 256; ++b) {
        const char byte = static_cast<char>(b);
        const QString lower = text::ToQString(&byte, 1).toLower();
        const std::string back = text::FromQString(lower);
        const bool held = back.size() == 1 && (back[0] != '?' || b == '?');
        const unsigned char expected = held ? static_cast<unsigned char>(back[0]) : static_cast<unsigned char>(b);
        EXPECT_EQ(ui::FoldCase1251(static_cast<unsigned char>(b)), expected) << "byte " << b;
        letters += expected != b;
    }
    EXPECT_EQ(letters, 26 + 32 + 15) << "Latin, А-Я, and the other Cyrillic capitals";
}

// The pane grows while a search goes on: what arrives meanwhile is searched
// too. A search that has ended stays ended.
TEST(PaneFind, SearchForwardFindsWhatArrivesMeanwhile)
{
    CPaneText pane(16);
    for (int i = 0; i < 100; ++i)
        pane.Append("$SDDBT,1.0,f,0.3,M,0.2,F*00\n");
    CPaneFind find("$POACK", 0, Direction::Forward, {true, false});
    ASSERT_EQ(find.Step(pane, 100), Status::Searching);
    pane.Append("$POACK,1*00\n");
    EXPECT_EQ(find.Run(pane), Status::Found);
    EXPECT_EQ(find.MatchBegin(), 100u * 28);
    pane.Append("$POACK,2*00\n");
    EXPECT_EQ(find.Step(pane, 100), Status::Found);
    EXPECT_EQ(find.MatchBegin(), 100u * 28);
}

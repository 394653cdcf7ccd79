// How received bytes read in a log pane, and typed text coming back to
// bytes. Which files Send File refuses is shown by the channel tests.

#include <Cp1251.h>
#include <ReceivedText.h>

#include <QString>

#include <gtest/gtest.h>

#include <vector>

namespace {

QString Shown(const std::string& bytes)
{
    QString text(static_cast<qsizetype>(bytes.size()), Qt::Uninitialized);
    ui::DecodePaneBytes(bytes.data(), bytes.size(), reinterpret_cast<char16_t*>(text.data()));
    return text;
}

} // namespace

// Each case is a device's reads, one after the other: only the device's own
// line ends break lines, wherever the reads happened to end.
TEST(ReceivedText, ReadsJoinIntoTheDevicesLinesWithControlAndHighBytesShown)
{
    const struct
    {
        std::vector<std::string> reads;
        const char* shown;  // UTF-8
    } cases[] = {
        {{"a\nb\rc\r\r\nd\te"}, "a\nb\nc\n\nd\te"},
        {{"abc\r", "", "\ndef"}, "abc\ndef"},  // one CR LF, split between reads
        {{"abc\r", "\r", "\n"}, "abc\n\n"},
        {{"abc\n", "\ndef"}, "abc\n\ndef"},
        {{std::string("ab\0cd", 5)}, "ab␀cd"},
        {{"\x01\x07\x1B\x7F"}, "␁␇␛␡"},
        {{"\xCF\xF0\xE8\xE2\xE5\xF2 \xB8", "\x98"}, "Привет ё\uFFFD"},  // Windows-1251; 0x98 is unassigned
    };
    for (const auto& c : cases) {
        std::string bytes;
        bool afterCr = false;
        for (const std::string& read : c.reads)
            ui::AppendPaneBytes(bytes, read.data(), read.size(), afterCr);
        EXPECT_EQ(Shown(bytes), QString::fromUtf8(c.shown)) << c.reads.front();
    }
}

// Whatever a pane shows comes back as the byte it shows, so a copied piece
// pasted again is the same; what the code page cannot hold is '?'.
TEST(ReceivedText, TypedAndPastedTextBecomesTheBytesItShows)
{
    const struct
    {
        const char* typed;  // UTF-8
        std::string bytes;
    } cases[] = {
        {"Да\r\nнет\rё", "\xC4\xE0\n\xED\xE5\xF2\n\xB8"},
        {"␀␛␡\t\uFFFD", std::string("\0\x1B\x7F\t\x98", 5)},
        {"€∑😀x", "\x88??x"},  // the euro sign is in the code page, the rest is not
    };
    for (const auto& c : cases)
        EXPECT_EQ(ui::ToPaneBytes(text::Utf8ToUtf16(c.typed)), c.bytes) << c.typed;
}

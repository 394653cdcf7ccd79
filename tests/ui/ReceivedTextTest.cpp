// How received chunks read in a log pane, and reading a file to send.

#include <ReceivedText.h>
#include <WholeFile.h>

#include <TempDir.h>

#include <gtest/gtest.h>

#include <sys/stat.h>

TEST(ReceivedText, LineEndsControlAndHighBytesReadAsOnePaneLine)
{
    const struct
    {
        std::string chunk;
        const char* shown;  // UTF-8
    } cases[] = {
        {"abc", "abc\n"},
        {"$GPGGA,1\r\n$GPRMC,2\r\n", "$GPGGA,1\n$GPRMC,2\n\n"},  // CR LF is one break
        {"a\nb\rc\r\r\nd\te", "a\nb\nc\n\nd\te\n"},
        {"abc\r", "abc\n"},  // pairs with the chunk's own line feed
        {std::string("ab\0cd", 5), "ab␀cd\n"},
        {"\x01\x07\x1B\x7F", "␁␇␛␡\n"},
        {"\xCF\xF0\xE8\xE2\xE5\xF2 \xB8\x98", "Привет ё\uFFFD\n"},  // Windows-1251; 0x98 is unassigned
    };
    for (const auto& c : cases) {
        QString out;
        ui::AppendReceivedChunk(out, c.chunk.data(), c.chunk.size());
        EXPECT_EQ(out, QString::fromUtf8(c.shown)) << c.chunk;
    }
}

// A FIFO without a writer, a device or a folder would block, never end or
// make no sense; the contents of a regular file are checked through Send File.
TEST(WholeFile, RefusesAllButRegularFiles)
{
    testsupport::TempDir dir;
    ASSERT_EQ(::mkfifo(dir.File("fifo").c_str(), 0600), 0);
    std::vector<char> contents{'x'};
    for (const std::string& path : {dir.File("fifo"), std::string("/dev/zero"), dir.Path(), dir.File("missing")}) {
        EXPECT_FALSE(ui::ReadWholeFile(path.c_str(), contents)) << path;
        EXPECT_TRUE(contents.empty());
    }
}

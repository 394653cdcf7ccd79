// How received chunks read in a log pane, and reading a file to send.

#include <ReceivedText.h>
#include <WholeFile.h>

#include <TempDir.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sys/stat.h>

namespace {

QString Render(const std::string& chunk)
{
    QString out;
    ui::AppendReceivedChunk(out, chunk.data(), chunk.size());
    return out;
}

} // namespace

TEST(ReceivedText, EachChunkEndsInOneLineFeedAndLineEndsReadAsOneBreak)
{
    EXPECT_EQ(Render("abc"), "abc\n");
    EXPECT_EQ(Render("$GPGGA,1\r\n$GPRMC,2\r\n"), "$GPGGA,1\n$GPRMC,2\n\n");
    EXPECT_EQ(Render("a\nb\rc\r\r\nd\te"), "a\nb\nc\n\nd\te\n");
    EXPECT_EQ(Render("abc\r"), "abc\n");  // pairs with the chunk's own line feed
}

TEST(ReceivedText, ControlBytesShowVisiblyAndHighBytesAreWindows1251)
{
    EXPECT_EQ(Render(std::string("ab\0cd", 5)), QString::fromUtf8("ab␀cd\n"));
    EXPECT_EQ(Render("\x01\x07\x1B\x7F"), QString::fromUtf8("␁␇␛␡\n"));
    EXPECT_EQ(Render("\xCF\xF0\xE8\xE2\xE5\xF2 \xB8\x98"), QString::fromUtf8("Привет ё\uFFFD\n"));
}

TEST(WholeFile, ReadsRegularFilesOnly)
{
    testsupport::TempDir dir;
    std::vector<char> contents;
    const std::string bytes("\0\x01\xFFxyz", 6);
    std::ofstream(dir.File("data.bin"), std::ios::binary) << bytes;
    ASSERT_TRUE(ui::ReadWholeFile(dir.File("data.bin").c_str(), contents));
    EXPECT_EQ(std::string(contents.begin(), contents.end()), bytes);

    // A FIFO without a writer, a device or a folder would block, never end
    // or make no sense.
    ASSERT_EQ(::mkfifo(dir.File("fifo").c_str(), 0600), 0);
    for (const std::string& path : {dir.File("fifo"), std::string("/dev/zero"), dir.Path(), dir.File("missing")}) {
        EXPECT_FALSE(ui::ReadWholeFile(path.c_str(), contents)) << path;
        EXPECT_TRUE(contents.empty());
    }
}

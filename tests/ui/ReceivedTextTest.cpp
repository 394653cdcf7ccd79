// How received bytes read in a log pane, typed text coming back to bytes,
// a pane's record on the disk, and reading a file to send.

#include <PaneRecord.h>
#include <ReceivedText.h>
#include <WholeFile.h>

#include <TempDir.h>

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sys/resource.h>
#include <sys/stat.h>

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
        {{"abc", "def"}, "abcdef"},
        {{"$GPGGA,1\r\n$GP", "RMC,2\r\n"}, "$GPGGA,1\n$GPRMC,2\n"},
        {{"a\nb\rc\r\r\nd\te"}, "a\nb\nc\n\nd\te"},
        {{"abc\r", "\ndef"}, "abc\ndef"},  // one CR LF, split between reads
        {{"abc\r", "", "\ndef"}, "abc\ndef"},
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
        EXPECT_EQ(ui::ToPaneBytes(QString::fromUtf8(c.typed)), c.bytes) << c.typed;
}

// A record that cannot be written whole (here: a disk that takes no more
// than 4 KB a file) leaves the file that was there as it was, and nothing
// else behind.
TEST(PaneRecord, AFailedWriteLeavesTheOldFileAndNothingElse)
{
    testsupport::TempDir dir;
    std::ofstream(dir.File("record.log")) << "old";
    EXPECT_EQ(ui::WriteRecord("a\nb", dir.File("new.log")), "");
    rlimit limit{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &limit), 0);
    const rlimit small{4096, limit.rlim_max};
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const std::string error = ui::WriteRecord(std::string(8192, 'x'), dir.File("record.log"));
    ::setrlimit(RLIMIT_FSIZE, &limit);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(error.rfind("cannot write", 0), 0u) << error;
    std::ifstream old(dir.File("record.log"));
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(old), {}), "old");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 2);
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

// A pane over a record whose file is cut short under the program (another
// program, a disk gone bad): the pane stays whole, shows what can be read,
// and a stand-in of the right shape where it cannot; saving it writes the same.

#include "PanePair.h"

#include <PaneRecord.h>
#include <TempDir.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

using panetest::CPanePair;
using recordtest::Text;

TEST(PaneOverRecordLinux, ARecordCutShortReadsAsWhatItStillHasAndAStandIn)
{
    CPanePair panes(4096);
    panes.ReceiveInReads(Text(0, 100000), 300, 1);
    panes.Written();
    panes.ReceiveInReads(Text(100000, 1000), 300, 2);  // still in memory, some of it
    const std::string path = panes.Record()->BytesPath();
    std::filesystem::resize_file(path, 50000);

    const ui::CPaneText& got = panes.overRecord.Text();
    const ui::CPaneText& want = panes.memory.Text();
    ASSERT_EQ(got.Size(), want.Size());
    ASSERT_EQ(got.LineCount(), want.LineCount());
    const std::string bytes = got.Bytes(0, got.Size());
    const std::string expected = want.Bytes(0, want.Size());
    // What the file still has reads as it did, up to what is read back at
    // once before the cut; past it, a stand-in and what memory holds.
    std::size_t same = 0;
    while (same < bytes.size() && bytes[same] == expected[same])
        ++same;
    EXPECT_GT(same, 40000u);
    EXPECT_LT(same, 50000u);
    EXPECT_EQ(bytes.substr(bytes.size() - 300), expected.substr(expected.size() - 300));
    EXPECT_NE(bytes.find("???"), std::string::npos);
    // Every line is where the pane says, every position on a line.
    std::size_t line = 0;
    for (std::size_t pos = 0; pos < bytes.size(); ++pos) {
        ASSERT_EQ(got.LineOf(pos), line) << pos;
        if (bytes[pos] == '\n') {
            ASSERT_EQ(got.LineEnd(line), pos);
            ASSERT_EQ(got.LineStart(line + 1), pos + 1);
            ++line;
        }
    }
    // The text can still be edited and saved.
    panes.overRecord.SetSelection(10000, 90000);
    panes.overRecord.ReplaceSelection("cut\n");
    const std::string saved = panes.overRecord.RecordBytes(true);
    EXPECT_EQ(saved, panetest::SavedLineByLine(panes.overRecord, true));
    const std::string file = std::filesystem::temp_directory_path() / ("orvel-pane-cut-" + std::to_string(::getpid()));
    EXPECT_EQ(ui::WriteRecord(panes.overRecord.Snapshot(false), file), "");
    const std::string written = testsupport::FileBytes(file);
    std::filesystem::remove(file);
    std::string crlf;
    for (const char c : panes.overRecord.RecordBytes(false))
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    EXPECT_TRUE(written == crlf);
}

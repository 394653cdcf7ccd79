// A pane that reads its received text back from its record answers as a
// pane that holds everything in memory: one table of cases (reads cut
// anywhere, CR LF split between reads, lines longer than what is read back
// at once, the operator's notes typed into and cut from record-backed text,
// notes of what was sent, Clear, text and a line across records, a record
// that stops) run on both, everything compared after each step. Then: the
// memory of a pane over its record does not grow with what it receives; a
// snapshot taken for saving stays what it was while the pane and its record
// go on.

#include "FileSizeLimit.h"
#include "PanePair.h"

#include <PaneSnapshot.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>

using panetest::CPanePair;
using recordtest::Text;
using Model = ui::CPaneModel;

namespace {

using Step = std::function<void(CPanePair&)>;

Step Reads(std::vector<std::string> reads)
{
    return [reads](CPanePair& panes) {
        for (const std::string& read : reads)
            panes.Receive(read);
    };
}

Step ReadsOf(std::string text, std::size_t largest, unsigned seed)
{
    return [=](CPanePair& panes) { panes.ReceiveInReads(text, largest, seed); };
}

Step RecordOnly(std::string read)
{
    return [read](CPanePair& panes) { panes.RecordOnly(read); };
}

Step Written()
{
    return [](CPanePair& panes) { panes.Written(); };
}

// Positions given as a share of the text's size.
std::size_t At(const Model& model, double where)
{
    return static_cast<std::size_t>(static_cast<double>(model.Text().Size()) * where);
}

Step Type(double where, std::string text)
{
    return [=](CPanePair& panes) {
        panes.Both([&](Model& model) {
            model.MoveCaret(At(model, where), false);
            model.ReplaceSelection(text);
        });
    };
}

Step Erase(double from, double to)
{
    return [=](CPanePair& panes) {
        panes.Both([&](Model& model) {
            model.SetSelection(At(model, from), At(model, to));
            model.ReplaceSelection("");
        });
    };
}

// Backspace at the start of the line at `where`: two lines become one.
Step JoinLines(double where)
{
    return [=](CPanePair& panes) {
        panes.Both([&](Model& model) {
            model.MoveCaret(model.Text().LineStart(model.Text().LineOf(At(model, where))), false);
            model.DeleteBackward();
        });
    };
}

Step SentNote(std::string note)
{
    return [=](CPanePair& panes) { panes.Both([&](Model& model) { model.AddSentNote(note); }); };
}

Step Clear()
{
    return [](CPanePair& panes) { panes.Both([](Model& model) { model.Clear(); }); };
}

Step Close()
{
    return [](CPanePair& panes) { panes.Close(); };
}

Step Open()
{
    return [](CPanePair& panes) { panes.Open(); };
}

std::string Repeated(const std::string& piece, std::size_t times)
{
    std::string text;
    for (std::size_t i = 0; i < times; ++i)
        text += piece;
    return text;
}

struct Case
{
    const char* what;
    std::vector<Step> steps;
    // At the end, some of the pane is read back from its records.
    bool readBack = true;
    // The record must stop at this size (0: it does not).
    std::uint64_t fileLimit = 0;
};

const std::vector<Case>& Cases()
{
    static const std::vector<Case> cases = {
        {"reads cut anywhere",
         {ReadsOf(Text(0, 30000), 97, 1), Written(), ReadsOf(Text(30000, 20000), 5, 2), Written(),
          ReadsOf(Text(50000, 3000), 1, 3), Written()}},
        {"a CR LF split between reads, inside what is read back at once and at its end",
         {Reads({"$GPHDT,274.07,T*03\r", "\n", "a\r", "\nb\r", "\r\n\r", "\n\r", "c"}), Written(),
          ReadsOf(Repeated("x\r\n", 700), 2, 4), Written(), ReadsOf(Repeated("\r\r\n\n", 300), 3, 5), Written()}},
        {"lines longer than what is read back at once",
         {Reads({std::string(5000, 'z'), "\r"}), Reads({"\n" + Text(0, 2000)}), Written(),
          Reads({std::string(70000, 'q'), std::string(3, 'q')}), Written(), Reads({"\r\n"}), Written()}},
        {"the operator's notes typed into and cut from record-backed text",
         {ReadsOf(Text(0, 40000), 200, 6), Written(), Type(0.5, "note"), Type(0.5, "\n"), Type(0.1, "x\ny\n"),
          Erase(0.2, 0.6), JoinLines(0.3), JoinLines(0.01), Type(1.0, "typed at the end"),
          ReadsOf(Text(40000, 20000), 300, 7), Written(), Erase(0.0, 0.05), Erase(0.9, 1.0), Type(0.0, "\n"),
          ReadsOf(Text(60000, 5000), 300, 8), Written()}},
        {"notes of what was sent among received lines, one between a CR and its LF",
         {Reads({"$GPHDT,274.07,T*03\r\n$GPHD"}), SentNote("$PSRF,1*00"), Reads({"T,1*00\r"}),
          SentNote("between CR and LF"), Reads({"\nnext"}), Written(), ReadsOf(Text(0, 9000), 40, 9), Written(),
          SentNote("after it all")},
         false},
        {"cleared in a line, between a CR and its LF, and received on",
         {ReadsOf(Text(0, 10000), 50, 10), Written(), Reads({"$GPHDT,27"}), Clear(), Reads({"4.07,T*03\r\n"}),
          ReadsOf(Text(0, 3000), 50, 23), Written(), Reads({"x\r"}), Clear(), Reads({"\nafter\r\n"}), Written(),
          ReadsOf(Text(0, 10000), 50, 11), Written(), Clear(),
          Written(), Reads({"$GPHDT,274.07,T*03\r\n"}), Written()},
         false},
        {"closed and opened: a CR ends one record and an LF begins the next",
         {ReadsOf(Text(0, 5000), 64, 12), Reads({"end\r"}), Close(), Open(), Reads({"\nnew record\r\n"}), Written(),
          ReadsOf(Text(0, 8000), 64, 13), Written(), Erase(0.3, 0.7), Close(), Open(), Reads({"\r\nthird\r"}),
          Written()}},
        {"closed and opened in a line: the line goes on into the next record",
         {ReadsOf(Text(0, 5000), 64, 25), Reads({"$GPHDT,27"}), Close(), Open(), Reads({"4.07,T*03\r\n"}),
          ReadsOf(Text(0, 20000), 64, 26), Written(), Reads({"$GPHDT,2"}), Clear(), Reads({"74."}), Close(), Open(),
          Reads({"07,T*03\r\n"}), ReadsOf(Text(0, 20000), 64, 27), Written()}},
        {"a line begun in one record, received on while closed, ended in the next",
         {Reads({"first\r\n$GPHDT"}), Close(), Reads({",274.07"}), Open(), Reads({",T*03\r\n"}),
          ReadsOf(Text(0, 20000), 64, 28), Written()}},
        {"received while closed, between records",
         {Reads({"first\r\n"}), Close(), Reads({"while closed\r\n", "$GPHDT,274.07,T*03\r\n"}), Open(),
          ReadsOf(Text(0, 6000), 64, 14), Written()}},
        {"all selected and cut, and received on",
         {ReadsOf(Text(0, 20000), 128, 15), Written(), Erase(0.0, 1.0), ReadsOf(Text(20000, 20000), 128, 16),
          Written()}},
        {"a record that holds what the pane never got: the pane shows what it got",
         {RecordOnly("before the pane was told\r\n"), ReadsOf(Text(0, 20000), 100, 24), Written(),
          Reads({"more\r\n"}), Written()},
         false},
        {"the record stops at a file-size limit: the rest stays in memory",
         {ReadsOf(Text(0, 30000), 200, 17), Written(), ReadsOf(Text(30000, 30000), 200, 18), Written(),
          Type(0.2, "typed"), Erase(0.6, 0.8), ReadsOf(Text(0, 5000), 50, 19), Written()},
         true,
         40000},
    };
    return cases;
}

} // namespace

TEST(PaneOverRecord, AnswersAsAPaneInMemory)
{
    for (const Case& c : Cases()) {
        for (const std::size_t blockSize : {std::size_t{64}, std::size_t{4096}, ui::CPaneText::kBlockSize}) {
            SCOPED_TRACE(std::string(c.what) + ", block size " + std::to_string(blockSize));
            testsupport::CFileSizeLimit limit;
            if (c.fileLimit && !limit.Set(c.fileLimit)) {
                std::printf("skipped here (no file-size limit): %s\n", c.what);
                break;
            }
            CPanePair panes(blockSize);
            for (std::size_t step = 0; step < c.steps.size(); ++step) {
                c.steps[step](panes);
                ASSERT_NO_FATAL_FAILURE(panetest::ExpectSamePanes(panes.memory, panes.overRecord)) << "step " << step;
            }
            if (c.fileLimit) {
                const record::RecordFailure failure = panes.Record()->Failure();
                EXPECT_EQ(failure.step, record::RecordFailure::Step::Write) << failure.text;
            }
            // What the records hold is read from them, not held.
            const ui::CPaneText& text = panes.overRecord.Text();
            EXPECT_EQ(panes.memory.Text().ReadBackBytes(), 0u);
            if (c.readBack) {
                EXPECT_GT(text.ReadBackBytes(), 0u) << "of " << text.Size();
            }
        }
    }
}

// A pane over its record holds half a byte a line and a point every 128
// lines, whatever the lines hold; a pane in memory holds every byte. The
// text read back is the text received.
TEST(PaneOverRecord, MemoryDoesNotGrowWithTheTextReceived)
{
    CPanePair panes(ui::CPaneText::kBlockSize);
    constexpr std::size_t kRead = 4096;
    constexpr std::size_t kTotal = 24 << 20;
    for (std::size_t at = 0; at < kTotal; at += kRead) {
        panes.Receive(Text(at, kRead));
        if (at % (1 << 20) == 0)
            panes.Written();
    }
    panes.Written();
    const ui::CPaneText& text = panes.overRecord.Text();
    const std::size_t lines = text.LineCount();
    const std::size_t held = text.MemoryBytes();
    EXPECT_GT(lines, 500000u);
    EXPECT_GT(panes.memory.Text().MemoryBytes(), kTotal);
    // A byte a line, and a megabyte for what is read back at once and the
    // chunk still filling.
    EXPECT_LT(held, lines + (1u << 20)) << held << " bytes for " << lines << " lines";
    std::printf("a pane over its record: %zu lines, %zu bytes held (%.2f a line); in memory %zu bytes\n", lines, held,
                double(held) / double(lines), panes.memory.Text().MemoryBytes());
    EXPECT_TRUE(text.Bytes(0, text.Size()) == panes.memory.Text().Bytes(0, text.Size()));
}

// A snapshot is written out on another thread while the pane receives on,
// is edited and cleared, and its record grows: it writes what the pane held
// when it was taken.
TEST(PaneOverRecord, ASnapshotStaysWhatThePaneHeld)
{
    CPanePair panes(4096);
    panes.ReceiveInReads(Text(0, 200000), 300, 20);
    panes.Written();
    panes.ReceiveInReads(Text(200000, 3000), 300, 21);  // some of it still in memory
    panes.overRecord.MoveCaret(100, false);
    panes.overRecord.ReplaceSelection("typed\n");
    panes.memory.MoveCaret(100, false);
    panes.memory.ReplaceSelection("typed\n");
    const std::string expected = panetest::SavedLineByLine(panes.memory, true);
    const ui::CPaneSnapshot snapshot = panes.overRecord.Snapshot(true);

    std::string written;
    std::thread writer([&] {
        snapshot.Write([&](const char* data, std::size_t size) {
            written.append(data, size);
            return true;
        });
    });
    for (int round = 0; round < 20; ++round) {
        panes.ReceiveInReads(Text(203000 + round * 5000, 5000), 300, 22 + round);
        panes.Written();
        if (round == 10)
            panes.Both([](Model& model) { model.Clear(); });
        if (round == 15)
            panes.Both([](Model& model) {
                model.SetSelection(0, 400);
                model.ReplaceSelection("");
            });
    }
    writer.join();
    EXPECT_EQ(written.size(), expected.size());
    EXPECT_TRUE(written == expected);
}

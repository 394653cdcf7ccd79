// A channel's record on real files: the bytes as appended across any split
// of the reads, where lines begin and when, the events and the gap of a lost
// device, reading while the record is written, and records that cannot be
// made. Built for Linux and for Windows (run under Wine).

#include "LineSplitter.h"
#include "RecordFolder.h"
#include "RecordName.h"
#include "RecordTestSupport.h"
#include "TimesCodec.h"
#include "WatchRecord.h"

#include <gtest/gtest.h>

#include <filesystem>

#include <algorithm>
#include <atomic>
#include <random>
#include <thread>

using namespace record;
using namespace recordtest;

namespace {

const Millis kOpen = 1700000000000;  // 2023-11-14

// Lines begun, fed in reads cut at `cuts`.
std::vector<std::uint64_t> SplitterBegins(const std::string& bytes, const std::vector<std::size_t>& cuts,
                                          CLineSplitter::State* end = nullptr)
{
    CLineSplitter splitter;
    std::vector<std::uint64_t> begins;
    std::size_t from = 0;
    std::vector<std::size_t> ends = cuts;
    ends.push_back(bytes.size());
    for (const std::size_t to : ends) {
        splitter.Split(bytes.data() + from, to - from, [&](std::size_t at) { begins.push_back(from + at); });
        from = to;
    }
    if (end)
        *end = splitter.GetState();
    return begins;
}

// Appends `bytes` in reads of the sizes `random` gives, each read a few
// milliseconds after the one before (sometimes in the same millisecond,
// now and then earlier, as a clock set back); returns the reads.
std::vector<Read> AppendInReads(CWatchRecord& record, const std::string& bytes, std::mt19937& random,
                                std::size_t largest, Millis start)
{
    std::vector<Read> reads;
    Millis time = start;
    for (std::size_t at = 0; at < bytes.size();) {
        const std::size_t size = std::min<std::size_t>(1 + random() % largest, bytes.size() - at);
        const unsigned roll = random() % 20;
        time += roll == 0 ? -1500 : roll < 5 ? 0 : static_cast<Millis>(random() % 300);
        record.Append(bytes.data() + at, size, time);
        reads.push_back(Read{at, size, time});
        at += size;
    }
    return reads;
}

} // namespace

// Each case is a device's stream, fed whole and cut anywhere into reads:
// a line begins with the first byte after a break, a CR LF is one break
// even when a read ends between them, and an empty read changes nothing.
// (Random streams in random reads: PaneRuleTest.cpp, against the pane.)
TEST(LineSplitter, LinesBeginAfterEachBreakWhereverTheReadsEnd)
{
    const struct
    {
        std::string bytes;
        std::vector<std::uint64_t> begins;
        CLineSplitter::State end;
    } cases[] = {
        {"a\nb\rc\r\r\nd\te", {0, 2, 4, 6, 8}, {false, true}},
        {"abc\r\ndef", {0, 5}, {false, true}},
        {"\r\n\r\n", {0, 2}, {false, false}},
        {"\r\r\n\n", {0, 1, 3}, {false, false}},
        {"\n\r", {0, 1}, {true, false}},
        {"abc\r", {0}, {true, false}},
        {"abc\r\r", {0, 4}, {true, false}},
        {std::string("\0\r\x01", 3), {0, 2}, {false, true}},
        {"x", {0}, {false, true}},
        {"", {}, {false, false}},
        {"no break in this line at all, longer than a word", {0}, {false, true}},
        {"12345678\r\n12345678\n1234567\r12345678", {0, 10, 19, 27}, {false, true}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bytes);
        ASSERT_EQ(LineBegins(c.bytes), c.begins);  // the rule as written out
        CLineSplitter::State end;
        EXPECT_EQ(SplitterBegins(c.bytes, {}, &end), c.begins);
        EXPECT_EQ(end, c.end);
        for (std::size_t cut = 0; cut <= c.bytes.size(); ++cut) {
            EXPECT_EQ(SplitterBegins(c.bytes, {cut}), c.begins) << "cut at " << cut;
            EXPECT_EQ(SplitterBegins(c.bytes, {cut, cut}), c.begins) << "empty read at " << cut;
        }
    }
}

// Entries come back as they were put, a line a few milliseconds after the
// one before in one byte; bytes cut anywhere end before the cut entry, and
// bytes that are no entry are said to be so.
TEST(TimesCodec, EntriesComeBackAndACutFileEndsBeforeItsCutEntry)
{
    const struct { bool isEvent; EventKind kind; std::uint64_t delta; std::size_t size; } entries[] = {
        {true, EventKind::Open, 1700000000123, 8},
        {false, EventKind::Open, 0, 1},
        {false, EventKind::Open, 126, 1},
        {false, EventKind::Open, 127, 2},
        {true, EventKind::Lost, 0, 3},
        {false, EventKind::Open, 5000, 2},
        {true, EventKind::Back, 3600000, 6},
        {false, EventKind::Open, 1ull << 40, 6},
        {true, EventKind::Close, 1, 3},
    };
    std::string bytes;
    for (const auto& e : entries) {
        const std::size_t before = bytes.size();
        if (e.isEvent)
            PutEventTime(bytes, e.kind, e.delta);
        else
            PutLineTime(bytes, e.delta);
        EXPECT_EQ(bytes.size() - before, e.size) << e.delta;
    }
    for (std::size_t cut = 0; cut <= bytes.size(); ++cut) {
        CTimesDecoder decoder(bytes.data(), cut);
        CTimesDecoder::Entry got;
        std::size_t n = 0, whole = 0;
        for (; decoder.Next(got) == CTimesDecoder::Result::Entry; ++n) {
            whole += entries[n].size;
            EXPECT_EQ(got.isEvent, entries[n].isEvent);
            EXPECT_EQ(got.delta, entries[n].delta);
            EXPECT_TRUE(!got.isEvent || got.kind == entries[n].kind);
        }
        EXPECT_EQ(decoder.Position(), whole) << "cut at " << cut;
        EXPECT_LE(cut - whole, kLongestTimesEntry);
        EXPECT_EQ(decoder.Next(got), CTimesDecoder::Result::End);
    }
    for (const std::string& bad : {std::string("\0\x09\x01", 3), std::string("\0\0\x01", 3),
                                   std::string(11, '\xFF') + '\x01'}) {
        CTimesDecoder decoder(bad.data(), bad.size());
        CTimesDecoder::Entry got;
        EXPECT_EQ(decoder.Next(got), CTimesDecoder::Result::Bad);
    }
}

TEST(RecordName, OnlyRecordNamesAreRecords)
{
    const struct { const char* name; const char* base; bool isBytes; } records[] = {
        {"SnsPort-20250101-120000.log", "SnsPort-20250101-120000", true},
        {"KksPort-20251231-235959.times", "KksPort-20251231-235959", false},
        {"SonPort-20250101-120000-2.log", "SonPort-20250101-120000-2", true},
        {"SonPort-20250101-120000-17.times", "SonPort-20250101-120000-17", false},
    };
    for (const auto& r : records) {
        std::string base;
        bool isBytes = !r.isBytes;
        EXPECT_TRUE(ParseRecordFileName(r.name, base, isBytes)) << r.name;
        EXPECT_EQ(base, r.base);
        EXPECT_EQ(isBytes, r.isBytes) << r.name;
    }
    for (const char* other : {"notes.txt", "SnsPort-20250101-120000.log.bak", "SnsPort-20250101-120000.log~",
                              "SnsPort-20250101-120000.LOG",
                              "SnsPort-20250101-120000.txt", "SnsPort-2025011-120000.log", "SnsPort-20250101-12000.log",
                              "SnsPort-20250101-120000-1.log", "SnsPort-20250101-120000-02.log",
                              "SnsPort-20250101-120000-.log", "SnsPort_20250101-120000.log", "Sns Port-20250101-120000.log",
                              "-20250101-120000.log", "SnsPort-20250101x120000.log", ".log",
                              "\xD0\xA1\xD0\x9D\xD0\xA1-20250101-120000.log"}) {
        std::string base;
        bool isBytes = false;
        EXPECT_FALSE(ParseRecordFileName(other, base, isBytes)) << other;
    }
    EXPECT_EQ(RecordBaseName("SnsPort", "20250101-120000", 1), "SnsPort-20250101-120000");
    EXPECT_EQ(RecordBaseName("SnsPort", "20250101-120000", 3), "SnsPort-20250101-120000-3");
}

// Several megabytes in reads of every size: the file, and what Read gives,
// are the bytes appended; every line begins where the pane's rule says, at
// the time of the read that brought its first byte; the times file holds
// the same, Open first and Close last. Long lines and thousands of short
// ones both pass checkpoints.
TEST(WatchRecord, HoldsEveryByteInOrderAndTheTimeEachLineBegan)
{
    CTempFolder temp;
    const std::string folder = temp.File("state/records");
    std::mt19937 random(11);
    const std::string bytes = Text(0, 2'000'000) + std::string(700'000, 'x') + "\r" + Text(5, 500'000) + "\r";
    const auto record = CWatchRecord::Create(folder, "SnsPort", kOpen);
    const std::vector<Read> reads = AppendInReads(*record, bytes, random, 700, kOpen + 3);
    const Millis closeTime = reads.back().time + 20;
    record->Close(closeTime);
    record->WaitClosed();
    ASSERT_FALSE(record->Failure()) << record->Failure().text;

    const std::string path = record->BytesPath();
    EXPECT_EQ(path, InFolder(folder, "SnsPort-" + LocalStamp(kOpen) + ".log"));
    EXPECT_TRUE(WholeFile(path) == bytes);
    EXPECT_EQ(record->Written(), bytes.size());
    EXPECT_TRUE(ReadAll(*record) == bytes);
    std::string piece(1000, '\0');
    EXPECT_EQ(record->Read(bytes.size() - 300, piece.data(), piece.size()), 300u);
    EXPECT_EQ(record->Read(bytes.size(), piece.data(), piece.size()), 0u);

    const std::vector<std::uint64_t> begins = LineBegins(bytes);
    const std::vector<Millis> times = LineTimesOf(begins, reads, kOpen);
    ASSERT_GT(begins.size(), 3 * kCheckpointLines);
    ASSERT_EQ(record->LineCount(), begins.size());
    EXPECT_EQ(record->LineTimes(0, begins.size() + 5), times);
    EXPECT_TRUE(std::is_sorted(times.begin(), times.end()));
    for (std::size_t line = 0; line < begins.size(); line += 1 + random() % 500) {
        ASSERT_EQ(record->LineStart(line), begins[line]) << "line " << line;
        ASSERT_EQ(record->LineTime(line), times[line]) << "line " << line;
        ASSERT_EQ(record->LineTimes(line, 3), std::vector<Millis>(times.begin() + line,
                                                                  times.begin() + std::min(line + 3, times.size())));
    }
    // Around the long line, whose checkpoints fall inside it.
    const std::size_t longLine = static_cast<std::size_t>(
        std::upper_bound(begins.begin(), begins.end(), 2'000'000 + 350'000) - begins.begin() - 1);
    for (std::size_t line = longLine - 3; line < longLine + 4; ++line)
        ASSERT_EQ(record->LineStart(line), begins[line]) << "line " << line;
    EXPECT_EQ(record->LineStart(begins.size() - 1), begins.back());
    EXPECT_EQ(record->LineStart(begins.size()), std::nullopt);
    EXPECT_EQ(record->LineTime(begins.size()), std::nullopt);

    const std::vector<RecordEvent> events{{EventKind::Open, kOpen, 0, 0},
                                          {EventKind::Close, std::max(closeTime, times.back()), begins.size(), bytes.size()}};
    EXPECT_EQ(record->Events(), events);
    const DecodedTimes file = DecodeTimesFile(TimesPathOf(path));
    EXPECT_FALSE(file.bad);
    EXPECT_EQ(file.unread, 0u);
    EXPECT_EQ(file.lines, times);
    ASSERT_EQ(file.events.size(), 2u);
    EXPECT_EQ(file.events.back(), std::make_tuple(EventKind::Close, events[1].time, begins.size()));
    // About a byte a line: reads a few milliseconds apart.
    EXPECT_LT(WholeFile(TimesPathOf(path)).size(), 2 * begins.size());
}

// A device lost and back within one record: the events sit between the
// lines, at the line that had begun (and the byte reached) when they came;
// lines after them are no earlier than they are.
TEST(WatchRecord, ALostDeviceAndItsReturnAreNotedBetweenTheLines)
{
    CTempFolder temp;
    const auto record = CWatchRecord::Create(temp.Path(), "KksPort", kOpen);
    record->Append("$A*00\r\n$B", 9, kOpen + 10);
    record->NoteLost(kOpen + 20);
    record->Append("*01\r", 4, kOpen + 5);  // a read the clock puts before the loss
    record->NoteBack(kOpen + 30000);
    record->Append("\n$C*02\r\n", 8, kOpen + 30010);
    record->Close(kOpen + 40000);
    record->WaitClosed();

    const std::vector<RecordEvent> events{{EventKind::Open, kOpen, 0, 0},
                                          {EventKind::Lost, kOpen + 20, 2, 9},
                                          {EventKind::Back, kOpen + 30000, 2, 13},
                                          {EventKind::Close, kOpen + 40000, 3, 21}};
    EXPECT_EQ(record->Events(), events);
    EXPECT_EQ(ReadAll(*record), "$A*00\r\n$B*01\r\n$C*02\r\n");
    EXPECT_EQ(record->LineTimes(0, 10), (std::vector<Millis>{kOpen + 10, kOpen + 10, kOpen + 30010}));
    EXPECT_EQ(record->LineStart(2), 14u);
    const DecodedTimes file = DecodeTimesFile(TimesPathOf(record->BytesPath()));
    EXPECT_EQ(file.lines, record->LineTimes(0, 10));
    ASSERT_EQ(file.events.size(), 4u);
    for (std::size_t i = 0; i < 4; ++i)
        EXPECT_EQ(file.events[i], std::make_tuple(events[i].kind, events[i].time, events[i].line)) << i;
}

// The window reads while the I/O side appends: whatever it reads below
// Written() is the bytes appended there, lines and their times only grow,
// and Written() never goes back.
TEST(WatchRecord, ReadsWhileItIsWrittenSeeOnlyWhatWasAppended)
{
    CTempFolder temp;
    const std::string bytes = Text(3, 12'000'000);
    const std::vector<std::uint64_t> begins = LineBegins(bytes);
    const auto record = CWatchRecord::Create(temp.Path(), "SonPort", kOpen);
    std::atomic<bool> appended{false};
    std::thread io([&] {
        std::mt19937 random(5);
        for (std::size_t at = 0; at < bytes.size();) {
            const std::size_t size = std::min<std::size_t>(1 + random() % 512, bytes.size() - at);
            record->Append(bytes.data() + at, size, kOpen + static_cast<Millis>(at / 1000));
            at += size;
        }
        appended = true;
    });

    std::mt19937 random(6);
    std::uint64_t lastWritten = 0, lastLines = 0;
    std::string piece;
    int rounds = 0;
    for (bool done = false; !done; ++rounds) {
        done = appended && record->Written() == bytes.size();
        const std::uint64_t written = record->Written();
        const std::uint64_t lines = record->LineCount();
        ASSERT_GE(written, lastWritten);
        ASSERT_GE(lines, lastLines);
        ASSERT_LE(lines, begins.size());
        if (written > 0) {
            const std::uint64_t offset = random() % written;
            piece.resize(static_cast<std::size_t>(std::min<std::uint64_t>(1 + random() % 100000, written - offset)));
            ASSERT_EQ(record->Read(offset, piece.data(), piece.size()), piece.size());
            ASSERT_TRUE(piece == bytes.substr(static_cast<std::size_t>(offset), piece.size())) << offset;
        }
        if (lines > 0) {
            const std::uint64_t line = lines - 1 - random() % std::min<std::uint64_t>(lines, 5000);
            ASSERT_EQ(record->LineStart(line), begins[line]);
            const std::vector<Millis> times = record->LineTimes(line, 50);
            ASSERT_FALSE(times.empty());
            ASSERT_TRUE(std::is_sorted(times.begin(), times.end()));
            ASSERT_LE(times.front(), kOpen + static_cast<Millis>(begins[line] / 1000) + 1);
        }
        lastWritten = written;
        lastLines = lines;
    }
    io.join();
    record->Close(kOpen + 20000);
    record->WaitClosed();
    EXPECT_EQ(record->LineCount(), begins.size());
    EXPECT_FALSE(record->Failure());
    EXPECT_GT(rounds, 1);
}

// Channels opened within one second each get a record of their own.
TEST(WatchRecord, OpensWithinOneSecondMakeRecordsOfTheirOwn)
{
    CTempFolder temp;
    std::vector<std::shared_ptr<CWatchRecord>> records;
    for (int i = 0; i < 3; ++i) {
        records.push_back(CWatchRecord::Create(temp.Path(), "SnsPort", kOpen + i * 100));
        records.back()->Append("x\r\n", 3, kOpen + 500);
        records.back()->Flush();
    }
    records.push_back(CWatchRecord::Create(temp.Path(), "KksPort", kOpen));
    records.back()->Flush();
    const std::string stamp = LocalStamp(kOpen);
    const std::string names[] = {"SnsPort-" + stamp, "SnsPort-" + stamp + "-2", "SnsPort-" + stamp + "-3",
                                 "KksPort-" + stamp};
    for (std::size_t i = 0; i < records.size(); ++i) {
        EXPECT_EQ(records[i]->BytesPath(), InFolder(temp.Path(), names[i] + kBytesExtension));
        EXPECT_FALSE(records[i]->Failure()) << names[i];
    }
    records.clear();  // closed, written, synced
    EXPECT_EQ(WholeFile(temp.File(names[1] + kBytesExtension)), "x\r\n");
    EXPECT_EQ(WholeFile(temp.File(names[3] + kBytesExtension)), "");

    // A record of an open that failed leaves nothing behind.
    const auto discarded = CWatchRecord::Create(temp.Path(), "SonPort", kOpen);
    discarded->Flush();
    discarded->Discard();
    discarded->WaitClosed();
    EXPECT_FALSE(std::filesystem::exists(temp.File("SonPort-" + stamp + kBytesExtension)));
    EXPECT_FALSE(std::filesystem::exists(temp.File("SonPort-" + stamp + kTimesExtension)));
}

// A record whose folder cannot be made, or of a name that is no device's,
// fails at once: one line on standard error says why, appends are taken and
// dropped without waiting, nothing is readable.
TEST(WatchRecord, ARecordThatCannotBeMadeFailsAndStillTakesReads)
{
    CTempFolder temp;
    WriteFile(temp.File("state"), "a file where the folder should be");
    const struct { std::string folder, device; RecordFailure::Step step; } cases[] = {
        {temp.File("state") + "/OrvelConfigurator/records", "SnsPort", RecordFailure::Step::Folder},
        {temp.Path(), "../SnsPort", RecordFailure::Step::Create},
        {temp.Path(), "", RecordFailure::Step::Create},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.device + " in " + c.folder);
        ::testing::internal::CaptureStderr();
        const auto record = CWatchRecord::Create(c.folder, c.device, kOpen);
        record->Flush();
        const std::string said = ::testing::internal::GetCapturedStderr();
        const RecordFailure failure = record->Failure();
        EXPECT_EQ(failure.step, c.step);
        EXPECT_FALSE(failure.text.empty());
        EXPECT_EQ(said, "OrvelConfigurator: no record of " + c.device + ": " + failure.text + "\n");
        const std::string flood(1 << 20, 'y');
        for (int i = 0; i < 64; ++i)  // eight times the buffer
            record->Append(flood.data(), flood.size(), kOpen + 1);
        record->NoteLost(kOpen + 2);
        EXPECT_EQ(record->Written(), 0u);
        EXPECT_EQ(record->LineCount(), 0u);
        EXPECT_EQ(record->LineStart(0), std::nullopt);
        EXPECT_TRUE(record->LineTimes(0, 5).empty());
        EXPECT_TRUE(record->Events().empty());
        EXPECT_EQ(record->BytesPath(), "");
        record->Close(kOpen + 3);
        record->WaitClosed();
    }
    std::vector<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(temp.Path()))
        left.push_back(entry.path().filename().string());
    EXPECT_EQ(left, std::vector<std::string>{"state"});
}

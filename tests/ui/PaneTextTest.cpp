// The log pane's text store against a plain string doing the same edits,
// in memory and over received text read back from a record.

#include <PaneText.h>
#include <TempDir.h>
#include <WatchRecord.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

namespace {

// A string doing the same edits, with the tag of each of its line breaks
// kept beside it.
struct Model
{
    std::string bytes;
    std::string tags;  // one per '\n' of bytes, in order

    std::size_t BreaksBefore(std::size_t pos) const
    {
        return static_cast<std::size_t>(std::count(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(pos), '\n'));
    }
    void Insert(std::size_t pos, const std::string& more, char tag)
    {
        tags.insert(BreaksBefore(pos), static_cast<std::size_t>(std::count(more.begin(), more.end(), '\n')), tag);
        bytes.insert(pos, more);
    }
    void Erase(std::size_t pos, std::size_t size)
    {
        size = std::min(size, bytes.size() - std::min(pos, bytes.size()));
        if (pos >= bytes.size())
            return;
        const std::size_t first = BreaksBefore(pos);
        tags.erase(first, BreaksBefore(pos + size) - first);
        bytes.erase(pos, size);
    }
};

// Everything the store answers, compared with what the string says.
void ExpectSame(const ui::CPaneText& text, const std::string& model, const std::string& tags = std::string())
{
    ASSERT_EQ(text.Size(), model.size());
    ASSERT_EQ(text.Bytes(0, text.Size()), model);
    std::size_t line = 0;
    std::size_t lineStart = 0;
    for (std::size_t pos = 0; pos <= model.size(); ++pos) {
        ASSERT_EQ(text.LineOf(pos), line) << "position " << pos;
        if (pos < model.size()) {
            ASSERT_EQ(text.At(pos), model[pos]);
        }
        if (pos == model.size() || model[pos] == '\n') {
            ASSERT_EQ(text.LineStart(line), lineStart) << "line " << line;
            ASSERT_EQ(text.LineEnd(line), pos) << "line " << line;
            if (!tags.empty() || pos == model.size()) {
                ASSERT_EQ(text.LineTag(line), pos == model.size() ? 0 : tags[line]) << "line " << line;
            }
            lineStart = pos + 1;
            ++line;
        }
    }
    ASSERT_EQ(text.LineCount(), line);
    // A range that may run past the end reads clamped; a walk told to stop
    // after its first piece stops.
    const std::size_t begin = model.size() / 3;
    ASSERT_EQ(text.Bytes(begin, begin * 2 + 9), model.substr(begin, begin + 9));
    int pieces = 0;
    text.ForEachPiece(0, model.size(), [&](const char*, std::size_t) { return ++pieces < 1; });
    ASSERT_EQ(pieces, model.empty() ? 0 : 1);
}

// Another tag for the line at `pos`, when a break ends it.
void SetTag(ui::CPaneText& text, Model& model, std::size_t pos, std::uint8_t tag)
{
    const std::size_t line = model.BreaksBefore(pos);
    text.SetLineTag(line, tag);
    if (line < model.tags.size())
        model.tags[line] = static_cast<char>(tag);
}

} // namespace

namespace {

// Received text as the device sent it, into the pane and the record: each
// '\n' of `more` an LF, a CR or a CR LF, now and then a CR LF split between
// two reads. `afterCr`: the device's last byte was a CR that ended a line.
template <typename Number>
void Receive(ui::CPaneText& text, record::CWatchRecord& record, const std::string& more, std::uint8_t tag,
             bool& afterCr, Number number, record::Millis time)
{
    std::string read;
    if (afterCr && number(2) == 0) {
        read += '\n';  // the LF of the CR that ended the last read
        text.ExtendReceivedBreak(text.LastReceivedTag());
        afterCr = false;
    }
    for (std::size_t i = 0; i < more.size();) {
        const std::size_t lf = std::min(more.find('\n', i), more.size());
        read.append(more, i, lf - i);
        text.AppendReceived(more.data() + i, lf - i);
        afterCr = afterCr && lf == i;
        if (lf == more.size())
            break;
        // An LF right after a CR would end the CR's line, not one of its own.
        const char* const ends[] = {"\n", "\r", "\r\n"};
        const char* end = ends[afterCr ? 1 + number(2) : number(3)];
        read += end;
        text.AppendReceivedBreak(tag, 0, static_cast<unsigned>(std::char_traits<char>::length(end)));
        afterCr = std::string(end) == "\r";
        i = lf + 1;
    }
    record.Append(read.data(), read.size(), time);
}

} // namespace

// Blocks of a few bytes, so that appends, insertions and erasures cross
// block boundaries, split blocks and empty them all the time; reads of a
// range (Bytes, ForEachPiece) cross them too. Every line break keeps the tag
// it came with, or was given later, wherever the edits move it.
// Over a record, appended text is received text that the record takes too,
// and at random moments the record has written it and the text is read back
// from there; block sizes of a few bytes read back a few bytes at a time.
TEST(PaneText, AnySequenceOfEditsReadsAsTheSameEditsOnAString)
{
    for (const bool overRecord : {false, true})
        for (const std::size_t blockSize : {1u, 3u, 8u, 64u}) {
            SCOPED_TRACE(testing::Message() << "block " << blockSize << (overRecord ? ", over a record" : ""));
            testsupport::TempDir folder;
            const auto record = record::CWatchRecord::Create(folder.Path(), "SnsPort", 1700000000000);
            ui::CPaneText text(blockSize);
            if (overRecord)
                text.SetRecord(record);
            Model model;
            std::mt19937 random(static_cast<unsigned>(blockSize) + (overRecord ? 100 : 0));
            const auto number = [&](std::size_t below) { return static_cast<std::size_t>(random() % below); };
            bool afterCr = false;
            for (int step = 0; step < 300; ++step) {
                const std::size_t pos = number(model.bytes.size() + 1);
                std::string more;
                for (std::size_t size = number(3 * blockSize + 2); more.size() < size;)
                    more += "ab\n\xE9\0"[number(5)];
                const std::size_t size = number(4 * blockSize + 2);
                // Past step 200, more tag values than half a byte can number.
                const auto tag = static_cast<std::uint8_t>(1 + number(step < 200 ? 5 : 40));
                switch (number(6)) {
                case 0:
                    text.Insert(pos, more.data(), more.size(), tag);
                    model.Insert(pos, more, static_cast<char>(tag));
                    break;
                case 1:
                    text.Erase(pos, size);
                    model.Erase(pos, size);
                    break;
                case 2:
                    record->Flush();
                    text.Settle();
                    break;
                case 3:
                    SetTag(text, model, pos, tag);
                    break;
                default:
                    if (overRecord)
                        Receive(text, *record, more, tag, afterCr, number, 1700000000000 + step);
                    else
                        text.Append(more, tag);
                    model.Insert(model.bytes.size(), more, static_cast<char>(tag));
                }
                ASSERT_NO_FATAL_FAILURE(ExpectSame(text, model.bytes, model.tags)) << "after step " << step;
            }
            record->Flush();
            text.Settle();
            EXPECT_EQ(text.ReadBackBytes() > 0, overRecord);
            ASSERT_NO_FATAL_FAILURE(ExpectSame(text, model.bytes, model.tags));
            text.Clear();
            text.Append("x\ny");
            ASSERT_NO_FATAL_FAILURE(ExpectSame(text, "x\ny"));
        }
}

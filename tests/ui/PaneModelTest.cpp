// The log pane's model without a window: how received lines end, what is
// marked and counted, notes of what was sent and link events, as the
// operator's edits move them.

#include <LocalTime.h>
#include <PaneModel.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Model = ui::CPaneModel;
using Kind = Model::LineKind;
using End = Model::LineEnd;
using Mark = Model::LineMark;

void Receive(Model& model, std::initializer_list<std::string> reads)
{
    for (const std::string& read : reads)
        model.AppendReceived(read.data(), read.size());
}

std::string All(const Model& model)
{
    return model.Bytes(0, model.Text().Size());
}

} // namespace

// Each line keeps how the device ended it, however the reads fell; the last
// line is open until its end comes.
TEST(PaneModel, ReceivedLinesKeepHowTheDeviceEndedThem)
{
    Model model;
    Receive(model, {"a\r", "\nb\rc\n\r", "\r\nd", "\r", "x"});
    EXPECT_EQ(All(model), "a\nb\nc\n\n\nd\nx");
    const std::vector<std::pair<Kind, End>> lines = {
        {Kind::Received, End::CrLf}, {Kind::Received, End::Cr}, {Kind::Received, End::Lf}, {Kind::Received, End::Cr},
        {Kind::Received, End::CrLf}, {Kind::Received, End::Cr}, {Kind::Open, End::Lf}};
    ASSERT_EQ(model.Text().LineCount(), lines.size());
    for (std::size_t line = 0; line < lines.size(); ++line) {
        EXPECT_EQ(model.KindOf(line), lines[line].first) << "line " << line;
        EXPECT_EQ(model.EndOf(line), lines[line].second) << "line " << line;
    }
}

// A CR that ends a read and the LF that begins the next are one CR LF even
// when a note of what was sent went in between; the note stays a note.
TEST(PaneModel, ACrLfSplitAroundANoteEndsTheDevicesLine)
{
    Model model;
    Receive(model, {"$GPHDT,274.07,T*03\r"});
    model.AddSentNote("$PSRF,1*00");
    Receive(model, {"\nnext"});
    EXPECT_EQ(All(model), "$GPHDT,274.07,T*03\n$PSRF,1*00\nnext");
    EXPECT_EQ(model.KindOf(0), Kind::Received);
    EXPECT_EQ(model.EndOf(0), End::CrLf);
    EXPECT_EQ(model.MarkOf(0), Mark::Valid);
    EXPECT_EQ(model.KindOf(1), Kind::Sent);
    EXPECT_EQ(model.MarkOf(1), Mark::Sent);
}

// A note of what was sent is a line of its own before the line the device
// is still sending, which goes on after it; it is neither received text nor
// counted. Events stay where they happened while the operator edits around
// them, and go with Clear.
TEST(PaneModel, SentNotesAndEventsStandApartFromTheReceivedText)
{
    Model model;
    model.AddEvent(Model::Event::Kind::Opened, 1000);
    Receive(model, {"$GPHDT,251.2,T*31\r\n$GPHDT,2"});
    model.AddSentNote("$PSRF,1*00");
    Receive(model, {"51.2,T*31\r\n"});
    model.AddEvent(Model::Event::Kind::Lost, 2000);
    EXPECT_EQ(All(model), "$GPHDT,251.2,T*31\n$PSRF,1*00\n$GPHDT,251.2,T*31\n");
    const Mark marks[] = {Mark::Valid, Mark::Sent, Mark::Valid, Mark::None};
    for (std::size_t line = 0; line < std::size(marks); ++line)
        EXPECT_EQ(model.MarkOf(line), marks[line]) << "line " << line;
    EXPECT_EQ(model.KindOf(1), Kind::Sent);
    EXPECT_EQ(model.Sentences().seen, 2u);
    ASSERT_EQ(model.Events().size(), 2u);
    EXPECT_EQ(model.Events()[0].pos, 0u);
    EXPECT_EQ(model.Events()[1].pos, model.Text().Size());

    // Typed where an event is, the text comes after the event; typed before
    // an event, the event moves on; erased with what it stood in, an event
    // stays at the erased text's place.
    model.MoveCaret(0, false);
    model.ReplaceSelection("note\n");
    EXPECT_EQ(model.Events()[0].pos, 0u);
    EXPECT_EQ(model.KindOf(0), Kind::Typed);
    const std::size_t lost = model.Text().Size();
    EXPECT_EQ(model.Events()[1].pos, lost);
    model.MoveCaret(lost, false);
    model.ReplaceSelection(">");
    EXPECT_EQ(model.Events()[1].pos, lost);
    model.SetSelection(lost - 4, lost + 1);
    model.ReplaceSelection("");
    EXPECT_EQ(model.Events()[1].pos, lost - 4);

    model.Clear();
    EXPECT_TRUE(model.Events().empty());
}

// A received line's time is the read of its first byte (of its break, for
// an empty line), however the reads fell; lines the device did not send
// have none. A record saved with times has each received line's time
// before it.
TEST(PaneModel, ReceivedLinesHaveTheTimeOfTheirFirstByte)
{
    Model model;
    const std::string batch = "ab\r\ncd";
    model.AppendReceived(batch.data(), batch.size(), {{0, 1000}, {3, 2000}, {5, 3000}});
    const std::string more = "e\r\n\r\nf";
    model.AppendReceived(more.data(), more.size(), {{0, 4000}, {3, 5000}});
    model.MoveCaret(0, false);
    model.ReplaceSelection("note\n");
    const std::int64_t times[] = {0, 1000, 2000, 5000, 5000};
    ASSERT_EQ(model.Text().LineCount(), std::size(times));
    for (std::size_t line = 0; line < std::size(times); ++line)
        EXPECT_EQ(model.LineTimeMs(line), times[line]) << "line " << line;

    const std::string saved = model.RecordBytes(true);
    const auto at = [](std::int64_t ms) { return text::LocalTime(ms, "%H:%M:%S", true) + " "; };
    EXPECT_EQ(saved, "note\n" + at(1000) + "ab\n" + at(2000) + "cde\n" + at(5000) + "\n" + at(5000) + "f");
    EXPECT_EQ(model.RecordBytes(false), "note\nab\ncde\n\nf");
}

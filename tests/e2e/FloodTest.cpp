// A device that sends as fast as the program reads, through the real program:
// a burst shows in the pane whole and in order, and the program quits cleanly
// while a device keeps sending.

#include "Operator.h"
#include "Workbench.h"

#include <FloodSource.h>

#include <gtest/gtest.h>

#include <algorithm>

namespace e2e {
namespace {

constexpr milliseconds kCeiling{120000};

// Text without its line breaks: chunk boundaries add a line feed each, and
// how CR LF is shown is the pane's affair; every other byte must be there.
std::string WithoutLineBreaks(std::string text)
{
    text.erase(std::remove_if(text.begin(), text.end(), [](char c) { return c == '\r' || c == '\n'; }), text.end());
    return text;
}

// Opens channel 0 on the simulator's flooding receiver.
void OpenFloodedChannel(CWorkbench& bench, COperator& op)
{
    op.Pick(kPanels[0].portCombo, bench.Port(0));
    op.Click(kPanels[0].open);
    ASSERT_TRUE(Eventually([&] { return op.Lamp(kPanels[0].portLamp).lit; }, kCeiling)) << bench.ProgramOutput();
}

TEST(FloodedChannel, BurstShownWholeAndInOrder)
{
    constexpr std::uint64_t kBurst = 4 << 20;
    CWorkbench bench({"--flood", std::to_string(kBurst), "--device", "gnss"});
    COperator& op = bench.StartProgram();
    ASSERT_NO_FATAL_FAILURE(OpenFloodedChannel(bench, op));
    ASSERT_TRUE(bench.Simulator().WaitFor("flood done " + std::to_string(kBurst), kCeiling));

    std::string sent;
    for (std::uint64_t line = 0; sent.size() < kBurst; ++line)
        sent += devsim::CFloodSource::Line(line);
    sent = WithoutLineBreaks(sent.substr(0, kBurst));
    // The length says when the text is worth fetching; line breaks count in it.
    std::string shown;
    EXPECT_TRUE(Eventually(
        [&] {
            return op.TextLength(kPanels[0].log) >= sent.size() &&
                   (shown = WithoutLineBreaks(op.Text(kPanels[0].log))).size() >= sent.size();
        },
        kCeiling))
        << shown.size() << " of " << sent.size() << " characters shown";
    const std::size_t at = std::mismatch(shown.begin(), shown.end(), sent.begin(), sent.end()).first - shown.begin();
    EXPECT_TRUE(shown == sent) << "the pane differs from what the device sent at character " << at << " of "
                               << sent.size() << ":\n  shown " << shown.substr(at, 70) << "\n  sent  "
                               << sent.substr(std::min(at, sent.size()), 70);

    op.CloseBox();
    EXPECT_EQ(bench.Program().Wait(kCeiling), 0) << bench.ProgramOutput();
}

// The window closed while a port is busy with a device that does not stop:
// the program ends, cleanly, as at any other time.
TEST(FloodedChannel, QuitWhileDeviceFloods)
{
    CWorkbench bench({"--flood", "100000000000", "--device", "gnss"});
    COperator& op = bench.StartProgram();
    ASSERT_NO_FATAL_FAILURE(OpenFloodedChannel(bench, op));
    ASSERT_TRUE(Eventually([&] { return op.TextLength(kPanels[0].log) >= 64 * 1024; }, kCeiling));
    op.CloseBox();
    EXPECT_EQ(bench.Program().Wait(kCeiling), 0) << bench.ProgramOutput();
}

} // namespace
} // namespace e2e

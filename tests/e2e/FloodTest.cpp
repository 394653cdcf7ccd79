// A device that sends as fast as the program reads, through the real program:
// a burst shows in the pane whole and in order, and the program quits cleanly
// while a device keeps sending.

#include "Operator.h"
#include "Workbench.h"

#include <FloodSource.h>

#include <gtest/gtest.h>

#include <thread>

namespace e2e {
namespace {

constexpr milliseconds kCeiling{120000};

bool Eventually(const std::function<bool()>& condition)
{
    const auto deadline = std::chrono::steady_clock::now() + kCeiling;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(milliseconds(100));
    }
    return true;
}

// Text without its line breaks: chunk boundaries add a line feed each, and
// how CR LF is shown is the pane's affair; every other byte must be there.
std::string WithoutLineBreaks(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        if (c != '\r' && c != '\n')
            out += c;
    }
    return out;
}

// The first `size` bytes of the flood pattern.
std::string FloodPrefix(std::uint64_t size)
{
    std::string out;
    for (std::uint64_t line = 0; out.size() < size; ++line)
        out += devsim::CFloodSource::Line(line);
    out.resize(size);
    return out;
}

// The index of the first difference, for a readable failure.
std::size_t FirstDifference(const std::string& a, const std::string& b)
{
    std::size_t i = 0;
    while (i < a.size() && i < b.size() && a[i] == b[i])
        ++i;
    return i;
}

// Opens channel 0 on the simulator's flooding receiver.
void OpenFloodedChannel(CWorkbench& bench, COperator& op)
{
    const PanelIds& sns = kPanels[0];
    op.Pick(sns.portCombo, bench.GnssPort());
    op.Click(sns.open);
    ASSERT_TRUE(Eventually([&] { return op.Lamp(sns.portLamp).lit; })) << bench.ProgramOutput();
}

TEST(FloodedChannel, BurstShownWholeAndInOrder)
{
    constexpr std::uint64_t kBurst = 4 << 20;
    CWorkbench bench({"--flood", std::to_string(kBurst), "--device", "gnss"});
    COperator& op = bench.StartProgram();
    ASSERT_NO_FATAL_FAILURE(OpenFloodedChannel(bench, op));
    ASSERT_TRUE(bench.Simulator().WaitFor("flood done " + std::to_string(kBurst), kCeiling));

    const std::string sent = WithoutLineBreaks(FloodPrefix(kBurst));
    // The length says when the text is worth fetching; line breaks count in it.
    std::string shown;
    EXPECT_TRUE(Eventually([&] {
        return op.TextLength(kPanels[0].log) >= sent.size() &&
               (shown = WithoutLineBreaks(op.Text(kPanels[0].log))).size() >= sent.size();
    })) << shown.size() << " of " << sent.size() << " characters shown";
    const std::size_t difference = FirstDifference(shown, sent);
    EXPECT_TRUE(difference == sent.size() && shown.size() == sent.size())
        << "the pane differs from what the device sent at character " << difference << " of " << sent.size()
        << ":\n  shown " << shown.substr(difference, 70) << "\n  sent  " << sent.substr(difference, 70);

    op.CloseBox();
    EXPECT_EQ(bench.WaitForProgramEnd(kCeiling), 0) << bench.ProgramOutput();
}

// The window closed while a port is busy with a device that does not stop:
// the program ends, cleanly, as at any other time.
TEST(FloodedChannel, QuitWhileDeviceFloods)
{
    CWorkbench bench({"--flood", "100000000000", "--device", "gnss"});
    COperator& op = bench.StartProgram();
    ASSERT_NO_FATAL_FAILURE(OpenFloodedChannel(bench, op));
    ASSERT_TRUE(Eventually([&] { return op.TextLength(kPanels[0].log) >= 64 * 1024; }));
    op.CloseBox();
    EXPECT_EQ(bench.WaitForProgramEnd(kCeiling), 0) << bench.ProgramOutput();
}

} // namespace
} // namespace e2e

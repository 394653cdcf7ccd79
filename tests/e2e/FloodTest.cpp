// A device that sends as fast as it can, through the real program: the pane
// shows every byte in order, and the program still closes the channel and
// quits cleanly while the device keeps sending.

#include "Operator.h"
#include "Workbench.h"

#include <FloodSource.h>

#include <gtest/gtest.h>

#include <thread>

namespace e2e {
namespace {

constexpr milliseconds kCeiling{120000};
constexpr std::size_t kShownAtLeast = 1 << 20;

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

// The first `size` bytes of the flood pattern, without its line ends.
std::string FloodPrefix(std::size_t size)
{
    std::string out;
    out.reserve(size + devsim::CFloodSource::kLineLength);
    for (std::uint64_t line = 0; out.size() < size; ++line)
        out += WithoutLineBreaks(devsim::CFloodSource::Line(line));
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

TEST(FloodedChannel, EveryByteShownInOrderAndQuitWhileSending)
{
    CWorkbench bench({"--flood", "2000000000", "--device", "gnss"});
    COperator& op = bench.StartProgram();
    const PanelIds& sns = kPanels[0];
    op.Pick(sns.portCombo, bench.GnssPort());
    op.Click(sns.open);
    ASSERT_TRUE(Eventually([&] { return op.Lamp(sns.portLamp).lit; })) << bench.ProgramOutput();

    ASSERT_TRUE(Eventually([&] { return op.TextLength(sns.log) >= kShownAtLeast; }))
        << "only " << op.TextLength(sns.log) << " characters arrived";
    op.Click(sns.close);
    const std::string shown = WithoutLineBreaks(op.Text(sns.log));
    const std::string sent = FloodPrefix(shown.size());
    const std::size_t difference = FirstDifference(shown, sent);
    EXPECT_EQ(difference, shown.size()) << "the pane differs from what the device sent at character " << difference
                                        << ":\n  shown " << shown.substr(difference, 70) << "\n  sent  "
                                        << sent.substr(difference, 70);

    // Open again while the device floods on, let data flow, and close the window.
    op.Click(sns.clear);
    op.Click(sns.open);
    ASSERT_TRUE(Eventually([&] { return op.TextLength(sns.log) >= kShownAtLeast; }));
    op.CloseBox();
    EXPECT_EQ(bench.WaitForProgramEnd(kCeiling), 0) << bench.ProgramOutput();
}

} // namespace
} // namespace e2e

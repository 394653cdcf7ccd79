// A device that sends as fast as the program reads, through the real program:
// a burst shows in the pane whole and in order, and the program quits cleanly
// while a device keeps sending.

#include "Workbench.h"

#include <FloodSource.h>

#include <gtest/gtest.h>

#include <algorithm>

namespace e2e {
namespace {

void OpenFloodedChannel(CWorkbench& bench)
{
    bench.StartProgram();
    bench.Pick(kPanels[0].port, bench.Simulator().Port(0));
    bench.Click(kPanels[0].open);
}

// The pane shows the device's lines as they are, each ending in a line break.
TEST(FloodedChannel, BurstShownWholeAndInOrder)
{
    constexpr std::uint64_t kBurst = 4 << 20; // whole lines
    CWorkbench bench({"--flood", std::to_string(kBurst), "--device", "gnss"});
    OpenFloodedChannel(bench);
    std::string sent;
    for (std::uint64_t line = 0; line < kBurst / devsim::CFloodSource::kLineLength; ++line)
        sent += devsim::CFloodSource::Line(line).replace(devsim::CFloodSource::kLineLength - 2, 2, "\n");
    std::string shown;
    EXPECT_TRUE(Eventually([&] { return (shown = bench.Text(kPanels[0].log)).size() >= sent.size(); }))
        << shown.size() << " of " << sent.size() << " characters shown";
    const std::size_t at = std::mismatch(shown.begin(), shown.end(), sent.begin(), sent.end()).first - shown.begin();
    EXPECT_TRUE(shown == sent) << "the pane differs from what the device sent at character " << at << ":\n  shown "
                               << shown.substr(at, 70) << "\n  sent  " << sent.substr(std::min(at, sent.size()), 70);
    bench.CloseBox();
    EXPECT_EQ(bench.Program().Wait(), 0);
}

// The window closed while a device does not stop sending: the program ends
// as cleanly as at any other time.
TEST(FloodedChannel, QuitWhileDeviceFloods)
{
    CWorkbench bench({"--flood", "100000000000", "--device", "gnss"});
    OpenFloodedChannel(bench);
    ASSERT_TRUE(Eventually([&] { return bench.StateOf(kPanels[0].rxLamp).lit; }));
    bench.CloseBox();
    EXPECT_EQ(bench.Program().Wait(), 0);
}

} // namespace
} // namespace e2e

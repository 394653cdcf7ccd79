// A device that sends as fast as the program reads, through the real program:
// what it sends shows in the pane whole and in order, and the program quits
// cleanly while the device keeps sending.

#include "Workbench.h"

#include <FloodSource.h>

#include <gtest/gtest.h>

#include <algorithm>

namespace e2e {
namespace {

TEST(FloodedChannel, ShownWholeAndInOrderAndQuitWhileFlooding)
{
    CWorkbench bench;
    bench.StartSimulator({"--flood", "100000000000", "--device", "gnss"});
    bench.StartProgram();
    bench.Pick(kPanels[0].port, bench.Simulator().Port(0));
    bench.Click(kPanels[0].open);
    // The pane shows the device's lines as they are, each ending in a line break.
    std::string sent;
    for (std::uint64_t line = 0; sent.size() < (4u << 20); ++line)
        sent += devsim::CFloodSource::Line(line).replace(devsim::CFloodSource::kLineLength - 2, 2, "\n");
    std::string shown;
    EXPECT_TRUE(Eventually([&] { return (shown = bench.Text(kPanels[0].log)).size() >= sent.size(); }))
        << shown.size() << " of " << sent.size() << " characters shown";
    shown.resize(std::min(shown.size(), sent.size()));
    const std::size_t at = std::mismatch(shown.begin(), shown.end(), sent.begin()).first - shown.begin();
    EXPECT_TRUE(shown == sent) << "the pane differs from what the device sent at character " << at << ":\n  shown "
                               << shown.substr(at, 70) << "\n  sent  " << sent.substr(at, 70);
    bench.CloseBox();
    EXPECT_EQ(bench.Program().Wait(), 0);
}

} // namespace
} // namespace e2e

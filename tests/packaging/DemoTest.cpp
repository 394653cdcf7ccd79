// orvel-devsim --demo as a newcomer runs it: the real program, with the
// operator driver of the end-to-end tests inside it, opens on settings of the
// demo's own where each panel already holds its simulated port, enabled, so
// "Открыть" is all it takes; the user's own settings are never touched, and
// the demo's settings, the simulator and its ports are gone when the window
// closes.

#include <Workbench.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

namespace e2e {
namespace {

TEST(Demo, OpensReadyOnSettingsOfItsOwnAndLeavesNothingBehind)
{
    CWorkbench bench; // the operator's settings and runtime folder
    bench.StartProgram(true);
    const auto output = [&] { return bench.Program().Read(1 << 20, devsimtest::milliseconds(0)); };
    const char* const kDevices[3] = {"gnss", "beacon", "sounder"};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(bench.Text(kPanels[i].port), bench.File("orvel-ports/devsim-") + kDevices[i]);
        EXPECT_TRUE(bench.StateOf(kPanels[i].enable).checked) << kDevices[i] << " is not enabled";
        bench.Click(kPanels[i].open);
        EXPECT_TRUE(Eventually([&] { return bench.StateOf(kPanels[i].portLamp).lit; })) << kDevices[i];
    }
    // The devices that talk by themselves are heard.
    for (const int i : {0, 2})
        EXPECT_TRUE(Eventually([&] { return !bench.Text(kPanels[i].log).empty(); })) << kDevices[i];

    bench.CloseBox();
    EXPECT_EQ(bench.Program().Wait(), 0) << output();
    std::vector<std::string> left;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(bench.File("")))
        left.push_back(entry.path().filename());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"OrvelConfigurator.log", "log4cplus.conf", "orvel-ports"}))
        << "the demo left something behind or touched the operator's settings; it wrote:\n" << output();
}

} // namespace
} // namespace e2e

// The operator's job through the real program (offscreen, driven by the
// operator driver inside it) against the simulator's devices: open the three
// channels and watch each device's sentences, send catalogue and typed
// commands, survive a pulled cable, quit, and find the choices remembered at
// the next start. And a device that sends as fast as the program reads: what
// it sends shows in the pane whole and in order, and the program quits
// cleanly while the device keeps sending.

#include "Workbench.h"

#include <FloodSource.h>
#include <Nmea.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

namespace e2e {
namespace {

constexpr const char* kBauds[3] = {"4800", "9600", "19200"}; // not the channels' defaults

TEST(OperatorWalk, WholeJobWithSimulatedDevices)
{
    CWorkbench bench;
    bench.StartSimulator();
    // Waits for `count` complete lines that start with `start` in the
    // channel's pane, every sentence there whole.
    const auto waitForLines = [&](int channel, const std::string& start, int count = 1) {
        std::vector<std::string> lines;
        const auto starts = [&](const std::string& line) { return line.rfind(start, 0) == 0; };
        EXPECT_TRUE(Eventually([&] {
            std::istringstream pane(bench.Text(kPanels[channel].log));
            lines.clear();
            for (std::string line; std::getline(pane, line) && !pane.eof();) // the last may still be arriving
                lines.push_back(line);
            return std::count_if(lines.begin(), lines.end(), starts) >= count;
        })) << "channel " << channel << " showed no " << count << " x " << start;
        for (const std::string& line : lines) {
            const auto sentence = devsim::nmea::Parse(line);
            EXPECT_TRUE(!sentence || sentence->m_checksum == devsim::nmea::ChecksumState::Valid) << line;
        }
    };
    const auto expectOpen = [&](int channel, bool open) {
        const int lamp = kPanels[channel].portLamp;
        EXPECT_TRUE(Eventually([&] { return open ? bench.Lit(lamp, kGreen) : !bench.StateOf(lamp).lit; }))
            << "channel " << channel << (open ? " did not open" : " did not close");
    };

    bench.StartProgram();
    for (int channel = 0; channel < 3; ++channel) {
        bench.Pick(kPanels[channel].port, bench.Simulator().Port(channel));
        bench.Pick(kPanels[channel].baud, kBauds[channel]);
        bench.Click(kPanels[channel].open);
        expectOpen(channel, true);
    }
    const std::pair<int, const char*> heard[] = {{0, "$GPRMC,"}, {0, "$GPHDT,"}, {2, "$SDDBT,"}, {2, "$SDDPT,"}};
    for (const auto& [channel, start] : heard)
        waitForLines(channel, start, 2);

    // A catalogue command to each receiver (the beacon receiver only answers).
    const Panel& sns = kPanels[0];
    const Panel& kks = kPanels[1];
    bench.Pick(kReceiverType, "Navis");
    bench.Pick(sns.command, "Сохранить настройки");
    bench.Click(sns.send);
    waitForLines(0, "$POACK,POCFG,A*");
    bench.Pick(kks.command, "Запрос состояния");
    bench.Click(kks.send);
    waitForLines(1, "$CRMSS,");

    // Typed and sent with Enter once the last sends have ended: the beacon
    // receiver answers, the satellite receiver starts the asked-for output.
    for (const Panel* panel : {&sns, &kks})
        ASSERT_TRUE(Eventually([&] { return bench.StateOf(panel->send).enabled; }));
    bench.Type(sns.commandEdit, "log com1 gpgst ontime 1");
    bench.Key(sns.commandEdit, "Return");
    bench.Type(kks.commandEdit, "$PCSI,1,1");
    bench.Key(kks.commandEdit, "Return");
    waitForLines(0, "<OK");
    waitForLines(0, "$GPGST,", 2);
    waitForLines(1, "$PCSI,1,1,9600,8,N,1,RTCM*");
    bench.Pick(kks.command, "Запрос настройки");
    bench.Click(kks.send);
    waitForLines(1, "$CRMSK,");

    // A pulled cable: "Rx Err" flashes red and the port stays open; with the
    // cable back, Close and Open, and the receiver is heard again.
    bench.Simulator().Send("pull gnss");
    ASSERT_TRUE(bench.Simulator().WaitFor("pulled gnss"));
    EXPECT_TRUE(Eventually([&] { return bench.Lit(sns.rxErrLamp, kRed); })) << "Rx Err never lit red";
    EXPECT_TRUE(bench.StateOf(sns.portLamp).lit);
    bench.Simulator().Send("plug gnss");
    ASSERT_TRUE(bench.Simulator().WaitFor("back gnss"));
    bench.Click(sns.close);
    expectOpen(0, false);
    bench.Click(sns.clear);
    bench.Click(sns.open);
    expectOpen(0, true);
    waitForLines(0, "$GPGGA,", 2);

    // Closed, the echo sounder taken out of use, and Escape quits.
    for (const Panel& panel : kPanels)
        bench.Click(panel.close);
    bench.Click(kPanels[2].enable);
    EXPECT_FALSE(bench.StateOf(kPanels[2].open).enabled);
    bench.Key(kPanels[2].enable, "Escape");
    EXPECT_EQ(bench.Program().Wait(), 0);

    bench.StartProgram();
    for (int channel = 0; channel < 3; ++channel) {
        EXPECT_EQ(bench.Text(kPanels[channel].port), bench.Simulator().Port(channel));
        EXPECT_EQ(bench.Text(kPanels[channel].baud), kBauds[channel]);
        EXPECT_EQ(bench.StateOf(kPanels[channel].enable).checked, channel != 2);
    }
    bench.Click(kPanels[2].enable);  // back in use
    EXPECT_TRUE(bench.StateOf(kPanels[2].open).enabled);
    bench.CloseBox();
    EXPECT_EQ(bench.Program().Wait(), 0);
}

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
    ASSERT_TRUE(Eventually([&] { return (shown = bench.Text(kPanels[0].log)).size() >= sent.size(); }))
        << shown.size() << " of " << sent.size() << " characters shown";
    const std::size_t at = std::mismatch(sent.begin(), sent.end(), shown.begin()).first - sent.begin();
    EXPECT_EQ(at, sent.size()) << "the pane differs from what the device sent:\n  shown " << shown.substr(at, 70)
                               << "\n  sent  " << sent.substr(at, 70);
    bench.CloseBox();
    EXPECT_EQ(bench.Program().Wait(), 0);
}

} // namespace
} // namespace e2e

// The operator's job through the real program (offscreen, driven by the
// operator driver inside it) against the simulator's devices: open the three
// channels and watch each device's sentences, send catalogue and typed
// commands, survive a pulled cable, quit, and find the choices remembered at
// the next start.

#include "Workbench.h"

#include <Nmea.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

namespace e2e {
namespace {

constexpr const char* kBauds[3] = {"4800", "9600", "19200"}; // not the channels' defaults

class OperatorWalk : public ::testing::Test
{
protected:
    OperatorWalk() { m_bench.StartSimulator(); }

    // Waits for `count` complete lines that start with `start` in the
    // channel's pane, every sentence there whole; returns the complete lines.
    std::vector<std::string> WaitForLines(int channel, const std::string& start, int count = 1)
    {
        std::vector<std::string> lines;
        const auto starts = [&](const std::string& line) { return line.rfind(start, 0) == 0; };
        EXPECT_TRUE(Eventually([&] {
            std::istringstream pane(m_bench.Text(kPanels[channel].log));
            lines.clear();
            for (std::string line; std::getline(pane, line) && !pane.eof();) // the last may still be arriving
                lines.push_back(line);
            return std::count_if(lines.begin(), lines.end(), starts) >= count;
        })) << "channel " << channel << " showed no " << count << " x " << start;
        for (const std::string& line : lines) {
            const auto sentence = devsim::nmea::Parse(line);
            EXPECT_TRUE(!sentence || sentence->m_checksum == devsim::nmea::ChecksumState::Valid) << line;
        }
        return lines;
    }

    void ExpectOpen(int channel, bool open)
    {
        EXPECT_TRUE(Eventually([&] {
            const State lamp = m_bench.StateOf(kPanels[channel].portLamp);
            return lamp.lit == open && (!open || lamp.litColour == kGreen);
        })) << "channel " << channel << (open ? " did not open" : " did not close");
    }

    CWorkbench m_bench;
};

TEST_F(OperatorWalk, WholeJobWithSimulatedDevices)
{
    m_bench.StartProgram();
    for (int channel = 0; channel < 3; ++channel) {
        m_bench.Pick(kPanels[channel].port, m_bench.Simulator().Port(channel));
        m_bench.Pick(kPanels[channel].baud, kBauds[channel]);
        m_bench.Click(kPanels[channel].open);
        ExpectOpen(channel, true);
    }
    for (const char* start : {"$GPGGA,", "$GPRMC,", "$GPHDT,"})
        WaitForLines(0, start, 2);
    for (const char* start : {"$SDDBT,", "$SDDPT,"}) {
        for (const std::string& line : WaitForLines(2, start, 2))
            EXPECT_NE(line.rfind("$GP", 0), 0u) << "the channels' traffic mixed";
    }
    EXPECT_TRUE(Eventually([&] { return m_bench.StateOf(kPanels[0].rxLamp).lit; })) << "Rx never lit";

    // A catalogue command to each receiver (the beacon receiver only answers).
    const Panel& sns = kPanels[0];
    const Panel& kks = kPanels[1];
    m_bench.Pick(kReceiverType, "Navis");
    m_bench.Pick(sns.command, "Сохранить настройки");
    m_bench.Click(sns.send);
    WaitForLines(0, "$POACK,POCFG,A*");
    m_bench.Pick(kks.command, "Запрос состояния");
    m_bench.Click(kks.send);
    WaitForLines(1, "$CRMSS,");

    // Typed and sent with Enter once the last sends have ended: the beacon
    // receiver answers, the satellite receiver starts the asked-for output.
    for (const Panel* panel : {&sns, &kks})
        ASSERT_TRUE(Eventually([&] { return m_bench.StateOf(panel->send).enabled; }));
    m_bench.Type(sns.commandEdit, "log com1 gpgst ontime 1");
    m_bench.Key(sns.commandEdit, "Return");
    m_bench.Type(kks.commandEdit, "$PCSI,1,1");
    m_bench.Key(kks.commandEdit, "Return");
    WaitForLines(0, "<OK");
    WaitForLines(0, "$GPGST,", 2);
    WaitForLines(1, "$PCSI,1,1,9600,8,N,1,RTCM*");
    m_bench.Pick(kks.command, "Запрос настройки");
    m_bench.Click(kks.send);
    WaitForLines(1, "$CRMSK,");

    // A pulled cable: "Rx Err" flashes red and the port stays open; with the
    // cable back, Close and Open, and the receiver is heard again.
    m_bench.Simulator().Send("pull gnss");
    ASSERT_TRUE(m_bench.Simulator().WaitFor("pulled gnss"));
    EXPECT_TRUE(Eventually([&] {
        const State lamp = m_bench.StateOf(sns.rxErrLamp);
        return lamp.lit && lamp.litColour == kRed;
    })) << "Rx Err never lit red";
    EXPECT_TRUE(m_bench.StateOf(sns.portLamp).lit);
    m_bench.Simulator().Send("plug gnss");
    ASSERT_TRUE(m_bench.Simulator().WaitFor("back gnss"));
    m_bench.Click(sns.close);
    ExpectOpen(0, false);
    m_bench.Click(sns.clear);
    m_bench.Click(sns.open);
    ExpectOpen(0, true);
    WaitForLines(0, "$GPGGA,", 2);

    // Closed, the echo sounder taken out of use, and Escape quits.
    for (const Panel& panel : kPanels)
        m_bench.Click(panel.close);
    m_bench.Click(kPanels[2].enable);
    EXPECT_FALSE(m_bench.StateOf(kPanels[2].open).enabled);
    m_bench.Key(kPanels[2].enable, "Escape");
    EXPECT_EQ(m_bench.Program().Wait(), 0);

    m_bench.StartProgram();
    for (int channel = 0; channel < 3; ++channel) {
        EXPECT_EQ(m_bench.Text(kPanels[channel].port), m_bench.Simulator().Port(channel));
        EXPECT_EQ(m_bench.Text(kPanels[channel].baud), kBauds[channel]);
        EXPECT_EQ(m_bench.StateOf(kPanels[channel].enable).checked, channel != 2);
    }
    m_bench.Click(kPanels[2].enable);  // back in use
    EXPECT_TRUE(m_bench.StateOf(kPanels[2].open).enabled);
    m_bench.CloseBox();
    EXPECT_EQ(m_bench.Program().Wait(), 0);
}

} // namespace
} // namespace e2e

// The operator's whole job, through the real program (offscreen, driven by
// the operator driver inside it) against the device simulator's ports:
// choose ports and rates, open the three channels, watch the devices'
// sentences, send catalogue, typed and file commands, clear a pane, survive a
// pulled cable, close, quit, and find the choices remembered at the next start.

#include "Operator.h"
#include "Workbench.h"

#include <NmeaCheck.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <thread>

namespace e2e {
namespace {

constexpr milliseconds kCeiling{30000};
// A rate other than each channel's default.
constexpr const char* kBauds[3] = {"4800", "9600", "19200"};
constexpr const char* kDevices[3] = {"gnss", "beacon", "sounder"};

// The pane's lines that read as whole sentences, "$...*HH" (the only "*" is
// the checksum's). A sentence cut by a chunk boundary gives pieces that do not.
std::vector<std::string> Sentences(const std::string& pane)
{
    std::vector<std::string> sentences;
    std::istringstream lines(pane);
    for (std::string line; std::getline(lines, line);) {
        while (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.size() >= 4 && line[0] == '$' && line[line.size() - 3] == '*')
            sentences.push_back(line);
    }
    return sentences;
}

int Count(const std::string& pane, const std::string& address)
{
    const auto sentences = Sentences(pane);
    return static_cast<int>(std::count_if(sentences.begin(), sentences.end(), [&](const std::string& sentence) {
        return sentence.compare(1, address.size() + 1, address + ",") == 0;
    }));
}

// The first whole-looking sentence with a wrong checksum; empty if none.
std::string BadSentence(const std::string& pane)
{
    for (const std::string& sentence : Sentences(pane)) {
        if (!devsimtest::HasValidChecksum(sentence))
            return sentence;
    }
    return {};
}

bool Contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

class OperatorWalk : public ::testing::Test
{
protected:
    COperator& Op() { return *m_op; }

    // Waits until the channel's pane satisfies `condition`; returns the pane.
    std::string WaitForPane(int channel, const std::function<bool(const std::string&)>& condition,
                            const std::string& what)
    {
        std::string pane;
        EXPECT_TRUE(Eventually([&] { return condition(pane = Op().Text(kPanels[channel].log)); }, kCeiling))
            << "channel " << channel << ": " << what << " never showed; the pane holds:\n" << pane;
        return pane;
    }

    // Waits for `count` sentences from `address`; returns the pane, whose
    // sentences all have valid checksums.
    std::string WaitForSentence(int channel, const std::string& address, int count = 1)
    {
        const std::string pane = WaitForPane(
            channel, [&](const std::string& p) { return Count(p, address) >= count; },
            std::to_string(count) + " x " + address);
        EXPECT_EQ(BadSentence(pane), "") << "channel " << channel;
        return pane;
    }

    // An open channel takes commands and keeps its port and rate; a closed
    // enabled one can be opened again.
    void ExpectPanel(int channel, bool open)
    {
        const PanelIds& panel = kPanels[channel];
        SCOPED_TRACE("channel " + std::to_string(channel) + (open ? " open" : " closed"));
        ASSERT_TRUE(Eventually([&] { return Op().Lamp(panel.portLamp).lit == open; }, kCeiling))
            << m_bench.ProgramOutput();
        if (open) {
            EXPECT_EQ(Op().Lamp(panel.portLamp).colour, kGreen);
        } else {
            EXPECT_TRUE(Op().State(panel.enable).checked);
        }
        EXPECT_EQ(Op().State(panel.enable).enabled, !open);
        EXPECT_EQ(Op().State(panel.open).enabled, !open);
        for (const int id : {panel.close, panel.send, panel.sendFile})
            EXPECT_EQ(Op().State(id).enabled, open) << "control " << id;
    }

    void OpenChannel(int channel)
    {
        Op().Click(kPanels[channel].open);
        ASSERT_NO_FATAL_FAILURE(ExpectPanel(channel, true));
        EXPECT_TRUE(m_bench.Simulator().WaitFor(std::string("opened ") + kDevices[channel]))
            << "the simulator saw no reader on " << kDevices[channel];
    }

    // Steps of the walk.
    void ChooseAndOpenChannels();
    void WatchDeviceSentences();
    void SendCommands();
    void SendFileAndClearPane();
    void PullCable();
    void CloseChannelsAndQuit();
    void FindChoicesRemembered();

    CWorkbench m_bench;
    COperator* m_op = nullptr;
};

void OperatorWalk::ChooseAndOpenChannels()
{
    for (int channel = 0; channel < 3; ++channel) {
        const PanelIds& panel = kPanels[channel];
        const std::vector<std::string> ports = Op().Items(panel.portCombo);
        ASSERT_NE(std::find(ports.begin(), ports.end(), m_bench.Port(channel)), ports.end())
            << m_bench.Port(channel) << " is not offered on channel " << channel;
        Op().Pick(panel.portCombo, m_bench.Port(channel));
        Op().Pick(panel.baudCombo, kBauds[channel]);
        // A fresh start has every channel enabled; clear and set the box as an
        // operator would, and see Open follow it.
        ASSERT_TRUE(Op().State(panel.enable).checked);
        Op().Click(panel.enable);
        ASSERT_FALSE(Op().State(panel.enable).checked);
        EXPECT_FALSE(Op().State(panel.open).enabled);
        Op().Click(panel.enable);
        ASSERT_NO_FATAL_FAILURE(OpenChannel(channel));
    }
}

void OperatorWalk::WatchDeviceSentences()
{
    for (const char* address : {"GPGGA", "GPRMC", "GPHDT"})
        WaitForSentence(0, address, 2);
    for (const char* address : {"SDDBT", "SDDPT"})
        EXPECT_FALSE(Contains(WaitForSentence(2, address, 2), "GPGGA")) << "the channels' traffic mixed";
    EXPECT_GT(Op().Lamp(kPanels[0].rxLamp).pulses, 0u) << "\"Rx\" never flashed on channel 0";
}

void OperatorWalk::SendCommands()
{
    const PanelIds& sns = kPanels[0];
    Op().Pick(kReceiverTypeCombo, "Navis");
    ASSERT_EQ(Op().Items(sns.commandCombo).size(), 11u);
    Op().Pick(sns.commandCombo, "Сохранить настройки");
    EXPECT_TRUE(Contains(Op().Text(sns.commandEdit), "$POCFG,W*26")) << Op().Text(sns.commandEdit);
    Op().Click(sns.send);
    EXPECT_TRUE(Contains(WaitForSentence(0, "POACK"), "$POACK,POCFG,A*"));

    // The beacon receiver sends only answers: ask it for its signal.
    const PanelIds& kks = kPanels[1];
    Op().Pick(kks.commandCombo, "Запрос состояния");
    Op().Click(kks.send);
    WaitForSentence(1, "CRMSS");

    // Typed and sent with Enter: "\r\n" is added, the receiver starts the
    // asked-for output, and the window stays.
    Op().Type(sns.commandEdit, "log com1 gpgst ontime 1");
    Op().Key(sns.commandEdit, "Return");
    WaitForPane(0, [](const std::string& pane) { return Contains(pane, "<OK"); }, "<OK");
    WaitForSentence(0, "GPGST", 2);
    EXPECT_EQ(Op().Text(sns.commandEdit), "log com1 gpgst ontime 1");
    EXPECT_FALSE(m_bench.Program().Wait(milliseconds(0))) << "Enter closed the window";
}

void OperatorWalk::SendFileAndClearPane()
{
    const std::string path = m_bench.File("beacon queries.txt");
    std::ofstream(path, std::ios::binary) << "$GPCRQ,MSK\r\n$PCSI,1,1\r\n";
    const PanelIds& kks = kPanels[1];
    const int click = Op().StartClick(kks.sendFile);
    Op().AnswerFileDialog(path, kCeiling);
    Op().Finish(click);
    const std::string pane = WaitForPane(
        1, [](const std::string& p) { return Count(p, "CRMSK") >= 1 && Count(p, "PCSI") >= 1; },
        "the answers to both queries of the file");
    EXPECT_TRUE(Contains(pane, "$PCSI,1,1,9600,8,N,1,RTCM*")) << pane;

    // The beacon receiver is quiet between answers: its pane empties and the
    // next answer starts at the top.
    Op().Click(kks.clear);
    EXPECT_EQ(Op().Text(kks.log), "");
    Op().Pick(kks.commandCombo, "Запрос настройки");
    Op().Click(kks.send);
    const std::string cleared = WaitForSentence(1, "CRMSK");
    EXPECT_EQ(cleared.rfind("$CRMSK,", 0), 0u) << cleared;
    EXPECT_EQ(Count(cleared, "CRMSS"), 0) << cleared;
}

void OperatorWalk::PullCable()
{
    const PanelIds& sns = kPanels[0];
    m_bench.Simulator().Control("pull gnss");
    ASSERT_TRUE(m_bench.Simulator().WaitFor("pulled gnss"));

    // "Rx Err" keeps flashing red while the cable is out, and the program
    // waits for the device rather than spinning on the failed reads.
    const unsigned long pulsesBefore = Op().Lamp(sns.rxErrLamp).pulses;
    const auto cpuBefore = m_bench.Program().CpuTime();
    const auto wallBefore = std::chrono::steady_clock::now();
    LampState rxErr;
    ASSERT_TRUE(Eventually(
        [&] {
            std::this_thread::sleep_for(milliseconds(400));
            rxErr = Op().Lamp(sns.rxErrLamp);
            return rxErr.pulses >= pulsesBefore + 3;
        },
        milliseconds(60000)))
        << "\"Rx Err\" flashed " << rxErr.pulses - pulsesBefore << " times";
    using std::chrono::duration_cast;
    const auto cpuMs = duration_cast<milliseconds>(m_bench.Program().CpuTime() - cpuBefore).count();
    const auto wallMs = duration_cast<milliseconds>(std::chrono::steady_clock::now() - wallBefore).count();
    EXPECT_EQ(rxErr.litColour, kRed);
    EXPECT_LT(cpuMs * 2, wallMs) << "with the cable out the program used " << cpuMs << " ms of processor in "
                                 << wallMs << " ms";
    EXPECT_TRUE(Op().Lamp(sns.portLamp).lit) << "the port still counts as open";

    // The cable goes back in: Close and Open, and the receiver is heard again.
    m_bench.Simulator().Control("plug gnss");
    ASSERT_TRUE(m_bench.Simulator().WaitFor("back gnss"));
    Op().Click(sns.close);
    ASSERT_NO_FATAL_FAILURE(ExpectPanel(0, false));
    Op().Click(sns.clear);
    ASSERT_NO_FATAL_FAILURE(OpenChannel(0));
    WaitForSentence(0, "GPGGA", 2);
}

void OperatorWalk::CloseChannelsAndQuit()
{
    for (int channel = 0; channel < 3; ++channel) {
        Op().Click(kPanels[channel].close);
        ASSERT_NO_FATAL_FAILURE(ExpectPanel(channel, false));
    }
    // The echo sounder is taken out of use before quitting.
    Op().Click(kPanels[2].enable);
    EXPECT_FALSE(Op().State(kPanels[2].enable).checked);
    EXPECT_FALSE(Op().State(kPanels[2].open).enabled);

    Op().KeyOnWindow("Escape");
    EXPECT_EQ(m_bench.Program().Wait(kCeiling), 0) << m_bench.ProgramOutput();
}

void OperatorWalk::FindChoicesRemembered()
{
    for (int channel = 0; channel < 3; ++channel) {
        const PanelIds& panel = kPanels[channel];
        SCOPED_TRACE("channel " + std::to_string(channel) + " after a new start");
        EXPECT_EQ(Op().Text(panel.portCombo), m_bench.Port(channel));
        EXPECT_EQ(Op().Text(panel.baudCombo), kBauds[channel]);
        const bool enabled = channel != 2;
        EXPECT_EQ(Op().State(panel.enable).checked, enabled);
        EXPECT_EQ(Op().State(panel.open).enabled, enabled);
        EXPECT_FALSE(Op().Lamp(panel.portLamp).lit) << "no channel opens by itself";
        EXPECT_EQ(Op().Text(panel.log), "");
    }
    EXPECT_EQ(Op().Text(kReceiverTypeCombo), "Shark");
    Op().CloseBox();
    EXPECT_EQ(m_bench.Program().Wait(kCeiling), 0) << m_bench.ProgramOutput();
}

TEST_F(OperatorWalk, WholeJobWithSimulatedDevices)
{
    m_op = &m_bench.StartProgram();
    EXPECT_EQ(Op().WaitForWindow(kCeiling), "OrvelConfigurator");

    ASSERT_NO_FATAL_FAILURE(ChooseAndOpenChannels());
    ASSERT_NO_FATAL_FAILURE(WatchDeviceSentences());
    ASSERT_NO_FATAL_FAILURE(SendCommands());
    ASSERT_NO_FATAL_FAILURE(SendFileAndClearPane());
    ASSERT_NO_FATAL_FAILURE(PullCable());
    ASSERT_NO_FATAL_FAILURE(CloseChannelsAndQuit());

    m_bench.StartProgram();
    FindChoicesRemembered();
}

} // namespace
} // namespace e2e

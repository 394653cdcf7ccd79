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
#include <cctype>
#include <fstream>
#include <functional>
#include <thread>

namespace e2e {
namespace {

using std::chrono::seconds;

constexpr milliseconds kCeiling{30000};

// Channel 0, 1, 2: the simulator's port and a rate other than the channel's default.
struct ChannelChoice
{
    const char* device;
    const char* baud;
};
constexpr ChannelChoice kChoices[3] = {{"gnss", "4800"}, {"beacon", "9600"}, {"sounder", "19200"}};

// The pane's text cut into lines; a line break is "\n", with or without "\r" before it.
std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        while (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

// A line that reads as one whole sentence: "$" ... "*HH". A sentence cut in
// two by a chunk boundary gives pieces that do not.
bool LooksWhole(const std::string& line)
{
    return line.size() >= 4 && line[0] == '$' && line[line.size() - 3] == '*' &&
           std::isxdigit(static_cast<unsigned char>(line[line.size() - 2])) &&
           std::isxdigit(static_cast<unsigned char>(line[line.size() - 1]));
}

// Whole sentences in the pane with the given address ("GPGGA", "POACK", ...).
int CountSentences(const std::string& pane, const std::string& address)
{
    const auto lines = Lines(pane);
    return static_cast<int>(std::count_if(lines.begin(), lines.end(), [&](const std::string& line) {
        return LooksWhole(line) && devsimtest::Fields(line).front() == address;
    }));
}

// Whole-looking sentences whose checksum is wrong.
std::vector<std::string> BadSentences(const std::string& pane)
{
    std::vector<std::string> bad;
    for (const std::string& line : Lines(pane)) {
        if (LooksWhole(line) && !devsimtest::HasValidChecksum(line))
            bad.push_back(line);
    }
    return bad;
}

bool Contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

class OperatorWalk : public ::testing::Test
{
protected:
    void StartProgram() { m_op = &m_bench.StartProgram(); }

    COperator& Op() { return *m_op; }

    // Polls `condition` at a calm pace (every poll is a request to the window).
    bool Eventually(const std::function<bool()>& condition, milliseconds ceiling = kCeiling)
    {
        const auto deadline = std::chrono::steady_clock::now() + ceiling;
        while (!condition()) {
            if (std::chrono::steady_clock::now() >= deadline)
                return condition();
            std::this_thread::sleep_for(milliseconds(100));
        }
        return true;
    }

    // Waits until channel's pane satisfies `condition`; returns the pane.
    std::string WaitForPane(int channel, const std::function<bool(const std::string&)>& condition,
                            const std::string& what)
    {
        std::string pane;
        const bool seen = Eventually([&] {
            pane = Op().Text(kPanels[channel].log);
            return condition(pane);
        });
        EXPECT_TRUE(seen) << "channel " << channel << ": " << what << " never showed; the pane holds:\n" << pane;
        return pane;
    }

    std::string WaitForSentence(int channel, const std::string& address, int count = 1)
    {
        return WaitForPane(
            channel, [&](const std::string& pane) { return CountSentences(pane, address) >= count; },
            std::to_string(count) + " x " + address);
    }

    void ExpectPanelOpen(int channel)
    {
        const PanelIds& panel = kPanels[channel];
        SCOPED_TRACE("channel " + std::to_string(channel) + " open");
        const LampState lamp = Op().Lamp(panel.portLamp);
        EXPECT_TRUE(lamp.lit);
        EXPECT_EQ(lamp.colour, kGreen);
        EXPECT_FALSE(Op().State(panel.enable).enabled);
        EXPECT_FALSE(Op().State(panel.open).enabled);
        EXPECT_TRUE(Op().State(panel.close).enabled);
        EXPECT_TRUE(Op().State(panel.send).enabled);
        EXPECT_TRUE(Op().State(panel.sendFile).enabled);
    }

    void ExpectPanelReady(int channel)
    {
        const PanelIds& panel = kPanels[channel];
        SCOPED_TRACE("channel " + std::to_string(channel) + " ready");
        EXPECT_TRUE(Eventually([&] { return !Op().Lamp(panel.portLamp).lit; })) << "the port lamp stays lit";
        const ControlState enable = Op().State(panel.enable);
        EXPECT_TRUE(enable.enabled);
        EXPECT_EQ(enable.checked, 1);
        EXPECT_TRUE(Op().State(panel.open).enabled);
        EXPECT_FALSE(Op().State(panel.close).enabled);
        EXPECT_FALSE(Op().State(panel.send).enabled);
        EXPECT_FALSE(Op().State(panel.sendFile).enabled);
    }

    std::string PortOf(int channel) const
    {
        const std::string* ports[3] = {&m_bench.GnssPort(), &m_bench.BeaconPort(), &m_bench.SounderPort()};
        return *ports[channel];
    }

    // Steps of the walk.
    void ChooseAndOpenChannels();
    void WatchDeviceSentences();
    void SendFromCatalogue();
    void SendTypedCommand();
    void SendFile();
    void ClearPane();
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
        ASSERT_NE(std::find(ports.begin(), ports.end(), PortOf(channel)), ports.end())
            << PortOf(channel) << " is not offered on channel " << channel;
        Op().Pick(panel.portCombo, PortOf(channel));
        Op().Pick(panel.baudCombo, kChoices[channel].baud);
        // A fresh start has every channel enabled; clear and set the box as an
        // operator would, and see Open follow it.
        ASSERT_EQ(Op().State(panel.enable).checked, 1);
        Op().Click(panel.enable);
        ASSERT_EQ(Op().State(panel.enable).checked, 0);
        EXPECT_FALSE(Op().State(panel.open).enabled);
        Op().Click(panel.enable);
        ASSERT_EQ(Op().State(panel.enable).checked, 1);
        Op().Click(panel.open);
        ASSERT_TRUE(Eventually([&] { return Op().Lamp(panel.portLamp).lit; }))
            << "channel " << channel << " did not open " << PortOf(channel) << "\n" << m_bench.ProgramOutput();
        ExpectPanelOpen(channel);
        EXPECT_TRUE(m_bench.Simulator().WaitFor(std::string("opened ") + kChoices[channel].device))
            << "the simulator saw no reader on " << kChoices[channel].device;
    }
}

void OperatorWalk::WatchDeviceSentences()
{
    const std::string gnss = WaitForSentence(0, "GPGGA", 2);
    WaitForSentence(0, "GPRMC", 2);
    WaitForSentence(0, "GPHDT", 2);
    const std::string sounder = WaitForSentence(2, "SDDBT", 2);
    WaitForSentence(2, "SDDPT", 2);
    EXPECT_TRUE(BadSentences(gnss).empty()) << BadSentences(gnss).front();
    EXPECT_TRUE(BadSentences(sounder).empty()) << BadSentences(sounder).front();
    EXPECT_TRUE(Op().Lamp(kPanels[0].rxLamp).pulses > 0) << "\"Rx\" never flashed on channel 0";
    EXPECT_FALSE(Contains(sounder, "GPGGA")) << "the channels' traffic mixed";
}

void OperatorWalk::SendFromCatalogue()
{
    const PanelIds& sns = kPanels[0];
    Op().Pick(kReceiverTypeCombo, "Navis");
    const std::vector<std::string> commands = Op().Items(sns.commandCombo);
    ASSERT_EQ(commands.size(), 11u);
    Op().Pick(sns.commandCombo, "Сохранить настройки");
    EXPECT_TRUE(Contains(Op().Text(sns.commandEdit), "$POCFG,W*26")) << Op().Text(sns.commandEdit);
    Op().Click(sns.send);
    const std::string pane = WaitForSentence(0, "POACK");
    EXPECT_TRUE(Contains(pane, "$POACK,POCFG,A*")) << pane;
    EXPECT_TRUE(BadSentences(pane).empty()) << BadSentences(pane).front();

    // The beacon receiver sends only answers: ask it for its signal.
    const PanelIds& kks = kPanels[1];
    Op().Pick(kks.commandCombo, "Запрос состояния");
    Op().Click(kks.send);
    const std::string beacon = WaitForSentence(1, "CRMSS");
    EXPECT_TRUE(BadSentences(beacon).empty()) << BadSentences(beacon).front();
}

void OperatorWalk::SendTypedCommand()
{
    // A command typed and sent with Enter: "\r\n" is added, the receiver
    // starts the asked-for output, and the window stays.
    const PanelIds& sns = kPanels[0];
    Op().Type(sns.commandEdit, "log com1 gpgst ontime 1");
    Op().Key(sns.commandEdit, "Return");
    WaitForPane(0, [](const std::string& pane) { return Contains(pane, "<OK"); }, "<OK");
    WaitForSentence(0, "GPGST", 2);
    EXPECT_EQ(Op().Text(sns.commandEdit), "log com1 gpgst ontime 1");
    EXPECT_FALSE(m_bench.Program().HasEnded());
}

void OperatorWalk::SendFile()
{
    const std::string path = m_bench.File("beacon queries.txt");
    std::ofstream(path, std::ios::binary) << "$GPCRQ,MSK\r\n$PCSI,1,1\r\n";
    const PanelIds& kks = kPanels[1];
    const int click = Op().StartClick(kks.sendFile);
    Op().AnswerFileDialog(path, kCeiling);
    Op().Finish(click);
    const std::string pane = WaitForPane(
        1, [](const std::string& p) { return CountSentences(p, "CRMSK") >= 1 && CountSentences(p, "PCSI") >= 1; },
        "the answers to both queries of the file");
    EXPECT_TRUE(Contains(pane, "$PCSI,1,1,9600,8,N,1,RTCM*")) << pane;
    EXPECT_TRUE(BadSentences(pane).empty()) << BadSentences(pane).front();
}

void OperatorWalk::ClearPane()
{
    // The beacon receiver is quiet between answers: its pane empties and the
    // next answer starts at the top.
    const PanelIds& kks = kPanels[1];
    Op().Click(kks.clear);
    EXPECT_EQ(Op().Text(kks.log), "");
    Op().Pick(kks.commandCombo, "Запрос настройки");
    Op().Click(kks.send);
    const std::string pane = WaitForSentence(1, "CRMSK");
    EXPECT_EQ(pane.rfind("$CRMSK,", 0), 0u) << pane;
    EXPECT_EQ(CountSentences(pane, "CRMSS"), 0) << pane;
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
    ExpectPanelReady(0);
    Op().Click(sns.clear);
    Op().Click(sns.open);
    ASSERT_TRUE(Eventually([&] { return Op().Lamp(sns.portLamp).lit; })) << m_bench.ProgramOutput();
    ExpectPanelOpen(0);
    EXPECT_TRUE(m_bench.Simulator().WaitFor("opened gnss"));
    const std::string pane = WaitForSentence(0, "GPGGA", 2);
    EXPECT_TRUE(BadSentences(pane).empty()) << BadSentences(pane).front();
}

void OperatorWalk::CloseChannelsAndQuit()
{
    for (int channel = 0; channel < 3; ++channel) {
        Op().Click(kPanels[channel].close);
        ExpectPanelReady(channel);
    }
    // The echo sounder is taken out of use before quitting.
    Op().Click(kPanels[2].enable);
    EXPECT_EQ(Op().State(kPanels[2].enable).checked, 0);
    EXPECT_FALSE(Op().State(kPanels[2].open).enabled);

    Op().KeyOnWindow("Escape");
    EXPECT_EQ(m_bench.WaitForProgramEnd(kCeiling), 0) << m_bench.ProgramOutput();
}

void OperatorWalk::FindChoicesRemembered()
{
    for (int channel = 0; channel < 3; ++channel) {
        const PanelIds& panel = kPanels[channel];
        SCOPED_TRACE("channel " + std::to_string(channel) + " after a new start");
        EXPECT_EQ(Op().Text(panel.portCombo), PortOf(channel));
        EXPECT_EQ(Op().Text(panel.baudCombo), kChoices[channel].baud);
        const bool enabled = channel != 2;
        EXPECT_EQ(Op().State(panel.enable).checked, enabled ? 1 : 0);
        EXPECT_EQ(Op().State(panel.open).enabled, enabled);
        EXPECT_FALSE(Op().Lamp(panel.portLamp).lit) << "no channel opens by itself";
        EXPECT_EQ(Op().Text(panel.log), "");
    }
    EXPECT_EQ(Op().Text(kReceiverTypeCombo), "Shark");
    Op().CloseBox();
    EXPECT_EQ(m_bench.WaitForProgramEnd(kCeiling), 0) << m_bench.ProgramOutput();
}

TEST_F(OperatorWalk, WholeJobWithSimulatedDevices)
{
    StartProgram();
    EXPECT_EQ(Op().WaitForWindow(kCeiling), "OrvelConfigurator");

    ASSERT_NO_FATAL_FAILURE(ChooseAndOpenChannels());
    ASSERT_NO_FATAL_FAILURE(WatchDeviceSentences());
    ASSERT_NO_FATAL_FAILURE(SendFromCatalogue());
    ASSERT_NO_FATAL_FAILURE(SendTypedCommand());
    ASSERT_NO_FATAL_FAILURE(SendFile());
    ASSERT_NO_FATAL_FAILURE(ClearPane());
    ASSERT_NO_FATAL_FAILURE(PullCable());
    ASSERT_NO_FATAL_FAILURE(CloseChannelsAndQuit());

    StartProgram();
    FindChoicesRemembered();
}

} // namespace
} // namespace e2e

// The baud-rate search end to end: devices of the simulator given rates of
// their own, each found through a real serial port whose rate the search
// changes while it stays open, as the window will drive it.

#include "ChildProcess.h"

#include <BaudSearch.h>
#include <SerialPort.h>
#include <TempDir.h>

#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using traffic::CBaudSearch;
using Step = CBaudSearch::Step;

namespace {

const std::vector<std::uint32_t> kPanelRates = {110,   300,   600,   1200,   2400,   4800,   9600,  14400,
                                                19200, 38400, 56000, 57600, 115200, 128000, 256000};

// One channel under search: received bytes hop from the port's worker to
// the driving thread through a guarded buffer, as they reach the window,
// and the driving thread feeds them to the search and ticks it. The port
// follows every switch, and gets the channel's rate back when the search
// ends without one.
class CChannel
{
public:
    CChannel(boost::asio::io_service& io, const std::string& portName, std::uint32_t rate,
             CBaudSearch::Clock::duration listenLimit)
        : m_port(io, [this](const char* data, boost::uint32_t count) {
              const std::lock_guard<std::mutex> lock(m_mutex);
              m_received.append(data, count);
          })
        , m_search(kPanelRates, listenLimit)
    {
        m_opened = m_port.Open(portName.c_str(), rate);
        if (m_opened)
            Act(m_search.Start(rate, CBaudSearch::Clock::now()));
    }

    bool Opened() const { return m_opened; }
    bool Running() const { return m_search.Running(); }
    CBaudSearch::Action End() const { return m_end; }
    std::uint32_t PortRate() const { return m_port.BaudRate(); }

    void Tick()
    {
        std::string bytes;
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            bytes.swap(m_received);
        }
        m_search.OnBytes(bytes.data(), bytes.size());
        Act(m_search.OnTick(CBaudSearch::Clock::now()));
    }

private:
    void Act(const CBaudSearch::Action& action)
    {
        switch (action.step) {
        case Step::SwitchTo:
            EXPECT_TRUE(m_port.SetBaudRate(action.rate)) << action.rate;
            return;
        case Step::Listen:
            return;
        case Step::Found:
            break;
        default:
            EXPECT_TRUE(m_port.SetBaudRate(action.rate)) << "the channel's rate back";
        }
        m_end = action;
    }

    std::mutex m_mutex;
    std::string m_received;
    serialport::CSerialPort m_port;
    CBaudSearch m_search;
    bool m_opened = false;
    CBaudSearch::Action m_end{Step::Listen, 0};
};

} // namespace

// Four channels searched at once: receivers at 4800 and 115200, an echo
// sounder at 38400, and the beacon receiver, which says nothing unless
// asked. The talking devices get a listening limit of 3 s, twice the
// window's, so that a simulator held up on a busy machine cannot make the
// search miss a second; the silent one keeps the window's 1.5 s.
TEST(BaudSearchEndToEnd, FindsEachDevicesRateAndGivesTheSilentOneItsRateBack)
{
    testsupport::TempDir dir;
    devsimtest::CSimulator sim(dir.File("a"), {"--baud", "gnss=4800,sounder=38400"});
    devsimtest::CSimulator fast(dir.File("b"), {"--baud", "gnss=115200"});
    const auto patient = std::chrono::seconds(3);
    boost::asio::io_service io;
    std::vector<std::unique_ptr<CChannel>> channels;
    channels.push_back(std::make_unique<CChannel>(io, sim.Port(0), 9600, patient));
    channels.push_back(std::make_unique<CChannel>(io, sim.Port(2), 9600, patient));
    channels.push_back(std::make_unique<CChannel>(io, fast.Port(0), 9600, patient));
    channels.push_back(std::make_unique<CChannel>(io, sim.Port(1), 56000, CBaudSearch::kListenLimit));
    for (const auto& channel : channels)
        ASSERT_TRUE(channel->Opened());

    const auto ceiling = std::chrono::steady_clock::now() + std::chrono::minutes(5);
    const auto anyRunning = [&] {
        for (const auto& channel : channels) {
            if (channel->Running())
                return true;
        }
        return false;
    };
    while (anyRunning() && std::chrono::steady_clock::now() < ceiling) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        for (const auto& channel : channels)
            channel->Tick();
    }

    const CBaudSearch::Action expected[] = {
        {Step::Found, 4800}, {Step::Found, 38400}, {Step::Found, 115200}, {Step::NoAnswer, 56000}};
    for (std::size_t i = 0; i < channels.size(); ++i) {
        EXPECT_EQ(channels[i]->End(), expected[i]) << "channel " << i << " ended with step "
                                                   << static_cast<int>(channels[i]->End().step) << " at "
                                                   << channels[i]->End().rate;
        EXPECT_EQ(channels[i]->PortRate(), expected[i].rate) << "channel " << i;
    }
}

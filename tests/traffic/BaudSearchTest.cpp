#include "BaudSearch.h"

#include "NmeaChecksum.h"
#include "Uart.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

using traffic::CBaudSearch;
using Action = CBaudSearch::Action;
using Step = CBaudSearch::Step;
using Clock = CBaudSearch::Clock;
using std::chrono::milliseconds;

namespace traffic {

void PrintTo(const CBaudSearch::Action& action, std::ostream* out)
{
    static const char* const kSteps[] = {"SwitchTo", "Listen", "Found", "NoAnswer", "NoRateFound", "Cancelled"};
    *out << kSteps[static_cast<int>(action.step)] << " " << action.rate;
}

} // namespace traffic

namespace {

// The panel's list, in its order.
const std::vector<std::uint32_t> kPanelRates = {110,   300,   600,   1200,   2400,   4800,   9600,  14400,
                                                19200, 38400, 56000, 57600, 115200, 128000, 256000};
const Clock::time_point kStart = Clock::time_point() + std::chrono::hours(1);

std::string Sentence(const std::string& body)
{
    return commands::WithNmeaChecksum("$" + body) + "\r\n";
}

std::string Broken(const std::string& body)
{
    std::string line = Sentence(body);
    line[line.size() - 3] = line[line.size() - 3] == '0' ? '1' : '0';
    return line;
}

// A satellite receiver's second: GGA, RMC and HDT.
std::string Receiver(int second)
{
    const std::string time = "1235" + std::to_string(10 + second % 50) + ".00";
    return Sentence("GPGGA," + time + ",4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,") +
           Sentence("GPRMC," + time + ",A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W") +
           Sentence("GPHDT," + std::to_string(100 + second) + ".4,T");
}

// A device on the other end of the port. At a rate other than its own, what
// it sends arrives as a UART at the wrong rate shows it; a device of rate 0
// sends the same bytes whatever the rate.
struct CDevice
{
    std::uint32_t rate;
    std::string (*talk)(int second);
};

// The actions of a search, Listen aside, and the time spent at each rate.
struct CRun
{
    std::vector<Action> actions;
    std::vector<Clock::duration> dwell;
};

// Drives a search as the window will: ticks every 50 ms, the device talks
// once a second 300 ms into it, its bytes come in reads of 1 to 13 bytes,
// the port's rate follows every SwitchTo. Cancels at tick `cancelAt`.
CRun Search(const CDevice& device, std::uint32_t channelRate, int cancelAt = -1)
{
    CBaudSearch search(kPanelRates);
    Clock::time_point now = kStart;
    Clock::time_point switched = now;
    std::uint32_t portRate = channelRate;
    CRun run;
    const auto act = [&](const Action& action) {
        if (action.step == Step::Listen)
            return;
        if (!run.actions.empty() && run.actions.back().step == Step::SwitchTo)
            run.dwell.push_back(now - switched);
        run.actions.push_back(action);
        if (action.step == Step::SwitchTo) {
            portRate = action.rate;
            switched = now;
        }
    };
    act(search.Start(channelRate, now));
    std::size_t reads = 0;
    for (int tick = 1; search.Running() && tick < 100000; ++tick) {
        now += milliseconds(50);
        if (tick % 20 == 6) {
            std::string bytes = device.talk(tick / 20);
            if (device.rate != 0 && portRate != device.rate)
                bytes = devsim::AsReceivedAt(bytes, device.rate, portRate);
            for (std::size_t from = 0; from < bytes.size(); from += 1 + reads++ % 13)
                search.OnBytes(bytes.data() + from, std::min<std::size_t>(1 + reads % 13, bytes.size() - from));
        }
        act(tick == cancelAt ? search.Cancel() : search.OnTick(now));
    }
    EXPECT_FALSE(search.Running());
    return run;
}

std::vector<Action> Switches(const std::vector<std::uint32_t>& rates, Action end)
{
    std::vector<Action> actions;
    for (const std::uint32_t rate : rates)
        actions.push_back({Step::SwitchTo, rate});
    actions.push_back(end);
    return actions;
}

} // namespace

TEST(BaudSearch, TriesTheLikelyRatesFirstThenTheRestOfTheListOnce)
{
    EXPECT_EQ(traffic::SearchOrder(kPanelRates), (std::vector<std::uint32_t>{4800, 9600, 38400, 115200, 110, 300, 600, 1200,
                                                                              2400, 14400, 19200, 56000, 57600, 128000, 256000}));
    EXPECT_EQ(traffic::SearchOrder({300, 115200, 1200, 9600}), (std::vector<std::uint32_t>{9600, 115200, 300, 1200}));
}

// Devices at several rates, found at theirs after the wrong ones before it
// in the order have been left, each at the end of its 1.5 s at the latest.
TEST(BaudSearch, FindsTheRateOfDevicesThatSendSentencesOrText)
{
    const auto text = [](int second) {
        // "Глубина 24.5 м", "Температура воды 12 °C", "Курс 120" in Windows-1251.
        return std::string("\xC3\xEB\xF3\xE1\xE8\xED\xE0 ") + std::to_string(20 + second % 9) + ".5 \xEC\r\n" +
               "\xD2\xE5\xEC\xEF\xE5\xF0\xE0\xF2\xF3\xF0\xE0 \xE2\xEE\xE4\xFB 12 \xB0\x43\r\n" +
               "\xCA\xF3\xF0\xF1\t120\r\n";
    };
    const auto sounder = [](int second) {
        return Sentence("SDDBT,78.7,f," + std::to_string(20 + second % 9) + ".0,M,13.1,F") + Sentence("SDDPT,24.0,0.5,100");
    };
    const auto noisy = [](int second) {  // every fifth sentence broken
        std::string bytes;
        int sent = second * 3;
        for (const char* body : {"GPGGA,1,2", "GPRMC,3,4", "GPHDT,5,T"})
            bytes += ++sent % 5 == 0 ? Broken(body + std::to_string(second)) : Sentence(body + std::to_string(second));
        return bytes;
    };
    struct Case
    {
        const char* name;
        CDevice device;
        std::vector<std::uint32_t> tried;
    };
    const std::vector<Case> kCases = {
        {"receiver at 4800", {4800, Receiver}, {4800}},
        {"receiver at 38400", {38400, Receiver}, {4800, 9600, 38400}},
        {"receiver at 115200", {115200, Receiver}, {4800, 9600, 38400, 115200}},
        {"sounder at 38400, two sentences a second", {38400, sounder}, {4800, 9600, 38400}},
        {"noisy cable at 9600", {9600, noisy}, {4800, 9600}},
        {"text at 19200", {19200, text}, {4800, 9600, 38400, 115200, 110, 300, 600, 1200, 2400, 14400, 19200}},
        {"text at 256000", {256000, text}, traffic::SearchOrder(kPanelRates)},
    };
    for (const auto& c : kCases) {
        const CRun run = Search(c.device, 9600);
        EXPECT_EQ(run.actions, Switches(c.tried, {Step::Found, c.device.rate})) << c.name;
        for (const Clock::duration dwell : run.dwell)
            EXPECT_LE(dwell, CBaudSearch::kListenLimit) << c.name;
    }
}

// Nothing at all at any rate: every rate is listened at for its full
// 1.5 s, and the channel gets its rate back. Bytes that never make a good
// line at any rate: "no rate found", and the rate back too; a rate where
// they make plenty of lines and not one good is left before its time.
TEST(BaudSearch, SilenceAndGarbageEndWithTheChannelsRateBack)
{
    const std::vector<std::uint32_t> order = traffic::SearchOrder(kPanelRates);

    const CRun silent = Search({4800, [](int) { return std::string(); }}, 57600);
    EXPECT_EQ(silent.actions, Switches(order, {Step::NoAnswer, 57600}));
    EXPECT_EQ(silent.dwell, std::vector<Clock::duration>(order.size(), CBaudSearch::kListenLimit));

    // Random bytes, a line break at least every 30: now and then a short
    // line happens to be printable, which keeps a rate for its full time.
    const auto garbage = [](int second) {
        std::uint32_t noise = 12345u + static_cast<std::uint32_t>(second);
        std::string bytes;
        for (int i = 0; i < 400; ++i) {
            noise = noise * 1103515245 + 12345;
            bytes += i % 30 == 29 ? '\n' : static_cast<char>(noise >> 16);
        }
        return bytes;
    };
    EXPECT_EQ(Search({0, garbage}, 57600).actions, Switches(order, {Step::NoRateFound, 57600}));
    // Control bytes only: thirteen lines a second, never a good one.
    const auto controls = [](int second) {
        std::string bytes;
        for (int i = 0; i < 400; ++i)
            bytes += i % 30 == 29 ? '\r' : static_cast<char>(1 + (i * 7 + second) % 9);
        return bytes;
    };
    const CRun hopeless = Search({0, controls}, 57600);
    EXPECT_EQ(hopeless.actions, Switches(order, {Step::NoRateFound, 57600}));
    for (const Clock::duration dwell : hopeless.dwell)
        EXPECT_LT(dwell, CBaudSearch::kListenLimit);

    const auto halfBroken = [](int second) {
        std::string bytes;
        for (int i = second * 3; i < second * 3 + 3; ++i)
            bytes += i % 2 ? Broken("GPGGA,1," + std::to_string(second)) : Sentence("GPGGA,1," + std::to_string(second));
        return bytes;
    };
    EXPECT_EQ(Search({38400, halfBroken}, 4800).actions, Switches(order, {Step::NoRateFound, 4800}));
}

// Cancelled at any moment, the search ends at once with the channel's
// rate; it keeps that end, and bytes after it change nothing. A search that
// found its rate keeps it when cancelled afterwards. Start begins anew.
TEST(BaudSearch, CancelPutsBackTheChannelsRateAndStartBeginsAnew)
{
    const CRun run = Search({38400, Receiver}, 1200, 40);
    EXPECT_EQ(run.actions, (std::vector<Action>{{Step::SwitchTo, 4800}, {Step::SwitchTo, 9600}, {Step::Cancelled, 1200}}));

    CBaudSearch search(kPanelRates);
    EXPECT_EQ(search.Cancel(), (Action{Step::Cancelled, 0})) << "nothing to cancel";
    EXPECT_EQ(search.Start(2400, kStart), (Action{Step::SwitchTo, 4800}));
    EXPECT_EQ(search.RateNumber(), 1u);
    EXPECT_EQ(search.Cancel(), (Action{Step::Cancelled, 2400}));
    const std::string two = Sentence("GPGGA,1") + Sentence("GPGGA,2");
    search.OnBytes(two.data(), two.size());
    EXPECT_EQ(search.OnTick(kStart + milliseconds(100)), (Action{Step::Cancelled, 2400}));
    EXPECT_FALSE(search.Running());

    EXPECT_EQ(search.Start(9600, kStart), (Action{Step::SwitchTo, 4800}));
    EXPECT_TRUE(search.Running());
    search.OnBytes(two.data(), two.size());
    EXPECT_EQ(search.OnTick(kStart + milliseconds(100)), (Action{Step::Found, 4800}));
    EXPECT_EQ(search.Cancel(), (Action{Step::Found, 4800}));
    EXPECT_EQ(search.OnTick(kStart + milliseconds(200)), (Action{Step::Found, 4800}));
}

// What the first rate makes of bytes fed right after the switch to it, one
// tick later (well within its 1.5 s): found, or still listening. The piece
// before the first line break may be the end of a line cut by the switch,
// and garbage lines received at the rate before may still come first.
TEST(BaudSearch, ScoresWholeLinesFromTheFirstGoodOne)
{
    const std::string gga = Sentence("GPGGA,123519,4807.038,N");
    const std::string rmc = Sentence("GPRMC,123519,A");
    const std::string tail = gga.substr(10);  // of a sentence begun before the switch
    const std::string megabyte(1 << 20, '\x80');
    const struct
    {
        const char* name;
        std::string bytes;
        Step step;
    } kCases[] = {
        {"two sentences", gga + rmc, Step::Found},
        {"a whole sentence before the first break counts", gga + rmc.substr(0, 10), Step::Listen},
        {"the end of a cut sentence does not", tail + gga, Step::Listen},
        {"cut, then two", tail + gga + rmc, Step::Found},
        {"stale garbage first", "x\x01\xFE\r\n\x80\x81\x82\r\n\xF0\xF8\n" + gga + rmc, Step::Found},
        {"one in three broken", gga + Broken("GPGGA,2") + rmc, Step::Listen},
        {"one in five broken", gga + Broken("GPGGA,2") + rmc + gga + rmc, Step::Found},
        {"sentences without a checksum", "\r\n$SDDBT,78.7,f,24.0,M\r\n$SDDPT,24.0,0.5\r\n", Step::Found},
        {"text, the first line cut", "eady\r\nReceiver ready\r\n", Step::Listen},
        {"text", "eady\r\nReceiver ready\r\nSatellites: 8\r\n", Step::Found},
        {"text with control bytes", "\r\nReady\x07\r\nOK\x1B[0m\r\n", Step::Listen},
        {"empty lines are none", "\r\n" + gga + "\r\n\r\n\n\r", Step::Listen},
        {"broken sentences", "\r\n" + Broken("GPGGA,1") + Broken("GPGGA,2") + Broken("GPGGA,3"), Step::Listen},
        {"no line break in a megabyte", megabyte, Step::Listen},
        {"eight lines of garbage", "\n\x01\n\x02\n\x03\n\x04\n\x05\n\x06\n\x07\n\x08\n", Step::SwitchTo},
    };
    for (const auto& c : kCases) {
        CBaudSearch search(kPanelRates);
        search.Start(9600, kStart);
        for (std::size_t from = 0; from < c.bytes.size(); from += 7)
            search.OnBytes(c.bytes.data() + from, std::min<std::size_t>(7, c.bytes.size() - from));
        const Action action = search.OnTick(kStart + milliseconds(100));
        EXPECT_EQ(action.step, c.step) << c.name;
        EXPECT_EQ(action.rate, action.step == Step::SwitchTo ? 9600u : 4800u) << c.name;
    }
}

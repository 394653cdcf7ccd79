#include "Nmea.h"
#include "Options.h"
#include "Uart.h"
#include "ValidSentences.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

using devsim::AsReceivedAt;

namespace {

const unsigned kRates[] = {110, 300, 600, 1200, 2400, 4800, 9600, 14400, 19200, 38400, 56000, 57600, 115200, 128000, 256000};

// A second of a satellite receiver's talk, different for each second.
std::string Burst(int second)
{
    const std::string time = "1235" + std::to_string(10 + second % 50) + ".00";
    return devsim::nmea::Sentence("GPGGA," + time + ",4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,") +
           devsim::nmea::Sentence("GPRMC," + time + ",A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W") +
           devsim::nmea::Sentence("GPHDT," + std::to_string(100 + second) + ".4,T");
}

} // namespace

// Every pair of the window's rates: the same rate, or one close enough for
// the samples to stay within their bits (56000 and 57600 differ by 3 %),
// gives the bytes back; any other gives garbage with not one valid sentence
// in a minute of talk (or nothing at all: at 110 bit/s a start bit of
// 256000 bit/s is too short to be seen).
TEST(Uart, WrongRatesGiveGarbageWithoutSentencesAndCloseOnesTheBytes)
{
    std::string every;
    for (int i = 0; i < 512; ++i)
        every += static_cast<char>(i);
    std::string minute;
    for (int second = 0; second < 60; ++second)
        minute += Burst(second);
    for (const unsigned sent : kRates) {
        for (const unsigned read : kRates) {
            const bool close = std::abs(static_cast<double>(sent) - read) / sent < 0.04;
            EXPECT_EQ(AsReceivedAt(every, sent, read) == every, close) << sent << " read at " << read;
            if (close)
                continue;
            for (int second = 0; second < 60; ++second) {
                const std::string garbage = AsReceivedAt(Burst(second), sent, read);
                ASSERT_EQ(devsimtest::ValidSentences(garbage), 0) << sent << " read at " << read;
            }
        }
    }
}

// What the model does bit by bit, worked out by hand (bits listed from the
// start bit: 0, the data from bit 0, the stop bit 1).
TEST(Uart, FramesAreReadBitByBitAtTheReadersRate)
{
    // 'A' 0 10000010 1 read twice as fast: samples at 1.5, 2.5 ... 8.5 of
    // the reader's bits fall on the sender's bits 0 1 1 2 2 3 3 4: 0x06, the
    // stop sample on its bit 4 (low). The next falling edge is from its bit
    // 6 to 7: one low sample, then the high stop bit and idle line: 0xFE.
    EXPECT_EQ(AsReceivedAt("A", 1200, 2400), "\x06\xFE");
    // A byte of 0 read at half the rate: low for four and a half of the
    // reader's bits, so its bits 3 to 7 see the stop bit and the idle line.
    EXPECT_EQ(AsReceivedAt(std::string(1, '\0'), 2400, 1200), "\xF8");
    // Start bits half a bit long are gone by the middle of the reader's.
    EXPECT_EQ(AsReceivedAt("\xFF\xFF", 2400, 1200), "");
    EXPECT_EQ(AsReceivedAt("", 4800, 9600), "");
}

// --baud gives devices a rate of their own; without it they talk at any.
TEST(Uart, BaudOptionGivesDevicesRatesOfTheirOwn)
{
    using devsim::ParseOptions;
    EXPECT_EQ(ParseOptions({}).m_baud, (std::array<unsigned, 3>{0, 0, 0}));
    EXPECT_EQ(ParseOptions({"--baud", "gnss=4800,sounder=38400"}).m_baud, (std::array<unsigned, 3>{4800, 0, 38400}));
    EXPECT_EQ(ParseOptions({"--baud", "gnss=4800", "--baud", "beacon=115200,gnss=9600"}).m_baud,
              (std::array<unsigned, 3>{9600, 115200, 0}));
    for (const char* wrong : {"gnss", "gnss=", "gnss=0", "gnss=4800,", "radar=4800", "gnss=48k", "gnss=4000001"})
        EXPECT_THROW(ParseOptions({"--baud", wrong}), devsim::CUsageError) << wrong;
}

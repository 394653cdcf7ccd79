// The rate of a send over its last seconds, driven by a clock of the test's
// own: samples every 100 ms as the progress window takes them.

#include <RecentRate.h>

#include <gtest/gtest.h>

using ui::CRecentRate;
using std::chrono::milliseconds;

namespace {

// A send as the progress window samples it, on a clock that starts at 0.
class Send
{
public:
    // `seconds` more of sending at `bytesPerSecond`, sampled every 100 ms.
    void Run(double seconds, std::size_t bytesPerSecond)
    {
        for (int tick = 0; tick < static_cast<int>(seconds * 10 + 0.5); ++tick) {
            m_now += milliseconds(100);
            m_sent += bytesPerSecond / 10;
            m_rate.Add(m_now, m_sent);
        }
    }
    std::optional<double> Rate() const { return m_rate.BytesPerSecond(); }
    std::optional<long long> SecondsLeft(std::size_t total) const
    {
        const auto left = m_rate.TimeLeft(total);
        return left ? std::optional<long long>(left->count() / 1000) : std::nullopt;
    }
    CRecentRate& Estimator() { return m_rate; }
    CRecentRate::Clock::time_point Now() const { return m_now; }

private:
    CRecentRate m_rate;
    CRecentRate::Clock::time_point m_now{};
    std::size_t m_sent = 0;
};

} // namespace

// A steady send: its rate, and the time left at it. Before half a second of
// samples there is no rate to tell.
TEST(RecentRate, SteadySendTellsItsRateAndTimeLeft)
{
    Send send;
    EXPECT_EQ(send.Rate(), std::nullopt);
    send.Run(0.4, 1000);
    EXPECT_EQ(send.Rate(), std::nullopt) << "too early";
    send.Run(9.6, 1000);
    EXPECT_EQ(send.Rate(), 1000.0);
    EXPECT_EQ(send.SecondsLeft(30000), 20);
    EXPECT_EQ(send.SecondsLeft(10000), 0) << "all sent";
}

// The device slows down: once the window has passed the change the rate is
// the new one, where the average since the start would still say 733 B/s.
// It stalls: the rate falls as the window slides past the last byte, to
// nothing, and there is no time left to tell. It resumes: the new rate
// within the window's length.
TEST(RecentRate, SlowdownStallAndResumeShowInTheRecentRate)
{
    Send send;
    send.Run(10, 1000);
    send.Run(5, 100);
    EXPECT_EQ(send.Rate(), 100.0);
    EXPECT_EQ(send.SecondsLeft(10500 + 1000), 10);

    send.Run(2, 0);
    EXPECT_EQ(send.Rate(), 300.0 / 5) << "3 s of 100 B/s and 2 s of nothing";
    send.Run(3, 0);
    EXPECT_EQ(send.Rate(), 0.0);
    EXPECT_EQ(send.SecondsLeft(20000), std::nullopt) << "stalled: no time to tell";

    send.Run(1, 500);
    EXPECT_EQ(send.Rate(), 500.0 / 5);
    send.Run(4, 500);
    EXPECT_EQ(send.Rate(), 500.0);
}

// Another send (fewer bytes than last seen) starts anew; a sample from
// before the last one is ignored; samples far apart still give the rate.
TEST(RecentRate, NewSendsLateSamplesAndSparseSamples)
{
    Send send;
    send.Run(6, 1000);
    CRecentRate& rate = send.Estimator();
    rate.Add(send.Now() + milliseconds(100), 10);
    EXPECT_EQ(rate.BytesPerSecond(), std::nullopt) << "a new send";
    rate.Add(send.Now() + milliseconds(700), 610);
    EXPECT_EQ(rate.BytesPerSecond(), 1000.0);
    rate.Add(send.Now() + milliseconds(400), 5000);
    EXPECT_EQ(rate.BytesPerSecond(), 1000.0) << "a sample out of order";

    CRecentRate sparse;
    const CRecentRate::Clock::time_point start{};
    sparse.Add(start, 0);
    sparse.Add(start + milliseconds(7000), 7000);
    EXPECT_EQ(sparse.BytesPerSecond(), 1000.0);
    sparse.Add(start + milliseconds(14000), 7700);
    EXPECT_EQ(sparse.BytesPerSecond(), 100.0) << "the sample before the window's start spans it";

    // Samples off the window's grid: the rate spans the whole window, from
    // the last sample before its start, rather than only the part after it.
    CRecentRate offGrid;
    for (const auto& [at, sent] : {std::pair{0, 0}, {2000, 2000}, {4000, 2000}, {6500, 2000}})
        offGrid.Add(start + milliseconds(at), static_cast<std::size_t>(sent));
    EXPECT_EQ(offGrid.BytesPerSecond(), 2000 / 6.5);
    rate.Reset();
    EXPECT_EQ(rate.BytesPerSecond(), std::nullopt);
}

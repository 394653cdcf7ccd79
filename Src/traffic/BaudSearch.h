#pragma once

#include "LineScore.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace traffic {

// The order a search tries the panel's rates in: the rates devices use most,
// 4800, 9600, 38400 and 115200 (those of them the list has), then the rest of
// the list in its own order. Every rate of the list comes once.
std::vector<std::uint32_t> SearchOrder(const std::vector<std::uint32_t>& rates);

// Finds the baud rate a device talks at: a state machine the caller drives.
// The caller owns the port: it switches the port's rate when told to, feeds
// every received byte (which goes to the pane as usual as well), and ticks
// the search, say every 50 ms, acting on what each tick answers.
//
// Each rate in SearchOrder is listened at until at least kMinLines complete
// lines have been scored there, for at most the listening limit (1.5 s). The
// lines are scored by CLineScore: the share of good lines (sentences with a
// right checksum, or printable text for a device that sends no sentences).
// The search stops at the first rate where kMinLines lines score at least
// kMinShare: at the right rate every line is good, and a noisy cable that
// breaks one sentence in five still passes, while at a wrong rate a UART
// delivers bytes that make a sentence with a right checksum or a whole line
// of text only by rare chance, let alone two lines running. A rate that has
// shown kConclusiveLines lines and not one good one is left before its time.
//
// When no rate passes, the search ends with NoAnswer if nothing at all came
// at any rate, and with NoRateFound if bytes came; either way, and when it is
// cancelled, the caller puts back the rate the channel had (the action's
// rate). Not thread-safe: one thread drives it.
class CBaudSearch
{
public:
    using Clock = std::chrono::steady_clock;

    static constexpr Clock::duration kListenLimit = std::chrono::milliseconds(1500);
    static constexpr std::size_t kMinLines = 2;
    static constexpr double kMinShare = 0.8;
    static constexpr std::size_t kConclusiveLines = 8;

    enum class Step
    {
        SwitchTo,     // set the port to `rate` now
        Listen,       // nothing to do; `rate` is being tried
        Found,        // the device talks at `rate`
        NoAnswer,     // silence at every rate: put back `rate`, the channel's
        NoRateFound,  // bytes came, no rate passed: put back `rate`
        Cancelled,    // put back `rate`
    };

    struct Action
    {
        Step step;
        std::uint32_t rate;
        bool operator==(const Action& other) const { return step == other.step && rate == other.rate; }
        bool operator!=(const Action& other) const { return !(*this == other); }
    };

    // `rates`: the panel's list. `listenLimit`: the longest time spent at one
    // rate.
    explicit CBaudSearch(const std::vector<std::uint32_t>& rates, Clock::duration listenLimit = kListenLimit);

    // Starts (or starts again) from the channel's current rate; the first
    // action switches to the first rate of the order, even when the port is
    // at it already.
    Action Start(std::uint32_t currentRate, Clock::time_point now);
    // Bytes received since the last switch; ignored when no search runs.
    void OnBytes(const char* data, std::size_t size);
    // The next action. Once the search has ended, its last action again.
    Action OnTick(Clock::time_point now);
    // Ends a running search with Cancelled; an ended one keeps its end.
    Action Cancel();

    bool Running() const { return m_state == State::Running; }
    const std::vector<std::uint32_t>& Order() const { return m_order; }
    // The rate being tried and its place in Order, from 1; 0 before Start.
    std::uint32_t Rate() const { return m_next == 0 ? 0 : m_order[m_next - 1]; }
    std::size_t RateNumber() const { return m_next; }
    std::uint32_t OriginalRate() const { return m_originalRate; }

private:
    enum class State
    {
        Idle,
        Running,
        Ended,
    };

    Action TryNextRate(Clock::time_point now);
    Action End(Step step, std::uint32_t rate);
    bool Passes() const { return m_score.Scored() >= kMinLines && m_score.Share() >= kMinShare; }
    bool Hopeless() const { return m_score.Lines() >= kConclusiveLines && m_score.Scored() == 0; }

    const std::vector<std::uint32_t> m_order;
    const Clock::duration m_listenLimit;
    State m_state = State::Idle;
    std::uint32_t m_originalRate = 0;
    std::size_t m_next = 0;  // index in m_order of the rate after the one tried
    Clock::time_point m_switched;
    CLineScore m_score;
    bool m_anyBytes = false;
    Action m_end{Step::Cancelled, 0};
};

} // namespace traffic

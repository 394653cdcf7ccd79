#pragma once

// The rate of a send over its last few seconds, and the time left at that
// rate, for the send's progress window: an average since the start would
// promise the early rate long after the device slowed down, and would take
// minutes to believe a stall was over.
//
// Fed (time, bytes sent so far) samples as the progress is read, e.g. each
// 100 ms. The rate is the bytes sent between the oldest sample within the
// window (kept: the last one at or before its start) and the newest, over
// the time between them. A device that stops taking data brings the rate
// down as the window slides past its last byte, to none once the window
// holds no progress at all; when it takes data again the rate is its new
// one within the window's length. One thread uses it.

#include <chrono>
#include <cstddef>
#include <deque>
#include <optional>

namespace ui {

class CRecentRate
{
public:
    using Clock = std::chrono::steady_clock;

    static constexpr std::chrono::milliseconds kWindow{5000};
    // Less time than this between samples tells no rate yet.
    static constexpr std::chrono::milliseconds kLeast{500};

    explicit CRecentRate(std::chrono::milliseconds window = kWindow);

    // A sample: at `now`, `sent` bytes of the send had gone. A count lower
    // than the last one starts anew (another send); a time earlier than the
    // last sample's is ignored.
    void Add(Clock::time_point now, std::size_t sent);
    void Reset();

    // Bytes a second over the window; none until the samples span kLeast.
    // Zero while the device takes nothing.
    std::optional<double> BytesPerSecond() const;
    // Time until `total` bytes have gone at that rate, from the last
    // sample; none while there is no rate or it is zero.
    std::optional<std::chrono::milliseconds> TimeLeft(std::size_t total) const;

private:
    struct Sample
    {
        Clock::time_point time;
        std::size_t sent;
    };

    std::chrono::milliseconds m_window;
    std::deque<Sample> m_samples;  // oldest first
};

} // namespace ui

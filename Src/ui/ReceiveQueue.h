#pragma once

// Received chunks on their way from a port's I/O worker to the window's
// thread. The worker copies each chunk in and never waits for the window;
// the window takes the oldest chunks in arrival order, a bounded amount at a
// time, so that a flood never holds up its other events for long.

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace ui {

class CReceiveQueue
{
public:
    // What the window takes: the chunks' bytes back to back, and each
    // chunk's count (0 for a failed or cancelled read).
    struct Batch
    {
        std::string bytes;
        std::vector<std::uint32_t> counts;

        void clear()
        {
            bytes.clear();
            counts.clear();
        }
        bool empty() const { return counts.empty(); }
    };

    // Any thread. Copies the chunk (a null pointer counts as a failed read).
    // True when nothing was waiting for the window, so the caller must wake
    // it; further chunks ride on that one wake-up.
    bool Push(const char* data, std::uint32_t count);

    // Window thread. Replaces `into` by the oldest whole chunks queued, as
    // many as fit in `maxBytes` (at least one). True when more remain: the
    // window must then come back for them, as no new wake-up will be asked.
    bool Take(Batch& into, std::size_t maxBytes);

private:
    std::mutex m_mutex;
    std::string m_bytes;
    std::vector<std::uint32_t> m_counts;
    std::size_t m_bytesTaken = 0;   // of m_bytes, already taken
    std::size_t m_countsTaken = 0;  // of m_counts, already taken
    bool m_wakeUpPending = false;
};

} // namespace ui

#pragma once

// Received bytes on their way from a port's I/O worker to the window's
// thread. The worker copies each chunk in and never waits for the window;
// the window takes everything queued at once, in arrival order. Where one
// read ended and the next began does not matter to what is shown, so only
// the bytes are kept, and whether a read failed in between.

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>

namespace ui {

class CReceiveQueue
{
public:
    // What the window takes.
    struct Batch
    {
        std::string bytes;
        bool failed = false;  // a read failed or was cancelled

        // Empties the batch; a buffer grown large by a flood goes back to
        // the system rather than waiting for the next one.
        void clear();
        bool empty() const { return bytes.empty() && !failed; }
    };

    // Any thread. Copies the chunk (a count of 0, or a null pointer, is a
    // failed read). True when nothing was waiting for the window, so the
    // caller must wake it; further chunks ride on that one wake-up.
    bool Push(const char* data, std::uint32_t count);

    // Window thread. Replaces `into` by everything queued; the queue goes on
    // with `into`'s emptied buffer. The next Push wakes the window again.
    void Take(Batch& into);

private:
    std::mutex m_mutex;
    Batch m_queued;
    bool m_wakeUpPending = false;
};

} // namespace ui

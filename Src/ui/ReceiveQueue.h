#pragma once

// Received bytes on their way from a port's I/O worker to the window's
// thread. The worker copies each chunk in and never waits for the window;
// the window takes everything queued at once, in arrival order. Where one
// read ended and the next began does not matter to what is shown, so only
// the bytes are kept, when each read came (where its time changed), and
// whether a read failed in between.

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace ui {

class CReceiveQueue
{
public:
    // What the window takes.
    struct Batch
    {
        std::string bytes;
        // From each offset into `bytes` on, the time of the read (ms since
        // 1970), ascending; a new entry only where the time changes.
        std::vector<std::pair<std::size_t, std::int64_t>> times;
        bool failed = false;  // a read failed or was cancelled
        bool lost = false;    // then the port found its device gone

        // Empties the batch; a buffer grown large by a flood goes back to
        // the system rather than waiting for the next one.
        void clear();
        bool empty() const { return bytes.empty() && !failed && !lost; }
    };

    // Any thread. Copies the chunk, read at `timeMs` (a count of 0, or a
    // null pointer, is a failed read). True when the window is to be woken:
    // it was not coming for this queue. Further chunks ride on that one
    // wake-up.
    bool Push(const char* data, std::uint32_t count, std::int64_t timeMs = 0);

    // Any thread: the port lost its device (after its last failed read).
    bool PushLost();

    // Window thread. Replaces `into` by everything queued; the queue goes on
    // with `into`'s emptied buffer. The window is still counted as coming.
    void Take(Batch& into);

    // Window thread. True when nothing is queued: the window stops coming,
    // and the next Push wakes it again. False when something is queued: the
    // window must come back for it by itself.
    bool Idle();

private:
    std::mutex m_mutex;
    Batch m_queued;
    bool m_wakeUpPending = false;
};

} // namespace ui

#pragma once

#include "NativeHandle.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace serialport {

// Sends one buffer to a port's device on a thread of its own, so that the
// caller never waits for the device. The bytes go out whole and in order,
// in slices of about 50 ms at the line's rate; where the driver tells how
// much it still holds, no more than a slice is left queued in it, so that a
// cancel is answered within a slice. A device that stops taking bytes only
// stops the send's progress: Cancel ends it all the same, cutting short a
// write the driver holds on to.
//
// One send at a time. The owner must stop the send (Stop) before the
// port's handle goes.
class CSender
{
public:
    enum class Outcome
    {
        Sent,       // every byte went out
        Failed,     // the device reported an error, or went away
        Cancelled,  // cancelled, or stopped by the port's close
    };
    // Called once, on the sending thread, when the send has ended. It must
    // not wait for the thread that calls Stop.
    using DoneCallback = std::function<void(Outcome)>;

    struct Progress
    {
        std::size_t sent = 0;
        std::size_t total = 0;
        std::chrono::steady_clock::time_point started;
        std::chrono::steady_clock::time_point lastByte;  // the start, until a byte has gone out
    };

    CSender() = default;
    ~CSender();
    CSender(const CSender&) = delete;
    CSender& operator=(const CSender&) = delete;

    // Starts sending `bytes` to the open `port`; returns at once. False,
    // sending nothing, while another send runs or when there is nothing to
    // send.
    bool Start(NativeHandle port, std::vector<char> bytes, DoneCallback done);
    bool Running() const { return m_running; }
    Progress GetProgress() const;

    // Asks the running send to end at its next slice; returns at once.
    void Cancel();
    // Cancels the running send and returns once it has ended and reported.
    void Stop();
    // The device has gone: ends the running send as Failed (whatever it was
    // doing) and returns once it has ended and reported.
    void StopAsFailed();

    // Bytes in a slice at `baudRate` (8 data bits, no parity, one stop bit:
    // ten bits a byte on the line), at least one.
    static std::size_t SliceBytes(std::uint32_t baudRate);

private:
    void Run(NativeHandle port, DoneCallback done);
    Outcome Send(NativeHandle port);
    // Waits up to `timeout`; false when the send was cancelled meanwhile.
    bool Pause(std::chrono::milliseconds timeout);

    std::thread m_thread;
    std::vector<char> m_bytes;
    std::atomic<bool> m_running{false};
    mutable std::mutex m_mutex;
    std::condition_variable m_cancelled;
    bool m_cancel = false;  // guarded by m_mutex
    bool m_deviceGone = false;  // guarded by m_mutex: a cancel that reports Failed
    Progress m_progress;    // guarded by m_mutex
};

} // namespace serialport

#pragma once

#include "Channel.h"
#include "FileDescriptor.h"
#include "LineAssembler.h"
#include "OpenWatcher.h"
#include "Options.h"
#include "PortFolder.h"

#include <array>
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace devsim {

// The whole simulator: the three channels, the control lines on standard
// input, the stop signals and the clock, run by one poll loop on one thread.
class CSimulator
{
public:
    using Clock = std::chrono::steady_clock;

    // Sets up the folder, the lock and the three links; throws with a message
    // for the operator when any of that is refused.
    explicit CSimulator(const COptions& options);

    // Runs until quit or a stop signal; returns the exit status.
    int Run();

private:
    struct CPullEvent
    {
        Clock::time_point m_when;
        std::size_t m_device;
        std::optional<unsigned> m_down; // seconds; none: stay down until "plug"
    };

    static void Report(const std::string& line);

    void PollOnce();
    int TimeoutMs() const;
    void OnSignal();
    void OnControlInput();
    void Execute(const std::string& line);
    void OnTimers();

    void Pull(std::size_t device, std::optional<unsigned> downSeconds);
    void PlugBack(std::size_t device);

    CFileDescriptor m_signals; // first: stop signals are caught from the start
    std::string m_folder;
    CInstanceLock m_lock;
    COpenWatcher m_watcher;
    std::array<std::unique_ptr<CChannel>, 3> m_channels;
    std::array<std::optional<Clock::time_point>, 3> m_plugBackAt;
    std::vector<CPullEvent> m_plannedPulls;
    std::vector<CPullPlan> m_pullPlans;
    CLineAssembler m_control;
    bool m_controlOpen = true;
    Clock::time_point m_nextTick;
    bool m_quit = false;
};

} // namespace devsim

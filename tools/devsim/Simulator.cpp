#include "Simulator.h"

#include "BeaconReceiver.h"
#include "EchoSounder.h"
#include "GnssReceiver.h"

#include <algorithm>
#include <cctype>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <poll.h>
#include <sstream>
#include <sys/signalfd.h>
#include <unistd.h>

namespace devsim {

namespace {

sigset_t StopSignals()
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    return set;
}

// Blocks the stop signals and hands them out through a descriptor instead.
// A closed standard output must not kill the simulator (SIGPIPE), nor may a
// read of the terminal from the background stop it (SIGTTIN): that read
// just fails and control input ends.
CFileDescriptor CatchStopSignals()
{
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGTTIN, SIG_IGN);
    const sigset_t set = StopSignals();
    if (::sigprocmask(SIG_BLOCK, &set, nullptr) != 0)
        throw SystemError("sigprocmask");
    CFileDescriptor fd(::signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC));
    if (!fd.IsOpen())
        throw SystemError("signalfd");
    return fd;
}

std::unique_ptr<CDevice> MakeDevice(std::size_t index)
{
    switch (index) {
    case 0: return std::make_unique<CGnssReceiver>();
    case 1: return std::make_unique<CBeaconReceiver>();
    default: return std::make_unique<CEchoSounder>();
    }
}

// The moment of the next whole UTC second, at least half a second away.
CSimulator::Clock::time_point NextWholeSecond()
{
    using namespace std::chrono;
    const auto sinceEpoch = system_clock::now().time_since_epoch();
    auto wait = duration_cast<CSimulator::Clock::duration>(seconds(1) - (sinceEpoch - floor<seconds>(sinceEpoch)));
    if (wait < milliseconds(500))
        wait += seconds(1);
    return CSimulator::Clock::now() + wait;
}

} // namespace

CSimulator::CSimulator(const COptions& options)
    : m_signals(CatchStopSignals())
    , m_folder(PrepareFolder(options.m_folder))
    , m_lock(m_folder, options.m_prefix)
    , m_pullPlans(options.m_pulls)
{
    for (std::size_t i = 0; i < m_channels.size(); ++i) {
        const std::string link = m_folder + "/" + options.m_prefix + kDeviceNames[i];
        m_channels[i] = std::make_unique<CChannel>(MakeDevice(i), link, m_watcher, &CSimulator::Report);
        m_channels[i]->CorruptEvery(options.m_corruptEvery);
        m_channels[i]->SetBaudRate(options.m_baud[i]);
    }
    if (options.m_floodBytes)
        m_channels[options.m_floodDevice]->StartFlood(*options.m_floodBytes);
    for (const auto& channel : m_channels)
        channel->Plug();
}

int CSimulator::Run()
{
    std::string ready = "ready";
    for (const auto& channel : m_channels)
        ready += std::string(" ") + channel->Name() + "=" + channel->Port().LinkPath();
    Report(ready);

    const Clock::time_point start = Clock::now();
    for (const CPullPlan& plan : m_pullPlans)
        m_plannedPulls.push_back({start + std::chrono::seconds(plan.m_after), plan.m_device, plan.m_down});
    m_nextTick = NextWholeSecond();

    while (!m_quit)
        PollOnce();
    return 0;
}

void CSimulator::Report(const std::string& line)
{
    std::fputs((line + "\n").c_str(), stdout);
    std::fflush(stdout);
}

void CSimulator::PollOnce()
{
    std::vector<pollfd> fds;
    fds.push_back({m_signals.Get(), POLLIN, 0});
    fds.push_back({m_watcher.Fd(), POLLIN, 0});
    fds.push_back({m_controlOpen ? STDIN_FILENO : -1, POLLIN, 0});
    for (const auto& channel : m_channels) {
        const short events = channel->PollEvents();
        fds.push_back({events ? channel->Port().Master() : -1, events, 0});
    }

    if (::poll(fds.data(), fds.size(), TimeoutMs()) < 0) {
        if (errno == EINTR)
            return;
        throw SystemError("poll");
    }

    if (fds[0].revents)
        OnSignal();
    // The channels come before the control lines, which may unplug them and
    // leave these events stale.
    for (std::size_t i = 0; i < m_channels.size(); ++i) {
        if (fds[3 + i].revents && m_channels[i]->Port().IsPlugged())
            m_channels[i]->OnPollEvents(fds[3 + i].revents);
    }
    if (fds[1].revents) {
        for (const int watch : m_watcher.TakeOpened()) {
            for (const auto& channel : m_channels) {
                if (channel->Watches(watch))
                    channel->CheckReader();
            }
        }
    }
    if (fds[2].revents)
        OnControlInput();
    OnTimers();
}

int CSimulator::TimeoutMs() const
{
    Clock::time_point next = m_nextTick;
    for (const CPullEvent& pull : m_plannedPulls)
        next = std::min(next, pull.m_when);
    for (const auto& at : m_plugBackAt) {
        if (at)
            next = std::min(next, *at);
    }
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(next - Clock::now()).count();
    return static_cast<int>(std::clamp<long long>(wait, 0, 1000));
}

void CSimulator::OnSignal()
{
    signalfd_siginfo info{};
    while (::read(m_signals.Get(), &info, sizeof info) == static_cast<ssize_t>(sizeof info))
        m_quit = true;
}

// One read per wake-up: standard input may be a terminal shared with a shell,
// so it is never switched to non-blocking mode.
void CSimulator::OnControlInput()
{
    char buffer[1024];
    const ssize_t count = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (count < 0 && errno == EINTR)
        return;
    if (count <= 0) {
        m_controlOpen = false;
        return;
    }
    for (const std::string& line : m_control.Feed(buffer, static_cast<std::size_t>(count)))
        Execute(line);
}

void CSimulator::Execute(const std::string& line)
{
    std::istringstream in(line);
    std::string verb, device, seconds, extra;
    in >> verb >> device >> seconds >> extra;
    if (verb.empty())
        return;
    if (verb == "quit" && device.empty()) {
        m_quit = true;
        return;
    }
    const auto index = DeviceIndex(device);
    const bool secondsValid =
        seconds.empty() || (seconds.size() <= 5 && std::all_of(seconds.begin(), seconds.end(), [](unsigned char c) {
                                return std::isdigit(c) != 0;
                            }));
    if (verb == "pull" && index && secondsValid && extra.empty()) {
        Pull(*index, seconds.empty() ? std::nullopt : std::optional<unsigned>(std::stoul(seconds)));
        return;
    }
    if (verb == "plug" && index && seconds.empty()) {
        PlugBack(*index);
        return;
    }
    std::cerr << "orvel-devsim: not understood: \"" << line
              << "\" (pull DEVICE [SECONDS], plug DEVICE, quit)" << std::endl;
}

void CSimulator::OnTimers()
{
    const Clock::time_point now = Clock::now();

    auto due = std::stable_partition(m_plannedPulls.begin(), m_plannedPulls.end(),
                                     [now](const CPullEvent& pull) { return pull.m_when > now; });
    const std::vector<CPullEvent> pulls(due, m_plannedPulls.end());
    m_plannedPulls.erase(due, m_plannedPulls.end());
    for (const CPullEvent& pull : pulls)
        Pull(pull.m_device, pull.m_down);

    for (std::size_t i = 0; i < m_plugBackAt.size(); ++i) {
        if (m_plugBackAt[i] && *m_plugBackAt[i] <= now)
            PlugBack(i);
    }

    if (now < m_nextTick)
        return;
    // Seconds are counted on the UTC clock, so that sentences are stamped on
    // whole seconds; after a stall (a stopped process) the clock picks up
    // again instead of sending the missed seconds in a burst.
    m_nextTick = NextWholeSecond();
    const auto utcNow = std::chrono::round<std::chrono::seconds>(std::chrono::system_clock::now());
    const CUtcTime utc = CUtcTime::From(std::chrono::time_point_cast<std::chrono::system_clock::duration>(utcNow));
    for (const auto& channel : m_channels) {
        channel->CheckReader();
        channel->Tick(utc);
    }
}

void CSimulator::Pull(std::size_t device, std::optional<unsigned> downSeconds)
{
    CChannel& channel = *m_channels[device];
    if (!channel.Port().IsPlugged()) {
        std::cerr << "orvel-devsim: " << channel.Name() << " is already pulled" << std::endl;
        return;
    }
    channel.Unplug();
    Report(std::string("pulled ") + channel.Name());
    m_plugBackAt[device].reset();
    if (downSeconds)
        m_plugBackAt[device] = Clock::now() + std::chrono::seconds(*downSeconds);
}

void CSimulator::PlugBack(std::size_t device)
{
    CChannel& channel = *m_channels[device];
    m_plugBackAt[device].reset();
    if (channel.Port().IsPlugged()) {
        std::cerr << "orvel-devsim: " << channel.Name() << " is plugged in" << std::endl;
        return;
    }
    try {
        channel.Plug();
    } catch (const std::exception& error) {
        std::cerr << "orvel-devsim: cannot put " << channel.Name() << " back: " << error.what() << std::endl;
        return;
    }
    Report(std::string("back ") + channel.Name() + " " + channel.Port().SlavePath());
}

} // namespace devsim

#include "DeviceReturnWatch.h"

#include "DeviceReturnWatchPlatform.h"

#include <algorithm>

namespace setting {

using Clock = std::chrono::steady_clock;

DeviceIdentity IdentifyDevice(const std::string& portName)
{
    return IdentifyDevice(portName, detail::DeviceMapSources());
}

CDeviceReturnWatch::CDeviceReturnWatch() = default;

CDeviceReturnWatch::CDeviceReturnWatch(const registry::DeviceSources& sources) : m_sources(sources)
{
}

CDeviceReturnWatch::~CDeviceReturnWatch()
{
    Stop();
}

void CDeviceReturnWatch::Start(DeviceIdentity identity, Callback back)
{
    Stop();
    m_identity = std::move(identity);
    m_back = std::move(back);
    Launch(Clock::now());
}

void CDeviceReturnWatch::Retry()
{
    Stop();
    if (m_back)
        Launch(Clock::now() + kRetryDelay);
}

void CDeviceReturnWatch::Stop()
{
    if (!m_thread.joinable())
        return;
    m_signal->Stop();
    m_thread.join();
    m_signal.reset();
    m_watching = false;
}

void CDeviceReturnWatch::Launch(Clock::time_point notBefore)
{
    m_signal = detail::MakeChangeSignal(m_identity);
    m_watching = true;
    m_thread = std::thread(&CDeviceReturnWatch::Run, this,
                           m_sources ? *m_sources : detail::DeviceMapSources(), notBefore);
}

// The watch's thread: looks whenever something changed, and at least every
// LookInterval(), until the device is back or the watch is stopped.
void CDeviceReturnWatch::Run(const registry::DeviceSources sources, Clock::time_point notBefore)
{
    for (;;) {
        m_signal->Arm();
        const Clock::time_point now = Clock::now();
        std::chrono::milliseconds wait = detail::LookInterval();
        if (now >= notBefore) {
            ++m_looks;
            if (DeviceIsBack(m_identity, sources)) {
                m_watching = false;
                m_back();
                return;
            }
        } else {
            const auto early = std::chrono::ceil<std::chrono::milliseconds>(notBefore - now);
            wait = std::min(wait, early);
        }
        if (!m_signal->Wait(wait))
            return;
    }
}

} // namespace setting

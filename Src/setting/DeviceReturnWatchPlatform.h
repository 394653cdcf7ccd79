#pragma once

// What CDeviceReturnWatch needs of each platform (DeviceReturnWatch_linux.cpp,
// DeviceReturnWatch_win.cpp).

#include "DeviceReturnWatch.h"

#include <chrono>
#include <memory>

namespace setting::detail {

// Wakes the watch when something happens that may bring the device back.
class CChangeSignal
{
public:
    virtual ~CChangeSignal() = default;
    // Looks out for changes from now on; called before each look, so that a
    // change during the look wakes the next wait.
    virtual void Arm() = 0;
    // Waits for a change, Stop, or the timeout; false once stopped.
    virtual bool Wait(std::chrono::milliseconds timeout) = 0;
    // Any thread: ends the waiting, now and from now on.
    virtual void Stop() = 0;
};

std::unique_ptr<CChangeSignal> MakeChangeSignal(const DeviceIdentity& identity);

// The longest wait between two looks.
std::chrono::milliseconds LookInterval();

// The device map's sources now.
registry::DeviceSources DeviceMapSources();

} // namespace setting::detail

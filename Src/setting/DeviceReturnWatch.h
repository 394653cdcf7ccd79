#pragma once

// Waiting for a lost serial device to come back, so that its channel can
// open it again by itself.
//
// When a port opens, the window takes the device's identity
// (IdentifyDevice); when the port loses its device, it starts a
// CDeviceReturnWatch with that identity, and the watch calls back as soon as
// the same device is present again under the same name:
//   - a virtual port (a link to a pseudo-terminal) or any other name that is
//     a symbolic link, a /dev/serial/by-id name among them: the name leads
//     to a device again (a by-id name is the adapter's own: its serial
//     number is in it);
//   - a kernel name such as /dev/ttyUSB0: only when the device now there is
//     the one that was, i.e. the by-id link that led to it when it opened
//     leads to it again; for a device that had no by-id link, when the
//     device now under the name sits where the old one did under /sys (the
//     same USB socket). A different device under the old name is not taken;
//   - on Windows, the COM name: when the device map
//     (HKEY_LOCAL_MACHINE\HARDWARE\DEVICEMAP\SERIALCOMM) lists it again.
// On Linux the device must also be open to this user for reading and
// writing: udev gives a new node its group a moment after it appears, and
// the watch waits for that.
//
// How it waits: on Linux, inotify on the folders involved (the name's, the
// by-id link's, and those their links lead into, or their nearest existing
// parents while they are missing), and a look once a second besides for
// what no folder event shows; on Windows, a change notification on
// SERIALCOMM, and a look twice a second besides (the only way while the key
// itself is missing). Nothing runs between those wake-ups.

#include "DeviceMap.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace setting {

// What a port's name led to when the port opened.
struct DeviceIdentity
{
    std::string portName;     // the name it was opened under
    std::string byIdLink;     // Linux: the by-id link that led to the same device; empty: none, or the name is one
    std::string sysfsDevice;  // Linux: the device's place under /sys, kept when it had no by-id link
};

// The identity of the device `portName` leads to now; taken right after a
// port opened (any thread). On Linux the by-id folder and /sys are those of
// the device map (registry::DeviceMapSources()), or `sources`.
DeviceIdentity IdentifyDevice(const std::string& portName);
DeviceIdentity IdentifyDevice(const std::string& portName, const registry::DeviceSources& sources);
// Whether the device of `identity` is present under its name again, ready to
// be opened (see above).
bool DeviceIsBack(const DeviceIdentity& identity, const registry::DeviceSources& sources);

namespace detail {
class CChangeSignal;
}

// Watches for one lost device at a time, on a thread of its own.
//
// Start, Retry and Stop are called from one thread (the window's). The
// callback runs on the watch's thread, once per Start or Retry, after which
// the watch has ended; it must not call Start, Retry or Stop (it hands the
// news on to the window's thread, which opens the port).
class CDeviceReturnWatch
{
public:
    using Callback = std::function<void()>;

    // A device found back that still would not open is looked for again no
    // sooner than this.
    static constexpr std::chrono::milliseconds kRetryDelay{500};

    // On Linux the device map's sources (registry::DeviceMapSources()) as
    // they are when a watch starts, or `sources`.
    CDeviceReturnWatch();
    explicit CDeviceReturnWatch(const registry::DeviceSources& sources);
    ~CDeviceReturnWatch();
    CDeviceReturnWatch(const CDeviceReturnWatch&) = delete;
    CDeviceReturnWatch& operator=(const CDeviceReturnWatch&) = delete;

    // Stops any watch in progress, then watches for `identity`'s device;
    // calls `back` as soon as it is present, at once if it is already.
    void Start(DeviceIdentity identity, Callback back);

    // The device was reported back but the port could not open it (still
    // being set up, or taken by another program meanwhile): watches again
    // for the same device with the same callback, which comes no sooner
    // than kRetryDelay from now.
    void Retry();

    // Ends the waiting at once and joins the thread; nothing is called back
    // after it returns. Nothing when no watch runs.
    void Stop();

    // A watch was started and has not called back nor been stopped.
    bool Watching() const { return m_watching; }

    // How many times the watch has looked for the device since it was made,
    // for a measure of what waiting costs.
    std::size_t Looks() const { return m_looks; }

private:
    void Launch(std::chrono::steady_clock::time_point notBefore);
    void Run(const registry::DeviceSources sources, std::chrono::steady_clock::time_point notBefore);

    std::optional<registry::DeviceSources> m_sources;  // none: the device map's
    DeviceIdentity m_identity;
    Callback m_back;
    std::unique_ptr<detail::CChangeSignal> m_signal;
    std::thread m_thread;
    std::atomic<bool> m_watching{false};
    std::atomic<std::size_t> m_looks{0};
};

} // namespace setting

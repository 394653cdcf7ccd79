#include "DeviceReturnWatchPlatform.h"

#include "SerialPorts.h"

#include <windows.h>

#include <algorithm>
#include <cctype>

namespace setting {

namespace {

const char kSerialComm[] = "HARDWARE\\DEVICEMAP\\SERIALCOMM";

bool SameComName(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::toupper(static_cast<unsigned char>(x)) == std::toupper(static_cast<unsigned char>(y));
           });
}

// A change notification on SERIALCOMM, where Windows lists a COM port while
// its device is present, and an event Stop sets. While the key is missing
// (no serial port at all), the watch looks at every LookInterval().
class CRegistrySignal final : public detail::CChangeSignal
{
public:
    CRegistrySignal()
        : m_stop(::CreateEventW(nullptr, TRUE, FALSE, nullptr)), m_changed(::CreateEventW(nullptr, FALSE, FALSE, nullptr))
    {
    }
    ~CRegistrySignal() override
    {
        if (m_key)
            ::RegCloseKey(m_key);
        for (HANDLE event : {m_stop, m_changed})
            if (event)
                ::CloseHandle(event);
    }

    // One notification at a time: asked for again only once the last has
    // fired, as each request stands until it does.
    void Arm() override
    {
        if (m_armed || !m_changed)
            return;
        if (!m_key && ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSerialComm, 0, KEY_NOTIFY, &m_key) != ERROR_SUCCESS) {
            m_key = nullptr;
            return;
        }
        m_armed = ::RegNotifyChangeKeyValue(m_key, FALSE, REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET,
                                            m_changed, TRUE) == ERROR_SUCCESS;
        if (!m_armed) {
            ::RegCloseKey(m_key);  // deleted meanwhile: opened again next time
            m_key = nullptr;
        }
    }

    bool Wait(std::chrono::milliseconds timeout) override
    {
        if (!m_stop)
            return false;
        const HANDLE events[2] = {m_stop, m_changed};
        const DWORD count = m_changed ? 2 : 1;
        const DWORD woken = ::WaitForMultipleObjects(count, events, FALSE, static_cast<DWORD>(timeout.count()));
        if (woken == WAIT_OBJECT_0 + 1)
            m_armed = false;
        return woken != WAIT_OBJECT_0 && woken != WAIT_FAILED;
    }

    void Stop() override
    {
        if (m_stop)
            ::SetEvent(m_stop);
    }

private:
    const HANDLE m_stop;
    const HANDLE m_changed;
    HKEY m_key = nullptr;
    bool m_armed = false;
};

} // namespace

// A COM name is all Windows tells of a device's identity.
DeviceIdentity IdentifyDevice(const std::string& portName, const registry::DeviceSources&)
{
    return DeviceIdentity{portName, std::string(), std::string()};
}

bool DeviceIsBack(const DeviceIdentity& identity, const registry::DeviceSources&)
{
    std::vector<std::string> ports;
    if (!EnumerateSerialPorts(ports))
        return false;
    return std::any_of(ports.begin(), ports.end(),
                       [&](const std::string& port) { return SameComName(port, identity.portName); });
}

namespace detail {

std::unique_ptr<CChangeSignal> MakeChangeSignal(const DeviceIdentity&)
{
    return std::make_unique<CRegistrySignal>();
}

std::chrono::milliseconds LookInterval()
{
    return std::chrono::milliseconds(500);
}

registry::DeviceSources DeviceMapSources()
{
    return registry::DeviceSources();
}

} // namespace detail

} // namespace setting

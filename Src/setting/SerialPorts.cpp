#include "SerialPorts.h"

#include "DeviceMap.h"
#include "SettingParam.h"

#include <cstdio>
#include <mutex>
#include <set>

namespace setting {

bool EnumerateSerialPorts(std::vector<std::string>& ports)
{
    using namespace registry;
    ports.clear();
    std::vector<RegValue> values;
    if (const LONG e = detail::ReadDeviceMap(values); e != ERROR_SUCCESS) {
        SetLastError(static_cast<DWORD>(e));
        return false;
    }
    for (const RegValue& value : values) {
        const bool text = value.type == REG_SZ || value.type == REG_EXPAND_SZ;
        if (text && (value.data.empty() || value.data.back() == '\0'))
            ports.emplace_back(value.data.c_str());  // up to the first NUL
    }
    return true;
}

std::vector<std::string> OfferedSerialPorts()
{
    // The longest text a string setting loads: its buffer less the
    // terminator, less the one character that tells a full buffer.
    constexpr std::size_t kLongestStored = CStrSettingParam::kBufferChars - 2;
    static std::mutex mutex;
    static std::set<std::string> named;

    std::vector<std::string> ports;
    EnumerateSerialPorts(ports);
    std::vector<std::string> offered;
    for (std::string& port : ports) {
        if (port.size() <= kLongestStored) {
            offered.push_back(std::move(port));
            continue;
        }
        const std::lock_guard<std::mutex> lock(mutex);
        if (named.insert(port).second) {
            std::fprintf(stderr, "OrvelConfigurator: port %s is not offered: its name is longer than the %zu "
                                 "characters the settings can keep\n",
                         port.c_str(), kLongestStored);
        }
    }
    return offered;
}

} // namespace setting

#include "SerialPorts.h"

#include "DeviceMap.h"
#include "Registry.h"
#include "SettingParam.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <set>

namespace setting {

using namespace registry;

namespace {

const char kSerialCommKey[] = "HARDWARE\\DEVICEMAP\\SERIALCOMM";

// Closes the key on every way out.
struct KeyCloser
{
    void operator()(HKEY__* key) const { RegCloseKey(key); }
};
using KeyHolder = std::unique_ptr<HKEY__, KeyCloser>;

bool Fail(LONG error)
{
    SetLastError(static_cast<DWORD>(error));
    return false;
}

} // namespace

bool EnumerateSerialPorts(std::vector<std::string>& ports)
{
    ports.clear();

    HKEY opened = nullptr;
    if (const LONG e = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSerialCommKey, 0, KEY_QUERY_VALUE, &opened);
        e != ERROR_SUCCESS) {
        return Fail(e);
    }
    const KeyHolder key(opened);

    DWORD maxNameLength = 0;
    DWORD maxDataSize = 0;
    if (const LONG e = RegQueryInfoKeyA(key.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                        &maxNameLength, &maxDataSize, nullptr, nullptr);
        e != ERROR_SUCCESS) {
        return Fail(e);
    }

    // One buffer each for the whole enumeration, sized from the key itself.
    const DWORD nameCapacity = maxNameLength + 1;
    const DWORD dataCapacity = maxDataSize + 1;
    std::unique_ptr<char[]> name(new (std::nothrow) char[nameCapacity]);
    if (!name)
        return Fail(ERROR_OUTOFMEMORY);
    std::unique_ptr<BYTE[]> data(new (std::nothrow) BYTE[dataCapacity]);
    if (!data)
        return Fail(ERROR_OUTOFMEMORY);

    for (DWORD index = 0;; ++index) {
        name[0] = '\0';
        DWORD nameLength = nameCapacity;
        if (RegEnumValueA(key.get(), index, name.get(), &nameLength, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS) {
            break;  // no more values, or one that no longer fits
        }

        data[0] = 0;
        DWORD type = REG_NONE;
        DWORD size = dataCapacity;
        if (RegQueryValueExA(key.get(), name.get(), nullptr, &type, data.get(), &size) != ERROR_SUCCESS)
            continue;
        if (type != REG_SZ && type != REG_EXPAND_SZ)
            continue;
        if (size != 0 && data[size - 1] != 0)
            continue;  // unterminated text
        ports.emplace_back(reinterpret_cast<const char*>(data.get()));
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

std::string KernelDeviceName(const std::string& portName)
{
    return registry::KernelDeviceName(portName);
}

} // namespace setting

#include "DeviceMap.h"
#include "SerialPorts.h"

#include <utility>

namespace registry::detail {

namespace {

// Closes the key when it goes out of scope.
struct OpenKey
{
    HKEY key = nullptr;
    ~OpenKey()
    {
        if (key)
            ::RegCloseKey(key);
    }
};

// Every value of the open map, in its order; ERROR_MORE_DATA when one grew
// after the sizes were asked for.
LONG ReadValues(HKEY map, std::vector<RegValue>& values)
{
    values.clear();
    DWORD nameChars = 0;
    DWORD dataBytes = 0;
    if (const LONG e = ::RegQueryInfoKeyA(map, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                          &nameChars, &dataBytes, nullptr, nullptr);
        e != ERROR_SUCCESS)
        return e;
    for (DWORD index = 0;; ++index) {
        RegValue value;
        value.name.resize(nameChars + 1);
        value.data.resize(dataBytes);
        auto nameSize = static_cast<DWORD>(value.name.size());
        auto dataSize = static_cast<DWORD>(value.data.size());
        const LONG e = ::RegEnumValueA(map, index, value.name.data(), &nameSize, nullptr, &value.type,
                                       reinterpret_cast<BYTE*>(value.data.data()), &dataSize);
        if (e == ERROR_NO_MORE_ITEMS)
            return ERROR_SUCCESS;
        if (e != ERROR_SUCCESS)
            return e;
        value.name.resize(nameSize);
        value.data.resize(dataSize);
        values.push_back(std::move(value));
    }
}

} // namespace

// Windows lists its serial ports in the machine's device map, one value per
// port: named by the driver's device, its data the COM name.
LONG ReadDeviceMap(std::vector<RegValue>& values)
{
    values.clear();
    OpenKey map;
    LONG e = ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_QUERY_VALUE, &map.key);
    if (e != ERROR_SUCCESS)
        return e;
    do {
        e = ReadValues(map.key, values);
    } while (e == ERROR_MORE_DATA);
    return e;
}

} // namespace registry::detail

// COM names are what the serial port opens.
std::string setting::KernelDeviceName(const std::string& portName)
{
    return portName;
}

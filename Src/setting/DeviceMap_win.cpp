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

// How often one value that does not fit the buffers is tried again with
// the sizes asked anew: enough for a value rewritten while the map is read,
// and an end for a name that never fits (the key gives its longest name in
// characters, which a two-byte code page can need twice as many bytes for).
constexpr int kRetriesPerValue = 3;

// The key's longest value name, in characters, and longest value data.
LONG AskSizes(HKEY map, DWORD& nameChars, DWORD& dataBytes)
{
    return ::RegQueryInfoKeyA(map, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &nameChars,
                              &dataBytes, nullptr, nullptr);
}

// Every value of the open map, in its order. A value that does not fit
// (it grew after the sizes were asked) is read again with the sizes asked
// anew, a few times at most; then, as at any other failure on the way, the
// list ends with the values read so far.
LONG ReadValues(HKEY map, std::vector<RegValue>& values)
{
    values.clear();
    DWORD nameChars = 0;
    DWORD dataBytes = 0;
    if (const LONG e = AskSizes(map, nameChars, dataBytes); e != ERROR_SUCCESS)
        return e;
    int retries = 0;
    for (DWORD index = 0;;) {
        RegValue value;
        value.name.resize(nameChars + 1);
        value.data.resize(dataBytes);
        auto nameSize = static_cast<DWORD>(value.name.size());
        auto dataSize = static_cast<DWORD>(value.data.size());
        const LONG e = ::RegEnumValueA(map, index, value.name.data(), &nameSize, nullptr, &value.type,
                                       reinterpret_cast<BYTE*>(value.data.data()), &dataSize);
        if (e == ERROR_MORE_DATA && retries < kRetriesPerValue &&
            AskSizes(map, nameChars, dataBytes) == ERROR_SUCCESS) {
            ++retries;
            continue;
        }
        if (e != ERROR_SUCCESS)
            return ERROR_SUCCESS;  // the end of the map, or a value that cannot be read
        value.name.resize(nameSize);
        value.data.resize(dataSize);
        values.push_back(std::move(value));
        ++index;
        retries = 0;
    }
}

} // namespace

// Windows lists its serial ports in the machine's device map, one value per
// port: named by the driver's device, its data the COM name.
LONG ReadDeviceMap(std::vector<RegValue>& values)
{
    values.clear();
    OpenKey map;
    const LONG e = ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_QUERY_VALUE, &map.key);
    if (e != ERROR_SUCCESS)
        return e;
    return ReadValues(map.key, values);
}

} // namespace registry::detail

// COM names are what the serial port opens.
std::string setting::KernelDeviceName(const std::string& portName)
{
    return portName;
}

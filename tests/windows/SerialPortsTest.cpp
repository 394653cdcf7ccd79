// Port discovery from the machine's device map (SERIALCOMM), with COM7 and
// COM8 mapped to pseudo-terminals by scripts/wine-ports.

#include "SerialPorts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <windows.h>

namespace {

using Ports = std::vector<std::string>;

const char kSerialComm[] = "HARDWARE\\DEVICEMAP\\SERIALCOMM";
const char kKept[] = "HARDWARE\\DEVICEMAP\\OrvelKept";

// Added to the map in this order, which is also their names' order.
const struct
{
    const char* name;
    DWORD type;
    std::string data;
} kAdded[] = {
    {"\\Device\\OrvelTest0", REG_SZ, std::string("COM31", 6)},
    {"\\Device\\OrvelTest1", REG_SZ, std::string("COM29", 6)},
    {"\\Device\\OrvelTest2", REG_EXPAND_SZ, std::string("%ORVEL%", 8)},
    {"\\Device\\OrvelTest3", REG_SZ, std::string("COM32\0COM33", 12)},
    {"\\Device\\OrvelTest4", REG_SZ, std::string("COM34", 5)},  // no terminator
    {"\\Device\\OrvelTest5", REG_DWORD, std::string("\x23\0\0\0", 4)},
    {"\\Device\\OrvelTest6", REG_BINARY, std::string("COM35", 6)},
    {"\\Device\\OrvelTest7", REG_SZ, std::string("COM31", 6)},
};

Ports ListedPorts()
{
    Ports ports{"stale"};
    EXPECT_TRUE(setting::EnumerateSerialPorts(ports));
    return ports;
}

TEST(SerialPorts, ListTheMappedComPortsAndTextsUpToTheirNulInTheMapsOrder)
{
    ASSERT_NE(std::getenv("ORVEL_WINE_PORTS"), nullptr) << "run under scripts/wine-ports";
    for (const auto& value : kAdded) {
        const std::string buffer = value.data + '!';  // a NUL after a text would be taken for its terminator
        ASSERT_EQ(::RegSetKeyValueA(HKEY_LOCAL_MACHINE, kSerialComm, value.name, value.type, buffer.data(),
                                    static_cast<DWORD>(value.data.size())),
                  ERROR_SUCCESS);
    }
    Ports ports = ListedPorts();
    for (const auto& value : kAdded)
        ::RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, kSerialComm, value.name);

    for (const char* mapped : {"COM7", "COM8"})
        EXPECT_EQ(std::count(ports.begin(), ports.end(), mapped), 1) << mapped;
    const Ports ours{"COM29", "COM31", "COM32", "COM33", "COM34", "COM35", "%ORVEL%", "stale"};
    ports.erase(std::remove_if(ports.begin(), ports.end(),
                               [&](const std::string& p) { return std::count(ours.begin(), ours.end(), p) == 0; }),
                ports.end());
    EXPECT_EQ(ports, (Ports{"COM31", "COM29", "%ORVEL%", "COM32", "COM31"}));
}

// The map is moved aside for the check, and put back.
TEST(SerialPorts, FailWithTheLastErrorWhenThereIsNoMap)
{
    HKEY kept = nullptr;
    ASSERT_EQ(::RegCreateKeyExA(HKEY_LOCAL_MACHINE, kKept, 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr,
                                &kept, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(::RegCopyTreeA(HKEY_LOCAL_MACHINE, kSerialComm, kept), ERROR_SUCCESS);
    ASSERT_EQ(::RegDeleteKeyA(HKEY_LOCAL_MACHINE, kSerialComm), ERROR_SUCCESS);

    Ports ports{"stale"};
    ::SetLastError(ERROR_SUCCESS);
    EXPECT_FALSE(setting::EnumerateSerialPorts(ports));
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_TRUE(ports.empty());

    HKEY map = nullptr;
    ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, kSerialComm, 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &map,
                      nullptr);
    ::RegCopyTreeA(kept, nullptr, map);
    ::RegCloseKey(map);
    ::RegCloseKey(kept);
    ::RegDeleteKeyA(HKEY_LOCAL_MACHINE, kKept);
    ports = ListedPorts();
    EXPECT_EQ(std::count(ports.begin(), ports.end(), "COM7"), 1) << "the map is back";
}

} // namespace

// The settings on the real registry, HKCU\SOFTWARE\Lunder\Orvel4\<device>,
// value for value as any other program reads them.

#include "DeviceSettings.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <tuple>

using namespace registry;
using namespace setting;

namespace {

const char kFamilyKey[] = "SOFTWARE\\Lunder\\Orvel4";
const char kChildVariable[] = "ORVEL_SETTINGS_CHILD";

using Values = std::tuple<std::string, DWORD, DWORD>;  // port, baud rate, enabled

template <class Device>
Values Loaded()
{
    const Device d;
    return {d.m_portName.m_value, d.m_baudRate.m_dwValue, d.m_enabled.m_dwValue};
}

template <class Device>
void Save(const Values& values)
{
    Device d;
    d.m_portName.SetValue(std::get<0>(values).c_str());
    d.m_baudRate.SetValue(std::get<1>(values));
    d.m_enabled.SetValue(std::get<2>(values));
    d.Save();
}

const struct Device
{
    const char* key;
    Values (*load)();
    void (*save)(const Values&);
    Values defaults;
    Values stored;  // by the child process
} kDevices[] = {
    {"SnsPort", Loaded<CSnsDeviceSetting>, Save<CSnsDeviceSetting>, {"COM3", 115200, 1}, {"COM7", 9600, 0}},
    {"KksPort", Loaded<CKksDeviceSetting>, Save<CKksDeviceSetting>, {"COM4", 4800, 1}, {"COM8", 0xFFFFFFFF, 1}},
    {"SonPort", Loaded<CSonDeviceSetting>, Save<CSonDeviceSetting>, {"COM1", 115200, 1},
     {std::string(258, 'p'), 38400, 2}},
};

std::string KeyOf(const char* device)
{
    return std::string(kFamilyKey) + "\\" + device;
}

std::string Text(const std::string& text)
{
    return text + '\0';
}

std::string Dword(DWORD value)
{
    return RegValue::Dword("", value).data;
}

// The value's type and bytes as the registry holds them, or the error.
std::pair<DWORD, std::string> RawValue(const char* device, const char* name)
{
    DWORD type = REG_NONE;
    std::string data(1024, '\0');
    auto size = static_cast<DWORD>(data.size());
    const LONG e = ::RegGetValueA(HKEY_CURRENT_USER, KeyOf(device).c_str(), name, RRF_RT_ANY | RRF_NOEXPAND, &type,
                                  data.data(), &size);
    return {type, e == ERROR_SUCCESS ? data.substr(0, size) : "error " + std::to_string(e)};
}

// Stored as given: a NUL after the data would be taken for a forgotten
// terminator of a text.
void SetRawValue(const char* name, DWORD type, const std::string& data)
{
    const std::string buffer = data + '!';
    ASSERT_EQ(::RegSetKeyValueA(HKEY_CURRENT_USER, KeyOf("KksPort").c_str(), name, type, buffer.data(),
                                static_cast<DWORD>(data.size())),
              ERROR_SUCCESS);
}

// This program again, running only SettingsChild.*; its exit code.
DWORD RunChild()
{
    char self[MAX_PATH];
    ::GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string command = std::string("\"") + self + "\" --gtest_filter=SettingsChild.*";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION child{};
    DWORD exitCode = 1;
    ::SetEnvironmentVariableA(kChildVariable, "1");
    if (::CreateProcessA(self, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &child)) {
        ::WaitForSingleObject(child.hProcess, INFINITE);
        ::GetExitCodeProcess(child.hProcess, &exitCode);
        ::CloseHandle(child.hThread);
        ::CloseHandle(child.hProcess);
    }
    ::SetEnvironmentVariableA(kChildVariable, nullptr);
    return exitCode;
}

class Settings : public ::testing::Test
{
protected:
    void SetUp() override { ::RegDeleteTreeA(HKEY_CURRENT_USER, kFamilyKey); }
};

TEST_F(Settings, StartOnTheirDefaultsAndWriteNothing)
{
    for (const Device& device : kDevices) {
        EXPECT_EQ(device.load(), device.defaults) << device.key;
        EXPECT_EQ(RawValue(device.key, "PortName").second, "error 2") << device.key;
    }
}

TEST(SettingsChild, SaveEveryDevice)
{
    if (!std::getenv(kChildVariable))
        GTEST_SKIP() << "the child half of Settings.SavedByOneProcessReadByAnother";
    for (const Device& device : kDevices)
        device.save(device.stored);
}

TEST_F(Settings, SavedByOneProcessReadByAnother)
{
    ASSERT_EQ(RunChild(), 0u);
    for (const Device& d : kDevices) {
        using Raw = std::pair<DWORD, std::string>;
        EXPECT_EQ(RawValue(d.key, "PortName"), Raw(REG_SZ, Text(std::get<0>(d.stored)))) << d.key;
        EXPECT_EQ(RawValue(d.key, "BaudRate"), Raw(REG_DWORD, Dword(std::get<1>(d.stored)))) << d.key;
        EXPECT_EQ(RawValue(d.key, "Enabled"), Raw(REG_DWORD, Dword(std::get<2>(d.stored)))) << d.key;
        EXPECT_EQ(d.load(), d.stored) << d.key;
    }
}

// Values another program left: texts of up to 258 characters of either text
// type and 4-byte REG_DWORD numbers load; anything else puts the whole
// device on its defaults.
TEST_F(Settings, LoadOnlyWellFormedValues)
{
    const Values defaults = kDevices[1].defaults;
    const struct
    {
        const char* name;
        DWORD type;
        std::string data;
        Values expected;
    } cases[] = {
        {"PortName", REG_SZ, Text(std::string(258, 'x')), {std::string(258, 'x'), 19200, 1}},
        {"PortName", REG_SZ, Text(std::string(259, 'x')), defaults},
        {"PortName", REG_SZ, Text(std::string(300, 'x')), defaults},
        {"PortName", REG_EXPAND_SZ, Text("%PORT%"), {"%PORT%", 19200, 1}},
        {"PortName", REG_SZ, "COM8", defaults},
        {"PortName", REG_DWORD, Dword(8), defaults},
        {"BaudRate", REG_SZ, Text("9600"), defaults},
        {"BaudRate", REG_BINARY, Dword(9600), defaults},
        {"BaudRate", REG_DWORD, Dword(9600).substr(0, 2), defaults},
        {"BaudRate", REG_QWORD, Dword(9600) + Dword(0), defaults},
        {"Enabled", REG_DWORD, Dword(0), {"COM8", 19200, 0}},
    };
    for (const auto& c : cases) {
        SetRawValue("PortName", REG_SZ, Text("COM8"));
        SetRawValue("BaudRate", REG_DWORD, Dword(19200));
        SetRawValue("Enabled", REG_DWORD, Dword(1));
        SetRawValue(c.name, c.type, c.data);
        EXPECT_EQ(Loaded<CKksDeviceSetting>(), c.expected) << c.name << ", type " << c.type << ", " << c.data.size();
    }
}

// A key not open, and one kept when another fails to open.
TEST_F(Settings, KeyAnswersAsDocumented)
{
    CRegKey key;
    DWORD number = 7;
    EXPECT_EQ(key.SetDWORDValue("BaudRate", 1), ERROR_INVALID_HANDLE);
    ASSERT_EQ(key.Create(HKEY_CURRENT_USER, KeyOf("SnsPort").c_str()), ERROR_SUCCESS);
    EXPECT_EQ(key.Open(HKEY_CURRENT_USER, KeyOf("NoSuchPort").c_str()), ERROR_FILE_NOT_FOUND);
    ASSERT_EQ(key.SetStringValue("PortName", "COM7"), ERROR_SUCCESS);
    EXPECT_EQ(key.QueryDWORDValue("PortName", number), ERROR_MORE_DATA);
    EXPECT_EQ(number, 7u);
    EXPECT_EQ(RawValue("SnsPort", "PortName").second, Text("COM7"));
}

} // namespace

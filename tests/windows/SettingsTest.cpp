// The settings on the real registry, HKCU\SOFTWARE\Lunder\Orvel4\<device>,
// value for value as any other program reads them; and the port discovery
// from the device map (SERIALCOMM), where scripts/wine-ports maps COM7 and COM8.

#include "DeviceSettings.h"
#include "RetentionSetting.h"
#include "SerialPorts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <future>
#include <process.h>
#include <thread>
#include <tuple>

using namespace registry;
using namespace setting;

namespace {

const char kFamilyKey[] = "SOFTWARE\\Lunder\\Orvel4";
const char kSerialComm[] = "HARDWARE\\DEVICEMAP\\SERIALCOMM";
const char* const kNames[] = {"PortName", "BaudRate", "Enabled"};

using Values = std::tuple<std::string, DWORD, DWORD>;  // port, baud rate, enabled
using Raw = std::pair<DWORD, std::string>;             // a value's type and bytes, or the error
using Ports = std::vector<std::string>;

struct Value { const char* name; DWORD type; std::string data; };

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
    Values defaults, stored;  // stored by the child process
} kDevices[] = {
    {"SnsPort", Loaded<CSnsDeviceSetting>, Save<CSnsDeviceSetting>, {"COM3", 115200, 1}, {"COM7", 9600, 0}},
    {"KksPort", Loaded<CKksDeviceSetting>, Save<CKksDeviceSetting>, {"COM4", 4800, 1}, {"COM8", 0xFFFFFFFF, 1}},
    {"SonPort", Loaded<CSonDeviceSetting>, Save<CSonDeviceSetting>, {"COM1", 115200, 1},
     {std::string(258, 'p'), 38400, 2}},
};

std::string KeyOf(const char* device) { return std::string(kFamilyKey) + "\\" + device; }
std::string Text(const std::string& text) { return text + '\0'; }
std::string Dword(DWORD value) { return RegValue::Dword("", value).data; }

// Stores the value as given: a NUL after the data would be taken for a
// forgotten terminator of a text.
bool SetRaw(HKEY root, const std::string& key, const Value& value)
{
    return ::RegSetKeyValueA(root, key.c_str(), value.name, value.type, (value.data + '!').data(),
                             static_cast<DWORD>(value.data.size())) == ERROR_SUCCESS;
}

Raw RawValue(const char* device, const char* name)
{
    DWORD type = REG_NONE, size = 1024;
    std::string data(size, '\0');
    const LONG e = ::RegGetValueA(HKEY_CURRENT_USER, KeyOf(device).c_str(), name, RRF_RT_ANY | RRF_NOEXPAND, &type,
                                  data.data(), &size);
    return e == ERROR_SUCCESS ? Raw{type, data.substr(0, size)} : Raw{REG_NONE, "error " + std::to_string(e)};
}

// Run only in the second process of Settings.DefaultsWriteNothingSavesReachAnotherProcess.
TEST(SettingsChild, DISABLED_SaveEveryDevice)
{
    for (const Device& device : kDevices)
        device.save(device.stored);
}

TEST(Settings, DefaultsWriteNothingSavesReachAnotherProcess)
{
    ::RegDeleteTreeA(HKEY_CURRENT_USER, kFamilyKey);
    for (const bool saved : {false, true}) {
        ASSERT_TRUE(!saved || _spawnl(_P_WAIT, _pgmptr, _pgmptr, "--gtest_also_run_disabled_tests",
                                      "--gtest_filter=SettingsChild.*", nullptr) == 0);
        for (const Device& d : kDevices) {
            EXPECT_EQ(d.load(), saved ? d.stored : d.defaults) << d.key;
            const auto& [port, baud, enabled] = d.stored;
            const Raw raws[] = {{REG_SZ, Text(port)}, {REG_DWORD, Dword(baud)}, {REG_DWORD, Dword(enabled)}};
            for (int i = 0; i < 3; ++i)
                EXPECT_EQ(RawValue(d.key, kNames[i]), saved ? raws[i] : Raw(REG_NONE, "error 2")) << d.key << kNames[i];
        }
    }
}

// Values another program left: texts of up to 258 characters of either text
// type and 4-byte REG_DWORD numbers load; any other value takes the
// device's own default, and the device's other values stay as stored.
TEST(Settings, LoadOnlyWellFormedValues)
{
    ::RegDeleteTreeA(HKEY_CURRENT_USER, kFamilyKey);
    const Values stored{"COM8", 19200, 0};
    const Values defaultPort{"COM4", 19200, 0}, defaultRate{"COM8", 4800, 0}, defaultEnabled{"COM8", 19200, 1};
    const std::pair<Value, Values> cases[] = {
        {{"PortName", REG_SZ, Text(std::string(258, 'x'))}, {std::string(258, 'x'), 19200, 0}},
        {{"PortName", REG_SZ, Text(std::string(259, 'x'))}, defaultPort},
        {{"PortName", REG_EXPAND_SZ, Text("%PORT%")}, {"%PORT%", 19200, 0}},
        {{"PortName", REG_SZ, "COM8"}, defaultPort},
        {{"PortName", REG_DWORD, Dword(8)}, defaultPort},
        {{"BaudRate", REG_SZ, Text("9600")}, defaultRate},
        {{"BaudRate", REG_BINARY, Dword(9600)}, defaultRate},
        {{"BaudRate", REG_DWORD, Dword(9600).substr(0, 2)}, defaultRate},
        {{"BaudRate", REG_QWORD, Dword(9600) + Dword(0)}, defaultRate},
        {{"Enabled", REG_SZ, Text("0")}, defaultEnabled},
    };
    for (const auto& [value, expected] : cases) {
        kDevices[1].save(stored);
        ASSERT_TRUE(SetRaw(HKEY_CURRENT_USER, KeyOf("KksPort"), value));
        EXPECT_EQ(Loaded<CKksDeviceSetting>(), expected) << value.name << ' ' << value.type << ' ' << value.data;
    }
    // The key's own read of a number leaves it alone when the value is none.
    CRegKey key;
    DWORD number = 7;
    ASSERT_EQ(key.Open(HKEY_CURRENT_USER, KeyOf("KksPort").c_str()), ERROR_SUCCESS);
    EXPECT_EQ(key.QueryDWORDValue("PortName", number), ERROR_MORE_DATA);
    EXPECT_EQ(number, 7u);
}

// The retention limits: a key of their own beside the device keys, two
// REG_DWORD values each loading on its own, saved as REG_DWORD.
TEST(Settings, RetentionLimitsInAKeyOfTheirOwn)
{
    ::RegDeleteTreeA(HKEY_CURRENT_USER, kFamilyKey);
    const auto loaded = [] {
        const CRetentionSetting retention;
        return std::make_pair(retention.m_days.m_dwValue, retention.m_megabytes.m_dwValue);
    };
    using Limits = std::pair<DWORD, DWORD>;
    EXPECT_EQ(loaded(), Limits(30, 2048));
    const std::string key = KeyOf("Retention");
    const std::pair<Value, Limits> cases[] = {
        {{"Days", REG_DWORD, Dword(7)}, {7, 2048}},
        {{"Megabytes", REG_SZ, Text("100")}, {7, 2048}},
        {{"Megabytes", REG_DWORD, Dword(0)}, {7, 0}},
        {{"Days", REG_QWORD, Dword(9) + Dword(0)}, {30, 0}},
    };
    for (const auto& [value, limits] : cases) {
        ASSERT_TRUE(SetRaw(HKEY_CURRENT_USER, key, value));
        EXPECT_EQ(loaded(), limits) << value.name << ' ' << value.type;
    }
    CRetentionSetting().Save();
    EXPECT_EQ(RawValue("Retention", "Days"), Raw(REG_DWORD, Dword(30)));
    EXPECT_EQ(RawValue("Retention", "Megabytes"), Raw(REG_DWORD, Dword(0)));
    EXPECT_EQ(RawValue("SnsPort", "PortName"), Raw(REG_NONE, "error 2"));
}

// Texts count up to their first NUL; other types and unterminated texts are
// skipped; the map's order and its duplicates are kept. Without a map, the
// list is empty and the last error says why.
TEST(SerialPorts, ListTheMapsTextsOrFailWithoutIt)
{
    // Wine keeps a key's values in the order of their names: these come in
    // the order added, before the \Device\Serial* of COM7 and COM8.
    const Value added[] = {
        {"\\Device\\OrvelTest0", REG_SZ, Text("ORV1")},      {"\\Device\\OrvelTest1", REG_SZ, Text("ORV0")},
        {"\\Device\\OrvelTest2", REG_EXPAND_SZ, Text("%ORV%")}, {"\\Device\\OrvelTest3", REG_SZ, {"ORV2\0ORV3", 10}},
        {"\\Device\\OrvelTest4", REG_SZ, "ORV4"},            {"\\Device\\OrvelTest5", REG_DWORD, Dword(35)},
        {"\\Device\\OrvelTest6", REG_BINARY, Text("ORV5")},  {"\\Device\\OrvelTest7", REG_SZ, Text("ORV1")},
    };
    for (const Value& value : added)
        ASSERT_TRUE(SetRaw(HKEY_LOCAL_MACHINE, kSerialComm, value));
    Ports ports{"stale"}, ours;
    EXPECT_TRUE(EnumerateSerialPorts(ports));
    for (const Value& value : added)
        ::RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, kSerialComm, value.name);
    std::copy_if(ports.begin(), ports.end(), std::back_inserter(ours), [](const std::string& p) {
        return p == "stale" || p == "COM7" || p == "COM8" || p.find("ORV") != std::string::npos;
    });
    EXPECT_EQ(ours, (Ports{"ORV1", "ORV0", "%ORV%", "ORV2", "ORV1", "COM7", "COM8"})) << "run under scripts/wine-ports";

    ASSERT_EQ(::RegRenameKey(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", L"OrvelKept"), ERROR_SUCCESS);
    ::SetLastError(ERROR_SUCCESS);
    EXPECT_FALSE(EnumerateSerialPorts(ports));
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_TRUE(ports.empty());
    EXPECT_EQ(::RegRenameKey(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\OrvelKept", L"SERIALCOMM"), ERROR_SUCCESS);
}

// Under a code page of two-byte characters (Wine takes it from LC_ALL; the
// test setting_win_dbcs_tests runs this with ja_JP.UTF-8) a value name of
// such characters needs more bytes than the key's longest name, which the
// key gives in characters: it never fits, however often it is read. The
// list ends there with the values before it, instead of reading it forever.
TEST(SerialPortsDbcs, DISABLED_ANameThatNeverFitsEndsTheListWithTheValuesBeforeIt)
{
    ASSERT_EQ(::GetACP(), 932u) << "run with LC_ALL=ja_JP.UTF-8";
    const wchar_t* const names[] = {L"\\Device\\OrvelDbcs0", L"\\Device\\OrvelDbcs1\u65e5\u672c\u8a9e",
                                    L"\\Device\\OrvelDbcs2"};
    const wchar_t* const data[] = {L"DBCS0", L"DBCS1", L"DBCS2"};
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(::RegSetKeyValueW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", names[i], REG_SZ, data[i],
                                    static_cast<DWORD>((std::wcslen(data[i]) + 1) * sizeof(wchar_t))),
                  ERROR_SUCCESS);
    }
    // On a thread of its own, so that a list that never ends fails the test
    // rather than hanging it.
    std::promise<std::pair<bool, Ports>> promise;
    std::future<std::pair<bool, Ports>> listed = promise.get_future();
    std::thread([promise = std::move(promise)]() mutable {
        Ports ports;
        const bool read = EnumerateSerialPorts(ports);
        promise.set_value({read, ports});
    }).detach();
    const bool ended = listed.wait_for(std::chrono::minutes(1)) == std::future_status::ready;
    for (const wchar_t* name : names)
        ::RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", name);
    if (!ended) {
        ADD_FAILURE() << "the list never ended";
        std::fflush(stdout);
        std::_Exit(1);  // the thread still reads
    }
    const auto [read, ports] = listed.get();
    EXPECT_TRUE(read);
    // Wine keeps values in the order of their names: DBCS0's comes first.
    EXPECT_EQ(ports, Ports{"DBCS0"});
}

} // namespace

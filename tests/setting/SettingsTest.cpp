// Parameters, groups and the three device settings on a real store.

#include "DeviceSettings.h"
#include "KeyPath.h"
#include "StoreFixture.h"

#include <tuple>

using namespace registry;
using setting::CDwordSettingParam;
using setting::CSerialPortSetting;
using setting::CStrSettingParam;

namespace settingtest {
namespace {

const char kKey[] = "SOFTWARE\\Test";
const std::string kDevices[] = {"SOFTWARE\\Lunder\\Orvel4\\SnsPort", "SOFTWARE\\Lunder\\Orvel4\\KksPort",
                                "SOFTWARE\\Lunder\\Orvel4\\SonPort"};

// Port name, baud rate and "Enabled" of one device, as loaded.
using Device = std::tuple<std::string, DWORD, DWORD>;
const std::vector<Device> kDefaults = {{"COM3", 115200, 1}, {"COM4", 4800, 1}, {"COM1", 115200, 1}};

// The three devices as the program starts them.
std::vector<Device> StartDevices()
{
    const setting::CSnsDeviceSetting sns;
    const setting::CKksDeviceSetting kks;
    const setting::CSonDeviceSetting son;
    const setting::CSerialPortDeviceSetting* all[] = {&sns, &kks, &son};
    std::vector<Device> devices;
    for (const setting::CSerialPortDeviceSetting* d : all)
        devices.emplace_back(d->m_portName.m_value, d->m_baudRate.m_dwValue, d->m_enabled.m_dwValue);
    return devices;
}

class SettingsTest : public StoreTest
{
protected:
    // Loads one parameter from kKey.
    template <class Param>
    static bool Load(Param& param)
    {
        CRegKey key;
        EXPECT_EQ(key.Create(HKEY_CURRENT_USER, kKey), ERROR_SUCCESS);
        return param.Load(key);
    }
    static void PutDevice(const std::string& keyPath, const std::string& port, DWORD baud, DWORD enabled)
    {
        Put(keyPath, "PortName", REG_SZ, Sz(port));
        Put(keyPath, "BaudRate", REG_DWORD, Dword(baud));
        Put(keyPath, "Enabled", REG_DWORD, Dword(enabled));
    }
};

// Texts are read through a 260-character buffer. One parameter is loaded
// again and again, as a group reloads it: a shorter or empty text must not
// keep any of the previous one.
TEST_F(SettingsTest, TextParameterAcceptsOnlyWellFormedShortTexts)
{
    const struct { const char* what; DWORD type; std::string data; bool loads; std::string text; } cases[] = {
        {"258 characters", REG_SZ, Sz(std::string(258, 'a')), true, std::string(258, 'a')},
        {"259 characters", REG_SZ, Sz(std::string(259, 'b')), false, ""},
        {"expandable, taken literally", REG_EXPAND_SZ, Sz("%PORT%\\x"), true, "%PORT%\\x"},
        {"empty data", REG_SZ, "", true, ""},
        {"400 characters", REG_SZ, Sz(std::string(400, 'c')), false, ""},
        {"inner NUL", REG_SZ, std::string("COM1\0COM2", 10), true, "COM1"},
        {"unterminated", REG_SZ, "COM5", false, ""},
        {"a number", REG_DWORD, Dword(5), false, ""},
    };
    CStrSettingParam param("PortName");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Put(kKey, "PortName", c.type, c.data);
        EXPECT_EQ(Load(param), c.loads);
        if (c.loads) {
            EXPECT_EQ(param.m_value, c.text);
        }
    }
}

TEST_F(SettingsTest, NumberParameterNeedsFourBytesOfDword)
{
    CDwordSettingParam param("BaudRate");
    Put(kKey, "BaudRate", REG_DWORD, Dword(115200));
    EXPECT_TRUE(Load(param));
    EXPECT_EQ(param.m_value, "115200");
    Put(kKey, "BaudRate", REG_SZ, Sz("9600"));
    EXPECT_FALSE(Load(param));
    EXPECT_EQ(param.m_value, "");
    Put(kKey, "BaudRate", REG_DWORD, std::string("\x80\x25", 2));  // 9600 cut short
    EXPECT_FALSE(Load(param));

    // The largest number reads as -1 and is written back as the same 4 bytes.
    Put(kKey, "BaudRate", REG_DWORD, Dword(4294967295u));
    EXPECT_TRUE(Load(param));
    EXPECT_EQ(param.m_value, "-1");
    Put(kKey, "BaudRate", REG_BINARY, "");
    CRegKey key;
    ASSERT_EQ(key.Open(HKEY_CURRENT_USER, kKey), ERROR_SUCCESS);
    param.Save(key);
    EXPECT_EQ(Get(kKey, "BaudRate")->type, REG_DWORD);
    EXPECT_EQ(Get(kKey, "BaudRate")->data, std::string(4, '\xff'));
}

TEST_F(SettingsTest, GroupMakesItsKeyReadsEveryValueAndSavesThemAll)
{
    CSerialPortSetting s(kKey);
    EXPECT_TRUE(KeyExists(kKey));
    EXPECT_FALSE(s.Load());
    Put(kKey, "BaudRate", REG_DWORD, Dword(38400));
    EXPECT_FALSE(s.Load());  // still no "PortName", but the rest is read
    EXPECT_EQ(s.m_baudRate.m_dwValue, 38400u);

    s.m_portName.SetValue(nullptr);
    s.Save();
    EXPECT_EQ(Get(kKey, "PortName")->type, REG_SZ);
    EXPECT_EQ(Get(kKey, "PortName")->data, std::string(1, '\0'));
    CSerialPortSetting again(kKey);
    EXPECT_TRUE(again.Load());
    EXPECT_EQ(again.m_portName.m_value, "");
    EXPECT_EQ(again.m_baudRate.m_dwValue, 38400u);
}

TEST_F(SettingsTest, FirstRunAndOneBadValueStartTheDevicesOnTheirDefaults)
{
    EXPECT_EQ(StartDevices(), kDefaults);
    for (const std::string& path : kDevices) {
        EXPECT_TRUE(KeyExists(path)) << path;
        EXPECT_FALSE(Get(path, "PortName") || Get(path, "BaudRate") || Get(path, "Enabled")) << path;
    }
    // Each device with two good values and one missing, of the wrong type, too long.
    Put(kDevices[0], "PortName", REG_SZ, Sz("COM9"));
    Put(kDevices[0], "BaudRate", REG_DWORD, Dword(19200));
    PutDevice(kDevices[1], "COM8", 9600, 1);
    Put(kDevices[1], "Enabled", REG_SZ, Sz("1"));
    PutDevice(kDevices[2], std::string(300, 'p'), 2400, 0);
    EXPECT_EQ(StartDevices(), kDefaults);
}

TEST_F(SettingsTest, StoredValuesLoadAsTheyAreAndEachDeviceHasItsOwnKey)
{
    PutDevice(kDevices[0], "/dev/ttyUSB1", 57600, 7);  // any non-zero "Enabled" stays as it is
    PutDevice(kDevices[1], "COM99", 250000, 0);
    PutDevice(kDevices[2], "C", 4800, 1);
    const Device sns{"/dev/ttyUSB1", 57600, 7};
    const Device son{"C", 4800, 1};
    EXPECT_EQ(StartDevices(), (std::vector<Device>{sns, {"COM99", 250000, 0}, son}));

    ASSERT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, kDevices[1].c_str()), ERROR_SUCCESS);
    EXPECT_EQ(StartDevices(), (std::vector<Device>{sns, kDefaults[1], son}));
    EXPECT_TRUE(KeyExists(kDevices[1]));  // made again, empty
    EXPECT_FALSE(Get(kDevices[1], "PortName"));
}

TEST(KeyPath, ComponentsJoinWithSingleBackslashes)
{
    const struct { std::string path, component, joined; } cases[] = {
        {"", "a", "a"},         {"a", "", "a"},         {"a", "b", "a\\b"}, {"a\\", "b", "a\\b"},
        {"a\\", "\\b", "a\\b"}, {"a", "\\b", "a\\b"}, {"a/", "b", "a/b"},   {"C:", "b", "C:b"},
        {"C:", "\\b", "C:\\b"},
    };
    for (const auto& c : cases) {
        std::string path = c.path;
        setting::AppendKeyPath(path, c.component);
        EXPECT_EQ(path, c.joined) << '"' << c.path << "\" + \"" << c.component << '"';
    }
}

} // namespace
} // namespace settingtest

// Parameters, groups and the three device settings on a real store.

#include "DeviceSettings.h"
#include "KeyPath.h"
#include "StoreFixture.h"

using namespace registry;
using setting::CDwordSettingParam;
using setting::CSerialPortSetting;
using setting::CStrSettingParam;

namespace settingtest {
namespace {

const char kKey[] = "SOFTWARE\\Test";
const std::string kSns = "SOFTWARE\\Lunder\\Orvel4\\SnsPort";
const std::string kKks = "SOFTWARE\\Lunder\\Orvel4\\KksPort";
const std::string kSon = "SOFTWARE\\Lunder\\Orvel4\\SonPort";

class SettingsTest : public StoreTest
{
protected:
    // Loads one parameter from kKey.
    template <class Param>
    bool LoadParam(Param& param)
    {
        CRegKey key;
        EXPECT_EQ(key.Create(HKEY_CURRENT_USER, kKey), ERROR_SUCCESS);
        return param.Load(key);
    }

    void PutDevice(const std::string& keyPath, const std::string& port, DWORD baud, DWORD enabled)
    {
        PutText(keyPath, "PortName", port);
        PutDword(keyPath, "BaudRate", baud);
        PutDword(keyPath, "Enabled", enabled);
    }
};

struct TextCase
{
    const char* what;
    DWORD type;
    std::string data;
    bool loads;
    std::string text;  // when it loads
};

TEST_F(SettingsTest, TextParameterAcceptsOnlyWellFormedShortTexts)
{
    const std::string longest(258, 'a');
    const std::string tooLong(259, 'b');
    const TextCase cases[] = {
        {"plain", REG_SZ, std::string("COM7", 5), true, "COM7"},
        {"expandable, taken literally", REG_EXPAND_SZ, std::string("%PORT%\\x", 9), true, "%PORT%\\x"},
        {"empty data", REG_SZ, std::string(), true, ""},
        {"a lone NUL", REG_SZ, std::string(1, '\0'), true, ""},
        {"inner NUL", REG_SZ, std::string("COM1\0COM2", 10), true, "COM1"},
        {"258 characters", REG_SZ, std::string(longest.c_str(), 259), true, longest},
        {"259 characters", REG_SZ, std::string(tooLong.c_str(), 260), false, ""},
        {"400 characters", REG_SZ, std::string(400, 'c') + '\0', false, ""},
        {"unterminated", REG_SZ, "COM5", false, ""},
        {"a number", REG_DWORD, Dword(5), false, ""},
        {"binary", REG_BINARY, std::string("COM5", 5), false, ""},
    };
    for (const TextCase& c : cases) {
        SCOPED_TRACE(c.what);
        Put(kKey, "PortName", c.type, c.data);
        CStrSettingParam param("PortName");
        const bool loaded = LoadParam(param);
        EXPECT_EQ(loaded, c.loads);
        if (c.loads) {
            EXPECT_EQ(param.m_value, c.text);
        }
        EXPECT_LT(param.m_value.size(), CStrSettingParam::kBufferChars + 1);
    }
    CStrSettingParam missing("Nothing");
    EXPECT_FALSE(LoadParam(missing));
}

TEST_F(SettingsTest, NumberParameterNeedsFourBytesOfDword)
{
    CDwordSettingParam param("BaudRate");
    PutDword(kKey, "BaudRate", 115200);
    EXPECT_TRUE(LoadParam(param));
    EXPECT_EQ(param.m_dwValue, 115200u);
    EXPECT_EQ(param.m_value, "115200");

    PutText(kKey, "BaudRate", "9600");
    EXPECT_FALSE(LoadParam(param));
    EXPECT_EQ(param.m_value, "");

    Put(kKey, "BaudRate", REG_DWORD, std::string("\x80\x25", 2));  // 9600 cut short
    EXPECT_FALSE(LoadParam(param));
    Put(kKey, "BaudRate", REG_QWORD, std::string(8, '\0'));
    EXPECT_FALSE(LoadParam(param));

    // The largest number reads as -1 and is written back as the same 4 bytes.
    PutDword(kKey, "BaudRate", 4294967295u);
    EXPECT_TRUE(LoadParam(param));
    EXPECT_EQ(param.m_value, "-1");
    Put(kKey, "BaudRate", REG_BINARY, "");
    CRegKey key;
    ASSERT_EQ(key.Open(HKEY_CURRENT_USER, kKey), ERROR_SUCCESS);
    param.Save(key);
    EXPECT_EQ(Get(kKey, "BaudRate")->type, REG_DWORD);
    EXPECT_EQ(Get(kKey, "BaudRate")->data, std::string(4, '\xff'));

    param.SetValue(0x80000000u);
    EXPECT_EQ(param.m_value, "-2147483648");
}

TEST_F(SettingsTest, FirstUseCreatesTheKeyAndLoadFails)
{
    CSerialPortSetting s(kKey);
    EXPECT_TRUE(KeyExists(kKey));
    EXPECT_FALSE(s.Load());
    s.SetDefaults();
    EXPECT_EQ(s.m_portName.m_value, "COM1");
    EXPECT_EQ(s.m_baudRate.m_dwValue, 9600u);
    EXPECT_EQ(s.m_baudRate.m_value, "9600");
    EXPECT_FALSE(Get(kKey, "PortName").has_value());  // defaults stay in memory
}

TEST_F(SettingsTest, LoadReadsEveryValueEvenAfterAFailure)
{
    PutDword(kKey, "BaudRate", 38400);
    CSerialPortSetting s(kKey);
    EXPECT_FALSE(s.Load());
    EXPECT_EQ(s.m_baudRate.m_dwValue, 38400u);

    PutText(kKey, "PortName", "/dev/ttyUSB0");
    EXPECT_TRUE(s.Load());
    EXPECT_EQ(s.m_portName.m_value, "/dev/ttyUSB0");
}

TEST_F(SettingsTest, SaveWritesEveryValueInOrderWithTheirSizes)
{
    CSerialPortSetting s(kKey);
    s.m_portName.SetValue(nullptr);
    s.m_baudRate.SetValue(4800);
    s.Save();
    EXPECT_EQ(Get(kKey, "PortName")->type, REG_SZ);
    EXPECT_EQ(Get(kKey, "PortName")->data, std::string(1, '\0'));
    EXPECT_EQ(Get(kKey, "BaudRate")->data, Dword(4800));

    s.m_portName.SetValue("COM12");
    s.Save();
    EXPECT_EQ(Get(kKey, "PortName")->data, std::string("COM12", 6));

    CRegKey key;
    ASSERT_EQ(key.Open(HKEY_CURRENT_USER, kKey), ERROR_SUCCESS);
    char name[16];
    DWORD length = sizeof name;
    ASSERT_EQ(RegEnumValueA(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_STREQ(name, "PortName");

    CSerialPortSetting again(kKey);
    EXPECT_TRUE(again.Load());
    EXPECT_EQ(again.m_portName.m_value, "COM12");
    EXPECT_EQ(again.m_baudRate.m_dwValue, 4800u);
}

TEST_F(SettingsTest, FirstRunGivesEachDeviceItsDefaultsAndWritesNothing)
{
    setting::CSnsDeviceSetting sns;
    setting::CKksDeviceSetting kks;
    setting::CSonDeviceSetting son;

    EXPECT_EQ(sns.m_portName.m_value, "COM3");
    EXPECT_EQ(sns.m_baudRate.m_dwValue, 115200u);
    EXPECT_EQ(kks.m_portName.m_value, "COM4");
    EXPECT_EQ(kks.m_baudRate.m_dwValue, 4800u);
    EXPECT_EQ(son.m_portName.m_value, "COM1");
    EXPECT_EQ(son.m_baudRate.m_value, "115200");
    for (const auto* d : {static_cast<const setting::CSerialPortDeviceSetting*>(&sns),
                          static_cast<const setting::CSerialPortDeviceSetting*>(&kks),
                          static_cast<const setting::CSerialPortDeviceSetting*>(&son)}) {
        EXPECT_EQ(d->m_enabled.m_dwValue, 1u);
        EXPECT_EQ(d->m_enabled.m_value, "1");
    }

    for (const std::string& path : {kSns, kKks, kSon}) {
        SCOPED_TRACE(path);
        ASSERT_TRUE(KeyExists(path));
        EXPECT_FALSE(Get(path, "PortName").has_value());
        EXPECT_FALSE(Get(path, "BaudRate").has_value());
        EXPECT_FALSE(Get(path, "Enabled").has_value());
    }

    sns.Save();
    EXPECT_EQ(Get(kSns, "PortName")->data, std::string("COM3", 5));
    EXPECT_EQ(Get(kSns, "BaudRate")->data, Dword(115200));
    EXPECT_EQ(Get(kSns, "Enabled")->data, Dword(1));
}

TEST_F(SettingsTest, OneBadValueSendsAllThreeToTheDefaults)
{
    // No "Enabled" at all.
    PutText(kSns, "PortName", "COM9");
    PutDword(kSns, "BaudRate", 19200);
    // "Enabled" of the wrong type.
    PutDevice(kKks, "COM8", 9600, 1);
    PutText(kKks, "Enabled", "1");
    // A port name that is too long.
    PutDevice(kSon, std::string(300, 'p'), 2400, 0);

    setting::CSnsDeviceSetting sns;
    setting::CKksDeviceSetting kks;
    setting::CSonDeviceSetting son;
    EXPECT_EQ(sns.m_portName.m_value, "COM3");
    EXPECT_EQ(sns.m_baudRate.m_dwValue, 115200u);
    EXPECT_EQ(kks.m_portName.m_value, "COM4");
    EXPECT_EQ(kks.m_enabled.m_dwValue, 1u);
    EXPECT_EQ(son.m_portName.m_value, "COM1");
    EXPECT_EQ(son.m_enabled.m_dwValue, 1u);
}

TEST_F(SettingsTest, StoredValuesLoadAsTheyAre)
{
    PutDevice(kSns, "/dev/ttyUSB1", 57600, 7);
    PutDevice(kKks, "COM99", 250000, 0);

    setting::CSnsDeviceSetting sns;
    setting::CKksDeviceSetting kks;
    EXPECT_EQ(sns.m_portName.m_value, "/dev/ttyUSB1");
    EXPECT_EQ(sns.m_baudRate.m_dwValue, 57600u);
    EXPECT_EQ(sns.m_enabled.m_dwValue, 7u);  // any non-zero means enabled
    EXPECT_EQ(kks.m_portName.m_value, "COM99");
    EXPECT_EQ(kks.m_baudRate.m_dwValue, 250000u);
    EXPECT_EQ(kks.m_enabled.m_dwValue, 0u);
}

TEST_F(SettingsTest, DeletingOneDevicesKeyAffectsOnlyThatDevice)
{
    PutDevice(kSns, "A", 1200, 0);
    PutDevice(kKks, "B", 2400, 0);
    PutDevice(kSon, "C", 4800, 0);
    ASSERT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, kKks.c_str()), ERROR_SUCCESS);

    setting::CSnsDeviceSetting sns;
    setting::CKksDeviceSetting kks;
    setting::CSonDeviceSetting son;
    EXPECT_EQ(sns.m_portName.m_value, "A");
    EXPECT_EQ(kks.m_portName.m_value, "COM4");
    EXPECT_EQ(kks.m_baudRate.m_dwValue, 4800u);
    EXPECT_EQ(son.m_portName.m_value, "C");
    EXPECT_TRUE(KeyExists(kKks));  // made again, empty
    EXPECT_FALSE(Get(kKks, "PortName").has_value());
}

TEST(KeyPath, ComponentsJoinWithSingleBackslashes)
{
    EXPECT_EQ(setting::MakeAppKeyPath(nullptr), "Lunder\\Orvel4");
    EXPECT_EQ(setting::MakeAppKeyPath(""), "Lunder\\Orvel4");
    EXPECT_EQ(setting::MakeAppKeyPath("SnsPort"), "Lunder\\Orvel4\\SnsPort");
    EXPECT_EQ(setting::MakeAppKeyPath("\\SnsPort"), "Lunder\\Orvel4\\SnsPort");
    EXPECT_EQ(setting::MakeSoftwareKeyPath("SnsPort"), "SOFTWARE\\Lunder\\Orvel4\\SnsPort");
    EXPECT_EQ(setting::MakeSoftwareKeyPath(nullptr), "SOFTWARE\\Lunder\\Orvel4");

    const struct
    {
        std::string path, component, joined;
    } cases[] = {
        {"", "a", "a"},       {"a", "", "a"},         {"a", "b", "a\\b"},   {"a\\", "b", "a\\b"},
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

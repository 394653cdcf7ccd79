// Parameters, groups and the device settings on a real store.

#include "DeviceSettings.h"
#include "RecordSetting.h"
#include "StoreFixture.h"

#include <filesystem>
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
using Devices = std::vector<Device>;
const Devices kDefaults = {{"COM3", 115200, 1}, {"COM4", 4800, 1}, {"COM1", 115200, 1}};

// The three devices as the program starts them.
Devices StartDevices()
{
    const setting::CSnsDeviceSetting sns;
    const setting::CKksDeviceSetting kks;
    const setting::CSonDeviceSetting son;
    const setting::CSerialPortDeviceSetting* all[] = {&sns, &kks, &son};
    Devices devices;
    for (const setting::CSerialPortDeviceSetting* d : all)
        devices.emplace_back(d->m_portName.m_value, d->m_baudRate.m_dwValue, d->m_enabled.m_dwValue);
    return devices;
}

class SettingsTest : public StoreTest
{
protected:
    // Loads one parameter from kKey.
    static bool Load(setting::CSettingParam& param)
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

// A failed load empties the text but leaves the number as it was.
TEST_F(SettingsTest, NumberParameterNeedsFourBytesOfDword)
{
    const struct { const char* name; DWORD type; std::string data; bool loads; std::string text; DWORD number; } cases[] = {
        {"a number", REG_DWORD, Dword(115200), true, "115200", 115200},
        {"the largest, read as -1", REG_DWORD, Dword(4294967295u), true, "-1", 4294967295u},
        {"text", REG_SZ, Sz("9600"), false, "", 4800},
        {"cut short", REG_DWORD, std::string("\x80\x25", 2), false, "", 4800},
        {"too long", REG_DWORD, Dword(9600) + Dword(1), false, "", 4800},
        {"binary", REG_BINARY, Dword(9600), false, "", 4800},
        {"missing", REG_NONE, "", false, "", 4800},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.type != REG_NONE)
            Put(kKey, c.name, c.type, c.data);
        CDwordSettingParam param(c.name);
        param.SetValue(4800);
        EXPECT_EQ(Load(param), c.loads);
        EXPECT_EQ(param.m_value, c.text);
        EXPECT_EQ(param.m_dwValue, c.number);
    }
}

// Every value is read, also after one has failed; every value is written,
// an empty text as one NUL byte and the largest number as 4 bytes.
TEST_F(SettingsTest, GroupReadsAndSavesEveryValue)
{
    CSerialPortSetting s(kKey);
    Put(kKey, "BaudRate", REG_DWORD, Dword(38400));
    EXPECT_FALSE(s.Load());  // no "PortName"
    EXPECT_EQ(s.m_baudRate.m_dwValue, 38400u);

    s.m_portName.SetValue(nullptr);
    s.m_baudRate.SetValue(4294967295u);
    s.Save();
    EXPECT_EQ(Get(kKey, "PortName"), Stored(REG_SZ, std::string(1, '\0')));
    EXPECT_EQ(Get(kKey, "BaudRate"), Stored(REG_DWORD, std::string(4, '\xff')));
}

TEST_F(SettingsTest, EachDeviceLoadsItsOwnValuesOrAllItsDefaults)
{
    // First run: the keys are made, nothing is written.
    EXPECT_EQ(StartDevices(), kDefaults);
    for (const std::string& path : kDevices) {
        EXPECT_EQ(CRegKey().Open(HKEY_CURRENT_USER, path.c_str()), ERROR_SUCCESS) << path;
        EXPECT_FALSE(Get(path, "PortName") || Get(path, "BaudRate") || Get(path, "Enabled")) << path;
    }
    // Each device with two good values and one missing, of the wrong type, too long.
    Put(kDevices[0], "PortName", REG_SZ, Sz("/dev/ttyUSB1"));
    Put(kDevices[0], "BaudRate", REG_DWORD, Dword(57600));
    PutDevice(kDevices[1], "COM99", 250000, 0);
    Put(kDevices[1], "Enabled", REG_SZ, Sz("0"));
    PutDevice(kDevices[2], std::string(300, 'p'), 4800, 1);
    EXPECT_EQ(StartDevices(), kDefaults);

    // Made whole. Key and value names match ignoring case; any non-zero
    // "Enabled" stays as it is.
    Put("software\\LUNDER\\orvel4\\snsPORT", "ENABLED", REG_DWORD, Dword(7));
    Put(kDevices[1], "enabled", REG_DWORD, Dword(0));
    Put(kDevices[2], "portNAME", REG_SZ, Sz("C"));
    EXPECT_EQ(StartDevices(), (Devices{{"/dev/ttyUSB1", 57600, 7}, {"COM99", 250000, 0}, {"C", 4800, 1}}));
}

// data/hkcu-v1.sqlite3 was saved by the previous version of the program:
// the three devices and a records folder in Windows-1251, closed cleanly.
// It opens as it is, with nothing said and nothing moved aside.
TEST_F(SettingsTest, AStoreOfThePreviousVersionReadsTheSame)
{
    std::filesystem::copy_file(ORVEL_SETTING_TEST_DATA "/hkcu-v1.sqlite3", StorePath());
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(StartDevices(), (Devices{{"/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0", 57600, 1},
                                       {"/dev/ttyS3", 9600, 0},
                                       {"/run/user/1000/orvel-ports/devsim-sounder", 4294967295u, 7}}));
    EXPECT_EQ(setting::CRecordSetting().m_folder.m_value, "/home/operator/\xc7\xe0\xef\xe8\xf1\xe8");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
}

} // namespace
} // namespace settingtest

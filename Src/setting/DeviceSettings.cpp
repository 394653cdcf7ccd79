#include "DeviceSettings.h"

#include "KeyPath.h"

namespace setting {

CSerialPortDeviceSetting::CSerialPortDeviceSetting(const char* keyPath)
    : CSerialPortSetting(keyPath), m_enabled("Enabled")
{
    m_params.push_back(&m_enabled);
}

void CSerialPortDeviceSetting::SetDefaults()
{
    CSerialPortSetting::SetDefaults();
    m_enabled.SetValue(1);
}

void CSerialPortDeviceSetting::LoadOrDefault()
{
    // All or nothing: one missing or malformed value and the device starts
    // on its defaults, the values that did load included.
    if (!Load())
        SetDefaults();
}

CSnsDeviceSetting::CSnsDeviceSetting() : CSerialPortDeviceSetting(MakeSoftwareKeyPath("SnsPort").c_str())
{
    LoadOrDefault();
}

void CSnsDeviceSetting::SetDefaults()
{
    CSerialPortDeviceSetting::SetDefaults();
    m_portName.SetValue("COM3");
    m_baudRate.SetValue(115200);
}

CKksDeviceSetting::CKksDeviceSetting() : CSerialPortDeviceSetting(MakeSoftwareKeyPath("KksPort").c_str())
{
    LoadOrDefault();
}

void CKksDeviceSetting::SetDefaults()
{
    CSerialPortDeviceSetting::SetDefaults();
    m_portName.SetValue("COM4");
    m_baudRate.SetValue(4800);
}

CSonDeviceSetting::CSonDeviceSetting() : CSerialPortDeviceSetting(MakeSoftwareKeyPath("SonPort").c_str())
{
    LoadOrDefault();
}

void CSonDeviceSetting::SetDefaults()
{
    CSerialPortDeviceSetting::SetDefaults();
    m_portName.SetValue("COM1");
    m_baudRate.SetValue(115200);
}

} // namespace setting

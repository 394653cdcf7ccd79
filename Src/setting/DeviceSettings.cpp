#include "DeviceSettings.h"

#include "KeyPath.h"

#include <string>

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
    // Value by value, each read whatever became of the one before: a value
    // that fails must not cost the others what was stored, since the
    // start-up save writes all three back.
    const bool portLoaded = m_portName.Load(m_key);
    const bool baudLoaded = m_baudRate.Load(m_key);
    const bool enabledLoaded = m_enabled.Load(m_key);
    if (portLoaded && baudLoaded && enabledLoaded)
        return;
    // The defaults are layered through the classes, so they are taken whole
    // and the values that loaded put back over them.
    const std::string port = m_portName.m_value;
    const registry::DWORD baud = m_baudRate.m_dwValue;
    const registry::DWORD enabled = m_enabled.m_dwValue;
    SetDefaults();
    if (portLoaded)
        m_portName.SetValue(port.c_str());
    if (baudLoaded)
        m_baudRate.SetValue(baud);
    if (enabledLoaded)
        m_enabled.SetValue(enabled);
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

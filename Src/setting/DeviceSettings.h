#pragma once

#include "SerialPortSetting.h"

namespace setting {

// A device channel: its serial link and "Enabled" (REG_DWORD; non-zero
// means enabled). Parameters in order: "PortName", "BaudRate", "Enabled".
class CSerialPortDeviceSetting : public CSerialPortSetting
{
public:
    explicit CSerialPortDeviceSetting(const char* keyPath);

    // The serial link's defaults, enabled.
    void SetDefaults() override;

    CDwordSettingParam m_enabled;

protected:
    // Loads the three values; one that fails (missing, of another type,
    // malformed) takes this device's default, the others keep what was
    // stored. Writes nothing.
    void LoadOrDefault();
};

// Satellite navigation receiver, HKCU\SOFTWARE\Lunder\Orvel4\SnsPort:
// defaults "COM3", 115200, enabled.
class CSnsDeviceSetting final : public CSerialPortDeviceSetting
{
public:
    CSnsDeviceSetting();
    void SetDefaults() override;
};

// Beacon receiver, HKCU\SOFTWARE\Lunder\Orvel4\KksPort:
// defaults "COM4", 4800, enabled.
class CKksDeviceSetting final : public CSerialPortDeviceSetting
{
public:
    CKksDeviceSetting();
    void SetDefaults() override;
};

// Echo sounder, HKCU\SOFTWARE\Lunder\Orvel4\SonPort:
// defaults "COM1", 115200, enabled.
class CSonDeviceSetting final : public CSerialPortDeviceSetting
{
public:
    CSonDeviceSetting();
    void SetDefaults() override;
};

} // namespace setting

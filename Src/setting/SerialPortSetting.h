#pragma once

#include "Setting.h"

namespace setting {

// One serial link: "PortName" (REG_SZ) and "BaudRate" (REG_DWORD).
class CSerialPortSetting : public CSetting
{
public:
    explicit CSerialPortSetting(const char* keyPath);

    // "COM1" at 9600.
    void SetDefaults() override;

    CStrSettingParam m_portName;
    CDwordSettingParam m_baudRate;
};

} // namespace setting

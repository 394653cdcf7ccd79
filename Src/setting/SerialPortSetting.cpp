#include "SerialPortSetting.h"

namespace setting {

CSerialPortSetting::CSerialPortSetting(const char* keyPath)
    : CSetting(keyPath), m_portName("PortName"), m_baudRate("BaudRate")
{
    m_params.push_back(&m_portName);
    m_params.push_back(&m_baudRate);
}

void CSerialPortSetting::SetDefaults()
{
    m_portName.SetValue("COM1");
    m_baudRate.SetValue(9600);
}

} // namespace setting

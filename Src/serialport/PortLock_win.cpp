#include "PortLock.h"

// The share mode of 0 that asio opens the device with keeps it to one open.

namespace serialport {

CPortLock::~CPortLock() = default;

bool CPortLock::Claim(const std::string&)
{
    return true;
}

bool CPortLock::Attach(NativeHandle)
{
    return true;
}

void CPortLock::Release(NativeHandle)
{
}

} // namespace serialport

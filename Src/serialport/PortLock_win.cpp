#include "PortLock.h"

#include "PortError.h"

#include <windows.h>

// The share mode of 0 that asio opens the device with keeps it to one open.

namespace serialport {

boost::system::error_code OpenFailure(const boost::system::error_code& openError)
{
    if (openError.category() == boost::system::system_category() &&
        (openError.value() == ERROR_ACCESS_DENIED || openError.value() == ERROR_SHARING_VIOLATION))
        return PortError::HeldByAnotherProgram;
    return openError;
}

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

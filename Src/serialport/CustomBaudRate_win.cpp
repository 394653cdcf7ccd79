#include "CustomBaudRate.h"

#include <windows.h>

namespace serialport {
namespace detail {

int SetCustomBaudRate(NativeHandle port, unsigned int rate)
{
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!::GetCommState(port, &dcb))
        return static_cast<int>(::GetLastError());
    dcb.BaudRate = rate;
    if (!::SetCommState(port, &dcb))
        return static_cast<int>(::GetLastError());
    return 0;
}

int MatchInputBaudRate(NativeHandle)
{
    return 0;
}

unsigned int ReadOutputBaudRate(NativeHandle port)
{
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!::GetCommState(port, &dcb))
        return 0;
    return dcb.BaudRate;
}

} // namespace detail
} // namespace serialport

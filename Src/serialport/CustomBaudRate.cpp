#include "CustomBaudRate.h"

#include <asm/termbits.h>
#include <cerrno>
#include <sys/ioctl.h>

namespace serialport {
namespace detail {

int SetCustomBaudRate(NativeHandle fd, unsigned int rate)
{
    termios2 tio{};
    if (::ioctl(fd, TCGETS2, &tio) != 0)
        return errno;
    tio.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));  // no separate input speed
    tio.c_cflag |= BOTHER;
    tio.c_ispeed = rate;
    tio.c_ospeed = rate;
    if (::ioctl(fd, TCSETS2, &tio) != 0)
        return errno;
    return 0;
}

int MatchInputBaudRate(NativeHandle fd)
{
    termios2 tio{};
    if (::ioctl(fd, TCGETS2, &tio) != 0)
        return errno;
    if ((tio.c_cflag & (CBAUD << IBSHIFT)) == 0 && tio.c_ispeed == tio.c_ospeed)
        return 0;
    tio.c_cflag &= ~(CBAUD << IBSHIFT);
    tio.c_ispeed = tio.c_ospeed;
    if (::ioctl(fd, TCSETS2, &tio) != 0)
        return errno;
    return 0;
}

unsigned int ReadOutputBaudRate(NativeHandle fd)
{
    termios2 tio{};
    if (::ioctl(fd, TCGETS2, &tio) != 0)
        return 0;
    return tio.c_ospeed;
}

} // namespace detail
} // namespace serialport

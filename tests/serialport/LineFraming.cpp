#include "LineFraming.h"

#include <asm/termbits.h>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace porttest {

LineFraming ReadLineFraming(int fd)
{
    struct termios2 tio {};
    LineFraming framing;
    if (::ioctl(fd, TCGETS2, &tio) != 0)
        return framing;
    framing.ok = true;
    framing.inputRate = tio.c_ispeed;
    framing.outputRate = tio.c_ospeed;
    framing.twoStopBits = (tio.c_cflag & CSTOPB) != 0;
    framing.hardwareFlow = (tio.c_cflag & CRTSCTS) != 0;
    framing.softwareFlow = (tio.c_iflag & (IXON | IXOFF)) != 0;
    framing.rawInput = (tio.c_lflag & (ICANON | ECHO | ISIG | IEXTEN)) == 0 &&
                       (tio.c_iflag & (ICRNL | INLCR | IGNCR | ISTRIP)) == 0 && (tio.c_oflag & OPOST) == 0;
    return framing;
}

bool SpoilLineFraming(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return false;
    struct termios2 tio {};
    bool spoilt = ::ioctl(fd, TCGETS2, &tio) == 0;
    tio.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
    tio.c_cflag |= BOTHER | (BOTHER << IBSHIFT) | CSTOPB | CRTSCTS;
    tio.c_iflag |= IXON | IXOFF | ICRNL;
    tio.c_lflag |= ICANON | ECHO | ISIG;
    tio.c_oflag |= OPOST;
    tio.c_ispeed = 50;
    tio.c_ospeed = 75;
    spoilt = spoilt && ::ioctl(fd, TCSETS2, &tio) == 0;
    ::close(fd);
    return spoilt;
}

} // namespace porttest

// The line settings read and spoilt with TCGETS2/TCSETS2, so that any rate
// reads back as its number. Kept apart: <asm/termbits.h> cannot meet
// <termios.h>, which the port's headers bring in.
#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <string>

namespace porttest {

std::string LineSettings(int fd)
{
    struct termios2 tio {};
    if (::ioctl(fd, TCGETS2, &tio) != 0)
        return "unreadable";
    const bool raw = (tio.c_lflag & (ICANON | ECHO | ISIG | IEXTEN)) == 0 &&
                     (tio.c_iflag & (ICRNL | INLCR | IGNCR | ISTRIP)) == 0 && (tio.c_oflag & OPOST) == 0;
    return std::to_string(tio.c_ispeed) + " in, " + std::to_string(tio.c_ospeed) + " out" +
           ((tio.c_cflag & CSTOPB) != 0 ? ", 2 stop bits" : "") + ((tio.c_cflag & CRTSCTS) != 0 ? ", RTS/CTS" : "") +
           ((tio.c_iflag & (IXON | IXOFF)) != 0 ? ", XON/XOFF" : "") + (raw ? ", raw" : ", cooked");
}

void SpoilLine(int fd)
{
    struct termios2 tio {};
    ::ioctl(fd, TCGETS2, &tio);
    tio.c_cflag = (tio.c_cflag & ~(CBAUD | (CBAUD << IBSHIFT))) | BOTHER | (BOTHER << IBSHIFT) | CSTOPB | CRTSCTS;
    tio.c_iflag |= IXON | IXOFF | ICRNL;
    tio.c_lflag |= ICANON | ECHO | ISIG;
    tio.c_oflag |= OPOST;
    tio.c_ispeed = 50;
    tio.c_ospeed = 75;
    ::ioctl(fd, TCSETS2, &tio);
}

} // namespace porttest

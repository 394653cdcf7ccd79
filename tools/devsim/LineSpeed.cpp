#include "LineSpeed.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace devsim {

unsigned ReaderBaudRate(int masterFd)
{
    termios2 tio{};
    if (::ioctl(masterFd, TCGETS2, &tio) != 0)
        return 0;
    return tio.c_ispeed != 0 ? tio.c_ispeed : tio.c_ospeed;
}

} // namespace devsim

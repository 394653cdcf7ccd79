/* Preloaded (LD_PRELOAD) into GTKTerm and CuteCom only, so that they accept a
 * pseudo-terminal as their serial port. OrvelConfigurator runs without it.
 *
 *   gcc -shared -fPIC -O2 -o ptyshim.so ptyshim.c -ldl
 *
 * winbench.py compiles it into the work folder on first use.
 *
 * What it changes, and nothing else (reads, writes and termios go straight
 * through to the C library):
 *
 *  - Modem lines. A pty answers TIOCMGET, TIOCMSET, TIOCMBIS and TIOCMBIC
 *    with ENOTTY; GTKTerm takes that for a lost port and closes it. Here those
 *    four requests succeed when the kernel refuses them, and TIOCMGET reports
 *    DTR, RTS, CTS, DSR and DCD all raised.
 *
 *  - Device lookup. GTKTerm (Debian 1.2.1) asks libgudev for the device
 *    behind the port file and closes the port when there is none; a pty has
 *    no such device. g_udev_client_query_by_device_file() is replaced by one
 *    that always hands back a non-NULL token. GTKTerm only tests the pointer
 *    against NULL; it never looks inside.
 */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <stdarg.h>
#include <stddef.h>
#include <sys/ioctl.h>
#include <termios.h>

typedef int (*ioctl_fn)(int, unsigned long, ...);

static int is_modem_request(unsigned long request)
{
    switch (request) {
    case TIOCMGET:
    case TIOCMSET:
    case TIOCMBIS:
    case TIOCMBIC:
        return 1;
    default:
        return 0;
    }
}

int ioctl(int fd, unsigned long request, ...)
{
    static ioctl_fn next_ioctl;
    if (next_ioctl == NULL)
        next_ioctl = (ioctl_fn)dlsym(RTLD_NEXT, "ioctl");

    va_list args;
    va_start(args, request);
    void *argp = va_arg(args, void *);
    va_end(args);

    const int rc = next_ioctl(fd, request, argp);
    if (rc != -1 || !is_modem_request(request))
        return rc;
    if (errno != ENOTTY && errno != EINVAL)
        return rc;

    if (request == TIOCMGET && argp != NULL)
        *(int *)argp = TIOCM_DTR | TIOCM_RTS | TIOCM_CTS | TIOCM_DSR | TIOCM_CAR;
    errno = 0;
    return 0;
}

static char udev_token[1];

void *g_udev_client_query_by_device_file(void *client, const char *device_file)
{
    (void)client;
    (void)device_file;
    return udev_token;
}

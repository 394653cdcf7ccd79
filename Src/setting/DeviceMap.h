#pragma once

#include "Registry.h"

#include <string>
#include <vector>

namespace registry {

// The serial ports present, as the values of
// HKEY_LOCAL_MACHINE\HARDWARE\DEVICEMAP\SERIALCOMM: one REG_SZ per port,
// named by a device path, its data the name CSerialPort::Open takes.
//
// Kernel tty devices, from <sysfsRoot>/class/tty/<name>, in natural name
// order (ttyS2 before ttyS10):
//   - listed only with a "device" link, which leaves out virtual consoles,
//     /dev/tty, /dev/console, /dev/ptmx and pseudo-terminals;
//   - left out when a "type" attribute reads 0: serial ports whose UART was
//     never found (the legacy 8250 placeholders);
//   - value name: the device's path under /sys (the entry's link resolved,
//     e.g. "/sys/devices/pnp0/00:04/tty/ttyS0"; "/sys/class/tty/<name>"
//     when it is not a link); data: "/dev/" + the DEVNAME of its uevent
//     (or its name).
// Virtual ports, then, from virtualPortFolder, in natural name order:
//   - symbolic links whose target is a character device (a pseudo-terminal
//     of a device simulator or socat); dangling links, other files and
//     links to anything else are left out;
//   - value name and data: the link's path.
std::vector<RegValue> ScanSerialDevices(const std::string& sysfsRoot, const std::string& virtualPortFolder);

} // namespace registry

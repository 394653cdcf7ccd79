#pragma once

#include "RegTypes.h"

#include <string>
#include <vector>

namespace registry {

namespace detail {

// The device map's values as they are now, in its order, or
// ERROR_FILE_NOT_FOUND (on Windows: the registry's error) when there is
// none. On Windows: HKEY_LOCAL_MACHINE\HARDWARE\DEVICEMAP\SERIALCOMM
// (DeviceMap_win.cpp), where a value that cannot be read ends the list
// with the values before it; elsewhere ScanSerialDevices' values, or those that
// RegistryHooks.h sets (Stores.cpp).
LONG ReadDeviceMap(std::vector<RegValue>& values);

} // namespace detail

#ifdef _WIN32
// Where the serial ports present are found: on Windows the device map is
// all there is.
struct DeviceSources
{
};
#else
// Where the serial ports present are found.
struct DeviceSources
{
    std::string sysfsRoot = "/sys";
    // udev's persistent names of serial devices with a serial number.
    std::string byIdFolder = "/dev/serial/by-id";
    // Links to pseudo-terminals offered as ports (setting::VirtualPortFolder()).
    std::string virtualPortFolder;
};

// The serial ports present, as the device map lists them: one REG_SZ per
// port, named by a device path, its data the name CSerialPort::Open takes.
//
// Kernel tty devices, from <sysfsRoot>/class/tty/<name>, in natural name
// order (ttyS2 before ttyS10):
//   - listed only with a "device" link, which leaves out virtual consoles,
//     /dev/tty, /dev/console, /dev/ptmx and pseudo-terminals;
//   - left out when a "type" attribute reads 0: serial ports whose UART was
//     never found (the legacy 8250 placeholders);
//   - value name: the device's path under /sys (the entry's link resolved,
//     e.g. "/sys/devices/pnp0/00:04/tty/ttyS0"; "/sys/class/tty/<name>"
//     when it is not a link); data: the full path of the link in byIdFolder
//     that leads to the device, so that the name survives a re-plug into
//     another socket and a reboot; without one, "/dev/" + the DEVNAME of its
//     uevent (or its name).
// Virtual ports, then, from virtualPortFolder, in natural name order, when
// that folder can be trusted (a real directory of this user that no one
// else can write to; otherwise one line on stderr says why it is skipped):
//   - symbolic links whose target is a character device (a pseudo-terminal
//     of a device simulator or socat); dangling links, other files and
//     links to anything else are left out;
//   - data: the link's path; value name: the same, made unique among the
//     value names as FoldName compares them, so that links whose names
//     differ only in letter case are all listed.
std::vector<RegValue> ScanSerialDevices(const DeviceSources& sources);
#endif

} // namespace registry

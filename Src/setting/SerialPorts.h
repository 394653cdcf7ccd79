#pragma once

#include <string>
#include <vector>

namespace setting {

// Fills `ports` (emptied first) with the port names of the device map (see
// registry::ScanSerialDevices): the text, up to its first NUL, of every
// REG_SZ / REG_EXPAND_SZ value (the latter taken literally), in the map's
// order, neither sorted nor de-duplicated. Values of other types and
// unterminated texts are skipped. Returns false, with the thread's
// last-error code set (registry::GetLastError), when there is no device map.
bool EnumerateSerialPorts(std::vector<std::string>& ports);

// The ports a channel panel offers: those EnumerateSerialPorts lists, less
// any name a channel's settings could not read back (a text longer than a
// CStrSettingParam loads), which one line on stderr names, once.
std::vector<std::string> OfferedSerialPorts();

// The kernel's name (/dev/ttyUSB0) of a port offered under its persistent
// /dev/serial/by-id name; any other name as it is.
std::string KernelDeviceName(const std::string& portName);

} // namespace setting

#pragma once

#include <string>
#include <vector>

namespace setting {

// Fills `ports` (emptied first) with the port names of
// HKEY_LOCAL_MACHINE\HARDWARE\DEVICEMAP\SERIALCOMM: the text of every
// REG_SZ / REG_EXPAND_SZ value, in the key's order, neither sorted nor
// de-duplicated. Values of other types and unterminated texts are skipped.
// Returns false, with the thread's last-error code set (registry::GetLastError),
// when the key cannot be read; the names gathered before a failed
// enumeration step are kept and the result is then true.
bool EnumerateSerialPorts(std::vector<std::string>& ports);

// The ports a channel panel offers: those EnumerateSerialPorts lists, less
// any name a channel's settings could not read back (a text longer than a
// CStrSettingParam loads), which one line on stderr names, once.
std::vector<std::string> OfferedSerialPorts();

// The kernel's name (/dev/ttyUSB0) of a port offered under its persistent
// /dev/serial/by-id name; any other name as it is.
std::string KernelDeviceName(const std::string& portName);

} // namespace setting

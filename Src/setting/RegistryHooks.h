#pragma once

// Where the stores are. By default they follow the environment, read when
// first needed: the user store is setting::UserConfigFolder() +
// "/hkcu.sqlite3", and the device map scans /sys, /dev/serial/by-id and
// setting::VirtualPortFolder(). Tests and benchmarks point them elsewhere
// with these calls. A key opened before a change keeps the store it was
// opened on; opens after it see the new one.

#include "DeviceMap.h"

#include <string>
#include <vector>

namespace registry {

// The file behind HKEY_CURRENT_USER.
void SetUserStoreFile(const std::string& path);
std::string UserStoreFile();

// The device map scans these sources instead (see ScanSerialDevices).
void SetDeviceMapSources(const DeviceSources& sources);

// The sources the device map scans: those set above, or the environment's
// (/sys, /dev/serial/by-id, setting::VirtualPortFolder()) when none are set
// or the map holds fixed values.
DeviceSources DeviceMapSources();

// The device map holds exactly these values, in this order.
void SetDeviceMapValues(std::vector<RegValue> values);

// There is no device map (a machine that never had a serial port).
void SetDeviceMapMissing();

// Both stores back to the environment's. The user store's file is closed
// once no open key uses it any more.
void ResetStores();

} // namespace registry

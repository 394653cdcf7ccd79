#pragma once

// Inside of the registry layer: HKEY_LOCAL_MACHINE, which holds nothing but
// HARDWARE\DEVICEMAP\SERIALCOMM.

#include "KeyNode.h"

#include <functional>
#include <memory>
#include <vector>

namespace registry::detail {

// Gives the device map's values as they are now (into `values`, when not
// null), or ERROR_FILE_NOT_FOUND when the SERIALCOMM key does not exist.
using DeviceMapSource = std::function<LONG(std::vector<RegValue>* values)>;

// A node on the root of HKEY_LOCAL_MACHINE. Every key is read-only; opening
// SERIALCOMM takes a snapshot of the device map that the handle keeps.
std::unique_ptr<KeyNode> MakeMachineRoot(DeviceMapSource source);

} // namespace registry::detail

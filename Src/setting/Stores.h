#pragma once

// The stores the settings and the port discovery read, as RegistryHooks.h
// sets them (ReadDeviceMap: DeviceMap.h).

#include "DeviceMap.h"
#include "KeyTree.h"

#include <memory>
#include <vector>

namespace registry::detail {

// The key tree of HKEY_CURRENT_USER, opened when first asked for.
std::shared_ptr<KeyTree> UserKeyTree();

} // namespace registry::detail

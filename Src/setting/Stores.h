#pragma once

// The stores the settings and the port discovery read, as RegistryHooks.h
// sets them.

#include "KeyTree.h"

#include <memory>
#include <vector>

namespace registry::detail {

// The key tree of HKEY_CURRENT_USER, opened when first asked for.
std::shared_ptr<KeyTree> UserKeyTree();

// The device map's values as they are now, or ERROR_FILE_NOT_FOUND when
// there is none.
LONG ReadDeviceMap(std::vector<RegValue>& values);

} // namespace registry::detail

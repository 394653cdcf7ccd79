#pragma once

#include <string>

namespace setting {

// Folder whose symbolic links to pseudo-terminals are offered as serial
// ports (a device simulator or socat puts its links here):
//   $XDG_RUNTIME_DIR/orvel-ports, or /tmp/orvel-ports-<uid> when
//   XDG_RUNTIME_DIR is not set.
std::string VirtualPortFolder();

// Folder of the per-user settings store:
//   $XDG_CONFIG_HOME/OrvelConfigurator, XDG_CONFIG_HOME defaulting to ~/.config.
std::string UserConfigFolder();

} // namespace setting

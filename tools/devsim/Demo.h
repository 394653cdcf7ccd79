#pragma once

#include "Options.h"

namespace devsim {

// orvel-devsim --demo: the simulator on `options` (its folder filled in), and
// OrvelConfigurator from the folder of this executable run on a settings
// store of its own, in a new temporary folder, where each channel already
// holds its simulated port, enabled. The operator's own settings are not
// touched. Ends when the program ends: the simulator is stopped, the
// temporary folder deleted, and the program's exit status returned (128 + the
// signal that ended it). Throws std::runtime_error with a message for the
// operator when the demo cannot start.
int RunDemo(const COptions& options);

} // namespace devsim

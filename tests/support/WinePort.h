#pragma once

#include <string>
#include <utility>

namespace testsupport {

// "COMn=<unix path>" of scripts/wine-ports, from the environment variable
// `variable`: the COM name and the path as Windows reaches it (drive Z: is
// the root). Both empty when the variable is not set.
std::pair<std::string, std::string> WinePort(const char* variable);

} // namespace testsupport

#pragma once

#include <string>

namespace devsimtest {

// True when `line` (without line end) is "$<body>*HH" and HH is the
// exclusive-or of the body's characters in upper-case hexadecimal; checked
// independently of the simulator's own NMEA code.
bool HasValidChecksum(const std::string& line);

} // namespace devsimtest

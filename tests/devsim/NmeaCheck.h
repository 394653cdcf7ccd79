#pragma once

#include <string>
#include <vector>

// Checks made independently of the simulator's own NMEA code.
namespace devsimtest {

// True when `line` (without line end) is "$<body>*HH" and HH is the
// exclusive-or of the body's characters, in upper-case hexadecimal.
bool HasValidChecksum(const std::string& line);

// The comma-separated fields of a sentence's body, address first.
std::vector<std::string> Fields(const std::string& line);

// `bytes` cut into lines at "\r\n"; the bytes after the last one are dropped.
std::vector<std::string> CrLfLines(const std::string& bytes);

} // namespace devsimtest

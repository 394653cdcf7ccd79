#pragma once

// Checks of the program's start-up log, shared by the Linux and the Windows
// start-up tests.

#include <string>
#include <vector>

namespace testsupport {

std::vector<std::string> ReadLines(const std::string& path);

// A log4cplus configuration that writes every event of the root logger from
// `threshold` on into `logFile`, one line each: level|file|line|logger|message.
void WriteLogConfig(const std::string& path, const std::string& threshold, const std::string& logFile);

// The six lines the start-up writes at TRACE, each naming the file and line
// of its own logging statement in `source`, the start-up unit.
std::vector<std::string> ExpectedStartedLines(const std::string& source);

} // namespace testsupport

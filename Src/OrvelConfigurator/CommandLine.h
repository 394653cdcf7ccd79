#pragma once

// The program's only options, --help and --version, answered on standard
// output before any window system is touched, so they work without a display.

#include <string>
#include <vector>

// `args` are the arguments after the program's name; `whereThings` closes
// the help with the platform's own lines (where the settings and the log
// are). True when an option was answered: the program then ends.
bool AnsweredOnTheCommandLine(const std::vector<std::string>& args, const char* whereThings);

// The exit status after an answer: 0 when it reached standard output whole.
int AnswerExitStatus();

#pragma once

#include <string>

namespace commands {

// A command that is an NMEA 0183 sentence (it starts with "$" or "!") with
// its checksum put right: the exclusive-or of every byte after the first up
// to "*" or the end of the sentence, written as "*" and two upper-case hex
// digits at the end of the sentence. An existing "*" and what follows it
// give way to the new checksum; the line end the text ends in (CR, LF, in
// any number) stays after it. Text that is not a sentence comes back as it is.
std::string WithNmeaChecksum(const std::string& text);

} // namespace commands

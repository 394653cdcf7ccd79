#pragma once

#include <cstdint>
#include <string>

namespace porttest {

// The line settings of an open tty, read with TCGETS2 so that any rate reads
// back as its number. (Kept in a file of its own: <asm/termbits.h> cannot
// meet <termios.h>.)
struct LineFraming
{
    bool ok = false;
    std::uint32_t inputRate = 0;
    std::uint32_t outputRate = 0;
    bool twoStopBits = true;
    bool hardwareFlow = true;  // RTS/CTS
    bool softwareFlow = true;  // XON/XOFF, either way
    bool rawInput = false;     // no line editing, echo, signals, CR/NL mapping or output processing
};
LineFraming ReadLineFraming(int fd);

// Sets the tty at `path` the way no serial device here wants it: two stop
// bits, RTS/CTS and XON/XOFF, cooked input with echo, receiving at 50 baud
// and sending at 75.
bool SpoilLineFraming(const std::string& path);

} // namespace porttest

#pragma once

// Line speeds outside the fixed termios table (14400, 56000, 128000, ...),
// set through the kernel's termios2 interface. Kept apart from <termios.h>,
// whose struct termios clashes with the kernel's own.

namespace serialport {
namespace detail {

// Sets both directions of the line on `fd` to `rate` bits per second.
// Returns 0 or the errno value of the refusal.
int SetCustomBaudRate(int fd, unsigned int rate);

// Makes the line on `fd` receive at the speed it sends at. The input speed
// is a field of its own, which the termios table calls leave as they found
// it: a line left with a separate input speed (by an earlier custom rate, or
// by another program) would keep it under a new rate from the table.
// Returns 0 or the errno value of the refusal.
int MatchInputBaudRate(int fd);

// The output speed the line on `fd` runs at, in bits per second; 0 when it
// cannot be read.
unsigned int ReadOutputBaudRate(int fd);

} // namespace detail
} // namespace serialport

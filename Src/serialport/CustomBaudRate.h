#pragma once

#include "NativeHandle.h"

// The line speed below asio, one implementation per platform. On Linux
// (CustomBaudRate.cpp) speeds outside the fixed termios table (14400, 56000,
// 128000, ...) are set through the kernel's termios2 interface; the file is
// kept apart from <termios.h>, whose struct termios clashes with the
// kernel's own. On Windows (CustomBaudRate_win.cpp) the device control
// block takes any rate as it is, as asio's own baud_rate option does.

namespace serialport {
namespace detail {

// Sets both directions of the line on `port` to `rate` bits per second.
// Returns 0 or the system's error code for the refusal.
int SetCustomBaudRate(NativeHandle port, unsigned int rate);

// Makes the line on `port` receive at the speed it sends at. On Linux the
// input speed is a field of its own, which the termios table calls leave as
// they found it: a line left with a separate input speed (by an earlier
// custom rate, or by another program) would keep it under a new rate from
// the table. A Windows line has one speed. Returns 0 or the system's error
// code for the refusal.
int MatchInputBaudRate(NativeHandle port);

// The output speed the line on `port` runs at, in bits per second; 0 when it
// cannot be read.
unsigned int ReadOutputBaudRate(NativeHandle port);

} // namespace detail
} // namespace serialport

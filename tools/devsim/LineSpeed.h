#pragma once

namespace devsim {

// The speed, in bits per second, that the program on the slave side of a
// pseudo-terminal has set its line to receive at (its one speed for both
// directions when it set no input speed apart): the line settings belong to
// the tty, and its master reads the slave's. Any rate, custom ones (14400, 56000...)
// included; 0 when it cannot be read. Kept apart from <termios.h>, whose
// struct termios clashes with the kernel's own.
unsigned ReaderBaudRate(int masterFd);

} // namespace devsim

#pragma once

#include <system_error>
#include <vector>

namespace ui {

// Reads a regular file whole into `contents`. False, with `contents` empty,
// when the path is not a regular file (a FIFO or device would block or never
// end), cannot be read, is larger than a signed 32-bit count, or does not fit
// in memory; `error` then says why (the system's error, or
// serialport::FileError::NotRegularFile or TooLarge). A file that shrinks
// while it is read gives what was there.
bool ReadWholeFile(const char* path, std::vector<char>& contents, std::error_code& error);

} // namespace ui

#pragma once

namespace serialport {

// What the platform knows an open serial device by, as asio's serial_port
// hands it out (native_handle()): a file descriptor on Linux, a HANDLE
// opened for overlapped I/O on Windows. Spelled out here so that headers
// need not include asio (or <windows.h>) to name it.
#ifdef _WIN32
using NativeHandle = void*;
#else
using NativeHandle = int;
#endif

} // namespace serialport

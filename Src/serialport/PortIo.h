#pragma once

#include "NativeHandle.h"

#include <boost/system/error_code.hpp>

#include <chrono>
#include <cstddef>
#include <functional>

// Writing to an open port beside asio, whose reads keep their own
// bookkeeping in the asio object: one implementation per platform
// (PortIo.cpp for Linux, PortIo_win.cpp for Windows).

namespace serialport {
namespace detail {

// Writes all of `data`, blocking until the driver has taken every byte.
// False when the device fails.
bool WriteAll(NativeHandle port, const char* data, std::size_t size);

// Readies `port` for WriteSome, whose waits must be its own and never the
// driver's.
void PrepareBackgroundWrites(NativeHandle port);

// Writes up to `size` bytes, waiting for the driver to take them. While it
// waits it asks `keepWaiting` every `step`; once that says no, the rest of
// the write is given up. Returns the bytes the driver took (0 when none),
// or -1 when the device failed.
std::ptrdiff_t WriteSome(NativeHandle port, const char* data, std::size_t size,
                         std::chrono::milliseconds step, const std::function<bool()>& keepWaiting);

// Bytes the driver still holds for the line; 0 where it cannot tell (a
// pseudo-terminal hands its bytes on at once).
std::size_t QueuedForTheLine(NativeHandle port);

// Drops whatever the driver still holds for the line.
void DiscardQueued(NativeHandle port);

// Whether a read on `port` that failed with `error` (not cancelled by the
// port itself) means the device has gone: a USB adapter pulled, a
// pseudo-terminal whose far end hung up. Such a device fails every read
// from then on.
bool ReadFailureMeansGone(NativeHandle port, const boost::system::error_code& error);

} // namespace detail
} // namespace serialport

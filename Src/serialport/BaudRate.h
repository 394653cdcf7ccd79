#pragma once

#include "NativeHandle.h"

#include <boost/asio/serial_port.hpp>
#include <boost/cstdint.hpp>

namespace serialport {

// Sets the line speed of an open port. Every rate a device accepts can be
// used: on Linux, rates the termios table has no constant for are set as a
// custom speed; on Windows the device control block takes any rate. A refused rate (0 included: it would hang the line up) raises
// boost::system::system_error with the context "set_option".
void SetBaudRate(boost::asio::serial_port& port, boost::uint32_t rate);

// The output speed the line on `port` runs at, in bits per second; 0 when
// it cannot be read.
boost::uint32_t CurrentBaudRate(NativeHandle port);

} // namespace serialport

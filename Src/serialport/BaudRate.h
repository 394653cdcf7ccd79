#pragma once

#include <boost/asio/serial_port.hpp>
#include <boost/cstdint.hpp>

namespace serialport {

// Sets the line speed of an open port. Rates the termios table has no
// constant for are set as a custom speed, so every rate a device accepts can
// be used. A refused rate (0 included: it would hang the line up) raises
// boost::system::system_error with the context "set_option".
void SetBaudRate(boost::asio::serial_port& port, boost::uint32_t rate);

// The output speed the line on `fd` runs at, in bits per second; 0 when it
// cannot be read.
boost::uint32_t CurrentBaudRate(int fd);

} // namespace serialport

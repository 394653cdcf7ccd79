#include "BaudRate.h"

#include "CustomBaudRate.h"

#include <boost/asio/error.hpp>
#include <boost/system/system_error.hpp>

namespace serialport {

void SetBaudRate(boost::asio::serial_port& port, boost::uint32_t rate)
{
    boost::system::error_code error;
    if (rate == 0) {
        error = boost::asio::error::invalid_argument;
    } else {
        port.set_option(boost::asio::serial_port_base::baud_rate(rate), error);
        // Asio knows only the rates of the termios table and refuses the rest
        // with invalid_argument before touching the line.
        if (error == boost::asio::error::invalid_argument)
            error.assign(detail::SetCustomBaudRate(port.native_handle(), rate), boost::system::system_category());
        else if (!error)
            error.assign(detail::MatchInputBaudRate(port.native_handle()), boost::system::system_category());
    }
    if (error)
        throw boost::system::system_error(error, "set_option");
}

boost::uint32_t CurrentBaudRate(int fd)
{
    return detail::ReadOutputBaudRate(fd);
}

} // namespace serialport

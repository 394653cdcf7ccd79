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
        // On Linux asio knows only the rates of the termios table and refuses
        // the rest with invalid_argument before touching the line. (On
        // Windows it sets any rate in the device control block.)
        if (error == boost::asio::error::invalid_argument)
            error.assign(detail::SetCustomBaudRate(port.native_handle(), rate), boost::system::system_category());
        else if (!error)
            error.assign(detail::MatchInputBaudRate(port.native_handle()), boost::system::system_category());
    }
    if (error)
        throw boost::system::system_error(error, "set_option");
}

boost::uint32_t CurrentBaudRate(NativeHandle port)
{
    return detail::ReadOutputBaudRate(port);
}

} // namespace serialport

#pragma once

#include <boost/system/error_code.hpp>

#include <type_traits>

// The errors this program names itself, beside the operating system's: they
// travel in boost::system::error_code, as asio's do, so that one value says
// why an open failed, a link was lost or a file could not be read.

namespace serialport {

enum class PortError
{
    HeldByAnotherProgram = 1,  // another port, process or tool holds the device
    DeviceGone,                // the device went away while the port was open
    AlreadyOpen,               // the port object already holds a device
};

enum class FileError
{
    NotRegularFile = 1,  // a folder, a device, a FIFO: nothing to read whole
    TooLarge,            // larger than a send can count, or than memory holds
};

const boost::system::error_category& PortErrorCategory();
const boost::system::error_category& FileErrorCategory();

inline boost::system::error_code make_error_code(PortError e)
{
    return boost::system::error_code(static_cast<int>(e), PortErrorCategory());
}

inline boost::system::error_code make_error_code(FileError e)
{
    return boost::system::error_code(static_cast<int>(e), FileErrorCategory());
}

} // namespace serialport

namespace boost::system {
template <>
struct is_error_code_enum<serialport::PortError> : std::true_type
{
};
template <>
struct is_error_code_enum<serialport::FileError> : std::true_type
{
};
} // namespace boost::system

#include "ErrorTextPlatform.h"

#include <cstring>

namespace serialport::detail {

// errno says it all on Linux: the shared rules know its values.
Reason PlatformPortReason(const boost::system::error_code&)
{
    return Reason::None;
}

Reason PlatformFileReason(const boost::system::error_code&)
{
    return Reason::None;
}

// In the language and character set of the locale the program set (Qt sets
// the environment's); glibc's strerror_r may answer from its own buffer.
std::string SystemMessage(const boost::system::error_code& error)
{
    char buffer[256] = {};
    return ::strerror_r(error.value(), buffer, sizeof buffer);
}

} // namespace serialport::detail

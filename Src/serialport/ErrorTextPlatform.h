#pragma once

// The parts of ErrorText.cpp that differ by platform: ErrorText_linux.cpp,
// ErrorText_win.cpp.

#include <boost/system/error_code.hpp>

#include <string>

namespace serialport::detail {

enum class Reason
{
    None,                  // nothing of the platform's own: the shared rules decide
    NoSuchDevice,
    HeldByAnotherProgram,
    Gone,
    InUse,
};

// What a system error means for a port on this platform beyond the shared
// rules (Windows: the codes of a COM port refused or pulled).
Reason PlatformPortReason(const boost::system::error_code& error);
// The same for a file.
Reason PlatformFileReason(const boost::system::error_code& error);

// The system's message for an error of the system or generic category,
// UTF-8 where the system's locale allows.
std::string SystemMessage(const boost::system::error_code& error);

bool IsUtf8(const std::string& text);

} // namespace serialport::detail

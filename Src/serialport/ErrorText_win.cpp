#include "ErrorTextPlatform.h"

#include <windows.h>

namespace serialport::detail {

// ERROR_NO_SUCH_DEVICE, which mingw's headers lack.
constexpr DWORD kNoSuchDevice = 433;

namespace {

bool IsSystem(const boost::system::error_code& error)
{
    return error.category() == boost::system::system_category();
}

} // namespace

// Windows opens a COM port once: a second open is refused with
// ERROR_ACCESS_DENIED (or ERROR_SHARING_VIOLATION through some drivers),
// which for a port means that another program holds it, not a missing right.
Reason PlatformPortReason(const boost::system::error_code& error)
{
    if (!IsSystem(error))
        return Reason::None;
    switch (error.value()) {
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
        return Reason::HeldByAnotherProgram;
    case ERROR_BAD_UNIT:
    case ERROR_DEV_NOT_EXIST:
    case kNoSuchDevice:
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_DEVICE_REMOVED:
        return Reason::NoSuchDevice;
    default:
        return Reason::None;
    }
}

Reason PlatformFileReason(const boost::system::error_code& error)
{
    if (IsSystem(error) && (error.value() == ERROR_SHARING_VIOLATION || error.value() == ERROR_LOCK_VIOLATION))
        return Reason::InUse;
    return Reason::None;
}

// FormatMessageW in the user's language, converted to UTF-8 whole. Errno
// values (the generic category) have no Windows message: the C library's.
std::string SystemMessage(const boost::system::error_code& error)
{
    if (!IsSystem(error))
        return error.message();
    wchar_t* message = nullptr;
    const DWORD chars = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                             FORMAT_MESSAGE_IGNORE_INSERTS,
                                         nullptr, static_cast<DWORD>(error.value()), 0,
                                         reinterpret_cast<wchar_t*>(&message), 0, nullptr);
    std::string text;
    if (chars > 0) {
        const int bytes = ::WideCharToMultiByte(CP_UTF8, 0, message, static_cast<int>(chars), nullptr, 0, nullptr, nullptr);
        text.resize(bytes > 0 ? static_cast<std::size_t>(bytes) : 0);
        if (bytes > 0)
            ::WideCharToMultiByte(CP_UTF8, 0, message, static_cast<int>(chars), text.data(), bytes, nullptr, nullptr);
    }
    if (message)
        ::LocalFree(message);
    return text;
}

} // namespace serialport::detail

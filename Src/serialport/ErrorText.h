#pragma once

#include <boost/system/error_code.hpp>

#include <string>
#include <system_error>

// Why something failed, in the operator's words: the Russian reasons the
// window puts after "Не удалось открыть: ", "Файл не читается: " and the
// like, made from the operating system's own error where there is one.
//
// Every text is UTF-8 (as the window's Russian literals are, and as
// FormatMessageW's UTF-16 converts without loss); the window turns it into
// its Windows-1251 or UTF-16 text where it shows it. The texts of this
// program are fixed; for any other error the system's own message is given,
// in the system's language (strerror_r in the locale the program set on
// Linux, FormatMessageW in the user's language on Windows).
//
// Any thread may call these.

namespace serialport {

// Why a port could not be opened, or why its open link was lost:
//   "нет такого устройства"         the name leads to no device (any more)
//   "нет доступа"                   no right to the device (Linux: not in
//                                   the group "dialout")
//   "Порт занят другой программой"  PortError::HeldByAnotherProgram, EBUSY;
//                                   on Windows ERROR_ACCESS_DENIED and
//                                   ERROR_SHARING_VIOLATION, which is how
//                                   Windows refuses a second open of a COM
//                                   port (a sentence of its own: the window
//                                   shows it alone)
//   "устройство отключено"          PortError::DeviceGone, and a read that
//                                   met the end of the device
//   "не последовательный порт"      a file or folder, not a serial device
//   "порт уже открыт"               PortError::AlreadyOpen
//   otherwise the system's message.
std::string PortErrorText(const boost::system::error_code& error);

// Why a file chosen to send cannot be read:
//   "нет такого файла", "нет доступа", "не обычный файл" (a folder, a device,
//   a FIFO: FileError::NotRegularFile, EISDIR), "файл слишком велик"
//   (FileError::TooLarge, EFBIG, EOVERFLOW, ENOMEM), and on Windows "файл
//   занят другой программой" (ERROR_SHARING_VIOLATION, ERROR_LOCK_VIOLATION);
//   otherwise the system's message.
std::string FileErrorText(const boost::system::error_code& error);
// The same for an error in the standard library's codes: errno values
// (std::generic_category), the system's (std::system_category), and the
// codes of this program converted from boost::system::error_code.
std::string FileErrorText(const std::error_code& error);

// The system's own message for `error`, without a trailing period or line
// end; "системная ошибка <n>" when the system has none that reads as UTF-8.
// Errors of other categories give their category's message.
std::string SystemErrorText(const boost::system::error_code& error);

} // namespace serialport

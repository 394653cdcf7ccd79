#include "ErrorText.h"

#include "ErrorTextPlatform.h"
#include "PortError.h"

#include <boost/asio/error.hpp>

#include <initializer_list>

namespace serialport {

namespace {

using boost::system::errc::errc_t;

// Compared as conditions, so that a Windows error matches the errno it
// stands for (ERROR_FILE_NOT_FOUND is no_such_file_or_directory).
bool IsAnyOf(const boost::system::error_code& error, std::initializer_list<errc_t> conditions)
{
    for (const errc_t condition : conditions) {
        if (error == boost::system::errc::make_error_condition(condition))
            return true;
    }
    return false;
}

const char kNoSuchDevice[] = "нет такого устройства";
const char kNoAccess[] = "нет доступа";
const char kHeldByAnotherProgram[] = "Порт занят другой программой";
const char kDeviceGone[] = "устройство отключено";
const char kNotASerialPort[] = "не последовательный порт";
const char kAlreadyOpen[] = "порт уже открыт";

const char kNoSuchFile[] = "нет такого файла";
const char kNotRegularFile[] = "не обычный файл";
const char kTooLarge[] = "файл слишком велик";
const char kFileInUse[] = "файл занят другой программой";

const char* PortText(PortError error)
{
    switch (error) {
    case PortError::HeldByAnotherProgram:
        return kHeldByAnotherProgram;
    case PortError::DeviceGone:
        return kDeviceGone;
    case PortError::AlreadyOpen:
        return kAlreadyOpen;
    }
    return nullptr;
}

const char* FileText(FileError error)
{
    switch (error) {
    case FileError::NotRegularFile:
        return kNotRegularFile;
    case FileError::TooLarge:
        return kTooLarge;
    }
    return nullptr;
}

const char* PortReason(const boost::system::error_code& error)
{
    using namespace boost::system::errc;
    if (error.category() == PortErrorCategory())
        return PortText(static_cast<PortError>(error.value()));
    if (error == boost::asio::error::eof)
        return kDeviceGone;
    switch (detail::PlatformPortReason(error)) {
    case detail::Reason::NoSuchDevice:
        return kNoSuchDevice;
    case detail::Reason::HeldByAnotherProgram:
        return kHeldByAnotherProgram;
    case detail::Reason::Gone:
        return kDeviceGone;
    default:
        break;
    }
    if (IsAnyOf(error, {device_or_resource_busy}))
        return kHeldByAnotherProgram;
    if (IsAnyOf(error, {no_such_file_or_directory, no_such_device, no_such_device_or_address, not_a_directory}))
        return kNoSuchDevice;
    if (IsAnyOf(error, {permission_denied, operation_not_permitted}))
        return kNoAccess;
    if (IsAnyOf(error, {inappropriate_io_control_operation, is_a_directory}))
        return kNotASerialPort;
    return nullptr;
}

const char* FileReason(const boost::system::error_code& error)
{
    using namespace boost::system::errc;
    if (error.category() == FileErrorCategory())
        return FileText(static_cast<FileError>(error.value()));
    if (detail::PlatformFileReason(error) == detail::Reason::InUse)
        return kFileInUse;
    if (IsAnyOf(error, {no_such_file_or_directory, not_a_directory, no_such_device, no_such_device_or_address}))
        return kNoSuchFile;
    if (IsAnyOf(error, {permission_denied, operation_not_permitted}))
        return kNoAccess;
    if (IsAnyOf(error, {is_a_directory}))
        return kNotRegularFile;
    if (IsAnyOf(error, {file_too_large, value_too_large, not_enough_memory}))
        return kTooLarge;
    return nullptr;
}

} // namespace

std::string PortErrorText(const boost::system::error_code& error)
{
    const char* reason = PortReason(error);
    return reason ? reason : SystemErrorText(error);
}

std::string FileErrorText(const boost::system::error_code& error)
{
    const char* reason = FileReason(error);
    return reason ? reason : SystemErrorText(error);
}

std::string FileErrorText(const std::error_code& error)
{
    for (const boost::system::error_category* category :
         {&boost::system::system_category(), &boost::system::generic_category(), &FileErrorCategory(),
          &PortErrorCategory()}) {
        if (error.category() == static_cast<const std::error_category&>(*category))
            return FileErrorText(boost::system::error_code(error.value(), *category));
    }
    if (error.category() == std::generic_category())
        return FileErrorText(boost::system::error_code(error.value(), boost::system::generic_category()));
    if (error.category() == std::system_category())
        return FileErrorText(boost::system::error_code(error.value(), boost::system::system_category()));
    return error.message();
}

std::string SystemErrorText(const boost::system::error_code& error)
{
    if (error.category() != boost::system::system_category() && error.category() != boost::system::generic_category())
        return error.message();
    std::string text = detail::SystemMessage(error);
    while (!text.empty() && (text.back() == '.' || text.back() == ' ' || text.back() == '\r' || text.back() == '\n'))
        text.pop_back();
    if (text.empty() || !detail::IsUtf8(text))
        return "системная ошибка " + std::to_string(error.value());
    return text;
}

namespace detail {

bool IsUtf8(const std::string& text)
{
    std::size_t follow = 0;  // continuation bytes still expected
    unsigned int lowest = 0; // the least second byte that is no overlong form
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (follow > 0) {
            if ((byte & 0xC0) != 0x80 || byte < lowest)
                return false;
            lowest = 0x80;
            --follow;
        } else if (byte < 0x80) {
            continue;
        } else if (byte >= 0xC2 && byte <= 0xDF) {
            follow = 1, lowest = 0x80;
        } else if (byte >= 0xE0 && byte <= 0xEF) {
            follow = 2, lowest = byte == 0xE0 ? 0xA0 : 0x80;
        } else if (byte >= 0xF0 && byte <= 0xF4) {
            follow = 3, lowest = byte == 0xF0 ? 0x90 : 0x80;
        } else {
            return false;
        }
    }
    return follow == 0;
}

} // namespace detail

} // namespace serialport

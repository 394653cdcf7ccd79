#include "PortError.h"

#include <string>

namespace serialport {

namespace {

// The categories' own messages are for logs and debuggers; what the operator
// reads comes from ErrorText.h.
class CPortErrorCategory final : public boost::system::error_category
{
public:
    const char* name() const noexcept override { return "orvel.port"; }
    std::string message(int value) const override
    {
        switch (static_cast<PortError>(value)) {
        case PortError::HeldByAnotherProgram:
            return "the port is held by another program";
        case PortError::DeviceGone:
            return "the device went away";
        case PortError::AlreadyOpen:
            return "a port is already open";
        }
        return "port error " + std::to_string(value);
    }
};

class CFileErrorCategory final : public boost::system::error_category
{
public:
    const char* name() const noexcept override { return "orvel.file"; }
    std::string message(int value) const override
    {
        switch (static_cast<FileError>(value)) {
        case FileError::NotRegularFile:
            return "not a regular file";
        case FileError::TooLarge:
            return "the file is too large";
        }
        return "file error " + std::to_string(value);
    }
};

} // namespace

const boost::system::error_category& PortErrorCategory()
{
    static const CPortErrorCategory category;
    return category;
}

const boost::system::error_category& FileErrorCategory()
{
    static const CFileErrorCategory category;
    return category;
}

} // namespace serialport

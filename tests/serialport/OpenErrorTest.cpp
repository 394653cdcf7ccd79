// Why an open failed, and why a file cannot be read: the port's LastError()
// after real failures, and the reasons the window shows for them.

#include "ErrorText.h"
#include "PortTestSupport.h"
#include "Unprivileged.h"

#include <gtest/gtest.h>

#include <boost/asio/error.hpp>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sys/stat.h>

using serialport::CSerialPort;
using serialport::FileError;
using serialport::PortError;
using serialport::PortErrorText;
using serialport::FileErrorText;
using boost::system::errc::make_error_code;
namespace errc = boost::system::errc;

namespace {

boost::system::error_code SystemError(int value)
{
    return boost::system::error_code(value, boost::system::system_category());
}

std::string Strerror(int value)
{
    char buffer[256];
    return ::strerror_r(value, buffer, sizeof buffer);
}

// The reason a real open of `path` gives.
std::string OpenFailureText(const std::string& path)
{
    boost::asio::io_service ioService;
    CSerialPort port(ioService, CSerialPort::ReceiveCallback());
    EXPECT_FALSE(port.Open(path.c_str(), 9600)) << path;
    return PortErrorText(port.LastError());
}

// The reason reading `path` fails with, as the window's file reading meets it.
std::string ReadFailureText(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return FileErrorText(SystemError(errno));
    struct stat info {};
    const bool regular = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    ::close(fd);
    return regular ? "readable" : FileErrorText(FileError::NotRegularFile);
}

} // namespace

// The texts are fixed where this program knows the cause, and the system's
// own message otherwise; Windows' codes are compared as the errno they stand
// for, which the shared rules see here as errno values. (The causes that
// real failures meet are checked there: below, in LostDeviceTest.cpp and in
// PortLockTest.cpp.)
TEST(ErrorText, ReasonsForPortsAndFiles)
{
    const struct
    {
        boost::system::error_code error;
        std::string port, file;
    } kCases[] = {
        {SystemError(ENODEV), "нет такого устройства", "нет такого файла"},
        {SystemError(ENXIO), "нет такого устройства", "нет такого файла"},
        {SystemError(ENOTDIR), "нет такого устройства", "нет такого файла"},
        {SystemError(EPERM), "нет доступа", "нет доступа"},
        {SystemError(EBUSY), "Порт занят другой программой", Strerror(EBUSY)},
        {SystemError(ENOTTY), "не последовательный порт", Strerror(ENOTTY)},
        {SystemError(EISDIR), "не последовательный порт", "не обычный файл"},
        {SystemError(EFBIG), Strerror(EFBIG), "файл слишком велик"},
        {SystemError(ENOMEM), Strerror(ENOMEM), "файл слишком велик"},
        {make_error_code(errc::no_such_file_or_directory), "нет такого устройства", "нет такого файла"},
        {PortError::AlreadyOpen, "порт уже открыт", "a port is already open"},
        {FileError::TooLarge, "the file is too large", "файл слишком велик"},
        {boost::asio::error::eof, "устройство отключено", "End of file"},
        {SystemError(EIO), Strerror(EIO), Strerror(EIO)},
        {SystemError(EDOM), Strerror(EDOM), Strerror(EDOM)},
    };
    for (const auto& c : kCases) {
        EXPECT_EQ(PortErrorText(c.error), c.port) << c.error.message();
        EXPECT_EQ(FileErrorText(c.error), c.file) << c.error.message();
    }
    EXPECT_EQ(FileErrorText(std::make_error_code(std::errc::permission_denied)), "нет доступа");
    EXPECT_EQ(FileErrorText(std::error_code(ENOENT, std::system_category())), "нет такого файла");
    EXPECT_EQ(FileErrorText(std::error_code(make_error_code(FileError::TooLarge))), "файл слишком велик");
    EXPECT_EQ(serialport::SystemErrorText(SystemError(100000)), Strerror(100000));
    EXPECT_EQ(serialport::OpenFailure(SystemError(EBUSY)), PortError::HeldByAnotherProgram);
    EXPECT_EQ(serialport::OpenFailure(SystemError(EACCES)), SystemError(EACCES));
}

// Real opens and reads that fail, each for its own reason: a name that leads
// nowhere, a file or folder, and a device or file the bits deny ("нет
// доступа", with errno's own reason).
TEST(OpenError, PortsAndFilesThatCannotBeOpenedSayWhy)
{
    testsupport::PtyPair pty;
    testsupport::TempDir dir;
    std::ofstream(dir.File("file")) << "not a port";
    EXPECT_EQ(OpenFailureText(dir.File("missing")), "нет такого устройства");
    EXPECT_EQ(OpenFailureText(dir.File("file")), "не последовательный порт");
    EXPECT_EQ(OpenFailureText(dir.Path()), "не последовательный порт");

    const std::string file = dir.File("secret.txt");
    std::ofstream(file) << "$GPGGA";
    ASSERT_EQ(0, ::chmod(pty.SlavePath().c_str(), 0));
    ASSERT_EQ(0, ::chmod(file.c_str(), 0));
    ASSERT_EQ(0, ::chmod(dir.Path().c_str(), 0755));
    testsupport::AsUnprivileged([&] {
        EXPECT_EQ(OpenFailureText(pty.SlavePath()), "нет доступа");
        EXPECT_EQ(ReadFailureText(file), "нет доступа");
    });
    EXPECT_EQ(ReadFailureText(dir.File("gone.txt")), "нет такого файла");
    EXPECT_EQ(ReadFailureText(dir.Path()), "не обычный файл");
    EXPECT_EQ(ReadFailureText(pty.SlavePath()), ::geteuid() == 0 ? "не обычный файл" : "нет доступа");
}

// Why an open failed, and why a file cannot be read: the port's LastError()
// after real failures, and the reasons the window shows for them.

#include "ChildProcess.h"
#include "ErrorText.h"
#include "PortTestSupport.h"

#include <gtest/gtest.h>

#include <boost/asio/error.hpp>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <grp.h>
#include <functional>
#include <sys/file.h>
#include <sys/stat.h>

using porttest::Line;
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

[[noreturn]] void RunAsNobody(const std::function<void()>& check)
{
    if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)
        std::exit(2);
    check();
    std::exit(::testing::Test::HasFailure() ? 1 : 0);
}

// Runs `check` where permission bits count: here when this process is not
// root, else in a copy of this test that has become "nobody" (root opens
// whatever the bits say).
void AsUnprivileged(const std::function<void()>& check)
{
    if (::geteuid() != 0) {
        check();
        return;
    }
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(RunAsNobody(check), ::testing::ExitedWithCode(0), "");
}

} // namespace

// The texts are fixed where this program knows the cause, and the system's
// own message otherwise; Windows' codes are compared as the errno they stand
// for, which the shared rules see here as errno values.
TEST(ErrorText, ReasonsForPortsAndFiles)
{
    const struct
    {
        boost::system::error_code error;
        std::string port, file;
    } kCases[] = {
        {SystemError(ENOENT), "нет такого устройства", "нет такого файла"},
        {SystemError(ENODEV), "нет такого устройства", "нет такого файла"},
        {SystemError(ENXIO), "нет такого устройства", "нет такого файла"},
        {SystemError(ENOTDIR), "нет такого устройства", "нет такого файла"},
        {SystemError(EACCES), "нет доступа", "нет доступа"},
        {SystemError(EPERM), "нет доступа", "нет доступа"},
        {SystemError(EBUSY), "Порт занят другой программой", Strerror(EBUSY)},
        {SystemError(ENOTTY), "не последовательный порт", Strerror(ENOTTY)},
        {SystemError(EISDIR), "не последовательный порт", "не обычный файл"},
        {SystemError(EFBIG), Strerror(EFBIG), "файл слишком велик"},
        {SystemError(ENOMEM), Strerror(ENOMEM), "файл слишком велик"},
        {make_error_code(errc::no_such_file_or_directory), "нет такого устройства", "нет такого файла"},
        {PortError::HeldByAnotherProgram, "Порт занят другой программой", "the port is held by another program"},
        {PortError::DeviceGone, "устройство отключено", "the device went away"},
        {PortError::AlreadyOpen, "порт уже открыт", "a port is already open"},
        {FileError::NotRegularFile, "not a regular file", "не обычный файл"},
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

// Real opens that fail, each for its own reason; a successful open clears
// the reason, and a second open of a held port says so.
TEST(OpenError, EachFailedOpenSaysWhy)
{
    testsupport::TempDir dir;
    std::ofstream(dir.File("file")) << "not a port";
    EXPECT_EQ(OpenFailureText(dir.File("missing")), "нет такого устройства");
    EXPECT_EQ(OpenFailureText(dir.File("file")), "не последовательный порт");
    EXPECT_EQ(OpenFailureText(dir.Path()), "не последовательный порт");

    boost::asio::io_service ioService;
    Line line(ioService);
    EXPECT_FALSE(line.port.LastError()) << "nothing failed yet";
    EXPECT_FALSE(line.port.Open(dir.File("missing").c_str(), 9600));
    EXPECT_EQ(line.port.LastError(), errc::no_such_file_or_directory);
    EXPECT_THROW(line.Open(0), boost::system::system_error);
    EXPECT_EQ(line.port.LastError(), errc::invalid_argument) << "the refused rate";
    line.port.Close();
    ASSERT_TRUE(line.Open());
    EXPECT_FALSE(line.port.LastError()) << "a successful open clears the reason";
    EXPECT_FALSE(line.Open());
    EXPECT_EQ(PortErrorText(line.port.LastError()), "порт уже открыт");
}

// The lock's refusal is a reason of its own, whoever holds the device: a
// port of this process, another process, or a tool holding it with flock().
TEST(OpenError, HeldPortSaysItIsTakenByAnotherProgram)
{
    boost::asio::io_service ioService;
    Line holder(ioService);
    const std::string device = holder.pty.SlavePath();
    ASSERT_TRUE(holder.Open());
    EXPECT_EQ(OpenFailureText(device), "Порт занят другой программой");
    {
        devsimtest::CChild probe({ORVEL_OPEN_PROBE, device}, true);
        EXPECT_EQ(probe.WaitFor(""), "refused: Порт занят другой программой");
    }
    holder.port.Close();

    devsimtest::CChild other({ORVEL_OPEN_PROBE, device, "hold"}, true);
    ASSERT_EQ(other.WaitFor(""), "held");
    EXPECT_FALSE(holder.Open());
    EXPECT_EQ(holder.port.LastError(), PortError::HeldByAnotherProgram);
    other.Close();  // its standard input ends: it lets go
    EXPECT_EQ(other.Wait(), 0);
    EXPECT_TRUE(holder.Open());
    holder.port.Close();

    const int flocked = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_EQ(0, ::flock(flocked, LOCK_EX | LOCK_NB));
    EXPECT_EQ(OpenFailureText(device), "Порт занят другой программой");
    ::close(flocked);
}

// A device or file the bits deny: "нет доступа", with errno's own reason.
TEST(OpenError, DeviceAndFileWithoutPermissionSayNoAccess)
{
    testsupport::PtyPair pty;
    testsupport::TempDir dir;
    const std::string file = dir.File("secret.txt");
    std::ofstream(file) << "$GPGGA";
    ASSERT_EQ(0, ::chmod(pty.SlavePath().c_str(), 0));
    ASSERT_EQ(0, ::chmod(file.c_str(), 0));
    ASSERT_EQ(0, ::chmod(dir.Path().c_str(), 0755));
    AsUnprivileged([&] {
        EXPECT_EQ(OpenFailureText(pty.SlavePath()), "нет доступа");
        EXPECT_EQ(ReadFailureText(file), "нет доступа");
    });
    EXPECT_EQ(ReadFailureText(dir.File("gone.txt")), "нет такого файла");
    EXPECT_EQ(ReadFailureText(dir.Path()), "не обычный файл");
    EXPECT_EQ(ReadFailureText(pty.SlavePath()), ::geteuid() == 0 ? "не обычный файл" : "нет доступа");
}

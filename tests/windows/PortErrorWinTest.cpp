// Why a port or a file failed, on Windows: the reasons made of Windows'
// own errors, and a COM port whose device goes away (COM9 of
// scripts/wine-ports, whose cable a file pulls).

#include "ErrorText.h"
#include "SerialPort.h"
#include "TempDir.h"
#include "WinePort.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using serialport::FileErrorText;
using serialport::PortError;
using serialport::PortErrorText;
using testsupport::WaitUntil;

namespace {

boost::system::error_code Win32(DWORD code)
{
    return boost::system::error_code(static_cast<int>(code), boost::system::system_category());
}

// The error Windows gives for opening `path` with `share`, while `held`
// (if any) is open.
boost::system::error_code OpenFileError(const std::string& path, DWORD share = FILE_SHARE_READ)
{
    const HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return Win32(::GetLastError());
    ::CloseHandle(file);
    return {};
}

} // namespace

// Windows refuses a second open of a COM port with ERROR_ACCESS_DENIED (or,
// through some drivers, ERROR_SHARING_VIOLATION): for a port that is the
// port held elsewhere, for a file a missing right or a file in use. (Wine
// does not refuse a second open, so the codes are given here.)
TEST(PortErrorWin, ReasonsFromWindowsErrors)
{
    const struct
    {
        DWORD code;
        const char *port, *file;
    } kCases[] = {
        {ERROR_FILE_NOT_FOUND, "нет такого устройства", "нет такого файла"},
        {ERROR_PATH_NOT_FOUND, "нет такого устройства", "нет такого файла"},
        {ERROR_ACCESS_DENIED, "Порт занят другой программой", "нет доступа"},
        {ERROR_SHARING_VIOLATION, "Порт занят другой программой", "файл занят другой программой"},
        {ERROR_LOCK_VIOLATION, nullptr, "файл занят другой программой"},
        {ERROR_DEVICE_NOT_CONNECTED, "нет такого устройства", nullptr},
        {ERROR_DEV_NOT_EXIST, "нет такого устройства", "нет такого файла"},
    };
    for (const auto& c : kCases) {
        if (c.port) {
            EXPECT_EQ(PortErrorText(Win32(c.code)), c.port) << c.code;
        }
        if (c.file) {
            EXPECT_EQ(FileErrorText(Win32(c.code)), c.file) << c.code;
        }
    }
    EXPECT_EQ(serialport::OpenFailure(Win32(ERROR_ACCESS_DENIED)), PortError::HeldByAnotherProgram);
    EXPECT_EQ(serialport::OpenFailure(Win32(ERROR_SHARING_VIOLATION)), PortError::HeldByAnotherProgram);
    EXPECT_EQ(serialport::OpenFailure(Win32(ERROR_FILE_NOT_FOUND)), Win32(ERROR_FILE_NOT_FOUND));

    // Any other error: FormatMessageW's text, whole, in UTF-8, without its
    // period and line end.
    const std::string text = serialport::SystemErrorText(Win32(ERROR_INVALID_FUNCTION));
    ASSERT_FALSE(text.empty());
    EXPECT_NE(text.back(), '.');
    EXPECT_NE(text.back(), '\n');
    EXPECT_EQ(PortErrorText(Win32(ERROR_INVALID_FUNCTION)), text);
    wchar_t wide[512] = {};
    ASSERT_GT(::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                               ERROR_INVALID_FUNCTION, 0, wide, 512, nullptr),
              0u);
    char utf8[1024] = {};
    ::WideCharToMultiByte(CP_UTF8, 0, wide, -1, utf8, sizeof utf8, nullptr, nullptr);
    EXPECT_EQ(std::string(utf8).rfind(text, 0), 0u) << utf8;
}

// Real failures: a COM port that is not there, a file that is not there, a
// file another open holds without sharing.
TEST(PortErrorWin, RealFailuresSayWhy)
{
    boost::asio::io_service io;
    serialport::CSerialPort port(io, serialport::CSerialPort::ReceiveCallback());
    EXPECT_FALSE(port.Open("COM29", 9600));
    EXPECT_EQ(PortErrorText(port.LastError()), "нет такого устройства") << port.LastError().message();

    char folder[MAX_PATH] = {};
    ASSERT_GT(::GetTempPathA(MAX_PATH, folder), 0u);
    const std::string missing = std::string(folder) + "orvel-no-such-file.txt";
    EXPECT_EQ(FileErrorText(OpenFileError(missing)), "нет такого файла");
    const std::string held = std::string(folder) + "orvel-held-file.txt";
    const HANDLE holder = ::CreateFileA(held.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                        FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    EXPECT_EQ(FileErrorText(OpenFileError(held)), "файл занят другой программой");
    ::CloseHandle(holder);
}

// COM9's far end goes away: the port reports the failed read and the loss
// once, holds nothing any more and says why.
TEST(PortErrorWin, PulledComPortIsReportedLostOnce)
{
    // COM9 and the file that pulls its cable.
    const auto [name, trigger] = testsupport::WinePort("ORVEL_WINE_PULL");
    ASSERT_FALSE(name.empty()) << "run under scripts/wine-ports";
    std::mutex mutex;
    std::vector<std::string> events;
    std::size_t received = 0;
    boost::asio::io_service io;
    serialport::CSerialPort port(
        io,
        [&](const char*, boost::uint32_t count) {
            const std::lock_guard<std::mutex> lock(mutex);
            events.push_back("rx " + std::to_string(count));
            received += count;
        },
        [&](const boost::system::error_code& error) {
            const std::lock_guard<std::mutex> lock(mutex);
            events.push_back("lost " + error.message());
        });
    ASSERT_TRUE(port.Open(name.c_str(), 9600)) << port.LastError().message();
    ASSERT_EQ(port.Write("echo", 4), 4);
    ASSERT_TRUE(WaitUntil([&] {
        const std::lock_guard<std::mutex> lock(mutex);
        return received == 4;
    })) << "COM9 echoes";
    {
        const std::lock_guard<std::mutex> lock(mutex);
        events.clear();
    }
    const HANDLE pull = ::CreateFileA(trigger.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(pull, INVALID_HANDLE_VALUE) << trigger;
    ::CloseHandle(pull);
    ASSERT_TRUE(WaitUntil([&] { return port.IsLost(); })) << "still open after the pull";
    ASSERT_TRUE(WaitUntil([&] {
        const std::lock_guard<std::mutex> lock(mutex);
        return events.size() >= 2;
    }));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    {
        const std::lock_guard<std::mutex> lock(mutex);
        ASSERT_EQ(events.size(), 2u);
        EXPECT_EQ(events[0], "rx 0");
        EXPECT_EQ(events[1].rfind("lost ", 0), 0u);
        std::printf("COM9 pulled: %s\n", events[1].c_str());
    }
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(port.LastError(), PortError::DeviceGone);
    EXPECT_EQ(port.Write("x", 1), -1);
    port.Close();
    EXPECT_FALSE(port.IsLost());
}

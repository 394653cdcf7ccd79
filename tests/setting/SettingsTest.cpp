// Parameters and the device settings on a real store, and the store file
// behind HKEY_CURRENT_USER: where it lives, that a save is on disk when it
// returns, that a damaged file is kept aside and never stops the program,
// and that two running copies can share it.

#include "DeviceSettings.h"
#include "RecordSetting.h"
#include "RetentionSetting.h"
#include "StoreTest.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sys/wait.h>
#include <tuple>
#include <unistd.h>

using namespace registry;
using setting::CStrSettingParam;
using settingtest::Put;
using settingtest::Stored;
namespace fs = std::filesystem;

namespace {

const std::string kDevices[] = {"SOFTWARE\\Lunder\\Orvel4\\SnsPort", "SOFTWARE\\Lunder\\Orvel4\\KksPort",
                                "SOFTWARE\\Lunder\\Orvel4\\SonPort"};

// Port name, baud rate and "Enabled" of one device, as loaded.
using Device = std::tuple<std::string, DWORD, DWORD>;
using Devices = std::vector<Device>;
const Devices kDefaults = {{"COM3", 115200, 1}, {"COM4", 4800, 1}, {"COM1", 115200, 1}};

// The three devices as the program starts them.
Devices StartDevices()
{
    const auto loaded = [](const setting::CSerialPortDeviceSetting& d) {
        return Device{d.m_portName.m_value, d.m_baudRate.m_dwValue, d.m_enabled.m_dwValue};
    };
    return {loaded(setting::CSnsDeviceSetting()), loaded(setting::CKksDeviceSetting()),
            loaded(setting::CSonDeviceSetting())};
}

std::string Dword(DWORD value)
{
    return RegValue::Dword("", value).data;
}

std::string Sz(const std::string& text)
{
    return RegValue::String("", text).data;
}

// Sorted.
std::vector<std::string> FilesStartingWith(const std::string& folder, const std::string& prefix)
{
    std::vector<std::string> found;
    for (const fs::directory_entry& e : fs::directory_iterator(folder)) {
        if (e.path().filename().string().rfind(prefix, 0) == 0)
            found.push_back(e.path().string());
    }
    std::sort(found.begin(), found.end());
    return found;
}

using SettingsTest = settingtest::CStoreTest;

// Texts are read through a 260-character buffer; numbers are four bytes of
// REG_DWORD. A load must not keep any of a longer text loaded before; a
// failed one empties the text but leaves the number as it was.
TEST_F(SettingsTest, ParametersLoadOnlyWellFormedValues)
{
    const struct { const char* name; DWORD type; std::string data; bool loads; std::string text; DWORD number; } cases[] = {
        {"258 characters", REG_SZ, Sz(std::string(258, 'a')), true, std::string(258, 'a'), 0},  // texts: no number
        {"259 characters", REG_SZ, Sz(std::string(259, 'b')), false, "", 0},
        {"empty text", REG_SZ, "", true, "", 0},
        {"unterminated text", REG_SZ, "COM5", false, "", 0},
        {"a number for a text", REG_DWORD, Dword(5), false, "", 0},
        {"a number", REG_DWORD, Dword(115200), true, "115200", 115200},
        {"the largest number, read as -1", REG_DWORD, Dword(4294967295u), true, "-1", 4294967295u},
        {"a text for a number", REG_SZ, Sz("9600"), false, "", 4800},
        {"a number cut short", REG_DWORD, std::string("\x80\x25", 2), false, "", 4800},
        {"no number", REG_NONE, "", false, "", 4800},
    };
    CRegKey key;
    ASSERT_EQ(key.Create(HKEY_CURRENT_USER, "SOFTWARE\\Test"), ERROR_SUCCESS);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(c.type == REG_NONE ||
                    key.SetValue(c.name, c.type, c.data.data(), static_cast<DWORD>(c.data.size())) == ERROR_SUCCESS);
        CStrSettingParam text(c.name);
        text.SetValue(std::string(300, 'z').c_str());
        setting::CDwordSettingParam number(c.name);
        number.SetValue(4800);
        if (c.number) {
            EXPECT_EQ(number.Load(key), c.loads);
            EXPECT_EQ(number.m_value, c.text);
            EXPECT_EQ(number.m_dwValue, c.number);
        } else {
            EXPECT_EQ(text.Load(key), c.loads);
            EXPECT_TRUE(!c.loads || text.m_value == c.text) << text.m_value.substr(0, 20);
        }
    }
}

// A value that fails takes its device's own default (not the serial link's
// COM1 at 9600); the device's other values keep what was stored.
TEST_F(SettingsTest, EachDeviceLoadsItsOwnValuesAndADefaultForEachThatFails)
{
    EXPECT_EQ(StartDevices(), kDefaults);
    // Each device with two good values and one of the wrong type, too long, missing.
    Put(kDevices[0], "PortName", REG_SZ, Sz("/dev/ttyUSB1"));
    Put(kDevices[0], "BaudRate", REG_SZ, Sz("57600"));
    Put(kDevices[0], "Enabled", REG_DWORD, Dword(0));
    Put(kDevices[1], "PortName", REG_SZ, Sz(std::string(300, 'p')));
    Put(kDevices[1], "BaudRate", REG_DWORD, Dword(250000));
    Put(kDevices[1], "Enabled", REG_DWORD, Dword(0));
    Put(kDevices[2], "PortName", REG_SZ, Sz("C"));
    Put(kDevices[2], "BaudRate", REG_DWORD, Dword(4800));
    EXPECT_EQ(StartDevices(), (Devices{{"/dev/ttyUSB1", 115200, 0}, {"COM4", 250000, 0}, {"C", 4800, 1}}));

    // Made whole; any non-zero "Enabled" stays as it is.
    Put(kDevices[0], "BaudRate", REG_DWORD, Dword(57600));
    Put(kDevices[1], "PortName", REG_SZ, Sz("COM99"));
    Put(kDevices[2], "Enabled", REG_DWORD, Dword(7));
    EXPECT_EQ(StartDevices(), (Devices{{"/dev/ttyUSB1", 57600, 0}, {"COM99", 250000, 0}, {"C", 4800, 7}}));
}

// The retention limits sit in a key of their own; each loads on its own, a
// bad one taking its default without costing the other, and both are saved
// as REG_DWORD.
TEST_F(SettingsTest, RetentionLimitsLoadEachOnItsOwn)
{
    const std::string key = "SOFTWARE\\Lunder\\Orvel4\\Retention";
    const auto loaded = [] {
        const setting::CRetentionSetting retention;
        return std::make_pair(retention.m_days.m_dwValue, retention.m_megabytes.m_dwValue);
    };
    using Limits = std::pair<DWORD, DWORD>;
    EXPECT_EQ(loaded(), Limits(30, 2048));
    const struct { const char* name; DWORD type; std::string data; Limits limits; } cases[] = {
        {"Days", REG_DWORD, Dword(7), {7, 2048}},
        {"Megabytes", REG_SZ, Sz("100"), {7, 2048}},
        {"Megabytes", REG_DWORD, Dword(0), {7, 0}},
        {"Days", REG_BINARY, Dword(9), {30, 0}},
        {"Days", REG_DWORD, Dword(4294967295u), {4294967295u, 0}},
    };
    for (const auto& c : cases) {
        Put(key, c.name, c.type, c.data);
        EXPECT_EQ(loaded(), c.limits) << c.name << " " << c.type;
    }
    Put(key, "Days", REG_SZ, Sz("x"));
    setting::CRetentionSetting().Save();
    EXPECT_EQ(Stored(key, "Days"), std::make_pair(DWORD{REG_DWORD}, Dword(30)));
    EXPECT_EQ(Stored(key, "Megabytes"), std::make_pair(DWORD{REG_DWORD}, Dword(0)));
    EXPECT_EQ(StartDevices(), kDefaults);  // the device keys are not touched
}

// data/hkcu-v1.sqlite3 was saved by the previous version of the program:
// the three devices and a records folder in Windows-1251, closed cleanly.
// It opens as it is, with nothing said and nothing moved aside.
TEST_F(SettingsTest, AStoreOfThePreviousVersionReadsTheSame)
{
    fs::copy_file(ORVEL_SETTING_TEST_DATA "/hkcu-v1.sqlite3", StorePath());
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(StartDevices(), (Devices{{"/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0", 57600, 1},
                                       {"/dev/ttyS3", 9600, 0},
                                       {"/run/user/1000/orvel-ports/devsim-sounder", 4294967295u, 7}}));
    EXPECT_EQ(setting::CRecordSetting().m_folder.m_value, "/home/operator/\xc7\xe0\xef\xe8\xf1\xe8");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
}

TEST_F(SettingsTest, StoreDefaultsToAnOwnerOnlyFolderAndFileUnderTheConfigHome)
{
    ResetStores();
    const std::string folder = m_dir.File("config/OrvelConfigurator");
    ASSERT_EQ(UserStoreFile(), folder + "/hkcu.sqlite3");
    setting::CSnsDeviceSetting().Save();
    EXPECT_EQ(fs::status(folder).permissions(), fs::perms::owner_all);
    for (const std::string& file : FilesStartingWith(folder, "hkcu.sqlite3"))
        EXPECT_EQ(fs::status(file).permissions(), fs::perms::owner_read | fs::perms::owner_write) << file;
}

// Another run of the program saves `port` and `baud` for the satellite
// receiver and is killed at once: no orderly close, the save still in the log.
void SaveAndDie(const std::string& port, DWORD baud = 115200)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        setting::CSnsDeviceSetting sns;
        sns.m_portName.SetValue(port.c_str());
        sns.m_baudRate.SetValue(baud);
        sns.Save();
        ::raise(SIGKILL);
    }
    int status = -1;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFSIGNALED(status));
}

TEST_F(SettingsTest, ASaveIsKeptEvenIfTheProcessDiesRightAfterIt)
{
    SaveAndDie("/dev/ttyACM7", 4294967295u);
    Reopen();
    const setting::CSnsDeviceSetting sns;
    EXPECT_EQ(sns.m_portName.m_value, "/dev/ttyACM7");
    EXPECT_EQ(sns.m_baudRate.m_dwValue, 4294967295u);
}

// Ways a store file gets damaged. The file's first page garbage under a log
// that holds the last save but not that page: the log would pass for the
// fresh store's.
void GarbageUnderALiveLog(const std::string& path)
{
    setting::CSnsDeviceSetting().Save();
    SetUserStoreFile(path);  // closing checkpoints the log into the file
    SaveAndDie("/dev/ttyS1");
    ASSERT_GT(fs::file_size(path + "-wal"), 0u);
    std::ofstream(path, std::ios::binary) << std::string(4096, '\x5a');
}

// A store of ours with one page no table uses: it still reads, but the
// integrity check reports it.
void AddOrphanPage(const std::string& path)
{
    ASSERT_EQ(CRegKey().Create(HKEY_CURRENT_USER, "SOFTWARE\\Small"), ERROR_SUCCESS);
    SetUserStoreFile(path);
    std::string bytes = testsupport::FileBytes(path);
    const auto byte = [&](std::size_t at) { return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at])); };
    const std::uint32_t pageSize = byte(16) << 8 | byte(17);
    const std::uint32_t pages = (byte(28) << 24 | byte(29) << 16 | byte(30) << 8 | byte(31)) + 1;
    for (int i = 0; i < 4; ++i)
        bytes[28 + i] = static_cast<char>(pages >> (24 - 8 * i));  // the header's page count
    bytes.resize(std::size_t{pages} * pageSize, '\0');
    std::ofstream(path, std::ios::binary) << bytes;
}

// Another program's database, large enough that checking it takes a while:
// long enough for copies starting together to all find it is not ours.
void WriteOtherDatabase(const std::string& path)
{
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, "CREATE TABLE keys(x); WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 "
                               "FROM n WHERE i < 3000) INSERT INTO keys SELECT randomblob(3000) FROM n;",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
}

class DamagedStoreTest : public SettingsTest, public ::testing::WithParamInterface<void (*)(const std::string&)>
{
};

// The store's files by suffix, each by a hash of its bytes but the log's
// index (-shm), which opening the log may rebuild.
std::map<std::string, std::size_t> StoreFiles(const std::string& path)
{
    std::map<std::string, std::size_t> files;
    for (const std::string suffix : {"", "-wal", "-shm", "-journal"}) {
        if (fs::exists(path + suffix))
            files[suffix] = suffix == "-shm" ? 0 : std::hash<std::string>()(testsupport::FileBytes(path + suffix));
    }
    return files;
}

TEST_P(DamagedStoreTest, IsKeptAsideWithItsCompanionsAndTheSettingsStartOnDefaults)
{
    GetParam()(StorePath());
    const auto damaged = StoreFiles(StorePath());
    Reopen();
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(setting::CSnsDeviceSetting().m_portName.m_value, "COM3");
    const std::string said = ::testing::internal::GetCapturedStderr();

    const std::vector<std::string> aside = FilesStartingWith(m_dir.Path(), "hkcu.sqlite3.damaged-");
    ASSERT_FALSE(aside.empty());
    EXPECT_EQ(StoreFiles(aside[0]), damaged);
    EXPECT_EQ(aside.size(), damaged.size()) << "more than the store and its companions moved aside";
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
    EXPECT_NE(said.find(aside[0]), std::string::npos) << said;
}

INSTANTIATE_TEST_SUITE_P(Store, DamagedStoreTest,
                         ::testing::Values(&GarbageUnderALiveLog, &AddOrphanPage, &WriteOtherDatabase));

TEST_F(SettingsTest, AStoreThatCannotBeMadeLeavesDefaultsAndLosesSavesQuietly)
{
    std::ofstream(m_dir.File("blocker")) << "a file where a folder should be";
    SetUserStoreFile(m_dir.File("blocker/hkcu.sqlite3"));
    ::testing::internal::CaptureStderr();
    setting::CSnsDeviceSetting sns;
    sns.m_portName.SetValue("COM8");
    sns.Save();
    const std::string port = setting::CSnsDeviceSetting().m_portName.m_value;
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(port, "COM3");
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
    EXPECT_EQ(testsupport::FileBytes(m_dir.File("blocker")), "a file where a folder should be");
}

// Two copies started at the same moment on a damaged store: exactly one of
// them moves it aside, and both work on the one fresh store.
TEST_F(SettingsTest, TwoProcessesStartingAndSavingAtOnceOnADamagedStoreLoseNothing)
{
    WriteOtherDatabase(StorePath());
    const auto tag = [](char who, int i) { return who + std::to_string(i); };
    int go[2];
    ASSERT_EQ(::pipe(go), 0);
    pid_t children[2];
    for (const char who : {'A', 'B'}) {
        if ((children[who - 'A'] = ::fork()) == 0) {
            // Waits for the start, then opens the store and saves to a key both write.
            char c;
            CRegKey key;
            bool saved = ::read(go[0], &c, 1) == 1 && key.Create(HKEY_CURRENT_USER, "SOFTWARE\\Race") == ERROR_SUCCESS;
            for (int i = 0; i < 100; ++i)
                saved = key.SetStringValue(tag(who, i).c_str(), tag(who, i).c_str()) == ERROR_SUCCESS && saved;
            ::_exit(saved ? 0 : 1);
        }
    }
    ASSERT_EQ(::write(go[1], "gg", 2), 2);  // both start together
    for (const pid_t pid : children) {
        int status = -1;
        EXPECT_TRUE(::waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    ::close(go[0]);
    ::close(go[1]);

    for (const char who : {'A', 'B'}) {
        for (int i = 0; i < 100; ++i)
            EXPECT_EQ(Stored("SOFTWARE\\Race", tag(who, i)), std::make_pair(DWORD{REG_SZ}, Sz(tag(who, i))));
    }
    EXPECT_EQ(FilesStartingWith(m_dir.Path(), "hkcu.sqlite3.damaged-").size(), 1u);
}

} // namespace

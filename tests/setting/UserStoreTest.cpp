// The store file behind HKEY_CURRENT_USER: where it lives, that a save is
// on disk when it returns, that a damaged file is kept aside and never
// stops the program, and that two running copies can share it.

#include "DeviceSettings.h"
#include "StoreFixture.h"

#include <sqlite3.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sys/wait.h>
#include <unistd.h>

using namespace registry;
namespace fs = std::filesystem;

namespace settingtest {
namespace {

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

unsigned Mode(const std::string& path)
{
    return static_cast<unsigned>(fs::status(path).permissions());
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

// Another run of the program saves `port` for the satellite receiver and
// is killed at once: no orderly close, the save still in the log.
void SaveAndDie(const std::string& port)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        setting::CSnsDeviceSetting sns;
        sns.m_portName.SetValue(port.c_str());
        sns.Save();
        ::raise(SIGKILL);
    }
    int status = -1;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFSIGNALED(status));
}

using UserStoreTest = StoreTest;

TEST_F(UserStoreTest, DefaultsToAnOwnerOnlyFolderAndFileUnderTheConfigHome)
{
    ResetStores();
    const std::string folder = std::string(std::getenv("XDG_CONFIG_HOME")) + "/OrvelConfigurator";
    ASSERT_EQ(UserStoreFile(), folder + "/hkcu.sqlite3");
    setting::CSnsDeviceSetting().Save();
    EXPECT_EQ(Mode(folder), 0700u);
    EXPECT_EQ(Mode(folder + "/hkcu.sqlite3"), 0600u);
    for (const std::string& companion : FilesStartingWith(folder, "hkcu.sqlite3-"))
        EXPECT_EQ(Mode(companion), 0600u) << companion;
}

TEST_F(UserStoreTest, ASaveIsKeptEvenIfTheProcessDiesRightAfterIt)
{
    SaveAndDie("/dev/ttyACM7");
    Reopen();
    EXPECT_EQ(setting::CSnsDeviceSetting().m_portName.m_value, "/dev/ttyACM7");
}

// Ways a store file gets damaged.
void WriteGarbage(const std::string& path)
{
    std::ofstream(path, std::ios::binary) << std::string(4096, '\x5a');
}

// The file's first page garbage under a log that holds the last save but
// not that page: the log would pass for the fresh store's.
void GarbageUnderALiveLog(const std::string& path)
{
    setting::CSnsDeviceSetting().Save();
    SetUserStoreFile(path);  // closing checkpoints the log into the file
    SaveAndDie("/dev/ttyS1");
    ASSERT_GT(fs::file_size(path + "-wal"), 0u);
    WriteGarbage(path);
}

// A store of ours with one page no table uses: it still reads, but the
// integrity check reports it.
void AddOrphanPage(const std::string& path)
{
    ASSERT_EQ(CRegKey().Create(HKEY_CURRENT_USER, "SOFTWARE\\Small"), ERROR_SUCCESS);
    SetUserStoreFile(path);
    std::string bytes = ReadFile(path);
    const auto byte = [&](std::size_t at) { return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at])); };
    const std::uint32_t pageSize = byte(16) << 8 | byte(17);
    const std::uint32_t pages = (byte(28) << 24 | byte(29) << 16 | byte(30) << 8 | byte(31)) + 1;
    for (int i = 0; i < 4; ++i)
        bytes[28 + i] = static_cast<char>(pages >> (24 - 8 * i));  // the header's page count
    bytes.resize(std::size_t{pages} * pageSize, '\0');
    std::ofstream(path, std::ios::binary) << bytes;
}

void WriteOtherDatabase(const std::string& path)
{
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, "CREATE TABLE keys(x); INSERT INTO keys VALUES(42);", nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
}

// A large database with a page of garbage in the middle: checking it takes
// a while, long enough for copies starting together to all find it damaged.
void WriteLargeDamagedDatabase(const std::string& path)
{
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, "CREATE TABLE t(x); WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n "
                               "WHERE i < 3000) INSERT INTO t SELECT randomblob(3000) FROM n;",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
    std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
    file.seekp(static_cast<std::streamoff>(fs::file_size(path) / 2));
    file << std::string(4096, '\x5a');
}

class DamagedStoreTest : public StoreTest, public ::testing::WithParamInterface<void (*)(const std::string&)>
{
};

TEST_P(DamagedStoreTest, IsKeptAsideWithItsCompanionsAndTheSettingsStartOnDefaults)
{
    GetParam()(StorePath());
    std::map<std::string, std::string> damaged;  // by suffix
    for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
        if (fs::exists(StorePath() + suffix))
            damaged[suffix] = ReadFile(StorePath() + suffix);
    }
    Reopen();
    ::testing::internal::CaptureStderr();
    setting::CSnsDeviceSetting sns;
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(sns.m_portName.m_value, "COM3");

    const std::vector<std::string> kept = FilesStartingWith(m_dir.Path(), "hkcu.sqlite3.damaged-");
    ASSERT_FALSE(kept.empty());
    std::vector<std::string> expected;
    for (const auto& [suffix, bytes] : damaged) {
        expected.push_back(kept[0] + suffix);
        if (suffix != "-shm") {  // the log's index, which opening the log may rebuild
            EXPECT_EQ(ReadFile(kept[0] + suffix), bytes) << suffix;
        }
    }
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(kept, expected);
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
    EXPECT_NE(said.find(kept[0]), std::string::npos) << said;
}

INSTANTIATE_TEST_SUITE_P(Store, DamagedStoreTest,
                         ::testing::Values(&WriteGarbage, &GarbageUnderALiveLog, &AddOrphanPage,
                                           &WriteOtherDatabase));

TEST_F(UserStoreTest, AStoreThatCannotBeMadeLeavesDefaultsAndLosesSavesQuietly)
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
    EXPECT_EQ(ReadFile(m_dir.File("blocker")), "a file where a folder should be");
}

constexpr int kRounds = 100;

// One running copy: waits for the start signal on `go`, then opens the
// store and saves values of its own to a key both copies write.
int SaveRounds(const std::string& who, int go)
{
    char start;
    CRegKey shared;
    if (::read(go, &start, 1) != 1 || shared.Create(HKEY_CURRENT_USER, "SOFTWARE\\Race") != ERROR_SUCCESS)
        return 2;
    int failures = 0;
    for (int i = 0; i < kRounds; ++i) {
        const std::string tag = who + "-" + std::to_string(i);
        failures += shared.SetStringValue(tag.c_str(), tag.c_str()) != ERROR_SUCCESS;
    }
    return failures > 0;
}

// Two copies started at the same moment, on no store yet and on a damaged
// one: exactly one of them moves the damaged file aside, and both work on
// the one fresh store.
TEST_F(UserStoreTest, TwoProcessesStartingAndSavingAtOnceLoseNothing)
{
    for (const bool damaged : {false, true}) {
        SCOPED_TRACE(damaged ? "a damaged store" : "no store yet");
        const std::string folder = m_dir.File(damaged ? "damaged" : "none");
        fs::create_directories(folder);
        if (damaged)
            WriteLargeDamagedDatabase(folder + "/hkcu.sqlite3");
        SetUserStoreFile(folder + "/hkcu.sqlite3");

        int go[2];
        ASSERT_EQ(::pipe(go), 0);
        std::vector<pid_t> children;
        for (const char* who : {"A", "B"}) {
            const pid_t pid = ::fork();
            if (pid == 0) {
                ::close(go[1]);
                ::_exit(SaveRounds(who, go[0]));
            }
            children.push_back(pid);
        }
        ::close(go[0]);
        ASSERT_EQ(::write(go[1], "gg", 2), 2);  // both start together
        ::close(go[1]);
        for (const pid_t pid : children) {
            int status = -1;
            EXPECT_TRUE(::waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0);
        }

        for (const std::string who : {"A", "B"}) {
            for (int i = 0; i < kRounds; ++i) {
                const std::string tag = who + "-" + std::to_string(i);
                EXPECT_EQ(Get("SOFTWARE\\Race", tag), Stored(REG_SZ, Sz(tag)));
            }
        }
        EXPECT_EQ(FilesStartingWith(folder, "hkcu.sqlite3.damaged-").size(), damaged ? 1u : 0u);
    }
}

} // namespace
} // namespace settingtest

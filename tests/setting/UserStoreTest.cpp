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

std::vector<std::string> FilesStartingWith(const std::string& folder, const std::string& prefix)
{
    std::vector<std::string> found;
    for (const fs::directory_entry& e : fs::directory_iterator(folder)) {
        if (e.path().filename().string().rfind(prefix, 0) == 0)
            found.push_back(e.path().string());
    }
    return found;
}

class UserStoreTest : public StoreTest
{
protected:
    // Drops this process's connection, as a new run of the program would.
    void Reopen() { SetUserStoreFile(StorePath()); }

    std::string SnsPortAfterRestart()
    {
        Reopen();
        return setting::CSnsDeviceSetting().m_portName.m_value;
    }
};

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
    const pid_t pid = ::fork();
    if (pid == 0) {
        setting::CSnsDeviceSetting sns;
        sns.m_portName.SetValue("/dev/ttyACM7");
        sns.Save();
        ::raise(SIGKILL);  // no orderly close of the database
        ::_exit(1);
    }
    int status = -1;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(SnsPortAfterRestart(), "/dev/ttyACM7");
}

// Ways a store file gets damaged.
void WriteGarbage(const std::string& path)
{
    std::ofstream(path, std::ios::binary) << std::string(4096, '\x5a');
}

void CutStoreInHalf(const std::string& path)
{
    {
        CRegKey bulk;  // enough that the first half keeps a valid header
        ASSERT_EQ(bulk.Create(HKEY_CURRENT_USER, "SOFTWARE\\Bulk"), ERROR_SUCCESS);
        for (int i = 0; i < 30; ++i)
            ASSERT_EQ(bulk.SetStringValue(std::to_string(i).c_str(), std::string(4000, 'f').c_str()), ERROR_SUCCESS);
    }
    SetUserStoreFile(path);  // closing checkpoints the log into the file
    const std::string whole = ReadFile(path);
    ASSERT_GT(whole.size(), 64u * 1024u);
    std::ofstream(path, std::ios::binary) << whole.substr(0, whole.size() / 2);
}

// A store of ours with one page no table uses: it still reads, but the
// integrity check reports it.
void AddOrphanPage(const std::string& path)
{
    CRegKey key;
    ASSERT_EQ(key.Create(HKEY_CURRENT_USER, "SOFTWARE\\Small"), ERROR_SUCCESS);
    key.Close();
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

class DamagedStoreTest : public UserStoreTest, public ::testing::WithParamInterface<void (*)(const std::string&)>
{
};

TEST_P(DamagedStoreTest, IsKeptAsideAndTheSettingsStartOnDefaults)
{
    GetParam()(StorePath());
    const std::string damaged = ReadFile(StorePath());
    Reopen();
    ::testing::internal::CaptureStderr();
    setting::CSnsDeviceSetting sns;
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(sns.m_portName.m_value, "COM3");
    const auto kept = FilesStartingWith(m_dir.Path(), "hkcu.sqlite3.damaged-");
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(ReadFile(kept[0]), damaged);
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
    EXPECT_NE(said.find(kept[0]), std::string::npos) << said;

    // The fresh store works.
    sns.m_portName.SetValue("COM8");
    sns.Save();
    EXPECT_EQ(SnsPortAfterRestart(), "COM8");
    EXPECT_EQ(FilesStartingWith(m_dir.Path(), "hkcu.sqlite3.damaged-").size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Store, DamagedStoreTest,
                         ::testing::Values(&WriteGarbage, &CutStoreInHalf, &AddOrphanPage, &WriteOtherDatabase));

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

// One running copy: waits for the start signal on `go`, then saves a value
// of its own to a key both copies write, again and again.
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
    return failures == 0 ? 0 : 1;
}

TEST_F(UserStoreTest, TwoProcessesSavingAtOnceLoseNothing)
{
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
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "writer status " << status;
    }

    // A new run finds every value (a damaged file would start it on an empty store).
    Reopen();
    for (const std::string who : {"A", "B"}) {
        for (int i = 0; i < kRounds; ++i) {
            const std::string tag = who + "-" + std::to_string(i);
            const auto value = Get("SOFTWARE\\Race", tag);
            EXPECT_TRUE(value && value->data == Sz(tag)) << tag;
        }
    }
}

} // namespace
} // namespace settingtest

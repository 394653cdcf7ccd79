// The store file behind HKEY_CURRENT_USER: where it lives, that saved values
// are on disk when Save returns, that damaged files are kept and never
// crash the program, and that two running copies can share it.

#include "DeviceSettings.h"
#include "StoreFixture.h"

#include <sqlite3.h>

#include <algorithm>
#include <csignal>
#include <dirent.h>
#include <fstream>
#include <iterator>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace registry;

namespace settingtest {
namespace {

const std::string kSns = "SOFTWARE\\Lunder\\Orvel4\\SnsPort";

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

unsigned Mode(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

std::vector<std::string> FilesStartingWith(const std::string& folder, const std::string& prefix)
{
    std::vector<std::string> found;
    if (DIR* dir = ::opendir(folder.c_str())) {
        while (const dirent* e = ::readdir(dir)) {
            if (std::string(e->d_name).rfind(prefix, 0) == 0)
                found.push_back(folder + "/" + e->d_name);
        }
        ::closedir(dir);
    }
    return found;
}

std::size_t Lines(const std::string& text)
{
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

// Runs `body` in a child process and returns its wait status. The child
// leaves with _exit, skipping every destructor of this process.
template <class Body>
int InChild(Body body)
{
    const pid_t pid = ::fork();
    if (pid == 0)
        ::_exit(body());
    int status = -1;
    ::waitpid(pid, &status, 0);
    return status;
}

std::string IntegrityCheck(const std::string& path)
{
    sqlite3* db = nullptr;
    std::string verdict = "cannot open";
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &st, nullptr) == SQLITE_OK &&
            sqlite3_step(st) == SQLITE_ROW)
            verdict = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
        sqlite3_finalize(st);
    }
    sqlite3_close(db);
    return verdict;
}

class UserStoreTest : public StoreTest
{
protected:
    // Drops this process's connection, as a new run of the program would.
    void Reopen() { SetUserStoreFile(StorePath()); }

    // The device setting's port name after a fresh start.
    std::string SnsPortAfterRestart()
    {
        Reopen();
        setting::CSnsDeviceSetting sns;
        return sns.m_portName.m_value;
    }
};

TEST_F(UserStoreTest, DefaultsToAnOwnerOnlyFolderAndFileUnderTheConfigHome)
{
    const std::string config = m_dir.File("config/deeper");
    const ScopedEnv env("XDG_CONFIG_HOME", config);
    ResetStores();
    const std::string file = config + "/OrvelConfigurator/hkcu.sqlite3";
    EXPECT_EQ(UserStoreFile(), file);

    setting::CSnsDeviceSetting sns;
    sns.Save();
    EXPECT_EQ(Mode(config + "/OrvelConfigurator"), 0700u);
    EXPECT_EQ(Mode(file), 0600u);
    for (const std::string& companion : FilesStartingWith(config + "/OrvelConfigurator", "hkcu.sqlite3-"))
        EXPECT_EQ(Mode(companion), 0600u) << companion;
    ResetStores();
}

TEST_F(UserStoreTest, SavedValuesAreThereForTheNextRun)
{
    {
        setting::CSnsDeviceSetting sns;
        sns.m_portName.SetValue("/dev/ttyUSB3");
        sns.Save();
    }
    EXPECT_EQ(SnsPortAfterRestart(), "/dev/ttyUSB3");
}

TEST_F(UserStoreTest, ASaveIsOnDiskWhenItReturnsEvenIfTheProcessDiesThen)
{
    const int status = InChild([&] {
        setting::CSnsDeviceSetting sns;
        sns.m_portName.SetValue("/dev/ttyACM7");
        sns.Save();
        ::raise(SIGKILL);  // no orderly close of the database
        return 1;
    });
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(SnsPortAfterRestart(), "/dev/ttyACM7");
}

TEST_F(UserStoreTest, AFileOfGarbageIsKeptAsideAndTheSettingsStartOnDefaults)
{
    std::string garbage;
    for (int i = 0; i < 4096; ++i)
        garbage += static_cast<char>((i * 7919 + 13) % 251);
    WriteFile(StorePath(), garbage);

    ::testing::internal::CaptureStderr();
    setting::CSnsDeviceSetting sns;
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(sns.m_portName.m_value, "COM3");
    EXPECT_EQ(Lines(said), 1u) << said;
    EXPECT_NE(said.find("damaged"), std::string::npos) << said;

    const auto kept = FilesStartingWith(m_dir.Path(), "hkcu.sqlite3.damaged-");
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_NE(said.find(kept[0]), std::string::npos) << said;
    EXPECT_EQ(ReadFile(kept[0]), garbage);

    // The fresh store works.
    sns.m_portName.SetValue("COM8");
    sns.Save();
    EXPECT_EQ(SnsPortAfterRestart(), "COM8");
    EXPECT_EQ(FilesStartingWith(m_dir.Path(), "hkcu.sqlite3.damaged-").size(), 1u);
}

TEST_F(UserStoreTest, ATruncatedDatabaseIsKeptAside)
{
    {
        setting::CSnsDeviceSetting sns;
        sns.m_portName.SetValue("COM8");
        sns.Save();
        CRegKey bulk;
        ASSERT_EQ(bulk.Create(HKEY_CURRENT_USER, "SOFTWARE\\Bulk"), ERROR_SUCCESS);
        const std::string filler(400, 'f');
        for (int i = 0; i < 300; ++i)
            ASSERT_EQ(bulk.SetStringValue(("v" + std::to_string(i)).c_str(), filler.c_str()), ERROR_SUCCESS);
    }
    Reopen();  // closing checkpoints the log into the file
    ASSERT_TRUE(FilesStartingWith(m_dir.Path(), "hkcu.sqlite3-wal").empty());
    const std::string whole = ReadFile(StorePath());
    ASSERT_GT(whole.size(), 64u * 1024u);
    const std::string half = whole.substr(0, whole.size() / 2);
    WriteFile(StorePath(), half);

    ::testing::internal::CaptureStderr();
    const std::string port = SnsPortAfterRestart();
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(port, "COM3");
    EXPECT_EQ(Lines(said), 1u) << said;
    const auto kept = FilesStartingWith(m_dir.Path(), "hkcu.sqlite3.damaged-");
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(ReadFile(kept[0]), half);
    EXPECT_FALSE(KeyExists("SOFTWARE\\Bulk"));
}

TEST_F(UserStoreTest, ADatabaseOfSomethingElseIsKeptUntouched)
{
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(StorePath().c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "CREATE TABLE keys(x); INSERT INTO keys VALUES(42);", nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
    const std::string original = ReadFile(StorePath());

    ::testing::internal::CaptureStderr();
    setting::CSnsDeviceSetting sns;
    ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(sns.m_portName.m_value, "COM3");
    const auto kept = FilesStartingWith(m_dir.Path(), "hkcu.sqlite3.damaged-");
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(ReadFile(kept[0]), original);
}

TEST_F(UserStoreTest, AStoreThatCannotBeMadeLeavesDefaultsAndLosesSavesQuietly)
{
    WriteFile(m_dir.File("blocker"), "a file where a folder should be");
    SetUserStoreFile(m_dir.File("blocker/hkcu.sqlite3"));

    ::testing::internal::CaptureStderr();
    setting::CSnsDeviceSetting sns;
    sns.m_portName.SetValue("COM8");
    sns.Save();
    setting::CKksDeviceSetting kks;
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(Lines(said), 1u) << said;
    EXPECT_EQ(kks.m_portName.m_value, "COM4");

    CRegKey key;
    EXPECT_NE(key.Create(HKEY_CURRENT_USER, "SOFTWARE"), ERROR_SUCCESS);
    EXPECT_EQ(ReadFile(m_dir.File("blocker")), "a file where a folder should be");
}

TEST_F(UserStoreTest, TwoProcessesSavingAtOnceLoseNothing)
{
    constexpr int kRounds = 100;
    int go[2];
    ASSERT_EQ(::pipe(go), 0);

    // Each writer saves to a key of its own, to a key both write different
    // values to, and to a key both write the same values to.
    auto writer = [&](const std::string& who) {
        return [&, who] {
            ::close(go[1]);
            char start;
            if (::read(go[0], &start, 1) != 1)
                return 2;
            int failures = 0;
            CRegKey own;
            CRegKey shared;
            failures += own.Create(HKEY_CURRENT_USER, ("SOFTWARE\\Race\\" + who).c_str()) != ERROR_SUCCESS;
            failures += shared.Create(HKEY_CURRENT_USER, "SOFTWARE\\Race\\Shared") != ERROR_SUCCESS;
            setting::CSerialPortDeviceSetting same("SOFTWARE\\Race\\Same");
            for (int i = 0; i < kRounds; ++i) {
                const std::string tag = who + "-" + std::to_string(i);
                failures += own.SetDWORDValue(("n" + std::to_string(i)).c_str(), static_cast<DWORD>(i)) != 0;
                failures += shared.SetStringValue(tag.c_str(), tag.c_str()) != ERROR_SUCCESS;
                same.m_portName.SetValue(tag.c_str());
                same.m_baudRate.SetValue(static_cast<DWORD>(i));
                same.Save();
            }
            return failures == 0 ? 0 : 1;
        };
    };

    std::vector<pid_t> children;
    for (const std::string who : {"A", "B"}) {
        const pid_t pid = ::fork();
        if (pid == 0)
            ::_exit(writer(who)());
        children.push_back(pid);
    }
    ::close(go[0]);
    ASSERT_EQ(::write(go[1], "gg", 2), 2);
    ::close(go[1]);
    for (const pid_t pid : children) {
        int status = -1;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "writer status " << status;
    }

    Reopen();
    for (const std::string who : {"A", "B"}) {
        for (int i = 0; i < kRounds; ++i) {
            const std::string tag = who + "-" + std::to_string(i);
            const auto shared = Get("SOFTWARE\\Race\\Shared", tag);
            ASSERT_TRUE(shared.has_value()) << tag;
            EXPECT_EQ(shared->data, std::string(tag.c_str(), tag.size() + 1));
            const auto own = Get("SOFTWARE\\Race\\" + who, "n" + std::to_string(i));
            ASSERT_TRUE(own.has_value()) << tag;
            EXPECT_EQ(own->data, Dword(static_cast<DWORD>(i)));
        }
    }
    setting::CSerialPortDeviceSetting same("SOFTWARE\\Race\\Same");
    ASSERT_TRUE(same.Load());
    const std::string last = same.m_portName.m_value;
    EXPECT_TRUE(last == "A-99" || last == "B-99") << last;
    EXPECT_EQ(same.m_baudRate.m_dwValue, static_cast<DWORD>(kRounds - 1));

    CRegKey key;
    ASSERT_EQ(key.Open(HKEY_CURRENT_USER, "SOFTWARE\\Race\\Shared", KEY_READ), ERROR_SUCCESS);
    DWORD values = 0;
    ASSERT_EQ(RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr,
                               nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(values, 2u * kRounds);
    EXPECT_EQ(IntegrityCheck(StorePath()), "ok");
}

} // namespace
} // namespace settingtest

#include "StoreFile.h"

#include "Sqlite.h"

#include <sqlite3.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace registry::detail {

namespace {

constexpr int kApplicationId = 0x4F52564C;  // "ORVL": marks our own files
constexpr int kSchemaVersion = 1;
const char* const kCompanions[] = {"-wal", "-shm", "-journal"};

std::string FolderOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

LONG ErrnoToError(int error)
{
    switch (error) {
    case EACCES:
    case EPERM:
    case EROFS:
        return ERROR_ACCESS_DENIED;
    case ENOMEM:
        return ERROR_OUTOFMEMORY;
    default:
        return ERROR_REGISTRY_IO_FAILED;
    }
}

void Report(const std::string& line)
{
    std::fprintf(stderr, "OrvelConfigurator: %s\n", line.c_str());
}

// Makes a folder's entries durable.
void SyncFolder(const std::string& folder)
{
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

bool Exists(const std::string& path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

// Creates `folder` and its missing parents, owner-only.
bool MakeFolders(const std::string& folder)
{
    for (std::size_t pos = 1; pos <= folder.size(); ++pos) {
        if (pos != folder.size() && folder[pos] != '/')
            continue;
        const std::string part = folder.substr(0, pos);
        if (::mkdir(part.c_str(), 0700) == 0)
            SyncFolder(FolderOf(part));
        else if (errno != EEXIST)
            return false;
    }
    struct stat st {};
    return ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Makes the file owner-only if it does not exist yet; an existing one must
// be a regular file we can read and write.
bool CreateFileIfMissing(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0) {
        ::close(fd);
        SyncFolder(FolderOf(path));
        return true;
    }
    struct stat st {};
    if (errno != EEXIST || ::stat(path.c_str(), &st) != 0)
        return false;
    if (!S_ISREG(st.st_mode)) {
        errno = EISDIR;
        return false;
    }
    return ::access(path.c_str(), R_OK | W_OK) == 0;
}

// Opens the store's folder and takes an exclusive lock on it, so that
// copies of the program starting together open, check and perhaps replace
// the store in turn. Gives up waiting after the busy timeout and goes on
// unlocked rather than hang. Closing the folder releases the lock.
int LockFolder(const std::string& folder)
{
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(kBusyTimeoutMs);
    while (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if ((errno != EWOULDBLOCK && errno != EINTR) || std::chrono::steady_clock::now() >= end)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return fd;
}

struct FolderLock
{
    const int fd;
    ~FolderLock()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

std::string Timestamp()
{
    const std::time_t now = std::time(nullptr);
    std::tm local {};
    ::localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &local);
    return text;
}

// Renames a damaged store and its companions out of the way, so that none
// of them is taken for part of the fresh store; returns the new name, or
// empty when the store could not be moved.
std::string MoveAside(const std::string& path)
{
    const std::string base = path + ".damaged-" + Timestamp();
    const auto taken = [](const std::string& name) {
        return Exists(name) || std::any_of(std::begin(kCompanions), std::end(kCompanions),
                                           [&](const char* suffix) { return Exists(name + suffix); });
    };
    std::string target = base;
    for (int n = 1; taken(target); ++n)
        target = base + "-" + std::to_string(n);
    if (::rename(path.c_str(), target.c_str()) != 0)
        return std::string();
    for (const char* suffix : kCompanions) {
        if (Exists(path + suffix))
            ::rename((path + suffix).c_str(), (target + suffix).c_str());
    }
    SyncFolder(FolderOf(path));
    return target;
}

enum class Outcome { Ready, Damaged, Unavailable };

struct Attempt
{
    Outcome outcome = Outcome::Ready;
    LONG error = ERROR_SUCCESS;
    std::string reason;
};

Attempt Failed(sqlite3* db, int rc, const char* what)
{
    return {IsDamage(rc) ? Outcome::Damaged : Outcome::Unavailable, ToError(rc),
            std::string(what) + ": " + sqlite3_errmsg(db)};
}

Attempt Damaged(const std::string& reason)
{
    return {Outcome::Damaged, ERROR_REGISTRY_CORRUPT, reason};
}

// Reads one integer PRAGMA; returns the SQLite result code.
int PragmaInt(sqlite3* db, const char* sql, std::int64_t& value)
{
    Statement st(db, sql);
    const int rc = st.Step();
    if (rc == SQLITE_ROW)
        value = st.Int(0);
    return rc == SQLITE_ROW || rc == SQLITE_DONE ? SQLITE_OK : rc;
}

// Checks that the open file is an intact store of ours, or empty, and makes
// it ready.
Attempt Prepare(sqlite3* db, const StoreLayout& layout)
{
    sqlite3_busy_timeout(db, kBusyTimeoutMs);
    sqlite3_extended_result_codes(db, 1);
    {
        Statement check(db, "PRAGMA quick_check");
        if (const int rc = check.Step(); rc != SQLITE_ROW)
            return Failed(db, rc, "quick_check");
        std::string verdict = check.Bytes(0);
        if (verdict != "ok") {
            std::replace(verdict.begin(), verdict.end(), '\n', ' ');  // the report is one line
            return Damaged("integrity check: " + verdict);
        }
    }
    std::int64_t appId = 0;
    std::int64_t tables = 0;
    if (const int rc = PragmaInt(db, "PRAGMA application_id", appId); rc != SQLITE_OK)
        return Failed(db, rc, "application_id");
    if (const int rc = PragmaInt(db, "SELECT count(*) FROM sqlite_master", tables); rc != SQLITE_OK)
        return Failed(db, rc, "schema");
    if (appId != kApplicationId && !(appId == 0 && tables == 0))
        return Damaged("not a settings store of this program");

    std::int64_t mode = 0;
    if (const int rc = PragmaInt(db, "PRAGMA journal_mode=WAL", mode); rc != SQLITE_OK)
        return Failed(db, rc, "journal_mode");
    if (const int rc = Exec(db, "PRAGMA synchronous=FULL"); rc != SQLITE_OK)
        return Failed(db, rc, "synchronous");
    if (appId == 0) {
        const std::string init = "BEGIN IMMEDIATE;" + std::string(layout.create) +
                                 "PRAGMA application_id=" + std::to_string(kApplicationId) +
                                 ";PRAGMA user_version=" + std::to_string(kSchemaVersion) + ";COMMIT;";
        if (const int rc = Exec(db, init.c_str()); rc != SQLITE_OK) {
            Exec(db, "ROLLBACK");
            return Failed(db, rc, "creating the store");
        }
    }
    for (const char* sql : layout.statements) {
        if (Statement(db, sql).Prepared() != SQLITE_OK)
            return Damaged(std::string("unexpected layout: ") + sqlite3_errmsg(db));
    }
    return {};
}

Attempt TryOpen(const std::string& path, const StoreLayout& layout, sqlite3*& db)
{
    db = nullptr;
    if (!CreateFileIfMissing(path))
        return {Outcome::Unavailable, ErrnoToError(errno), std::strerror(errno)};
    const bool liveLog = Exists(path + "-wal");
    const int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    Attempt a = rc == SQLITE_OK ? Prepare(db, layout) : Failed(db, rc, "open");
    if (a.outcome != Outcome::Ready) {
        // Closing would copy a log found with the store into the file and
        // delete it, where the store must be kept aside as it was found. A
        // log this open made is empty, and goes.
        if (liveLog)
            sqlite3_db_config(db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
        sqlite3_close(db);
        db = nullptr;
    }
    return a;
}

} // namespace

sqlite3* OpenStoreFile(const std::string& path, const StoreLayout& layout, LONG& error)
{
    const std::string folder = FolderOf(path);
    if (!MakeFolders(folder)) {
        const int cause = errno;
        error = ErrnoToError(cause);
        Report("cannot create the settings folder " + folder + " (" + std::strerror(cause) +
               "); settings will not be kept");
        return nullptr;
    }
    const FolderLock lock{LockFolder(folder)};
    sqlite3* db = nullptr;
    Attempt a = TryOpen(path, layout, db);
    if (a.outcome == Outcome::Damaged) {
        const std::string kept = MoveAside(path);
        if (kept.empty()) {
            Report("the settings store " + path + " is damaged (" + a.reason +
                   ") and cannot be moved aside; settings will not be kept");
        } else {
            Report("the settings store " + path + " is damaged (" + a.reason + "); it is kept as " + kept +
                   " and a new store is started");
            a = TryOpen(path, layout, db);
        }
    }
    if (a.outcome == Outcome::Unavailable)
        Report("cannot open the settings store " + path + " (" + a.reason + "); settings will not be kept");
    error = db ? ERROR_SUCCESS : (a.error != ERROR_SUCCESS ? a.error : ERROR_REGISTRY_CORRUPT);
    return db;
}

} // namespace registry::detail

#include "UserStore.h"

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
#include <utility>

namespace registry::detail {

namespace {

constexpr std::int64_t kRootKey = 1;
constexpr int kApplicationId = 0x4F52564C;  // "ORVL": marks our own files
constexpr int kSchemaVersion = 1;

const char* const kSchema =
    "CREATE TABLE IF NOT EXISTS keys("
    "  id INTEGER PRIMARY KEY AUTOINCREMENT,"
    "  parent INTEGER NOT NULL,"
    "  name TEXT NOT NULL,"
    "  folded TEXT NOT NULL,"
    "  written INTEGER NOT NULL DEFAULT 0,"
    "  UNIQUE(parent, folded));"
    "CREATE TABLE IF NOT EXISTS vals("
    "  key INTEGER NOT NULL,"
    "  name TEXT NOT NULL,"
    "  folded TEXT NOT NULL,"
    "  type INTEGER NOT NULL,"
    "  data BLOB NOT NULL,"
    "  UNIQUE(key, folded));"
    "INSERT OR IGNORE INTO keys(id, parent, name, folded) VALUES(1, 0, '', '');";

// Statements every operation relies on: a file in which one of them does
// not compile is not a store of ours.
const char* const kSchemaProbes[] = {
    "SELECT id, parent, name, folded, written FROM keys LIMIT 0",
    "SELECT key, name, folded, type, data FROM vals LIMIT 0",
    "INSERT INTO vals(key, name, folded, type, data) VALUES(0, '', '', 0, x'') "
    "ON CONFLICT(key, folded) DO NOTHING",
    "INSERT INTO keys(parent, name, folded) VALUES(0, '', '') ON CONFLICT(parent, folded) DO NOTHING",
};

LONG ToError(int rc)
{
    switch (rc & 0xff) {
    case SQLITE_OK:
    case SQLITE_ROW:
    case SQLITE_DONE:
        return ERROR_SUCCESS;
    case SQLITE_NOMEM:
        return ERROR_OUTOFMEMORY;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        return ERROR_REGISTRY_CORRUPT;
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_AUTH:
        return ERROR_ACCESS_DENIED;
    default:
        return ERROR_REGISTRY_IO_FAILED;
    }
}

// One prepared statement, finalized on destruction.
class Statement
{
public:
    Statement(sqlite3* db, const char* sql) { m_rc = sqlite3_prepare_v2(db, sql, -1, &m_stmt, nullptr); }
    ~Statement() { sqlite3_finalize(m_stmt); }
    Statement(const Statement&) = delete;
    int Prepared() const { return m_stmt ? SQLITE_OK : (m_rc != SQLITE_OK ? m_rc : SQLITE_ERROR); }
    Statement& operator=(const Statement&) = delete;

    Statement& Bind(int index, std::int64_t value)
    {
        Keep(m_stmt ? sqlite3_bind_int64(m_stmt, index, value) : m_rc);
        return *this;
    }
    Statement& BindText(int index, const std::string& text)
    {
        Keep(m_stmt ? sqlite3_bind_text(m_stmt, index, text.data(), static_cast<int>(text.size()),
                                        SQLITE_TRANSIENT)
                    : m_rc);
        return *this;
    }
    Statement& BindBlob(int index, const std::string& bytes)
    {
        // A zero-length blob, not NULL, for empty data.
        Keep(m_stmt ? sqlite3_bind_blob(m_stmt, index, bytes.data(), static_cast<int>(bytes.size()),
                                        SQLITE_TRANSIENT)
                    : m_rc);
        return *this;
    }

    // SQLITE_ROW, SQLITE_DONE, or the error (also a failed prepare or bind).
    int Step()
    {
        if (m_rc != SQLITE_OK)
            return m_rc;
        const int rc = sqlite3_step(m_stmt);
        if (rc != SQLITE_ROW && rc != SQLITE_DONE)
            m_rc = rc;
        return rc;
    }

    std::int64_t Int(int column) const { return sqlite3_column_int64(m_stmt, column); }
    std::string Bytes(int column) const
    {
        const void* p = sqlite3_column_blob(m_stmt, column);
        const int n = sqlite3_column_bytes(m_stmt, column);
        return p && n > 0 ? std::string(static_cast<const char*>(p), static_cast<std::size_t>(n)) : std::string();
    }

private:
    void Keep(int rc)
    {
        if (m_rc == SQLITE_OK)
            m_rc = rc;
    }

    sqlite3_stmt* m_stmt = nullptr;
    int m_rc = SQLITE_OK;
};

// Runs a statement that returns no rows.
int Exec(sqlite3* db, const char* sql)
{
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
}

// A transaction rolled back unless committed. Writers take the write lock
// at once (BEGIN IMMEDIATE), so they wait for each other in the busy
// handler rather than failing half-way.
class Transaction
{
public:
    Transaction(sqlite3* db, bool write) : m_db(db)
    {
        m_rc = Exec(db, write ? "BEGIN IMMEDIATE" : "BEGIN");
        m_active = m_rc == SQLITE_OK;
    }
    ~Transaction()
    {
        if (m_active)
            Exec(m_db, "ROLLBACK");
    }
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    LONG Began() const { return ToError(m_rc); }
    LONG Commit()
    {
        const int rc = Exec(m_db, "COMMIT");
        if (rc == SQLITE_OK)
            m_active = false;
        return ToError(rc);
    }

private:
    sqlite3* m_db;
    int m_rc;
    bool m_active;
};

std::uint64_t FileTimeNow()
{
    // 100 ns units since 1601-01-01.
    constexpr std::uint64_t kEpochOffset = 116444736000000000ull;
    const auto since1970 = std::chrono::system_clock::now().time_since_epoch();
    return kEpochOffset +
           static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(since1970).count() / 100);
}

// ----- opening the file ----------------------------------------------------

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

// Makes a folder's entries durable.
void SyncFolder(const std::string& folder)
{
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
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

// Makes the database file owner-only if it does not exist yet.
bool CreateFileIfMissing(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0) {
        ::close(fd);
        SyncFolder(FolderOf(path));
        return true;
    }
    if (errno != EEXIST)
        return false;
    // It exists: it must be a file we can read and write.
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return false;
    if (!S_ISREG(st.st_mode)) {
        errno = EISDIR;
        return false;
    }
    return ::access(path.c_str(), R_OK | W_OK) == 0;
}

// Holds an exclusive lock on the store's folder while a process opens,
// checks and, if need be, replaces the store, so that two copies starting
// together never both move a file aside. Gives up waiting after the busy
// timeout and goes on unlocked rather than hang.
class FolderLock
{
public:
    explicit FolderLock(const std::string& folder)
    {
        m_fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (m_fd < 0)
            return;
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(UserStore::kBusyTimeoutMs);
        while (::flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
            if ((errno != EWOULDBLOCK && errno != EINTR) || std::chrono::steady_clock::now() >= end)
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    ~FolderLock()
    {
        if (m_fd >= 0)
            ::close(m_fd);  // releases the lock
    }
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

private:
    int m_fd = -1;
};

bool Exists(const std::string& path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

std::string Timestamp()
{
    const std::time_t now = std::time(nullptr);
    std::tm local {};
    ::localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &local);
    return text;
}

// Renames a damaged store (and its write-ahead log or journal) out of the
// way; returns the new name, or empty when it could not be moved.
std::string MoveAside(const std::string& path)
{
    const std::string base = path + ".damaged-" + Timestamp();
    std::string target = base;
    for (int n = 1; Exists(target) || Exists(target + "-wal") || Exists(target + "-journal"); ++n)
        target = base + "-" + std::to_string(n);
    if (::rename(path.c_str(), target.c_str()) != 0)
        return std::string();
    for (const char* suffix : {"-wal", "-journal"}) {
        if (Exists(path + suffix))
            ::rename((path + suffix).c_str(), (target + suffix).c_str());
    }
    ::unlink((path + "-shm").c_str());  // derived from the log; rebuilt on demand
    SyncFolder(FolderOf(path));
    return target;
}

enum class Outcome { Ready, Damaged, Unavailable };

struct Attempt
{
    Outcome outcome = Outcome::Unavailable;
    sqlite3* db = nullptr;
    LONG error = ERROR_SUCCESS;
    std::string reason;
};

// Reads one integer PRAGMA; returns the sqlite result code.
int PragmaInt(sqlite3* db, const char* sql, std::int64_t& value)
{
    Statement st(db, sql);
    const int rc = st.Step();
    if (rc == SQLITE_ROW)
        value = st.Int(0);
    return rc == SQLITE_ROW || rc == SQLITE_DONE ? SQLITE_OK : rc;
}

bool IsDamage(int rc)
{
    return (rc & 0xff) == SQLITE_CORRUPT || (rc & 0xff) == SQLITE_NOTADB;
}

// Checks that the open file is an intact store of ours (or empty), then
// makes it ready: write-ahead log, full sync, schema.
Attempt Prepare(sqlite3* db)
{
    Attempt a;
    a.db = db;
    auto fail = [&](int rc, const char* what) {
        a.outcome = IsDamage(rc) ? Outcome::Damaged : Outcome::Unavailable;
        a.error = ToError(rc);
        a.reason = std::string(what) + ": " + sqlite3_errmsg(db);
        return a;
    };

    sqlite3_busy_timeout(db, UserStore::kBusyTimeoutMs);
    sqlite3_extended_result_codes(db, 1);

    {
        Statement check(db, "PRAGMA quick_check");
        int rc = check.Step();
        if (rc != SQLITE_ROW)
            return fail(rc, "quick_check");
        std::string verdict = check.Bytes(0);
        if (verdict != "ok") {
            std::replace(verdict.begin(), verdict.end(), '\n', ' ');  // the report is one line
            a.outcome = Outcome::Damaged;
            a.error = ERROR_REGISTRY_CORRUPT;
            a.reason = "integrity check: " + verdict;
            return a;
        }
    }

    std::int64_t appId = 0;
    std::int64_t tables = 0;
    if (const int rc = PragmaInt(db, "PRAGMA application_id", appId); rc != SQLITE_OK)
        return fail(rc, "application_id");
    if (const int rc = PragmaInt(db, "SELECT count(*) FROM sqlite_master", tables); rc != SQLITE_OK)
        return fail(rc, "schema");
    if (appId != kApplicationId && !(appId == 0 && tables == 0)) {
        a.outcome = Outcome::Damaged;
        a.error = ERROR_REGISTRY_CORRUPT;
        a.reason = "not a settings store of this program";
        return a;
    }

    std::int64_t ignored = 0;
    if (const int rc = PragmaInt(db, "PRAGMA journal_mode=WAL", ignored); rc != SQLITE_OK)
        return fail(rc, "journal_mode");
    if (const int rc = Exec(db, "PRAGMA synchronous=FULL"); rc != SQLITE_OK)
        return fail(rc, "synchronous");

    if (appId == 0) {
        const std::string init = "BEGIN IMMEDIATE;" + std::string(kSchema) +
                                 "PRAGMA application_id=" + std::to_string(kApplicationId) +
                                 ";PRAGMA user_version=" + std::to_string(kSchemaVersion) + ";COMMIT;";
        if (const int rc = Exec(db, init.c_str()); rc != SQLITE_OK) {
            Exec(db, "ROLLBACK");
            return fail(rc, "creating the store");
        }
    }
    for (const char* probe : kSchemaProbes) {
        const Statement st(db, probe);
        if (st.Prepared() != SQLITE_OK) {
            a.outcome = Outcome::Damaged;
            a.error = ERROR_REGISTRY_CORRUPT;
            a.reason = std::string("unexpected layout: ") + sqlite3_errmsg(db);
            return a;
        }
    }
    a.outcome = Outcome::Ready;
    return a;
}

Attempt TryOpen(const std::string& path)
{
    Attempt a;
    if (!CreateFileIfMissing(path)) {
        a.error = ErrnoToError(errno);
        a.reason = std::strerror(errno);
        return a;
    }
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        a.error = ToError(rc);
        a.reason = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
        sqlite3_close(db);
        return a;
    }
    a = Prepare(db);
    if (a.outcome != Outcome::Ready) {
        sqlite3_close(db);
        a.db = nullptr;
    }
    return a;
}

void Report(const std::string& line)
{
    std::fprintf(stderr, "OrvelConfigurator: %s\n", line.c_str());
}

} // namespace

// ----- UserStore ------------------------------------------------------------

std::shared_ptr<UserStore> UserStore::Open(const std::string& path)
{
    const std::string folder = FolderOf(path);
    if (!MakeFolders(folder)) {
        const int error = errno;
        Report("cannot create the settings folder " + folder + " (" + std::strerror(error) +
               "); settings will not be kept");
        return std::shared_ptr<UserStore>(new UserStore(path, nullptr, ErrnoToError(error)));
    }

    FolderLock lock(folder);
    Attempt a = TryOpen(path);
    if (a.outcome == Outcome::Damaged) {
        const std::string kept = MoveAside(path);
        if (kept.empty()) {
            Report("the settings store " + path + " is damaged (" + a.reason +
                   ") and cannot be moved aside; settings will not be kept");
        } else {
            Report("the settings store " + path + " is damaged (" + a.reason + "); it is kept as " + kept +
                   " and a new store is started");
            a = TryOpen(path);
        }
    }
    if (a.outcome != Outcome::Ready) {
        if (a.outcome == Outcome::Unavailable)
            Report("cannot open the settings store " + path + " (" + a.reason + "); settings will not be kept");
        return std::shared_ptr<UserStore>(
            new UserStore(path, nullptr, a.error != ERROR_SUCCESS ? a.error : ERROR_REGISTRY_CORRUPT));
    }
    return std::shared_ptr<UserStore>(new UserStore(path, a.db, ERROR_SUCCESS));
}

UserStore::UserStore(std::string path, sqlite3* db, LONG openError)
    : m_path(std::move(path)), m_db(db), m_openError(openError)
{
}

UserStore::~UserStore()
{
    sqlite3_close(m_db);
}

LONG UserStore::CheckKey(std::int64_t key)
{
    Statement st(m_db, "SELECT 1 FROM keys WHERE id = ?1");
    const int rc = st.Bind(1, key).Step();
    if (rc == SQLITE_DONE)
        return ERROR_KEY_DELETED;
    return ToError(rc);
}

template <class Step>
LONG UserStore::OnLiveKey(std::int64_t key, bool write, Step step)
{
    if (m_openError != ERROR_SUCCESS)
        return m_openError;
    std::lock_guard<std::mutex> lock(m_mutex);
    Transaction tx(m_db, write);
    if (const LONG e = tx.Began(); e != ERROR_SUCCESS)
        return e;
    if (const LONG e = CheckKey(key); e != ERROR_SUCCESS)
        return e;
    if (const LONG e = step(); e != ERROR_SUCCESS)
        return e;
    return tx.Commit();
}

int UserStore::WalkPath(std::int64_t key, const std::vector<std::string>& path, bool create, std::int64_t& result,
                        bool& created)
{
    created = false;
    std::int64_t current = key;
    for (const std::string& name : path) {
        Statement find(m_db, "SELECT id FROM keys WHERE parent = ?1 AND folded = ?2");
        int rc = find.Bind(1, current).BindText(2, FoldName(name)).Step();
        if (rc == SQLITE_ROW) {
            current = find.Int(0);
            continue;
        }
        if (rc != SQLITE_DONE)
            return rc;
        if (!create)
            return SQLITE_NOTFOUND;
        Statement insert(m_db, "INSERT INTO keys(parent, name, folded) VALUES(?1, ?2, ?3)");
        rc = insert.Bind(1, current).BindText(2, name).BindText(3, FoldName(name)).Step();
        if (rc != SQLITE_DONE)
            return rc;
        current = sqlite3_last_insert_rowid(m_db);
        created = true;
    }
    result = current;
    return SQLITE_OK;
}

namespace {

LONG WalkError(int rc)
{
    return rc == SQLITE_NOTFOUND ? ERROR_FILE_NOT_FOUND : ToError(rc);
}

// Fills `value` from the row of a "SELECT name, type, data" statement;
// `none` when there is no row.
LONG ReadValue(Statement& st, RegValue& value, LONG none)
{
    const int rc = st.Step();
    if (rc == SQLITE_DONE)
        return none;
    if (rc != SQLITE_ROW)
        return ToError(rc);
    value.name = st.Bytes(0);
    value.type = static_cast<DWORD>(st.Int(1));
    value.data = st.Bytes(2);
    return ERROR_SUCCESS;
}

} // namespace

LONG UserStore::OpenSubKey(std::int64_t key, const std::vector<std::string>& path, bool create, std::int64_t& result,
                           bool& created)
{
    return OnLiveKey(key, create, [&] { return WalkError(WalkPath(key, path, create, result, created)); });
}

LONG UserStore::QueryValue(std::int64_t key, const std::string& name, RegValue& value)
{
    return OnLiveKey(key, false, [&] {
        Statement st(m_db, "SELECT name, type, data FROM vals WHERE key = ?1 AND folded = ?2");
        return ReadValue(st.Bind(1, key).BindText(2, FoldName(name)), value, ERROR_FILE_NOT_FOUND);
    });
}

LONG UserStore::EnumValue(std::int64_t key, DWORD index, RegValue& value)
{
    return OnLiveKey(key, false, [&] {
        Statement st(m_db, "SELECT name, type, data FROM vals WHERE key = ?1 ORDER BY rowid LIMIT 1 OFFSET ?2");
        return ReadValue(st.Bind(1, key).Bind(2, index), value, ERROR_NO_MORE_ITEMS);
    });
}

LONG UserStore::Stats(std::int64_t key, KeyStats& stats)
{
    return OnLiveKey(key, false, [&] {
        Statement self(m_db, "SELECT written FROM keys WHERE id = ?1");
        int rc = self.Bind(1, key).Step();
        if (rc != SQLITE_ROW)
            return ToError(rc);
        stats.lastWrite = static_cast<std::uint64_t>(self.Int(0));

        Statement subKeys(m_db, "SELECT count(*), coalesce(max(length(CAST(name AS BLOB))), 0) FROM keys "
                                "WHERE parent = ?1");
        if ((rc = subKeys.Bind(1, key).Step()) != SQLITE_ROW)
            return ToError(rc);
        stats.subKeys = static_cast<DWORD>(subKeys.Int(0));
        stats.maxSubKeyLen = static_cast<DWORD>(subKeys.Int(1));

        Statement values(m_db, "SELECT count(*), coalesce(max(length(CAST(name AS BLOB))), 0), "
                               "coalesce(max(length(data)), 0) FROM vals WHERE key = ?1");
        if ((rc = values.Bind(1, key).Step()) != SQLITE_ROW)
            return ToError(rc);
        stats.values = static_cast<DWORD>(values.Int(0));
        stats.maxValueNameLen = static_cast<DWORD>(values.Int(1));
        stats.maxValueLen = static_cast<DWORD>(values.Int(2));
        return ERROR_SUCCESS;
    });
}

LONG UserStore::SetValue(std::int64_t key, const RegValue& value)
{
    return OnLiveKey(key, true, [&] {
        // An existing value keeps its place and the spelling of its name.
        Statement upsert(m_db, "INSERT INTO vals(key, name, folded, type, data) VALUES(?1, ?2, ?3, ?4, ?5) "
                               "ON CONFLICT(key, folded) DO UPDATE SET type = excluded.type, data = excluded.data");
        int rc = upsert.Bind(1, key)
                     .BindText(2, value.name)
                     .BindText(3, FoldName(value.name))
                     .Bind(4, value.type)
                     .BindBlob(5, value.data)
                     .Step();
        if (rc != SQLITE_DONE)
            return ToError(rc);
        Statement touch(m_db, "UPDATE keys SET written = ?2 WHERE id = ?1");
        rc = touch.Bind(1, key).Bind(2, static_cast<std::int64_t>(FileTimeNow())).Step();
        return ToError(rc);
    });
}

LONG UserStore::DeleteValue(std::int64_t key, const std::string& name)
{
    return OnLiveKey(key, true, [&] {
        Statement del(m_db, "DELETE FROM vals WHERE key = ?1 AND folded = ?2");
        if (const int rc = del.Bind(1, key).BindText(2, FoldName(name)).Step(); rc != SQLITE_DONE)
            return ToError(rc);
        return sqlite3_changes(m_db) == 0 ? ERROR_FILE_NOT_FOUND : ERROR_SUCCESS;
    });
}

LONG UserStore::DeleteSubKey(std::int64_t key, const std::vector<std::string>& path)
{
    return OnLiveKey(key, true, [&] {
        std::int64_t target = 0;
        bool created = false;
        int rc = WalkPath(key, path, false, target, created);
        if (rc != SQLITE_OK)
            return WalkError(rc);

        Statement children(m_db, "SELECT 1 FROM keys WHERE parent = ?1 LIMIT 1");
        rc = children.Bind(1, target).Step();
        if (rc == SQLITE_ROW)
            return ERROR_ACCESS_DENIED;  // only a key without sub-keys can go
        if (rc != SQLITE_DONE)
            return ToError(rc);
        Statement values(m_db, "DELETE FROM vals WHERE key = ?1");
        if ((rc = values.Bind(1, target).Step()) != SQLITE_DONE)
            return ToError(rc);
        Statement self(m_db, "DELETE FROM keys WHERE id = ?1");
        return ToError(self.Bind(1, target).Step());
    });
}

// ----- nodes ------------------------------------------------------------------

namespace {

class UserKeyNode final : public KeyNode
{
public:
    UserKeyNode(std::shared_ptr<UserStore> store, std::int64_t id) : m_store(std::move(store)), m_id(id) {}

    LONG OpenSubKey(const std::vector<std::string>& path, bool create, REGSAM /*access*/,
                    std::unique_ptr<KeyNode>& result, bool& created) override
    {
        std::int64_t id = 0;
        const LONG e = m_store->OpenSubKey(m_id, path, create, id, created);
        if (e == ERROR_SUCCESS)
            result = std::make_unique<UserKeyNode>(m_store, id);
        return e;
    }
    std::unique_ptr<KeyNode> Duplicate() const override { return std::make_unique<UserKeyNode>(m_store, m_id); }

    LONG QueryValue(const std::string& name, RegValue& value) override
    {
        return m_store->QueryValue(m_id, name, value);
    }
    LONG EnumValue(DWORD index, RegValue& value) override { return m_store->EnumValue(m_id, index, value); }
    LONG Stats(KeyStats& stats) override { return m_store->Stats(m_id, stats); }
    LONG SetValue(const RegValue& value) override { return m_store->SetValue(m_id, value); }
    LONG DeleteValue(const std::string& name) override { return m_store->DeleteValue(m_id, name); }
    LONG DeleteSubKey(const std::vector<std::string>& path) override
    {
        return m_store->DeleteSubKey(m_id, path);
    }
    bool ReadOnly() const override { return false; }

private:
    std::shared_ptr<UserStore> m_store;
    std::int64_t m_id;
};

} // namespace

std::unique_ptr<KeyNode> UserStore::Root()
{
    return std::make_unique<UserKeyNode>(shared_from_this(), kRootKey);
}

} // namespace registry::detail

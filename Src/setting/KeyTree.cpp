#include "KeyTree.h"

#include "Sqlite.h"
#include "StoreFile.h"

#include <sqlite3.h>

#include <new>
#include <utility>
#include <vector>

namespace registry::detail {

namespace {

const char kFindKey[] = "SELECT id FROM keys WHERE parent = ?1 AND folded = ?2";
const char kAddKey[] = "INSERT INTO keys(parent, name, folded) VALUES(?1, ?2, ?3)";
const char kFindValue[] = "SELECT name, type, data FROM vals WHERE key = ?1 AND folded = ?2";
// An existing value keeps its place and the spelling of its name.
const char kSetValue[] = "INSERT INTO vals(key, name, folded, type, data) VALUES(?1, ?2, ?3, ?4, ?5) "
                         "ON CONFLICT(key, folded) DO UPDATE SET type = excluded.type, data = excluded.data";

const StoreLayout kLayout = {
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
    "INSERT OR IGNORE INTO keys(id, parent, name, folded) VALUES(1, 0, '', '');",
    {kFindKey, kAddKey, kFindValue, kSetValue},
};

} // namespace

KeyTree::KeyTree(std::string path) : m_path(std::move(path)), m_db(OpenStoreFile(m_path, kLayout, m_openError))
{
}

KeyTree::~KeyTree()
{
    sqlite3_close(m_db);
}

template <class Step>
LONG KeyTree::Run(bool write, Step step)
{
    if (!m_db)
        return m_openError;
    try {
        const std::lock_guard<std::mutex> lock(m_mutex);
        Transaction tx(m_db, write);
        if (const LONG e = tx.Began(); e != ERROR_SUCCESS)
            return e;
        if (const LONG e = step(); e != ERROR_SUCCESS)
            return e;
        return tx.Commit();
    } catch (const std::bad_alloc&) {
        return ERROR_OUTOFMEMORY;
    }
}

LONG KeyTree::OpenKey(std::int64_t parent, const char* path, bool create, std::int64_t& key)
{
    std::vector<std::string> names;
    for (std::string rest = path ? path : ""; !rest.empty();) {
        const std::size_t end = rest.find('\\');
        names.push_back(rest.substr(0, end));
        if (names.back().empty())
            return ERROR_BAD_PATHNAME;
        rest.erase(0, end == std::string::npos ? end : end + 1);
    }
    return Run(create, [&] {
        std::int64_t current = parent;
        for (const std::string& name : names) {
            Statement find(m_db, kFindKey);
            int rc = find.Bind(1, current).Bind(2, FoldName(name)).Step();
            if (rc == SQLITE_ROW) {
                current = find.Int(0);
                continue;
            }
            if (rc != SQLITE_DONE)
                return ToError(rc);
            if (!create)
                return ERROR_FILE_NOT_FOUND;
            Statement add(m_db, kAddKey);
            if ((rc = add.Bind(1, current).Bind(2, name).Bind(3, FoldName(name)).Step()) != SQLITE_DONE)
                return ToError(rc);
            current = sqlite3_last_insert_rowid(m_db);
        }
        key = current;
        return ERROR_SUCCESS;
    });
}

LONG KeyTree::QueryValue(std::int64_t key, const std::string& name, RegValue& value)
{
    return Run(false, [&] {
        Statement find(m_db, kFindValue);
        const int rc = find.Bind(1, key).Bind(2, FoldName(name)).Step();
        if (rc != SQLITE_ROW)
            return rc == SQLITE_DONE ? ERROR_FILE_NOT_FOUND : ToError(rc);
        value = {find.Bytes(0), static_cast<DWORD>(find.Int(1)), find.Bytes(2)};
        return ERROR_SUCCESS;
    });
}

LONG KeyTree::SetValue(std::int64_t key, const RegValue& value)
{
    return Run(true, [&] {
        Statement set(m_db, kSetValue);
        return ToError(set.Bind(1, key)
                           .Bind(2, value.name)
                           .Bind(3, FoldName(value.name))
                           .Bind(4, std::int64_t{value.type})
                           .BindBlob(5, value.data)
                           .Step());
    });
}

} // namespace registry::detail

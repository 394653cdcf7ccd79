#pragma once

// Inside of the registry layer: HKEY_CURRENT_USER kept in one SQLite file.

#include "KeyNode.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

struct sqlite3;

namespace registry::detail {

// The database behind HKEY_CURRENT_USER. Keys form a tree of rows (the
// root key has id 1); values belong to a key and keep the order of their
// first setting. Every change is one short transaction, committed with
// the write-ahead log synced (synchronous=FULL) before the call returns;
// other processes wait for a busy file up to kBusyTimeoutMs.
class UserStore : public std::enable_shared_from_this<UserStore>
{
public:
    static constexpr int kBusyTimeoutMs = 15000;

    // Opens the store at `path`, creating its folder (0700) and file (0600)
    // when missing. A damaged file, or one that is not a database of this
    // kind, is renamed aside and a fresh store is started (one line to
    // stderr). Never fails: a store that cannot be opened at all answers
    // every call with the reason (also reported as one line on stderr).
    static std::shared_ptr<UserStore> Open(const std::string& path);

    UserStore(const UserStore&) = delete;
    UserStore& operator=(const UserStore&) = delete;
    ~UserStore();

    const std::string& Path() const { return m_path; }
    // ERROR_SUCCESS when the store is usable.
    LONG OpenError() const { return m_openError; }

    // A node on the root key.
    std::unique_ptr<KeyNode> Root();

    // Operations on the key with id `key`; a key id that is gone gives
    // ERROR_KEY_DELETED.
    LONG OpenSubKey(std::int64_t key, const std::vector<std::string>& path, bool create, std::int64_t& result,
                    bool& created);
    LONG QueryValue(std::int64_t key, const std::string& name, RegValue& value);
    LONG EnumValue(std::int64_t key, DWORD index, RegValue& value);
    LONG Stats(std::int64_t key, KeyStats& stats);
    LONG SetValue(std::int64_t key, const RegValue& value);
    LONG DeleteValue(std::int64_t key, const std::string& name);
    LONG DeleteSubKey(std::int64_t key, const std::vector<std::string>& path);

private:
    UserStore(std::string path, sqlite3* db, LONG openError);

    // Looks up (or, with create, makes) the key at `path` below `key`,
    // inside the caller's transaction.
    int WalkPath(std::int64_t key, const std::vector<std::string>& path, bool create, std::int64_t& result,
                 bool& created);
    // ERROR_SUCCESS, or ERROR_KEY_DELETED when the key is gone.
    LONG CheckKey(std::int64_t key);
    // Runs `step` under the lock, in one transaction, on a key that still
    // exists; commits when it answers ERROR_SUCCESS.
    template <class Step>
    LONG OnLiveKey(std::int64_t key, bool write, Step step);

    const std::string m_path;
    sqlite3* const m_db;
    const LONG m_openError;
    std::mutex m_mutex;  // one statement sequence at a time on m_db
};

} // namespace registry::detail

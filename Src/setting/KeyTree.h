#pragma once

// The per-user store's tree of keys: a row per key naming its parent, a row
// per value naming its key. A key keeps the spelling it was made with, a
// value that of its first setting; both are found by FoldName.

#include "RegTypes.h"

#include <cstdint>
#include <mutex>
#include <string>

struct sqlite3;

namespace registry::detail {

class KeyTree
{
public:
    static constexpr std::int64_t kRoot = 1;

    // Opens the store file at `path` (see OpenStoreFile). A tree whose file
    // could not be opened answers every call with the reason.
    explicit KeyTree(std::string path);
    ~KeyTree();
    KeyTree(const KeyTree&) = delete;
    KeyTree& operator=(const KeyTree&) = delete;

    const std::string& Path() const { return m_path; }

    // The key at `path` below `parent`: backslash-separated names, a trailing
    // backslash allowed, an empty name ERROR_BAD_PATHNAME; null or empty is
    // `parent` itself. With `create` the missing keys on the way are made,
    // without it a missing key is ERROR_FILE_NOT_FOUND.
    LONG OpenKey(std::int64_t parent, const char* path, bool create, std::int64_t& key);

    // ERROR_FILE_NOT_FOUND when the key has no such value.
    LONG QueryValue(std::int64_t key, const std::string& name, RegValue& value);

    // Committed, and the write-ahead log synced, before it returns.
    LONG SetValue(std::int64_t key, const RegValue& value);

private:
    // Runs `step` in one transaction under the lock; commits when it
    // answers ERROR_SUCCESS.
    template <class Step>
    LONG Run(bool write, Step step);

    const std::string m_path;
    LONG m_openError = ERROR_SUCCESS;
    sqlite3* const m_db;
    std::mutex m_mutex;  // one statement sequence at a time on m_db
};

} // namespace registry::detail

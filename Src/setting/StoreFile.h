#pragma once

// The file behind the per-user store.

#include "RegTypes.h"

#include <string>
#include <vector>

struct sqlite3;

namespace registry::detail {

// How long one process waits for another that holds the store or its folder.
constexpr int kBusyTimeoutMs = 15000;

// What a store of this program holds.
struct StoreLayout
{
    const char* create;                   // makes the tables of a fresh store
    std::vector<const char*> statements;  // every statement the store runs
};

// Opens the store at `path`, ready for use: write-ahead log, synced in full
// (synchronous=FULL) on every commit, waiting up to kBusyTimeoutMs for
// another process that holds it.
//  - The folder (0700) and the file (0600) are created when missing. Copies
//    of the program starting together take turns on a lock of the folder,
//    so that only one of them ever replaces a damaged file.
//  - A file that fails SQLite's integrity check, is another application's
//    database, or on which one of the layout's statements does not compile,
//    is damaged: it is renamed, with its -wal, -shm and -journal companions,
//    to "<path>.damaged-<YYYYmmdd-HHMMSS>" ("-<n>" added when taken), one
//    line on stderr says so, and a fresh store is made in its place.
// Returns null, with the reason in `error` and one line on stderr, when no
// usable store can be had.
sqlite3* OpenStoreFile(const std::string& path, const StoreLayout& layout, LONG& error);

} // namespace registry::detail

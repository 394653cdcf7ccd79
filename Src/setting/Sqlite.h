#pragma once

// A thin layer over SQLite for the store: one prepared statement, one
// transaction, and SQLite's result codes as registry errors.

#include "RegTypes.h"

#include <cstdint>
#include <string>

struct sqlite3;
struct sqlite3_stmt;

namespace registry::detail {

LONG ToError(int rc);
// The file is not a database, or not an intact one.
bool IsDamage(int rc);
// Runs statements that return no rows.
int Exec(sqlite3* db, const char* sql);

// A prepared statement, finalized on destruction. A failed prepare or bind
// is kept and answered by Step.
class Statement
{
public:
    Statement(sqlite3* db, const char* sql);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    int Prepared() const { return m_rc; }
    Statement& Bind(int index, std::int64_t value);
    Statement& Bind(int index, const std::string& text);
    // A zero-length blob, not NULL, for empty bytes.
    Statement& BindBlob(int index, const std::string& bytes);

    // SQLITE_ROW, SQLITE_DONE, or the error.
    int Step();
    std::int64_t Int(int column) const;
    std::string Bytes(int column) const;

private:
    void Keep(int rc);

    sqlite3_stmt* m_stmt = nullptr;
    int m_rc;
};

// A transaction rolled back unless committed. A writer takes the write lock
// at once (BEGIN IMMEDIATE), so that writers wait for each other in the
// busy handler rather than fail half-way.
class Transaction
{
public:
    Transaction(sqlite3* db, bool write);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    LONG Began() const { return ToError(m_rc); }
    LONG Commit();

private:
    sqlite3* m_db;
    int m_rc;
    bool m_active;
};

} // namespace registry::detail

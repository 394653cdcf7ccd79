#include "Sqlite.h"

#include <sqlite3.h>

namespace registry::detail {

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

bool IsDamage(int rc)
{
    return (rc & 0xff) == SQLITE_CORRUPT || (rc & 0xff) == SQLITE_NOTADB;
}

int Exec(sqlite3* db, const char* sql)
{
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
}

Statement::Statement(sqlite3* db, const char* sql)
{
    m_rc = sqlite3_prepare_v2(db, sql, -1, &m_stmt, nullptr);
    if (m_rc == SQLITE_OK && !m_stmt)
        m_rc = SQLITE_ERROR;  // no statement in the text
}

Statement::~Statement()
{
    sqlite3_finalize(m_stmt);
}

void Statement::Keep(int rc)
{
    if (m_rc == SQLITE_OK)
        m_rc = rc;
}

Statement& Statement::Bind(int index, std::int64_t value)
{
    if (m_rc == SQLITE_OK)
        Keep(sqlite3_bind_int64(m_stmt, index, value));
    return *this;
}

Statement& Statement::Bind(int index, const std::string& text)
{
    if (m_rc == SQLITE_OK)
        Keep(sqlite3_bind_text(m_stmt, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT));
    return *this;
}

Statement& Statement::BindBlob(int index, const std::string& bytes)
{
    if (m_rc == SQLITE_OK)
        Keep(sqlite3_bind_blob(m_stmt, index, bytes.data(), static_cast<int>(bytes.size()), SQLITE_TRANSIENT));
    return *this;
}

int Statement::Step()
{
    if (m_rc != SQLITE_OK)
        return m_rc;
    const int rc = sqlite3_step(m_stmt);
    if (rc != SQLITE_ROW && rc != SQLITE_DONE)
        m_rc = rc;
    return rc;
}

std::int64_t Statement::Int(int column) const
{
    return sqlite3_column_int64(m_stmt, column);
}

std::string Statement::Bytes(int column) const
{
    const auto* p = static_cast<const char*>(sqlite3_column_blob(m_stmt, column));
    const int n = sqlite3_column_bytes(m_stmt, column);
    return p && n > 0 ? std::string(p, static_cast<std::size_t>(n)) : std::string();
}

Transaction::Transaction(sqlite3* db, bool write) : m_db(db)
{
    m_rc = Exec(db, write ? "BEGIN IMMEDIATE" : "BEGIN");
    m_active = m_rc == SQLITE_OK;
}

Transaction::~Transaction()
{
    if (m_active)
        Exec(m_db, "ROLLBACK");
}

LONG Transaction::Commit()
{
    m_rc = Exec(m_db, "COMMIT");
    if (m_rc == SQLITE_OK)
        m_active = false;
    return ToError(m_rc);
}

} // namespace registry::detail

#pragma once

#include <memory>
#include <QString>
#include <sql.h>

namespace glimora::data {

class DbError;

// Owns one ODBC handle and turns the diagnostics behind it into DbError.
class OdbcHandle
{
public:
    // Allocates a handle of `type` under `parent` (null for the environment).
    OdbcHandle(SQLSMALLINT type, SQLHANDLE parent);
    ~OdbcHandle();
    OdbcHandle(const OdbcHandle&) = delete;
    OdbcHandle& operator=(const OdbcHandle&) = delete;

    SQLHANDLE get() const { return m_handle; }

    // Throws the handle's first diagnostic record when `result` is a failure; SQL_NO_DATA
    // and the success codes pass.
    void check(SQLRETURN result, const char* call) const;
    DbError error(const char* call) const;

    static QString fromWide(const SQLWCHAR* text, qsizetype length);

private:
    SQLSMALLINT m_type;
    SQLHANDLE m_handle = SQL_NULL_HANDLE;
};

} // namespace glimora::data

#include "data/OdbcHandle.h"

#include "data/DbError.h"

#include <algorithm>
#include <QList>
#include <sqlext.h>

namespace glimora::data {

OdbcHandle::OdbcHandle(SQLSMALLINT type, SQLHANDLE parent)
    : m_type(type)
{
    const SQLRETURN result = SQLAllocHandle(type, parent, &m_handle);
    if (!SQL_SUCCEEDED(result)) {
        m_handle = SQL_NULL_HANDLE;
        throw DbError(
            DbError::ProviderFailure, QStringLiteral("The ODBC driver manager could not allocate a handle."));
    }
}

OdbcHandle::~OdbcHandle()
{
    if (m_handle != SQL_NULL_HANDLE)
        SQLFreeHandle(m_type, m_handle);
}

void OdbcHandle::check(SQLRETURN result, const char* call) const
{
    if (SQL_SUCCEEDED(result) || result == SQL_NO_DATA)
        return;
    throw error(call);
}

DbError OdbcHandle::error(const char* call) const
{
    SQLWCHAR state[6] = {};
    SQLINTEGER nativeError = 0;
    QList<SQLWCHAR> message(4096, 0);
    SQLSMALLINT length = 0;
    const SQLRETURN result = SQLGetDiagRecW(
        m_type, m_handle, 1, state, &nativeError, message.data(), SQLSMALLINT(message.size()), &length);
    if (!SQL_SUCCEEDED(result))
        return DbError(DbError::ProviderFailure,
            QStringLiteral("%1 failed without a diagnostic from the ODBC driver.").arg(QLatin1String(call)));
    const qsizetype textLength = qMin<qsizetype>(length, message.size() - 1);
    return DbError(DbError::ProviderFailure, fromWide(message.data(), textLength), int(nativeError))
        .setSqlState(fromWide(state, std::find(state, state + 5, SQLWCHAR(0)) - state));
}

QString OdbcHandle::fromWide(const SQLWCHAR* text, qsizetype length)
{
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(text), length);
}

} // namespace glimora::data

#include "engine/storage/SqliteStatement.h"

#include "engine/storage/DatabaseConnection.h"

#include <sqlite3.h>

namespace glimora::engine {

SqliteStatement::SqliteStatement(DatabaseConnection& connection, const QString& sql)
    : m_connection(connection)
{
    const QByteArray utf8 = sql.toUtf8();
    const int rc
        = sqlite3_prepare_v2(connection.handle(), utf8.constData(), int(utf8.size()), &m_statement, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_finalize(m_statement);
        m_statement = nullptr;
        throw connection.error(rc);
    }
}

SqliteStatement::~SqliteStatement()
{
    sqlite3_finalize(m_statement);
}

bool SqliteStatement::step()
{
    const int rc = sqlite3_step(m_statement);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    throw m_connection.error(rc);
}

void SqliteStatement::bindText(int index, const QString& value)
{
    const QByteArray utf8 = value.toUtf8();
    sqlite3_bind_text(m_statement, index, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
}

void SqliteStatement::bindInt(int index, qint64 value)
{
    sqlite3_bind_int64(m_statement, index, value);
}

void SqliteStatement::bindNull(int index)
{
    sqlite3_bind_null(m_statement, index);
}

void SqliteStatement::reset()
{
    sqlite3_reset(m_statement);
}

QString SqliteStatement::textColumn(int index) const
{
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(m_statement, index));
    return QString::fromUtf8(text, sqlite3_column_bytes(m_statement, index));
}

qint64 SqliteStatement::intColumn(int index) const
{
    return sqlite3_column_int64(m_statement, index);
}

} // namespace glimora::engine

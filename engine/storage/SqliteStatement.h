#pragma once

#include <QByteArray>
#include <QString>

struct sqlite3;
struct sqlite3_stmt;

namespace glimora::engine {

class DatabaseConnection;

// One prepared SQLite statement, finalized when it goes. Failures throw ServerError
// in SQL Server's words.
class SqliteStatement
{
public:
    SqliteStatement(DatabaseConnection& connection, const QString& sql);
    ~SqliteStatement();
    SqliteStatement(const SqliteStatement&) = delete;
    SqliteStatement& operator=(const SqliteStatement&) = delete;

    // True when a row is ready, false when the statement is done.
    bool step();
    sqlite3_stmt* handle() const { return m_statement; }

    void bindText(int index, const QString& value);
    void bindInt(int index, qint64 value);
    void bindNull(int index);
    // Ready to run again, with the same bindings until they are replaced.
    void reset();
    QString textColumn(int index) const;
    qint64 intColumn(int index) const;

private:
    DatabaseConnection& m_connection;
    sqlite3_stmt* m_statement = nullptr;
};

} // namespace glimora::engine

#pragma once

#include "engine/values/SqlFunctions.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <sqlite3.h>

namespace glimora::bench {

// Writes a bench's rows straight into a database file through SQLite, in one transaction, far
// faster than statements would; at the end every row is in the file itself, none in its log.
class DirectFill
{
public:
    DirectFill(const QString& path, const char* insert)
    {
        sqlite3_open(QFile::encodeName(path).constData(), &m_db);
        engine::SqlFunctions::install(m_db);
        sqlite3_exec(m_db, "BEGIN", nullptr, nullptr, nullptr);
        sqlite3_prepare_v2(m_db, insert, -1, &m_insert, nullptr);
    }
    ~DirectFill()
    {
        sqlite3_finalize(m_insert);
        sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr);
        sqlite3_exec(m_db, "PRAGMA wal_checkpoint(TRUNCATE)", nullptr, nullptr, nullptr);
        sqlite3_close(m_db);
    }
    DirectFill(const DirectFill&) = delete;
    DirectFill& operator=(const DirectFill&) = delete;

    // Columns count from 1, as SQLite's parameters do.
    void text(int column, const QByteArray& value)
    {
        sqlite3_bind_text(m_insert, column, value.constData(), int(value.size()), SQLITE_TRANSIENT);
    }
    void number(int column, double value) { sqlite3_bind_double(m_insert, column, value); }
    void integer(int column, int value) { sqlite3_bind_int(m_insert, column, value); }
    void blob(int column, const QByteArray& value)
    {
        sqlite3_bind_blob(m_insert, column, value.constData(), int(value.size()), SQLITE_TRANSIENT);
    }
    void null(int column) { sqlite3_bind_null(m_insert, column); }
    void insertRow()
    {
        sqlite3_step(m_insert);
        sqlite3_reset(m_insert);
    }

private:
    sqlite3* m_db = nullptr;
    sqlite3_stmt* m_insert = nullptr;
};

} // namespace glimora::bench

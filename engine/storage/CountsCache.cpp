#include "engine/storage/CountsCache.h"

#include "engine/storage/DatabaseConnection.h"

#include <sqlite3.h>

namespace glimora::engine {

namespace {

qint64 pragma(sqlite3* db, const char* name)
{
    sqlite3_stmt* statement = nullptr;
    qint64 value = -1;
    if (sqlite3_prepare_v2(db, name, -1, &statement, nullptr) == SQLITE_OK
        && sqlite3_step(statement) == SQLITE_ROW)
        value = sqlite3_column_int64(statement, 0);
    sqlite3_finalize(statement);
    return value;
}

} // namespace

bool CountsCache::mayKeep(const QString& sql)
{
    if (!sql.contains(QLatin1String(" GROUP BY "), Qt::CaseInsensitive))
        return false;
    // What gives other rows for the same data: the clock, chance, a temporary table.
    static const char* const changing[]
        = { "random", "now", "date", "time", "julianday", "newid", "rand", "identity", "temp.", "#" };
    for (const char* word : changing) {
        if (sql.contains(QLatin1String(word), Qt::CaseInsensitive))
            return false;
    }
    return true;
}

QString CountsCache::keyOf(const QString& sql, const QList<ResultColumn>& columns)
{
    QString key = sql;
    for (const ResultColumn& column : columns) {
        key += QStringLiteral("\x1f%1 %2 %3 %4 %5")
                   .arg(column.name)
                   .arg(int(column.type.base))
                   .arg(column.type.length)
                   .arg(column.type.precision)
                   .arg(column.type.scale);
    }
    return key;
}

std::optional<CountsCache::Stamp> CountsCache::stampOf(DatabaseConnection& database)
{
    sqlite3* db = database.handle();
    if (database.inTransaction() || sqlite3_get_autocommit(db) == 0)
        return std::nullopt;
    const Stamp stamp { pragma(db, "PRAGMA data_version"), pragma(db, "PRAGMA schema_version"),
        qint64(sqlite3_total_changes64(db)) };
    if (stamp.dataVersion < 0 || stamp.schemaVersion < 0)
        return std::nullopt;
    return stamp;
}

bool CountsCache::holds(
    const std::shared_ptr<DatabaseConnection>& database, const std::optional<Stamp>& now) const
{
    return now && m_database.lock() == database && *now == m_stamp;
}

std::optional<SqliteCursor::Rows> CountsCache::find(
    const std::shared_ptr<DatabaseConnection>& database, const QString& sql)
{
    const std::optional<Stamp> now = stampOf(*database);
    if (!holds(database, now)) {
        m_answers.clear();
        m_database = database;
        m_stamp = now.value_or(Stamp {});
        return std::nullopt;
    }
    const auto found = m_answers.constFind(sql);
    if (found == m_answers.cend())
        return std::nullopt;
    return *found;
}

void CountsCache::keep(
    const std::shared_ptr<DatabaseConnection>& database, const QString& sql, SqliteCursor::Rows rows)
{
    // Kept under the stamp the answer was read at; a change since forgets it at the next find.
    if (!holds(database, stampOf(*database)) || rows.rows.size() > MostRows)
        return;
    if (m_answers.size() >= MostAnswers)
        m_answers.clear();
    m_answers.insert(sql, std::move(rows));
}

} // namespace glimora::engine

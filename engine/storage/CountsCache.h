#pragma once

#include "engine/storage/SqliteCursor.h"

#include <QHash>
#include <QString>

#include <memory>
#include <optional>

namespace glimora::engine {

class DatabaseConnection;

// The answers of a session's grouped counts ("select c, count(*) from t ... group by c"), kept
// while the database is unchanged: the station asks the same counts of every visitor, and on
// a large table each reads a whole index. Any change (a commit of another connection, a row
// or schema change of this one, another database) forgets them all, so an answer is never
// stale.
class CountsCache
{
public:
    // Rows of larger answers are not kept.
    static constexpr int MostRows = 1000;
    static constexpr int MostAnswers = 32;

    // Whether the answer of `sql` may be kept: a grouped select that gives the same rows for
    // the same data.
    static bool mayKeep(const QString& sql);
    // What an answer is kept under: its statement, and the names and types of the columns it
    // is read as, since two statements of one text may differ in them (count and count_big).
    static QString keyOf(const QString& sql, const QList<ResultColumn>& columns);

    std::optional<SqliteCursor::Rows> find(
        const std::shared_ptr<DatabaseConnection>& database, const QString& sql);
    void keep(
        const std::shared_ptr<DatabaseConnection>& database, const QString& sql, SqliteCursor::Rows rows);

private:
    struct Stamp
    {
        qint64 dataVersion = -1;
        qint64 schemaVersion = -1;
        qint64 changes = -1;
        bool operator==(const Stamp&) const = default;
    };
    // None when the connection is inside a transaction, which may yet roll back, or when it
    // could not tell its state: either way nothing is kept or given.
    static std::optional<Stamp> stampOf(DatabaseConnection& database);
    // Whether `database` is the connection the answers were read through, and unchanged since.
    bool holds(const std::shared_ptr<DatabaseConnection>& database, const std::optional<Stamp>& now) const;

    // Not kept alive here: a restore's new connection must not meet the answers of the old.
    std::weak_ptr<DatabaseConnection> m_database;
    Stamp m_stamp;
    QHash<QString, SqliteCursor::Rows> m_answers;
};

} // namespace glimora::engine

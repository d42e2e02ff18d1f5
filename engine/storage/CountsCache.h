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
    static constexpr int MostRows = 10000;
    static constexpr int MostAnswers = 64;

    // Whether the answer of `sql` may be kept: a grouped select that gives the same rows for
    // the same data.
    static bool mayKeep(const QString& sql);

    std::optional<SqliteCursor::Rows> find(const std::shared_ptr<DatabaseConnection>& database, const QString& sql);
    void keep(const std::shared_ptr<DatabaseConnection>& database, const QString& sql, SqliteCursor::Rows rows);

private:
    struct Stamp
    {
        qint64 dataVersion = -1;
        qint64 schemaVersion = -1;
        qint64 changes = -1;
        bool operator==(const Stamp&) const = default;
    };
    static Stamp stampOf(DatabaseConnection& database);
    // Whether `database` is the connection the answers were read through, and unchanged since.
    bool holds(const std::shared_ptr<DatabaseConnection>& database, const Stamp& now) const;

    // Not kept alive here: a restore's new connection must not meet the answers of the old.
    std::weak_ptr<DatabaseConnection> m_database;
    Stamp m_stamp;
    QHash<QString, SqliteCursor::Rows> m_answers;
};

} // namespace glimora::engine

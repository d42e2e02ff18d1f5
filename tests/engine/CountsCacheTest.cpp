#include "engine/storage/CountsCache.h"
#include "engine/storage/DatabaseConnection.h"
#include "engine/storage/SqliteCursor.h"

#include <gtest/gtest.h>
#include <QTemporaryDir>
#include <sqlite3.h>

using namespace glimora::engine;

namespace {

void exec(const std::shared_ptr<DatabaseConnection>& database, const char* sql)
{
    ASSERT_EQ(sqlite3_exec(database->handle(), sql, nullptr, nullptr, nullptr), SQLITE_OK) << sql;
}

// Reads `sql` through `database` and keeps its answer, as a session does.
void answer(CountsCache& cache, const std::shared_ptr<DatabaseConnection>& database, const QString& sql)
{
    SqliteCursor cursor(database, sql, {});
    ASSERT_TRUE(cursor.readAhead(CountsCache::MostRows + 1));
    cache.keep(database, sql, *cursor.drainedRows());
}

} // namespace

// An answer is given again only through the connection that read it, and only while neither
// it nor another connection changed a row or the schema.
TEST(CountsCacheTest, AnswersStandOnlyWhileTheDatabaseDoes)
{
    QTemporaryDir folder;
    const QString path = folder.filePath("counts.sqlite");
    DatabaseConnection::createFile(path, "sa", "0x01");
    std::shared_ptr<DatabaseConnection> own = DatabaseConnection::open("counts", path, 1000);
    const std::shared_ptr<DatabaseConnection> other = DatabaseConnection::open("counts", path, 1000);
    exec(own, "CREATE TABLE t (a INT) ; INSERT INTO t VALUES (1), (1), (2)");
    const QString sql = "SELECT a, count(*) FROM t GROUP BY a";
    CountsCache cache;

    const auto changedBy = [&](const std::shared_ptr<DatabaseConnection>& writer, const char* change) {
        EXPECT_FALSE(cache.find(own, sql));
        answer(cache, own, sql);
        const std::optional<SqliteCursor::Rows> kept = cache.find(own, sql);
        EXPECT_TRUE(kept && kept->rows.size() >= 1);
        exec(writer, change);
        return !cache.find(own, sql).has_value();
    };
    EXPECT_TRUE(changedBy(other, "INSERT INTO t VALUES (3)"));
    EXPECT_TRUE(changedBy(own, "DELETE FROM t WHERE a = 3"));
    EXPECT_TRUE(changedBy(own, "CREATE INDEX ta ON t (a)"));
    EXPECT_TRUE(changedBy(other, "DROP INDEX ta"));
    EXPECT_FALSE(changedBy(own, "SELECT count(*) FROM t")) << "a read is no change";

    // Inside a transaction nothing is kept or given: it may yet roll back.
    exec(own, "BEGIN; INSERT INTO t VALUES (9)");
    EXPECT_FALSE(cache.find(own, sql));
    answer(cache, own, sql);
    EXPECT_FALSE(cache.find(own, sql));
    exec(own, "ROLLBACK");
    EXPECT_FALSE(cache.find(own, sql));

    answer(cache, own, sql);
    EXPECT_FALSE(cache.find(other, sql));
    answer(cache, own, sql);
    own = DatabaseConnection::open("counts", path, 1000);
    EXPECT_FALSE(cache.find(own, sql)) << "a new connection of the same name";

    // One text read as other types is another answer (count and count_big).
    const QList<ResultColumn> counted { { "a", SqlType::of(SqlType::Base::Int), {}, {} } };
    const QList<ResultColumn> countedBig { { "a", SqlType::of(SqlType::Base::BigInt), {}, {} } };
    EXPECT_NE(CountsCache::keyOf(sql, counted), CountsCache::keyOf(sql, countedBig));

    EXPECT_TRUE(CountsCache::mayKeep("SELECT d1, count(*) FROM inquiry WHERE d2 = 'x' GROUP BY d1"));
    EXPECT_FALSE(CountsCache::mayKeep("SELECT d1 FROM inquiry"));
    EXPECT_FALSE(
        CountsCache::mayKeep("SELECT d1, count(*) FROM inquiry WHERE d16 < datetime('now') GROUP BY d1"));
    EXPECT_FALSE(CountsCache::mayKeep("SELECT d1, count(*) FROM temp.\"#t\" GROUP BY d1"));
    EXPECT_FALSE(
        CountsCache::mayKeep("SELECT d1, count(*), tsql_identity('inquiry') FROM inquiry GROUP BY d1"));
}

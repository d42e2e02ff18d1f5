#pragma once

#include "engine/storage/TableInfo.h"
#include "engine/tsql/Ast.h"

#include <QString>
#include <QStringList>

namespace glimora::engine {

class DatabaseConnection;

// Indexes that the server keeps by itself for the questions clients ask of large tables. For
// "select distinct c from t where a = x and b = y order by c" it keeps an index on (a, b, c),
// so that SQLite answers by seeking from one value of c to the next instead of reading the
// whole table; a condition on a column alone gets an index on that column. The counts of
// "select c, count(*) from t where a = x group by c" get (a, c) in the same way. Each is built on
// the first such question once the table holds Threshold rows, with its statistics, and an
// index that a longer one starts with is dropped. They live in the database file under
// reserved names, so T-SQL never lists them, DROP TABLE takes them along, and backups
// carry them.
class ServedIndexes
{
public:
    static constexpr qint64 Threshold = 10000;
    // Kept indexes of one table at most: every insert updates each of them, and visitors who
    // combine lists at will would otherwise add one for every pair they try.
    static constexpr int MostKept = 24;
    static inline const QString Prefix = QStringLiteral("__glimora_index_");

    // What a query over one table asks for: the columns it compares with constants by
    // equality, and the one column whose order it follows (DISTINCT, ORDER BY) or, failing
    // that, the one it bounds.
    struct Wish
    {
        QStringList equal;
        QString ordered;
        bool orderMatters = false; // an index helps only with `ordered` right after `equal`
        bool isEmpty() const { return equal.isEmpty() && ordered.isEmpty(); }
        // The key of the index that answers it best.
        QStringList key() const;
    };
    static Wish wish(const ast::Select& select, const TableInfo& table);

    // True when an index of key `existing` serves `wish`.
    static bool serves(const QStringList& existing, const Wish& wish);

    // Makes sure `table` has an index that serves `wish`, when the table is large. Best
    // effort: a database busy with another writer, or any failure, leaves things as they
    // were and the question is answered without the index.
    static void serve(DatabaseConnection& database, const TableInfo& table, const Wish& wish);

    // Called within the write that changed `changed` rows of `table`: the statistics of its
    // kept indexes that no longer describe it (it changed by more than a tenth of the rows they
    // counted) are taken again from a sample, so that plans follow the table as it grows from
    // its first rows to millions, or empties. Best effort, like serve().
    static void refreshStatistics(DatabaseConnection& database, const QString& table, qint64 changed);

    // A bulk insert (from a query or a workbook) into a table that holds fewer than Threshold
    // rows, as after it was emptied for a new import, does not place each row in every kept
    // index: within its write, the indexes are set aside before and built again after it,
    // which sorts the rows once and is many times faster.
    struct SetAside
    {
        QString name;
        QString definition; // its CREATE INDEX statement
    };
    static QList<SetAside> setAsideForBulkInsert(DatabaseConnection& database, const TableInfo& table);
    static void buildAgain(DatabaseConnection& database, const QList<SetAside>& indexes);

    // While it lives, a bulk insert into a large table with kept indexes has room in the page
    // cache for the index pages it changes, so that they are not written out and read back
    // over and over; the usual cache comes back after.
    class MaintenanceCache
    {
    public:
        MaintenanceCache(DatabaseConnection& database, const TableInfo& table);
        ~MaintenanceCache();
        MaintenanceCache(const MaintenanceCache&) = delete;
        MaintenanceCache& operator=(const MaintenanceCache&) = delete;

    private:
        DatabaseConnection* m_database = nullptr;
        qint64 m_usualSize = 0;
    };
};

} // namespace glimora::engine

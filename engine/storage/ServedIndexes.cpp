#include "engine/storage/ServedIndexes.h"

#include "engine/server/FaultPoint.h"
#include "engine/storage/DatabaseConnection.h"
#include "engine/storage/SqliteStatement.h"
#include "engine/tsql/Translator.h"

#include <algorithm>
#include <sqlite3.h>

namespace glimora::engine {

using ast::Expr;
using ast::ExprPtr;

namespace {

bool isConstant(const ExprPtr& e)
{
    if (!e)
        return false;
    if (e->kind == Expr::Kind::String || e->kind == Expr::Kind::Number)
        return true;
    return e->kind == Expr::Kind::Unary && (e->text == QLatin1String("-") || e->text == QLatin1String("+"))
        && !e->args.isEmpty() && e->args[0]->kind == Expr::Kind::Number;
}

void conjuncts(const ExprPtr& e, QList<const Expr*>& out)
{
    if (!e)
        return;
    if (e->kind == Expr::Kind::Binary_ && e->text == QLatin1String("and") && e->args.size() == 2) {
        conjuncts(e->args[0], out);
        conjuncts(e->args[1], out);
        return;
    }
    out.append(e.get());
}

bool sameColumns(QStringList left, QStringList right)
{
    for (QString& name : left)
        name = name.toLower();
    for (QString& name : right)
        name = name.toLower();
    left.sort();
    right.sort();
    return left == right;
}

bool startsWith(const QStringList& key, const QStringList& prefix)
{
    if (prefix.size() > key.size())
        return false;
    for (qsizetype i = 0; i < prefix.size(); ++i) {
        if (key[i].compare(prefix[i], Qt::CaseInsensitive) != 0)
            return false;
    }
    return true;
}

// The drill-down levels of the station's records, when the database holds its field
// catalogue: the shown fields with a place in the order, as the query screen reads them.
QStringList catalogueLevels(DatabaseConnection& database, const TableInfo& table)
{
    QStringList levels;
    if (table.name.compare(QLatin1String("inquiry"), Qt::CaseInsensitive) != 0)
        return levels;
    try {
        SqliteStatement statement(database,
            QStringLiteral(
                "SELECT engl FROM contrast WHERE sort IS NOT NULL AND lower(substr(chna, -1)) <> 'h'"
                " ORDER BY sort"));
        while (statement.step() && levels.size() < 8) {
            const int index = table.indexOf(statement.textColumn(0));
            if (index < 0 || table.columns[index].identity || table.columns[index].type.isBinary())
                break;
            levels.append(table.columns[index].name);
        }
    } catch (const ServerError&) {
        levels.clear();
    }
    return levels;
}

// The names of the indexes the server keeps on `table`.
QStringList keptIndexes(DatabaseConnection& database, const QString& table)
{
    QStringList names;
    for (const DatabaseConnection::IndexKey& index : database.indexes(table)) {
        if (index.name.startsWith(ServedIndexes::Prefix, Qt::CaseInsensitive))
            names.append(index.name);
    }
    return names;
}

// Takes the statistics of each index from a sample of it: as good for the planner's choices
// as a full reading, and quick on millions of rows.
void analyzeFromSample(DatabaseConnection& database, const QStringList& indexes)
{
    if (FaultPoint::fails("index-statistics"))
        throw ServerError(1105,
            QStringLiteral("Could not allocate space in database '%1' because the disk is full.")
                .arg(database.name()),
            17);
    database.execute(QStringLiteral("PRAGMA analysis_limit=1000"));
    try {
        for (const QString& name : indexes)
            database.execute(QStringLiteral("ANALYZE %1").arg(Translator::quoteName(name)));
    } catch (...) {
        // The first failure is the one to report.
        try {
            database.execute(QStringLiteral("PRAGMA analysis_limit=0"));
        } catch (const ServerError&) {
        }
        throw;
    }
    database.execute(QStringLiteral("PRAGMA analysis_limit=0"));
}

// Whether the table has grown to the size that earns kept indexes.
bool isLarge(DatabaseConnection& database, const TableInfo& table)
{
    SqliteStatement size(database, QStringLiteral("SELECT max(rowid) FROM %1").arg(table.sqlName));
    return size.step() && size.intColumn(0) >= ServedIndexes::Threshold;
}

// Creates the index of `key` on `table` with its statistics, within a write of the caller's.
void build(DatabaseConnection& database, const TableInfo& table, const QStringList& key)
{
    QStringList quoted;
    for (const QString& column : key)
        quoted.append(Translator::quoteName(column));
    const QString name = ServedIndexes::Prefix + table.name + QLatin1Char('_') + key.join(QLatin1Char('_'));
    database.execute(QStringLiteral("CREATE INDEX IF NOT EXISTS %1 ON %2(%3)")
                         .arg(Translator::quoteName(name), table.sqlName, quoted.join(QLatin1Char(','))));
    database.forgetSchema();
    const QList<DatabaseConnection::IndexKey>& indexes = database.indexes(table.name);
    // The name may be taken by an index of another table whose name runs on with ours.
    if (std::none_of(indexes.cbegin(), indexes.cend(),
            [&](const DatabaseConnection::IndexKey& index) { return index.name == name; }))
        return;
    // An index of ours that this one starts with serves nothing this one does not.
    const QList<DatabaseConnection::IndexKey> current = indexes;
    for (const DatabaseConnection::IndexKey& index : current) {
        if (index.name.startsWith(ServedIndexes::Prefix, Qt::CaseInsensitive) && index.name != name
            && index.columns.size() < key.size() && startsWith(key, index.columns))
            database.execute(QStringLiteral("DROP INDEX %1").arg(Translator::quoteName(index.name)));
    }
    // The planner seeks from value to value only when it knows how many rows share one.
    analyzeFromSample(database, { name });
    database.forgetSchema();
}

} // namespace

QStringList ServedIndexes::Wish::key() const
{
    QStringList key = equal;
    if (!ordered.isEmpty())
        key.append(ordered);
    return key;
}

ServedIndexes::Wish ServedIndexes::wish(const ast::Select& select, const TableInfo& table)
{
    if (!select.hasFrom || !select.from.joins.isEmpty()
        || select.from.first.kind != ast::TableSource::Kind::Table || !select.unions.isEmpty()
        || select.groupBy.size() > 1 || (!select.groupBy.isEmpty() && select.distinct))
        return {};
    const QString& exposed
        = select.from.first.alias.isEmpty() ? select.from.first.name : select.from.first.alias;
    bool byRowid = false;
    const auto columnOf = [&](const ExprPtr& e) -> QString {
        if (!e || e->kind != Expr::Kind::Column)
            return {};
        if (!e->qualifier.isEmpty() && e->qualifier.compare(exposed, Qt::CaseInsensitive) != 0)
            return {};
        const int index = table.indexOf(e->text);
        if (index < 0 || table.columns[index].type.isBinary())
            return {};
        // An identity column is SQLite's rowid: the table itself is ordered by it.
        if (table.columns[index].identity) {
            byRowid = true;
            return {};
        }
        return table.columns[index].name;
    };

    Wish wish;
    QString bounded;
    QList<const Expr*> parts;
    conjuncts(select.where, parts);
    for (const Expr* part : parts) {
        if (part->kind == Expr::Kind::Between && !part->negated && part->args.size() == 3) {
            const QString column = columnOf(part->args[0]);
            if (!column.isEmpty() && bounded.isEmpty() && isConstant(part->args[1])
                && isConstant(part->args[2]))
                bounded = column;
            continue;
        }
        if (part->kind != Expr::Kind::Binary_ || part->args.size() != 2)
            continue;
        const QString& op = part->text;
        const bool equality = op == QLatin1String("=");
        if (!equality && op != QLatin1String("<") && op != QLatin1String(">") && op != QLatin1String("<=")
            && op != QLatin1String(">="))
            continue;
        QString column = columnOf(part->args[0]);
        if (column.isEmpty() || !isConstant(part->args[1])) {
            column = isConstant(part->args[0]) ? columnOf(part->args[1]) : QString();
            if (column.isEmpty())
                continue;
        }
        if (equality) {
            if (!wish.equal.contains(column, Qt::CaseInsensitive))
                wish.equal.append(column);
        } else if (bounded.isEmpty()) {
            bounded = column;
        }
    }
    if (byRowid && !wish.equal.isEmpty())
        return {};

    byRowid = false;
    if (!select.groupBy.isEmpty()) {
        // The counts of a filter list's values under one other list's value: an index for
        // each pair of lists at most, rather than one for every set of lists a visitor fills.
        if (wish.equal.size() > 1)
            return {};
        wish.ordered = columnOf(select.groupBy[0]);
    } else if (select.distinct && select.items.size() == 1)
        wish.ordered = columnOf(select.items[0].expr);
    else if (!select.distinct && !select.orderBy.isEmpty())
        wish.ordered = columnOf(select.orderBy[0].expr);
    wish.orderMatters = !wish.ordered.isEmpty();
    if (byRowid && wish.equal.isEmpty())
        return {};
    if (wish.ordered.isEmpty() && !bounded.isEmpty())
        wish.ordered = bounded;
    if (wish.equal.contains(wish.ordered, Qt::CaseInsensitive)) {
        wish.ordered.clear();
        wish.orderMatters = false;
    }
    return wish;
}

bool ServedIndexes::serves(const QStringList& existing, const Wish& wish)
{
    if (existing.isEmpty())
        return false;
    if (!wish.orderMatters) {
        // Any index that starts with a compared column narrows the rows enough for a page.
        return wish.equal.contains(existing.first(), Qt::CaseInsensitive)
            || existing.first().compare(wish.ordered, Qt::CaseInsensitive) == 0;
    }
    const qsizetype equal = wish.equal.size();
    return existing.size() > equal && sameColumns(existing.mid(0, equal), wish.equal)
        && existing[equal].compare(wish.ordered, Qt::CaseInsensitive) == 0;
}

void ServedIndexes::serve(DatabaseConnection& database, const TableInfo& table, const Wish& wish)
{
    // A result still being read on this connection would be cut short if a failed build
    // rolled the schema back under it.
    if (wish.isEmpty() || database.inTransaction() || database.isReading())
        return;
    try {
        if (!isLarge(database, table))
            return;
        int kept = 0;
        for (const DatabaseConnection::IndexKey& index : database.indexes(table.name)) {
            if (serves(index.columns, wish))
                return;
            if (index.name.startsWith(Prefix))
                ++kept;
        }
        if (kept >= MostKept)
            return;
    } catch (const ServerError&) {
        return;
    }

    QStringList key = wish.key();
    // A level of the drill-down: one index for all the levels, rather than one per level
    // as the visitor goes deeper, each built over the whole table again.
    if (wish.orderMatters) {
        const QStringList levels = catalogueLevels(database, table);
        if (levels.size() > key.size() && startsWith(levels, key))
            key = levels;
    }
    // Another writer at work: answer without the index now rather than wait for it.
    const int busyTimeout = database.busyTimeout();
    database.setBusyTimeout(1);
    try {
        database.beginWrite();
        build(database, table, key);
        database.commitWrite();
    } catch (const ServerError&) {
        database.rollbackWrite();
    }
    database.forgetSchema();
    database.setBusyTimeout(busyTimeout);
}

void ServedIndexes::refreshStatistics(DatabaseConnection& database, const QString& table, qint64 changed)
{
    // A change this small moves no estimate that a plan depends on.
    if (changed < Threshold / 10)
        return;
    QStringList stale;
    try {
        for (const QString& name : keptIndexes(database, table)) {
            SqliteStatement statistics(database, QStringLiteral("SELECT stat FROM sqlite_stat1 WHERE idx=?"));
            statistics.bindText(1, name);
            // The first number of the statistics is the count of rows they were taken on.
            const qint64 counted = statistics.step()
                ? statistics.textColumn(0).section(QLatin1Char(' '), 0, 0).toLongLong()
                : 0;
            if (changed * 10 > counted)
                stale.append(name);
        }
    } catch (const ServerError&) {
        return;
    }
    if (stale.isEmpty())
        return;
    try {
        analyzeFromSample(database, stale);
    } catch (const ServerError&) {
        // An interrupt or a full disk may have rolled the whole write back on the way: then
        // the statement has failed too.
        if (sqlite3_get_autocommit(database.handle()))
            throw;
    }
}

QList<ServedIndexes::SetAside> ServedIndexes::setAsideForBulkInsert(
    DatabaseConnection& database, const TableInfo& table)
{
    // Dropping an index would cut short a result still being read on this connection.
    if (database.isReading())
        return {};
    QList<SetAside> indexes;
    for (const QString& name : keptIndexes(database, table.name))
        indexes.append({ name, QString() });
    if (indexes.isEmpty())
        return {};
    {
        SqliteStatement rows(database,
            QStringLiteral("SELECT count(*) FROM (SELECT 1 FROM %1 LIMIT %2)")
                .arg(table.sqlName)
                .arg(Threshold));
        if (!rows.step() || rows.intColumn(0) >= Threshold)
            return {};
    }
    for (SetAside& index : indexes) {
        SqliteStatement definition(
            database, QStringLiteral("SELECT sql FROM sqlite_master WHERE type='index' AND name=?"));
        definition.bindText(1, index.name);
        if (!definition.step())
            return {};
        index.definition = definition.textColumn(0);
    }
    for (const SetAside& index : indexes)
        database.execute(QStringLiteral("DROP INDEX %1").arg(Translator::quoteName(index.name)));
    database.forgetSchema();
    return indexes;
}

void ServedIndexes::buildAgain(DatabaseConnection& database, const QList<SetAside>& indexes)
{
    QStringList names;
    for (const SetAside& index : indexes) {
        database.execute(index.definition);
        names.append(index.name);
    }
    database.forgetSchema();
    analyzeFromSample(database, names);
}

ServedIndexes::MaintenanceCache::MaintenanceCache(DatabaseConnection& database, const TableInfo& table)
{
    if (keptIndexes(database, table.name).isEmpty())
        return;
    SqliteStatement size(database, QStringLiteral("PRAGMA cache_size"));
    m_usualSize = size.step() ? size.intColumn(0) : -2000;
    // 64 MB: the index pages that an import into a table of millions touches.
    database.execute(QStringLiteral("PRAGMA cache_size=-65536"));
    m_database = &database;
}

ServedIndexes::MaintenanceCache::~MaintenanceCache()
{
    if (!m_database)
        return;
    try {
        m_database->execute(QStringLiteral("PRAGMA cache_size=%1").arg(m_usualSize));
    } catch (const ServerError&) {
    }
}

} // namespace glimora::engine

#include "query/SearchStatements.h"

#include "data/SqlLiteral.h"

namespace glimora::query {

namespace {

QString text(const QString& value)
{
    return QStringLiteral("N'") + data::SqlLiteral::quotesDoubled(value) + QLatin1Char('\'');
}

// 'g' follows every hexadecimal digit, so [key, key + "g") holds exactly the keys it starts.
QString startsWith(const QString& stored)
{
    return QStringLiteral("k >= '") + stored + QStringLiteral("' and k < '") + stored + QStringLiteral("g'");
}

QString valuesOf(const QString& column, const QString& condition)
{
    return QStringLiteral("(select v from inquiry_search where c='") + column + QStringLiteral("' and ")
        + condition + QLatin1Char(')');
}

} // namespace

QList<SearchStatements::Key> SearchStatements::keysOf(const data::SearchKeys& keys)
{
    QList<Key> out;
    const auto add = [&out](const QString& key, KeyKind kind) {
        const QString kept = key.left(maxKeyLength);
        if (kept.isEmpty())
            return;
        for (Key& known : out) {
            if (known.key == kept) {
                known.kind = std::min(known.kind, kind);
                return;
            }
        }
        out.append({ kept, kind });
    };
    add(keys.text, KeyKind::WholeText);
    for (const QString& reading : keys.initials)
        add(reading, KeyKind::Reading);
    for (const QString& reading : keys.fullPinyin)
        add(reading, KeyKind::Reading);
    for (qsizetype start = 1; start < keys.text.size(); ++start) {
        // A tail never starts inside a surrogate pair.
        if (keys.text.at(start).isLowSurrogate())
            continue;
        add(keys.text.mid(start), KeyKind::Tail);
    }
    return out;
}

QString SearchStatements::storedKey(const QString& key)
{
    QString stored;
    stored.reserve(key.size() * 4);
    for (const QChar unit : key)
        stored += QStringLiteral("%1").arg(unit.unicode(), 4, 16, QLatin1Char('0'));
    return stored;
}

QString SearchStatements::createIndex()
{
    return QStringLiteral("if object_id('inquiry_search') is null create table inquiry_search "
                          "(c varchar(128) not null, v nvarchar(4000) not null, k varchar(160) not null, "
                          "r int not null)");
}

QString SearchStatements::dropIndex()
{
    return QStringLiteral("if object_id('inquiry_search') is not null drop table inquiry_search");
}

QString SearchStatements::columnValues(const QString& column)
{
    return QStringLiteral("select distinct ") + column + QStringLiteral(" from inquiry where ") + column
        + QStringLiteral(" is not null");
}

QString SearchStatements::addEntry(const QString& column, const QString& value, const data::SearchKeys& keys)
{
    return QStringLiteral("if not exists (select 1 from inquiry_search where c='") + column
        + QStringLiteral("' and v=") + text(value) + QStringLiteral(") ")
        + insertRows(rowsOf(column, value, keys));
}

QStringList SearchStatements::rowsOf(
    const QString& column, const QString& value, const data::SearchKeys& keys)
{
    QStringList rows;
    const QString start
        = QStringLiteral("('") + column + QStringLiteral("', ") + text(value) + QStringLiteral(", '");
    for (const Key& key : keysOf(keys))
        rows.append(start + storedKey(key.key) + QStringLiteral("', ") + QString::number(int(key.kind))
            + QLatin1Char(')'));
    return rows;
}

QString SearchStatements::insertRows(const QStringList& rows)
{
    return QStringLiteral("insert into inquiry_search (c, v, k, r) values ")
        + rows.join(QStringLiteral(", "));
}

QString SearchStatements::warmUp(const QString& column)
{
    return QStringLiteral("select v from inquiry_search where c='") + column + QStringLiteral("' and ")
        + startsWith(QStringLiteral("g"));
}

QString SearchStatements::records(const QString& select, const QStringList& columns, const QString& query)
{
    const QString stored = storedKey(query.left(maxKeyLength));
    QStringList conditions;
    for (const QString& column : columns)
        conditions.append(column + QStringLiteral(" in ") + valuesOf(column, startsWith(stored)));
    const QString first = columns.value(0);
    return QStringLiteral("select ") + select + QStringLiteral(" from inquiry where ")
        + conditions.join(QStringLiteral(" or ")) + QStringLiteral(" order by case when ") + first
        + QStringLiteral(" in ")
        + valuesOf(first, QStringLiteral("r = 0 and k = '") + stored + QLatin1Char('\''))
        + QStringLiteral(" then 0 when ") + first + QStringLiteral(" in ")
        + valuesOf(first, QStringLiteral("r < 2 and ") + startsWith(stored))
        + QStringLiteral(" then 1 else 2 end");
}

} // namespace glimora::query

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
    static constexpr char digits[] = "0123456789abcdef";
    QString stored(key.size() * 4, Qt::Uninitialized);
    QChar* out = stored.data();
    for (const QChar unit : key) {
        const char16_t code = unit.unicode();
        for (int shift = 12; shift >= 0; shift -= 4)
            *out++ = QLatin1Char(digits[(code >> shift) & 0xf]);
    }
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
    const QList<Key> found = keysOf(keys);
    rows.reserve(found.size());
    for (const Key& key : found) {
        QString row;
        row.reserve(start.size() + key.key.size() * 4 + 5);
        row += start;
        row += storedKey(key.key);
        row += QStringLiteral("', ");
        row += QChar(u'0' + int(key.kind));
        row += QLatin1Char(')');
        rows.append(row);
    }
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
    const QString exact = QStringLiteral("r = 0 and k = '") + stored + QLatin1Char('\'');
    const QString prefix = QStringLiteral("r < 2 and ") + startsWith(stored);
    // One branch for each rank, and for the last rank one for each column, each reading the
    // records of its values as it finds them, never a record that a branch before it gave.
    const auto branch
        = [&](int rank, const QString& column, const QString& condition, const QString& besides) {
              return QStringLiteral("select ") + select + QStringLiteral(", ") + QString::number(rank)
                  + QStringLiteral(" as search_rank from (select distinct v from inquiry_search where c='")
                  + column + QStringLiteral("' and ") + condition
                  + QStringLiteral(") as found cross join inquiry where inquiry.") + column
                  + QStringLiteral(" = found.v") + besides;
          };
    const QString first = columns.value(0);
    QStringList branches { branch(0, first, exact, QString()),
        branch(1, first, prefix, QStringLiteral(" and found.v not in ") + valuesOf(first, exact)),
        branch(
            2, first, startsWith(stored), QStringLiteral(" and found.v not in ") + valuesOf(first, prefix)) };
    QString besides;
    for (qsizetype n = 1; n < columns.size(); ++n) {
        const QString& before = columns[n - 1];
        besides += QStringLiteral(" and (inquiry.") + before + QStringLiteral(" is null or inquiry.") + before
            + QStringLiteral(" not in ") + valuesOf(before, startsWith(stored)) + QLatin1Char(')');
        branches.append(branch(2, columns[n], startsWith(stored), besides));
    }
    return branches.join(QStringLiteral(" union all ")) + QStringLiteral(" order by search_rank");
}

} // namespace glimora::query

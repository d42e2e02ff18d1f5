#include "query/SearchStatements.h"

#include "data/SqlLiteral.h"

namespace glimora::query {

namespace {

QString text(const QString& value)
{
    return QStringLiteral("N'") + data::SqlLiteral::quotesDoubled(value) + QLatin1Char('\'');
}

} // namespace

QString SearchStatements::createIndex()
{
    return QStringLiteral("if object_id('inquiry_search') is null create table inquiry_search "
                          "(c varchar(128) not null, v nvarchar(4000) not null, t nvarchar(4000) not null, "
                          "i nvarchar(4000) not null, p nvarchar(4000) not null)");
}

QString SearchStatements::clearIndex()
{
    return QStringLiteral("delete from inquiry_search");
}

QString SearchStatements::columnValues(const QString& column)
{
    return QStringLiteral("select distinct ") + column + QStringLiteral(" from inquiry where ") + column
        + QStringLiteral(" is not null");
}

QString SearchStatements::joinedVariants(const QStringList& variants)
{
    return QLatin1Char('|') + variants.join(QLatin1Char('|')) + QLatin1Char('|');
}

QString SearchStatements::addEntry(const QString& column, const QString& value, const data::SearchKeys& keys)
{
    const QString where = QStringLiteral("c='") + column + QStringLiteral("' and v=") + text(value);
    return QStringLiteral("if not exists (select 1 from inquiry_search where ") + where
        + QStringLiteral(") insert into inquiry_search (c, v, t, i, p) values ('") + column
        + QStringLiteral("', ") + text(value) + QStringLiteral(", ") + text(keys.text) + QStringLiteral(", ")
        + text(joinedVariants(keys.initials)) + QStringLiteral(", ") + text(joinedVariants(keys.fullPinyin))
        + QLatin1Char(')');
}

QString SearchStatements::records(const QString& select, const QStringList& columns, const QString& query)
{
    const QString q = text(query);
    const QString bar = text(QLatin1Char('|') + query);
    const QString match = QStringLiteral(" and (charindex(") + q + QStringLiteral(", t) > 0 or charindex(")
        + bar + QStringLiteral(", i) > 0 or charindex(") + bar + QStringLiteral(", p) > 0))");
    QStringList conditions;
    for (const QString& column : columns)
        conditions.append(column + QStringLiteral(" in (select v from inquiry_search where c='") + column
            + QLatin1Char('\'') + match);
    const QString first = columns.value(0);
    return QStringLiteral("select ") + select + QStringLiteral(" from inquiry where ")
        + conditions.join(QStringLiteral(" or "))
        + QStringLiteral(" order by isnull((select min(case when t = ") + q
        + QStringLiteral(" then 0 when charindex(") + q + QStringLiteral(", t) = 1 or charindex(") + bar
        + QStringLiteral(", i) > 0 or charindex(") + bar
        + QStringLiteral(", p) > 0 then 1 else 2 end) from inquiry_search where c='") + first
        + QStringLiteral("' and v=inquiry.") + first + QStringLiteral("), 2)");
}

} // namespace glimora::query

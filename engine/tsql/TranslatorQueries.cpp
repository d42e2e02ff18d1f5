// SELECT: the select list, FROM and its joins, WHERE, GROUP BY, ORDER BY and set operators.
#include "engine/tsql/Translator.h"

#include "engine/server/ServerError.h"

#include <optional>

namespace glimora::engine {

using namespace ast;

namespace {

// The integer that `e` is, when it is an integer constant.
std::optional<qint64> integerConstant(const Expr* e)
{
    if (!e || e->kind != Expr::Kind::Number)
        return std::nullopt;
    bool ok = false;
    const qint64 value = e->text.toLongLong(&ok);
    return ok ? std::optional<qint64>(value) : std::nullopt;
}

// Whether UNION ALL branches already come in the order that `item` asks for: the column it
// names is a constant in each branch, and the constants follow that order. Then the rows are
// not sorted, so that the first ones are read before the last branch runs.
bool branchesInOrder(const QList<Translator::Query>& branches, int column, bool descending)
{
    std::optional<qint64> previous;
    for (const Translator::Query& branch : branches) {
        const std::optional<qint64> value
            = integerConstant(column < branch.items.size() ? branch.items[column] : nullptr);
        if (!value || (previous && (descending ? *value > *previous : *value < *previous)))
            return false;
        previous = value;
    }
    return true;
}

} // namespace

Translator::Query Translator::select(const Select& select)
{
    return selectWithNames(select, nullptr, {});
}

Translator::Query Translator::expression(const ExprPtr& value)
{
    Scope scope;
    scope.columnsAllowed = false;
    const Fragment fragment = expr(value, scope);
    Query query;
    query.sql = QStringLiteral("SELECT ") + fragment.sql;
    query.columns.append({ QString(), fragment.type, QString(), QString() });
    return query;
}

Translator::Query Translator::selectWithNames(
    const Select& select, const Scope* parent, const QStringList& forcedNames)
{
    Scope scope;
    Query query = selectCore(select, parent, forcedNames, scope);
    QList<Query> branches { query };
    bool allKept = true;
    for (const auto& [kind, branch] : select.unions) {
        if (branch->top)
            throw ServerError::notSupported(QStringLiteral("TOP in a UNION"));
        Scope branchScope;
        const Query part = selectCore(*branch, parent, forcedNames, branchScope);
        if (part.columns.size() != query.columns.size())
            throw ServerError(205,
                QStringLiteral("All queries combined using a UNION, INTERSECT or EXCEPT operator must have "
                               "an equal number of expressions in their target lists."),
                16);
        query.sql += QLatin1Char(' ') + kind.toUpper() + QLatin1Char(' ') + part.sql;
        branches.append(part);
        allKept = allKept && kind == QLatin1String("union all");
    }
    if (!select.orderBy.isEmpty()) {
        int orderedColumn = -1;
        QStringList items;
        for (const OrderItem& item : select.orderBy) {
            QString sql;
            SqlType type;
            const Expr& e = *item.expr;
            bool done = false;
            if (e.kind == Expr::Kind::Number && !e.text.contains(QLatin1Char('.'))) {
                const int ordinal = e.text.toInt();
                if (ordinal < 1 || ordinal > query.columns.size())
                    throw ServerError(108,
                        QStringLiteral("The ORDER BY position number %1 is out of range of the number of "
                                       "items in the select list.")
                            .arg(e.text),
                        16);
                sql = e.text;
                type = query.columns[ordinal - 1].type;
                orderedColumn = ordinal - 1;
                done = true;
            }
            if (!done && e.kind == Expr::Kind::Column && e.qualifier.isEmpty()) {
                for (int i = 0; i < query.columns.size(); ++i) {
                    const ResultColumn& column = query.columns[i];
                    if (!column.name.isEmpty() && column.name.compare(e.text, Qt::CaseInsensitive) == 0
                        && (select.unions.isEmpty() == false || scope.sources.isEmpty()
                            || column.baseColumn.compare(e.text, Qt::CaseInsensitive) != 0)) {
                        // The column goes out under the name it was given here, if any.
                        sql = quoteName(i < forcedNames.size() ? forcedNames[i] : column.name);
                        type = column.type;
                        orderedColumn = i;
                        done = true;
                        break;
                    }
                }
            }
            if (!done) {
                if (!select.unions.isEmpty())
                    throw ServerError(104,
                        QStringLiteral("ORDER BY items must appear in the select list if the statement "
                                       "contains a UNION, INTERSECT or EXCEPT operator."),
                        16);
                const Fragment fragment = expr(item.expr, scope);
                if (select.distinct) {
                    bool listed = false;
                    for (const ResultColumn& column : query.columns) {
                        if (!fragment.baseColumn.isEmpty() && column.baseColumn == fragment.baseColumn
                            && column.baseTable == fragment.baseTable)
                            listed = true;
                    }
                    if (!listed)
                        throw ServerError(145,
                            QStringLiteral("ORDER BY items must appear in the select list if SELECT DISTINCT "
                                           "is specified."),
                            15);
                }
                sql = fragment.sql;
                type = fragment.type;
            }
            if (isTextLike(type) && !(e.kind == Expr::Kind::Number))
                sql += QStringLiteral(" COLLATE TSQL");
            else if (type.keepsDecimalText())
                sql += QStringLiteral(" COLLATE DECIMAL");
            items.append(sql + (item.descending ? QStringLiteral(" DESC") : QStringLiteral(" ASC")));
        }
        const bool inOrder = allKept && branches.size() > 1 && select.orderBy.size() == 1
            && orderedColumn >= 0 && branchesInOrder(branches, orderedColumn, select.orderBy[0].descending);
        if (!inOrder)
            query.sql += QStringLiteral(" ORDER BY ") + items.join(QStringLiteral(", "));
    }
    if (select.top) {
        Scope empty;
        empty.columnsAllowed = false;
        const Fragment top = expr(select.top, empty);
        query.sql += QStringLiteral(" LIMIT ") + top.sql;
    }
    return query;
}

Translator::Query Translator::selectCore(
    const Select& select, const Scope* parent, const QStringList& forcedNames, Scope& scope)
{
    scope.parent = parent;
    QString from;
    if (select.hasFrom)
        from = fromClause(select.from, scope);

    Query query;
    QStringList items;
    for (const SelectItem& item : select.items) {
        if (!item.assignTo.isEmpty())
            throw ServerError::notSupported(QStringLiteral("SELECT @variable ="));
        if (item.expr->kind == Expr::Kind::Star) {
            bool matched = false;
            for (const Source& source : scope.sources) {
                if (!item.expr->qualifier.isEmpty()
                    && source.alias.compare(item.expr->qualifier, Qt::CaseInsensitive) != 0)
                    continue;
                matched = true;
                for (const ColumnInfo& column : source.table.columns) {
                    items.append(source.sqlQualifier + QLatin1Char('.') + quoteName(column.name));
                    query.columns.append(
                        { column.name, column.type, source.isTable ? source.table.name : QString(),
                            source.isTable ? column.name : QString() });
                    query.items.append(nullptr);
                }
            }
            if (!matched) {
                if (item.expr->qualifier.isEmpty())
                    throw ServerError(263, QStringLiteral("Must specify table to select from."), 16);
                throw ServerError(4104,
                    QStringLiteral("The multi-part identifier \"%1\" could not be bound.")
                        .arg(item.expr->qualifier),
                    16);
            }
            continue;
        }
        const Fragment fragment = expr(item.expr, scope);
        QString name = item.alias;
        if (name.isEmpty() && item.expr->kind == Expr::Kind::Column)
            name = fragment.baseColumn.isEmpty() ? item.expr->text : fragment.baseColumn;
        items.append(fragment.sql);
        query.columns.append({ name, fragment.type, fragment.baseTable, fragment.baseColumn });
        query.items.append(item.expr.get());
    }
    for (int i = 0; i < items.size(); ++i) {
        const QString name = i < forcedNames.size() ? forcedNames[i] : query.columns[i].name;
        items[i] += QStringLiteral(" AS ") + quoteName(name);
    }

    query.sql = QStringLiteral("SELECT ");
    if (select.distinct)
        query.sql += QStringLiteral("DISTINCT ");
    query.sql += items.join(QStringLiteral(", "));
    if (!from.isEmpty())
        query.sql += QStringLiteral(" FROM ") + from;
    if (select.where)
        query.sql += QStringLiteral(" WHERE ") + expr(select.where, scope).sql;
    if (!select.groupBy.isEmpty()) {
        QStringList groups;
        for (const ExprPtr& group : select.groupBy) {
            const Fragment fragment = expr(group, scope);
            groups.append(
                isTextLike(fragment.type) ? fragment.sql + QStringLiteral(" COLLATE TSQL") : fragment.sql);
        }
        query.sql += QStringLiteral(" GROUP BY ") + groups.join(QStringLiteral(", "));
    }
    if (select.having)
        query.sql += QStringLiteral(" HAVING ") + expr(select.having, scope).sql;
    scope.outputColumns = query.columns;
    return query;
}

QString Translator::fromClause(const FromClause& from, Scope& scope)
{
    Source first = tableSource(from.first, scope);
    QString sql = first.table.sqlName + QStringLiteral(" AS ") + first.sqlQualifier;
    scope.sources.append(first);
    for (const Join& join : from.joins) {
        Source source = tableSource(join.source, scope);
        for (const Source& existing : scope.sources) {
            if (existing.alias.compare(source.alias, Qt::CaseInsensitive) == 0)
                throw ServerError(1013,
                    QStringLiteral("The objects \"%1\" and \"%1\" in the FROM clause have the same exposed "
                                   "names. Use correlation names to distinguish them.")
                        .arg(source.alias),
                    16);
        }
        scope.sources.append(source);
        const QString target = source.table.sqlName + QStringLiteral(" AS ") + source.sqlQualifier;
        if (join.type == QLatin1String(","))
            sql += QStringLiteral(", ") + target;
        else if (join.type == QLatin1String("cross"))
            sql += QStringLiteral(" CROSS JOIN ") + target;
        else
            sql += QLatin1Char(' ') + join.type.toUpper() + QStringLiteral(" JOIN ") + target
                + QStringLiteral(" ON ") + expr(join.condition, scope).sql;
    }
    return sql;
}

Translator::Source Translator::tableSource(const TableSource& tableSource, const Scope& scope)
{
    Source source;
    switch (tableSource.kind) {
    case TableSource::Kind::Table:
        source.table = resolveTable(tableSource.database, tableSource.name);
        m_context.requireRead(source.table.name);
        source.alias = tableSource.alias.isEmpty() ? source.table.name : tableSource.alias;
        source.isTable = true;
        break;
    case TableSource::Kind::Rowset:
        source.table = m_context.openRowset(tableSource);
        source.alias = tableSource.alias.isEmpty() ? source.table.name : tableSource.alias;
        break;
    case TableSource::Kind::Subquery: {
        const Query inner = selectWithNames(*tableSource.select, scope.parent, {});
        for (const ResultColumn& column : inner.columns) {
            if (column.name.isEmpty())
                throw ServerError(8155,
                    QStringLiteral("No column name was specified for column of '%1'.").arg(tableSource.alias),
                    16);
            source.table.columns.append({ column.name, column.type, false, false, false });
        }
        source.table.name = tableSource.alias;
        source.table.sqlName = QLatin1Char('(') + inner.sql + QLatin1Char(')');
        source.alias = tableSource.alias;
        break;
    }
    }
    source.sqlQualifier = quoteName(source.alias);
    return source;
}

} // namespace glimora::engine

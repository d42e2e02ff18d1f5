#include "engine/tsql/Translator.h"

#include "engine/server/ServerError.h"
#include "engine/values/DateFunctions.h"

#include <limits>
#include <QHash>

namespace glimora::engine {

using namespace ast;
using Base = SqlType::Base;

namespace {

bool isTextLike(const SqlType& type)
{
    return !type.isNumeric() && !type.isDateTime() && !type.isBinary();
}

SqlType numericResult(const SqlType& left, const SqlType& right)
{
    if (left.base == Base::Float || right.base == Base::Float || left.base == Base::Real
        || right.base == Base::Real)
        return SqlType::of(Base::Float, 0, 53);
    if (left.isExactNumeric() || right.isExactNumeric()) {
        const int scale = qMax(left.scale, right.scale);
        return SqlType::of(Base::Numeric, 0, 38, scale);
    }
    if (left.base == Base::BigInt || right.base == Base::BigInt)
        return SqlType::of(Base::BigInt);
    if (left.isInteger() || right.isInteger())
        return SqlType::of(Base::Int);
    return SqlType();
}

bool isFloat(const SqlType& type)
{
    return type.base == Base::Float || type.base == Base::Real;
}

// The decimal type an operand takes in decimal arithmetic. An integer constant takes only
// the digits it has, as SQL Server types constants (so 7.0/2 is 3.500000).
SqlType exactOf(const SqlType& type, const Expr& source)
{
    if (type.isExactNumeric())
        return type;
    if (source.kind == Expr::Kind::Number && !source.text.contains(QLatin1Char('.')))
        return SqlType::of(Base::Numeric, 0, qMax(1, int(source.text.size())), 0);
    switch (type.base) {
    case Base::Bit:
        return SqlType::of(Base::Numeric, 0, 1, 0);
    case Base::TinyInt:
        return SqlType::of(Base::Numeric, 0, 3, 0);
    case Base::SmallInt:
        return SqlType::of(Base::Numeric, 0, 5, 0);
    case Base::BigInt:
        return SqlType::of(Base::Numeric, 0, 19, 0);
    default:
        return SqlType::of(Base::Numeric, 0, 10, 0);
    }
}

// SQL Server's precision and scale of a decimal operation, kept within 38 digits.
SqlType decimalResult(const QString& op, const SqlType& a, const SqlType& b)
{
    const int p1 = a.precision, s1 = a.scale, p2 = b.precision, s2 = b.scale;
    int precision = 0;
    int scale = 0;
    const bool product = op == QLatin1String("*") || op == QLatin1String("/");
    if (op == QLatin1String("*")) {
        precision = p1 + p2 + 1;
        scale = s1 + s2;
    } else if (op == QLatin1String("/")) {
        scale = qMax(6, s1 + p2 + 1);
        precision = p1 - s1 + s2 + scale;
    } else if (op == QLatin1String("%")) {
        scale = qMax(s1, s2);
        precision = qMin(p1 - s1, p2 - s2) + scale;
    } else {
        scale = qMax(s1, s2);
        precision = qMax(p1 - s1, p2 - s2) + scale + 1;
    }
    if (precision > 38) {
        const int integral = precision - scale;
        if (product)
            scale = integral < 32 ? qMin(scale, 38 - integral) : qMin(scale, 6);
        else
            scale = qMax(0, qMin(scale, 38 - integral));
        precision = 38;
    }
    return SqlType::of(Base::Numeric, 0, qMax(1, precision), scale);
}

QString hexLiteral(QString digits)
{
    if (digits.size() % 2)
        digits.prepend(QLatin1Char('0'));
    return QStringLiteral("X'%1'").arg(digits);
}

} // namespace

Translator::Translator(TranslationContext& context)
    : m_context(context)
{
}

QString Translator::quoteText(const QString& text)
{
    // SQLite reads a statement only up to a NUL, so a text holding one goes as its bytes.
    if (text.contains(QChar(u'\0')))
        return QStringLiteral("(CAST(X'%1' AS TEXT))").arg(QString::fromLatin1(text.toUtf8().toHex()));
    QString quoted = text;
    quoted.replace(QLatin1Char('\''), QLatin1String("''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

QString Translator::quoteName(const QString& name)
{
    QString quoted = name;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString Translator::convertCall(const QString& sql, const SqlType& type, bool store, int style)
{
    return QStringLiteral("tsql_convert(%1,%2,%3,%4,%5,%6,%7)")
        .arg(sql)
        .arg(type.code())
        .arg(type.length)
        .arg(type.precision)
        .arg(type.scale)
        .arg(style)
        .arg(store ? 1 : 0);
}

QString Translator::convertFrom(
    const QString& sql, const SqlType& from, const SqlType& to, bool store, int style)
{
    if (from.isExactNumeric() && (to.isInteger() || isFloat(to) || to.isDateTime())) {
        const QString number = to.isInteger() ? QStringLiteral("tsql_decimal_int(") + sql + QLatin1Char(')')
                                              : QStringLiteral("tsql_decimal_real(") + sql + QLatin1Char(')');
        return convertCall(number, to, store, style);
    }
    return convertCall(sql, to, store, style);
}

TableInfo Translator::resolveTable(const QString& database, const QString& name)
{
    std::optional<TableInfo> table = m_context.findTable(database, name);
    if (!table)
        throw ServerError::invalidObject(
            database.isEmpty() ? name : database + QStringLiteral(".dbo.") + name);
    return *table;
}

// ---- select ----

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
    }
    if (!select.orderBy.isEmpty()) {
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

// ---- data changes ----

QString Translator::insert(const Statement& statement)
{
    const TableInfo table = resolveTable(statement.name, statement.table);
    QList<int> targets;
    if (statement.columns.isEmpty()) {
        for (int i = 0; i < table.columns.size(); ++i) {
            if (!table.columns[i].identity)
                targets.append(i);
        }
    } else {
        for (const QString& name : statement.columns) {
            const int index = table.indexOf(name);
            if (index < 0)
                throw ServerError::invalidColumn(name);
            if (table.columns[index].identity)
                throw ServerError(544,
                    QStringLiteral("Cannot insert explicit value for identity column in table '%1' when "
                                   "IDENTITY_INSERT is set to OFF.")
                        .arg(table.name),
                    16);
            targets.append(index);
        }
    }
    QStringList names;
    for (int index : targets)
        names.append(quoteName(table.columns[index].name));
    QString sql = QStringLiteral("INSERT INTO ") + table.sqlName;
    if (statement.defaultValues)
        return sql + QStringLiteral(" DEFAULT VALUES");
    sql += QStringLiteral(" (") + names.join(QStringLiteral(", ")) + QStringLiteral(") ");

    auto countMismatch = [&](int values) {
        if (statement.columns.isEmpty())
            return ServerError(213,
                QStringLiteral("Column name or number of supplied values does not match table definition."),
                16);
        if (values < targets.size())
            return ServerError(109,
                QStringLiteral("There are more columns in the INSERT statement than values specified in the "
                               "VALUES clause. The number of values in the VALUES clause must match the "
                               "number of columns specified in the INSERT statement."),
                15);
        return ServerError(110,
            QStringLiteral("There are fewer columns in the INSERT statement than values specified in the "
                           "VALUES clause. The number of values in the VALUES clause must match the number "
                           "of columns specified in the INSERT statement."),
            15);
    };

    if (!statement.rows.isEmpty()) {
        Scope scope;
        scope.columnsAllowed = false;
        QStringList rows;
        for (const QList<ExprPtr>& row : statement.rows) {
            if (row.size() != targets.size())
                throw countMismatch(int(row.size()));
            QStringList values;
            for (int i = 0; i < row.size(); ++i) {
                const Fragment value = expr(row[i], scope);
                values.append(convertFrom(value.sql, value.type, table.columns[targets[i]].type, true));
            }
            rows.append(QLatin1Char('(') + values.join(QStringLiteral(", ")) + QLatin1Char(')'));
        }
        return sql + QStringLiteral("VALUES ") + rows.join(QStringLiteral(", "));
    }
    if (statement.select) {
        QStringList forced;
        for (int i = 0; i < targets.size(); ++i)
            forced.append(QStringLiteral("__v%1").arg(i + 1));
        const Query inner = selectWithNames(*statement.select, nullptr, forced);
        if (inner.columns.size() != targets.size()) {
            if (inner.columns.size() < targets.size())
                throw ServerError(120,
                    QStringLiteral(
                        "The select list for the INSERT statement contains fewer items than the insert list. "
                        "The number of SELECT values must match the number of INSERT columns."),
                    15);
            throw ServerError(121,
                QStringLiteral("The select list for the INSERT statement contains more items than the insert "
                               "list. The number of SELECT values must match the number of INSERT columns."),
                15);
        }
        QStringList values;
        for (int i = 0; i < targets.size(); ++i)
            values.append(convertFrom(
                quoteName(forced[i]), inner.columns[i].type, table.columns[targets[i]].type, true));
        return sql + QStringLiteral("SELECT ") + values.join(QStringLiteral(", ")) + QStringLiteral(" FROM (")
            + inner.sql + QStringLiteral(")");
    }
    throw ServerError::notSupported(QStringLiteral("INSERT ... EXEC"));
}

// The scope of UPDATE and DELETE: the one table, named by itself.
Translator::Scope Translator::singleTableScope(const TableInfo& table)
{
    Scope scope;
    Source source;
    source.table = table;
    source.alias = table.name;
    source.sqlQualifier = table.sqlName;
    source.isTable = true;
    scope.sources.append(source);
    return scope;
}

QString Translator::update(const Statement& statement)
{
    const TableInfo table = resolveTable(statement.name, statement.table);
    const Scope scope = singleTableScope(table);
    QStringList names;
    QStringList values;
    for (const auto& [name, value] : statement.assignments) {
        const int index = table.indexOf(name);
        if (index < 0)
            throw ServerError::invalidColumn(name);
        if (table.columns[index].identity)
            throw ServerError(8102,
                QStringLiteral("Cannot update identity column '%1'.").arg(table.columns[index].name), 16);
        names.append(quoteName(table.columns[index].name));
        const Fragment fragment = expr(value, scope);
        values.append(convertFrom(fragment.sql, fragment.type, table.columns[index].type, true));
    }
    const QString where = statement.where ? expr(statement.where, scope).sql : QString();
    const QString select = QStringLiteral("SELECT ");
    if (!values.join(QString()).contains(select) && !where.contains(select)) {
        QStringList sets;
        for (int i = 0; i < names.size(); ++i)
            sets.append(names[i] + QStringLiteral(" = ") + values[i]);
        QString sql = QStringLiteral("UPDATE ") + table.sqlName + QStringLiteral(" SET ")
            + sets.join(QStringLiteral(", "));
        if (!where.isEmpty())
            sql += QStringLiteral(" WHERE ") + where;
        return sql;
    }
    // SQLite runs a subquery of SET or WHERE against rows this statement has already changed,
    // SQL Server against the table as it was: so every new value is computed before any write.
    QStringList sets;
    QStringList computed;
    for (int i = 0; i < names.size(); ++i) {
        const QString value = QStringLiteral("\"__v%1\"").arg(i);
        computed.append(values[i] + QStringLiteral(" AS ") + value);
        sets.append(names[i] + QStringLiteral(" = \"__new\".") + value);
    }
    QString sql = QStringLiteral("UPDATE ") + table.sqlName + QStringLiteral(" SET ")
        + sets.join(QStringLiteral(", ")) + QStringLiteral(" FROM (SELECT ") + table.sqlName
        + QStringLiteral(".rowid AS \"__row\", ") + computed.join(QStringLiteral(", "))
        + QStringLiteral(" FROM ") + table.sqlName;
    if (!where.isEmpty())
        sql += QStringLiteral(" WHERE ") + where;
    return sql + QStringLiteral(") AS \"__new\" WHERE ") + table.sqlName
        + QStringLiteral(".rowid = \"__new\".\"__row\"");
}

QString Translator::remove(const Statement& statement)
{
    const TableInfo table = resolveTable(statement.name, statement.table);
    const Scope scope = singleTableScope(table);
    QString sql = QStringLiteral("DELETE FROM ") + table.sqlName;
    if (statement.where)
        sql += QStringLiteral(" WHERE ") + expr(statement.where, scope).sql;
    return sql;
}

// ---- expressions ----

Translator::Fragment Translator::literal(const Expr& e)
{
    Fragment fragment;
    switch (e.kind) {
    case Expr::Kind::Null:
        fragment.sql = QStringLiteral("NULL");
        break;
    case Expr::Kind::String:
        fragment.sql = quoteText(e.text);
        fragment.type = SqlType::of(e.national ? Base::NVarChar : Base::VarChar, qMax(1, int(e.text.size())));
        break;
    case Expr::Kind::Number: {
        fragment.sql = e.text;
        if (e.text.contains(QLatin1Char('e')) || e.text.contains(QLatin1Char('E'))) {
            fragment.type = SqlType::of(Base::Float, 0, 53);
        } else {
            // A constant with a point is a decimal of the digits it has, kept exact as text.
            const int point = int(e.text.indexOf(QLatin1Char('.')));
            const int scale = point < 0 ? 0 : int(e.text.size()) - point - 1;
            // A folded sign is no digit.
            int leading = e.text.startsWith(QLatin1Char('-')) || e.text.startsWith(QLatin1Char('+')) ? 1 : 0;
            while (leading < e.text.size() && e.text[leading] == QLatin1Char('0'))
                ++leading;
            const int integral = qMax(0, (point < 0 ? int(e.text.size()) : point) - leading);
            const int precision = qMax(1, integral + scale);
            if (integral > 38 || precision > 38)
                throw ServerError(1007,
                    QStringLiteral("The number '%1' is out of the range for numeric representation (maximum "
                                   "precision 38).")
                        .arg(e.text),
                    15);
            bool ok = false;
            const qint64 value = point < 0 ? e.text.toLongLong(&ok) : 0;
            if (ok && value >= std::numeric_limits<qint32>::min()
                && value <= std::numeric_limits<qint32>::max())
                fragment.type = SqlType::of(Base::Int);
            else
                fragment.type = SqlType::of(Base::Numeric, 0, qMax(precision, scale), scale);
            if (fragment.type.keepsDecimalText())
                fragment.sql = quoteText(e.text);
        }
        break;
    }
    case Expr::Kind::Binary:
        fragment.sql = hexLiteral(e.text);
        fragment.type = SqlType::of(Base::VarBinary, qMax(1, int(e.text.size() + 1) / 2));
        break;
    default:
        break;
    }
    return fragment;
}

Translator::Fragment Translator::expr(const ExprPtr& pointer, const Scope& scope)
{
    const Expr& e = *pointer;
    switch (e.kind) {
    case Expr::Kind::Null:
    case Expr::Kind::String:
    case Expr::Kind::Number:
    case Expr::Kind::Binary:
        return literal(e);
    case Expr::Kind::Column:
        return column(e, scope);
    case Expr::Kind::Star:
        throw ServerError::syntaxNear(QStringLiteral("*"));
    case Expr::Kind::Variable: {
        std::optional<TranslationContext::Value> value = m_context.variable(e.text);
        if (!value) {
            if (e.text.startsWith(QLatin1String("@@")))
                throw ServerError::notSupported(e.text.toUpper());
            throw ServerError(
                137, QStringLiteral("Must declare the scalar variable \"%1\".").arg(e.text), 15);
        }
        return { value->sql, value->type, QString(), QString() };
    }
    case Expr::Kind::Unary: {
        const Fragment operand = expr(e.args[0], scope);
        if (e.text == QLatin1String("not"))
            return { QStringLiteral("(NOT ") + operand.sql + QLatin1Char(')'), SqlType::of(Base::Bit), {},
                {} };
        if (e.text == QLatin1String("+"))
            return operand;
        if (e.text == QLatin1String("-") && operand.type.keepsDecimalText())
            return { QStringLiteral("tsql_decimal_op('-', 0, ") + operand.sql + QStringLiteral(", ")
                    + QString::number(operand.type.precision) + QStringLiteral(", ")
                    + QString::number(operand.type.scale) + QLatin1Char(')'),
                operand.type, {}, {} };
        // The operand in parentheses: a negative operand after "-" would start a comment.
        return { QStringLiteral("(") + e.text + QLatin1Char('(') + operand.sql + QStringLiteral("))"),
            operand.type, {}, {} };
    }
    case Expr::Kind::Binary_:
        return binary(e, scope);
    case Expr::Kind::Function:
        return function(e, scope);
    case Expr::Kind::Cast: {
        Fragment value = expr(e.args[0], scope);
        int style = 0;
        if (e.args.size() > 1) {
            Scope empty;
            empty.columnsAllowed = false;
            style = expr(e.args[1], empty).sql.toInt();
        }
        SqlType target = e.type;
        if (target.isText() && value.type.isDateTime())
            value.sql = QStringLiteral("tsql_format_datetime(%1,%2)").arg(value.sql).arg(style);
        return { convertFrom(value.sql, value.type, target, false, style), target, {}, {} };
    }
    case Expr::Kind::Case: {
        QString sql = QStringLiteral("CASE");
        int index = 0;
        Fragment operand;
        if (e.hasOperand) {
            operand = expr(e.args[0], scope);
            index = 1;
        }
        SqlType type;
        const int whenEnd = int(e.args.size()) - (e.hasElse ? 1 : 0);
        for (; index + 1 < whenEnd; index += 2) {
            QString condition;
            if (e.hasOperand)
                condition = comparison(QStringLiteral("="), operand, expr(e.args[index], scope));
            else
                condition = expr(e.args[index], scope).sql;
            const Fragment result = expr(e.args[index + 1], scope);
            if (!type.isKnown())
                type = result.type;
            sql += QStringLiteral(" WHEN ") + condition + QStringLiteral(" THEN ") + result.sql;
        }
        if (e.hasElse) {
            const Fragment otherwise = expr(e.args.last(), scope);
            if (!type.isKnown())
                type = otherwise.type;
            sql += QStringLiteral(" ELSE ") + otherwise.sql;
        }
        return { sql + QStringLiteral(" END"), type, {}, {} };
    }
    case Expr::Kind::Subquery: {
        const QString value = QStringLiteral("__value");
        const Query inner = selectWithNames(*e.select, &scope, { value });
        if (inner.columns.size() != 1)
            throw ServerError(116,
                QStringLiteral("Only one expression can be specified in the select list when the subquery is "
                               "not introduced with EXISTS."),
                16);
        const Expr* top = e.select->top.get();
        if (top && top->kind == Expr::Kind::Number && top->text == QLatin1String("1")
            && e.select->unions.isEmpty())
            return { QLatin1Char('(') + inner.sql + QLatin1Char(')'), inner.columns.first().type, {}, {} };
        // SQLite would take the first of several rows; SQL Server refuses them (512).
        return { QStringLiteral("(SELECT tsql_single_value(count(*), max(%1)) FROM (%2))")
                     .arg(quoteName(value), inner.sql),
            inner.columns.first().type, {}, {} };
    }
    case Expr::Kind::Exists: {
        const Query inner = selectWithNames(*e.select, &scope, {});
        return { QStringLiteral("EXISTS (") + inner.sql + QLatin1Char(')'), SqlType::of(Base::Bit), {}, {} };
    }
    case Expr::Kind::In: {
        Fragment left = expr(e.args[0], scope);
        QString list;
        bool decimal = false;
        if (e.select) {
            const Query inner = selectWithNames(*e.select, &scope, {});
            if (inner.columns.size() != 1)
                throw ServerError(116,
                    QStringLiteral("Only one expression can be specified in the select list when the "
                                   "subquery is not introduced with EXISTS."),
                    16);
            list = inner.sql;
        } else {
            QList<Fragment> items;
            for (int i = 1; i < e.args.size(); ++i) {
                Fragment item = expr(e.args[i], scope);
                Fragment probe = left;
                decimal = alignForComparison(probe, item) || decimal;
                items.append(item);
            }
            QStringList texts;
            for (Fragment& item : items) {
                if (decimal && !item.type.keepsDecimalText() && !isFloat(item.type))
                    toDecimalText(item);
                texts.append(item.sql);
            }
            if (decimal && !left.type.keepsDecimalText())
                toDecimalText(left);
            list = texts.join(QStringLiteral(", "));
        }
        QString leftSql = left.sql;
        if (isTextLike(left.type))
            leftSql = QLatin1Char('(') + leftSql + QStringLiteral(") COLLATE TSQL");
        else if (decimal)
            leftSql = QLatin1Char('(') + leftSql + QStringLiteral(") COLLATE DECIMAL");
        return { QLatin1Char('(') + leftSql
                + (e.negated ? QStringLiteral(" NOT IN (") : QStringLiteral(" IN (")) + list
                + QStringLiteral("))"),
            SqlType::of(Base::Bit), {}, {} };
    }
    case Expr::Kind::Between: {
        Fragment value = expr(e.args[0], scope);
        Fragment low = expr(e.args[1], scope);
        Fragment high = expr(e.args[2], scope);
        Fragment probe = value;
        const bool lowDecimal = alignForComparison(value, low);
        const bool highDecimal = alignForComparison(probe, high);
        if (lowDecimal != highDecimal) {
            // One bound made the value decimal text: bring the other bound to it as well.
            if (highDecimal)
                value = probe;
            Fragment& other = highDecimal ? low : high;
            if (!other.type.keepsDecimalText())
                toDecimalText(other);
        }
        const bool text = isTextLike(value.type) && isTextLike(low.type) && isTextLike(high.type);
        const QString collate = text    ? QStringLiteral(" COLLATE TSQL")
            : lowDecimal || highDecimal ? QStringLiteral(" COLLATE DECIMAL")
                                        : QString();
        return { QStringLiteral("(%1 %2BETWEEN (%3)%4 AND (%5)%4)")
                     .arg(value.sql, e.negated ? QStringLiteral("NOT ") : QString(), low.sql, collate,
                         high.sql),
            SqlType::of(Base::Bit), {}, {} };
    }
    case Expr::Kind::Like: {
        const Fragment value = expr(e.args[0], scope);
        const Fragment pattern = expr(e.args[1], scope);
        QString valueSql = value.sql;
        if (value.type.isDateTime())
            valueSql = QStringLiteral("tsql_format_datetime(%1,0)").arg(valueSql);
        QString sql = QStringLiteral("(") + valueSql
            + (e.negated ? QStringLiteral(" NOT LIKE ") : QStringLiteral(" LIKE ")) + pattern.sql;
        if (e.args.size() > 2)
            sql += QStringLiteral(" ESCAPE ") + expr(e.args[2], scope).sql;
        return { sql + QLatin1Char(')'), SqlType::of(Base::Bit), {}, {} };
    }
    case Expr::Kind::IsNull: {
        const Fragment value = expr(e.args[0], scope);
        return { QLatin1Char('(') + value.sql
                + (e.negated ? QStringLiteral(" IS NOT NULL)") : QStringLiteral(" IS NULL)")),
            SqlType::of(Base::Bit), {}, {} };
    }
    }
    throw ServerError::syntaxNear(e.text);
}

Translator::Fragment Translator::column(const Expr& e, const Scope& scope)
{
    if (!scope.columnsAllowed && !scope.parent)
        throw ServerError(128,
            QStringLiteral(
                "The name \"%1\" is not permitted in this context. Valid expressions are constants, constant "
                "expressions, and (in some contexts) variables. Column names are not permitted.")
                .arg(e.text),
            15);
    for (const Scope* current = &scope; current; current = current->parent) {
        const Source* found = nullptr;
        int foundIndex = -1;
        bool qualifierSeen = false;
        for (const Source& source : current->sources) {
            if (!e.qualifier.isEmpty()) {
                // A source with an alias is reached by its alias only: the table's own name
                // then names the table of an enclosing query.
                if (source.alias.compare(e.qualifier, Qt::CaseInsensitive) != 0)
                    continue;
                qualifierSeen = true;
            }
            const int index = source.table.indexOf(e.text);
            if (index < 0)
                continue;
            if (found)
                throw ServerError(209, QStringLiteral("Ambiguous column name '%1'.").arg(e.text), 16);
            found = &source;
            foundIndex = index;
        }
        if (found) {
            // A column of the table that UPDATE or DELETE changes is read as well.
            if (found->isTable)
                m_context.requireRead(found->table.name);
            const ColumnInfo& info = found->table.columns[foundIndex];
            return { found->sqlQualifier + QLatin1Char('.') + quoteName(info.name), info.type,
                found->isTable ? found->table.name : QString(), found->isTable ? info.name : QString() };
        }
        if (qualifierSeen)
            throw ServerError::invalidColumn(e.text);
    }
    if (!e.qualifier.isEmpty())
        throw ServerError(4104,
            QStringLiteral("The multi-part identifier \"%1.%2\" could not be bound.")
                .arg(e.qualifier, e.text),
            16);
    throw ServerError::invalidColumn(e.text);
}

bool Translator::alignForComparison(Fragment& left, Fragment& right)
{
    auto toDate = [](Fragment& side) {
        side.sql = convertCall(side.sql, SqlType::of(Base::DateTime), false);
        side.type = SqlType::of(Base::DateTime);
    };
    // A date against a value of another or an unknown type compares as dates.
    if (left.type.isDateTime() && !right.type.isDateTime())
        toDate(right);
    else if (right.type.isDateTime() && !left.type.isDateTime())
        toDate(left);

    // Text against a number becomes that number; against a decimal, exactly.
    auto toNumber = [](Fragment& side, const SqlType& other) {
        if (other.keepsDecimalText())
            return toDecimalText(side);
        const SqlType target
            = other.isInteger() ? SqlType::of(Base::BigInt) : SqlType::of(Base::Float, 0, 53);
        side.sql = convertCall(side.sql, target, false);
        side.type = target;
    };
    if (left.type.isNumeric() && right.type.isText())
        toNumber(right, left.type);
    else if (right.type.isNumeric() && left.type.isText())
        toNumber(left, right.type);

    // Decimals kept as text compare as decimals: the other side becomes decimal text too,
    // while a decimal column stays bare, so its index serves the comparison.
    const bool leftText = left.type.keepsDecimalText();
    const bool rightText = right.type.keepsDecimalText();
    if (!leftText && !rightText)
        return false;
    if (isFloat(left.type) || isFloat(right.type)) {
        for (Fragment* side : { &left, &right }) {
            if (side->type.keepsDecimalText()) {
                side->sql = QStringLiteral("tsql_decimal_real(") + side->sql + QLatin1Char(')');
                side->type = SqlType::of(Base::Float, 0, 53);
            }
        }
        return false;
    }
    auto comparable = [](const SqlType& type) { return !type.isKnown() || type.isNumeric(); };
    if (!comparable(left.type) || !comparable(right.type))
        return false;
    if (!leftText)
        toDecimalText(left);
    if (!rightText)
        toDecimalText(right);
    return true;
}

void Translator::toDecimalText(Fragment& side)
{
    side.sql = QStringLiteral("tsql_decimal(") + side.sql + QLatin1Char(')');
    side.type = SqlType::of(Base::Numeric, 0, 38, 0);
}

QString Translator::comparison(const QString& op, Fragment left, Fragment right)
{
    const bool decimal = alignForComparison(left, right);
    QString sql = QLatin1Char('(') + left.sql + QLatin1Char(' ') + op + QLatin1Char(' ');
    if (isTextLike(left.type) && isTextLike(right.type))
        sql += QLatin1Char('(') + right.sql + QStringLiteral(") COLLATE TSQL)");
    else if (decimal)
        sql += QLatin1Char('(') + right.sql + QStringLiteral(") COLLATE DECIMAL)");
    else
        sql += right.sql + QLatin1Char(')');
    return sql;
}

Translator::Fragment Translator::decimalArithmetic(const Expr& e, const Fragment& left, const Fragment& right)
{
    const SqlType type
        = decimalResult(e.text, exactOf(left.type, *e.args[0]), exactOf(right.type, *e.args[1]));
    return { QStringLiteral("tsql_decimal_op('") + e.text + QStringLiteral("', ") + left.sql
            + QStringLiteral(", ") + right.sql + QStringLiteral(", ") + QString::number(type.precision)
            + QStringLiteral(", ") + QString::number(type.scale) + QLatin1Char(')'),
        type, {}, {} };
}

Translator::Fragment Translator::binary(const Expr& e, const Scope& scope)
{
    const QString& op = e.text;
    Fragment left = expr(e.args[0], scope);
    Fragment right = expr(e.args[1], scope);
    const SqlType bit = SqlType::of(Base::Bit);
    if (op == QLatin1String("and") || op == QLatin1String("or"))
        return { QLatin1Char('(') + left.sql + QLatin1Char(' ') + op.toUpper() + QLatin1Char(' ') + right.sql
                + QLatin1Char(')'),
            bit, {}, {} };
    if (op == QLatin1String("=") || op == QLatin1String("<>") || op == QLatin1String("<")
        || op == QLatin1String(">") || op == QLatin1String("<=") || op == QLatin1String(">="))
        return { comparison(op, left, right), bit, {}, {} };

    if (op == QLatin1String("+") || op == QLatin1String("-")) {
        if (left.type.isDateTime() && right.type.isNumeric()) {
            const QString days
                = op == QLatin1String("-") ? QStringLiteral("-(") + right.sql + QLatin1Char(')') : right.sql;
            return { QStringLiteral("tsql_dateadd_days(%1,%2)").arg(left.sql, days), left.type, {}, {} };
        }
        if (op == QLatin1String("+") && right.type.isDateTime() && left.type.isNumeric())
            return { QStringLiteral("tsql_dateadd_days(%1,%2)").arg(right.sql, left.sql), right.type, {},
                {} };
    }
    if (op == QLatin1String("+") && !(left.type.isNumeric() && right.type.isNumeric())) {
        SqlType type;
        if (left.type.isText() && right.type.isText()) {
            const bool national = left.type.isNational() || right.type.isNational();
            const int length
                = (left.type.length == SqlType::MaxLength || right.type.length == SqlType::MaxLength)
                ? SqlType::MaxLength
                : qMin(8000, left.type.length + right.type.length);
            type = SqlType::of(national ? Base::NVarChar : Base::VarChar, length);
        } else if (left.type.isNumeric() || right.type.isNumeric()) {
            type = numericResult(left.type, right.type);
        } else if (left.type.isText() || right.type.isText()) {
            type = SqlType::of(Base::NVarChar, 4000);
        }
        return { QStringLiteral("tsql_add(%1,%2)").arg(left.sql, right.sql), type, {}, {} };
    }
    // Arithmetic: a text operand must be a number, as SQL Server converts it.
    auto numeric = [](Fragment& side) {
        if (side.type.isText()) {
            side.sql = convertCall(side.sql, SqlType::of(Base::Float, 0, 53), false);
            side.type = SqlType::of(Base::Float, 0, 53);
        }
    };
    numeric(left);
    numeric(right);
    const bool arithmetic = op == QLatin1String("+") || op == QLatin1String("-") || op == QLatin1String("*")
        || op == QLatin1String("/") || op == QLatin1String("%");
    if (arithmetic && (left.type.isExactNumeric() || right.type.isExactNumeric())) {
        if (!isFloat(left.type) && !isFloat(right.type) && left.type.isNumeric() && right.type.isNumeric())
            return decimalArithmetic(e, left, right);
        for (Fragment* side : { &left, &right }) {
            if (side->type.keepsDecimalText())
                side->sql = QStringLiteral("tsql_decimal_real(") + side->sql + QLatin1Char(')');
        }
    }
    const SqlType type = numericResult(left.type, right.type);
    if (op == QLatin1String("^"))
        return { QStringLiteral("((%1 | %2) - (%1 & %2))").arg(left.sql, right.sql), type, {}, {} };
    if (op == QLatin1String("/") && type.isExactNumeric()
        && !(left.type.isInteger() && right.type.isInteger()))
        return { QStringLiteral("(CAST(%1 AS REAL) / %2)").arg(left.sql, right.sql), type, {}, {} };
    return { QLatin1Char('(') + left.sql + QLatin1Char(' ') + op + QLatin1Char(' ') + right.sql
            + QLatin1Char(')'),
        type, {}, {} };
}

// DATEADD(part, number, date), DATEDIFF(part, start, end), DATEPART(part, date) and
// DATENAME(part, date): the part is a bare word, not an expression.
Translator::Fragment Translator::dateFunction(const Expr& e, const Scope& scope)
{
    const QString& name = e.text;
    const int count = name == QLatin1String("datepart") || name == QLatin1String("datename") ? 2 : 3;
    if (e.args.size() != count)
        throw ServerError(
            174, QStringLiteral("The %1 function requires %2 argument(s).").arg(name).arg(count), 15);
    const Expr& word = *e.args[0];
    const QString part = word.kind == Expr::Kind::Column && word.qualifier.isEmpty()
        ? DateFunctions::partName(word.text)
        : QString();
    if (part.isEmpty())
        throw ServerError(155,
            QStringLiteral("'%1' is not a recognized %2 option.")
                .arg(word.kind == Expr::Kind::Column ? word.text : QStringLiteral("expression"), name),
            15);
    auto date = [&](const ExprPtr& argument) {
        const Fragment value = expr(argument, scope);
        return value.type.isDateTime()
            ? value.sql
            : convertFrom(value.sql, value.type, SqlType::of(Base::DateTime), false);
    };
    const QString partText = quoteText(part);
    if (name == QLatin1String("datepart"))
        return { QStringLiteral("tsql_datepart(") + partText + QStringLiteral(", ") + date(e.args[1])
                + QLatin1Char(')'),
            SqlType::of(Base::Int), {}, {} };
    if (name == QLatin1String("datename"))
        return { QStringLiteral("tsql_datename(") + partText + QStringLiteral(", ") + date(e.args[1])
                + QLatin1Char(')'),
            SqlType::of(Base::NVarChar, 30), {}, {} };
    if (name == QLatin1String("datediff"))
        return { QStringLiteral("tsql_datediff(") + partText + QStringLiteral(", ") + date(e.args[1])
                + QStringLiteral(", ") + date(e.args[2]) + QLatin1Char(')'),
            SqlType::of(Base::Int), {}, {} };
    const Fragment number = expr(e.args[1], scope);
    const Fragment target = expr(e.args[2], scope);
    const SqlType type = target.type.base == Base::SmallDateTime ? target.type : SqlType::of(Base::DateTime);
    const QString numberSql = number.type.isExactNumeric()
        ? QStringLiteral("tsql_decimal_int(") + number.sql + QLatin1Char(')')
        : number.sql;
    QString sql = QStringLiteral("tsql_dateadd(") + partText + QStringLiteral(", ") + numberSql
        + QStringLiteral(", ") + date(e.args[2]) + QLatin1Char(')');
    if (type.base == Base::SmallDateTime)
        sql = convertCall(sql, type, false);
    return { sql, type, {}, {} };
}

// OBJECT_ID('name'): a table of the current database (or of the database the name gives)
// has a number, anything else NULL. The number is a hash of the table's name, the same in
// every run.
Translator::Fragment Translator::objectId(const Expr& e)
{
    if (e.args.isEmpty() || e.args.size() > 2)
        throw ServerError(174, QStringLiteral("The object_id function requires 1 argument(s)."), 15);
    if (e.args[0]->kind != Expr::Kind::String)
        throw ServerError::notSupported(QStringLiteral("OBJECT_ID of an expression"));
    QStringList parts;
    for (QString part : e.args[0]->text.split(QLatin1Char('.'))) {
        part = part.trimmed();
        if (part.startsWith(QLatin1Char('[')) && part.endsWith(QLatin1Char(']')))
            part = part.mid(1, part.size() - 2);
        parts.append(part);
    }
    const QString table = parts.last();
    const QString database = parts.size() >= 3 ? parts[parts.size() - 3] : QString();
    std::optional<TableInfo> found;
    if (!table.isEmpty() && !table.startsWith(QLatin1Char('#'))) {
        try {
            found = m_context.findTable(database, table);
        } catch (const ServerError&) {
            found.reset(); // a database that does not exist holds no object
        }
    }
    // As in SQL Server, a table on which the session holds no right has no number for it.
    if (!found || !m_context.mayKnow(found->name))
        return { QStringLiteral("NULL"), SqlType::of(Base::Int), {}, {} };
    quint32 hash = 2166136261u;
    for (const QChar c : found->name.toLower()) {
        hash ^= c.unicode();
        hash *= 16777619u;
    }
    return { QString::number(qint32(hash & 0x7fffffff) | 1), SqlType::of(Base::Int), {}, {} };
}

} // namespace glimora::engine

// INSERT, UPDATE and DELETE: every written value converted to the type of its column.
#include "engine/tsql/Translator.h"

#include "engine/server/ServerError.h"

namespace glimora::engine {

using namespace ast;

QList<int> Translator::insertTargets(const Statement& statement, const TableInfo& table)
{
    QList<int> targets;
    if (statement.columns.isEmpty()) {
        for (int i = 0; i < table.columns.size(); ++i) {
            if (!table.columns[i].identity)
                targets.append(i);
        }
        return targets;
    }
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
    return targets;
}

std::optional<Translator::BoundInsert> Translator::boundInsert(const Statement& statement)
{
    if (statement.rows.isEmpty() || statement.defaultValues)
        return std::nullopt;
    const TableInfo table = resolveTable(statement.name, statement.table);
    const QList<int> targets = insertTargets(statement, table);
    BoundInsert bound;
    bound.rows.reserve(statement.rows.size());
    QList<SqlType> types;
    for (const QList<ExprPtr>& row : statement.rows) {
        if (row.size() != targets.size())
            return std::nullopt;
        QList<BoundValue> values;
        values.reserve(row.size());
        for (int i = 0; i < row.size(); ++i) {
            const Expr& e = *row[i];
            BoundValue value;
            SqlType type;
            if (e.kind == Expr::Kind::String) {
                // A text is its own value; its length does not change how it converts.
                value.kind = BoundValue::Kind::Text;
                value.text = e.text;
                type = SqlType::of(e.national ? SqlType::Base::NVarChar : SqlType::Base::VarChar, 1);
            } else if (e.kind == Expr::Kind::Number) {
                const Fragment fragment = literal(e);
                type = fragment.type;
                bool integer = false;
                value.integer = fragment.sql == e.text ? e.text.toLongLong(&integer) : 0;
                if (integer) {
                    value.kind = BoundValue::Kind::Integer;
                } else if (fragment.sql == quoteText(e.text)) {
                    value.kind = BoundValue::Kind::Text;
                    value.text = e.text;
                } else {
                    return std::nullopt; // a float: SQLite reads its text itself
                }
            } else if (e.kind != Expr::Kind::Null) {
                return std::nullopt;
            }
            if (types.size() <= i)
                types.append(type);
            else if (!convertsAlike(type, types[i]))
                return std::nullopt;
            values.append(value);
        }
        bound.rows.append(values);
    }
    QStringList names;
    QStringList parameters;
    for (int i = 0; i < targets.size(); ++i) {
        names.append(quoteName(table.columns[targets[i]].name));
        parameters.append(convertFrom(
            QLatin1Char('?') + QString::number(i + 1), types.value(i), table.columns[targets[i]].type, true));
    }
    bound.sql = QStringLiteral("INSERT INTO ") + table.sqlName + QStringLiteral(" (")
        + names.join(QStringLiteral(", ")) + QStringLiteral(") VALUES (")
        + parameters.join(QStringLiteral(", ")) + QLatin1Char(')');
    return bound;
}

QString Translator::insert(const Statement& statement)
{
    const TableInfo table = resolveTable(statement.name, statement.table);
    const QList<int> targets = insertTargets(statement, table);
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

} // namespace glimora::engine

// Expressions other than operators and function calls: literals, columns, variables, CASE,
// CAST, subqueries and the predicates IN, BETWEEN, LIKE and IS NULL.
#include "engine/tsql/Translator.h"

#include "engine/server/ServerError.h"

#include <limits>

namespace glimora::engine {

using namespace ast;
using Base = SqlType::Base;

namespace {

QString hexLiteral(QString digits)
{
    if (digits.size() % 2)
        digits.prepend(QLatin1Char('0'));
    return QStringLiteral("X'%1'").arg(digits);
}

} // namespace

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
    case Expr::Kind::Variable:
        return variable(e);
    case Expr::Kind::Unary:
        return unary(e, scope);
    case Expr::Kind::Binary_:
        return binary(e, scope);
    case Expr::Kind::Function:
        return function(e, scope);
    case Expr::Kind::Cast:
        return cast(e, scope);
    case Expr::Kind::Case:
        return caseWhen(e, scope);
    case Expr::Kind::Subquery:
        return subquery(e, scope);
    case Expr::Kind::Exists: {
        const Query inner = selectWithNames(*e.select, &scope, {});
        return { QStringLiteral("EXISTS (") + inner.sql + QLatin1Char(')'), SqlType::of(Base::Bit), {}, {} };
    }
    case Expr::Kind::In:
        return inPredicate(e, scope);
    case Expr::Kind::Between:
        return between(e, scope);
    case Expr::Kind::Like:
        return like(e, scope);
    case Expr::Kind::IsNull: {
        const Fragment value = expr(e.args[0], scope);
        return { QLatin1Char('(') + value.sql
                + (e.negated ? QStringLiteral(" IS NOT NULL)") : QStringLiteral(" IS NULL)")),
            SqlType::of(Base::Bit), {}, {} };
    }
    }
    throw ServerError::syntaxNear(e.text);
}

Translator::Fragment Translator::variable(const Expr& e)
{
    std::optional<TranslationContext::Value> value = m_context.variable(e.text);
    if (!value) {
        if (e.text.startsWith(QLatin1String("@@")))
            throw ServerError::notSupported(e.text.toUpper());
        throw ServerError(137, QStringLiteral("Must declare the scalar variable \"%1\".").arg(e.text), 15);
    }
    return { value->sql, value->type, QString(), QString() };
}

Translator::Fragment Translator::unary(const Expr& e, const Scope& scope)
{
    const Fragment operand = expr(e.args[0], scope);
    if (e.text == QLatin1String("not"))
        return { QStringLiteral("(NOT ") + operand.sql + QLatin1Char(')'), SqlType::of(Base::Bit), {}, {} };
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

Translator::Fragment Translator::cast(const Expr& e, const Scope& scope)
{
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

Translator::Fragment Translator::caseWhen(const Expr& e, const Scope& scope)
{
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

Translator::Fragment Translator::subquery(const Expr& e, const Scope& scope)
{
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

Translator::Fragment Translator::inPredicate(const Expr& e, const Scope& scope)
{
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
    return { QLatin1Char('(') + leftSql + (e.negated ? QStringLiteral(" NOT IN (") : QStringLiteral(" IN ("))
            + list + QStringLiteral("))"),
        SqlType::of(Base::Bit), {}, {} };
}

Translator::Fragment Translator::between(const Expr& e, const Scope& scope)
{
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
                 .arg(value.sql, e.negated ? QStringLiteral("NOT ") : QString(), low.sql, collate, high.sql),
        SqlType::of(Base::Bit), {}, {} };
}

Translator::Fragment Translator::like(const Expr& e, const Scope& scope)
{
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

} // namespace glimora::engine

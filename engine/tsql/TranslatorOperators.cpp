// Operators: comparisons (dates as dates, text with the TSQL collation, decimals exactly),
// arithmetic with SQL Server's result types, and AND / OR.
#include "engine/tsql/Translator.h"

namespace glimora::engine {

using namespace ast;
using Base = SqlType::Base;

namespace {

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

} // namespace

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

} // namespace glimora::engine

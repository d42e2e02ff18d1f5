#include "engine/tsql/Translator.h"

#include "engine/server/ServerError.h"
#include "engine/values/DateFunctions.h"

#include <QHash>

// The built-in functions of T-SQL: each name has a rule that turns a call, with its arguments
// already translated, into SQLite SQL and the type SQL Server gives the result.

namespace glimora::engine {

using namespace ast;
using Base = SqlType::Base;
using Fragment = Translator::Fragment;

namespace {

// The bytes SQL Server stores a value of a fixed-size type in; 0 for the others.
int storageSize(const SqlType& type)
{
    switch (type.base) {
    case Base::Bit:
    case Base::TinyInt:
        return 1;
    case Base::SmallInt:
        return 2;
    case Base::Int:
    case Base::Real:
    case Base::SmallMoney:
    case Base::SmallDateTime:
        return 4;
    case Base::BigInt:
    case Base::Money:
    case Base::DateTime:
        return 8;
    case Base::Float:
        return type.precision > 0 && type.precision <= 24 ? 4 : 8;
    case Base::Decimal:
    case Base::Numeric:
        return type.precision <= 9 ? 5 : type.precision <= 19 ? 9 : type.precision <= 28 ? 13 : 17;
    default:
        return 0;
    }
}

// The type SQL Server gives the result of COALESCE: the argument type of highest precedence.
int precedence(const SqlType& type)
{
    switch (type.base) {
    case Base::DateTime:
        return 20;
    case Base::SmallDateTime:
        return 19;
    case Base::Float:
        return 18;
    case Base::Real:
        return 17;
    case Base::Decimal:
    case Base::Numeric:
        return 16;
    case Base::Money:
        return 15;
    case Base::SmallMoney:
        return 14;
    case Base::BigInt:
        return 13;
    case Base::Int:
        return 12;
    case Base::SmallInt:
        return 11;
    case Base::TinyInt:
        return 10;
    case Base::Bit:
        return 9;
    case Base::NText:
        return 8;
    case Base::Text:
        return 7;
    case Base::Image:
        return 6;
    case Base::NVarChar:
        return 5;
    case Base::NChar:
        return 4;
    case Base::VarChar:
        return 3;
    case Base::Char:
        return 2;
    case Base::VarBinary:
    case Base::Binary:
        return 1;
    case Base::Unknown:
        break;
    }
    return 0;
}

// One call as its rule sees it.
struct FunctionCall
{
    const QString& name;
    QList<Fragment>& args;
    bool distinct;

    void expectArgs(int minimum, int maximum) const
    {
        if (args.size() < minimum || args.size() > maximum)
            throw ServerError(
                174, QStringLiteral("The %1 function requires %2 argument(s).").arg(name).arg(minimum), 15);
    }

    // The call of an SQLite function of that name on the arguments as they are.
    QString call(const QString& sqlName) const
    {
        QStringList parts;
        for (const Fragment& arg : args)
            parts.append(arg.sql);
        return sqlName + QLatin1Char('(') + (distinct ? QStringLiteral("DISTINCT ") : QString())
            + parts.join(QStringLiteral(", ")) + QLatin1Char(')');
    }

    SqlType textType(int index) const
    {
        return index < args.size() && args[index].type.isText() ? args[index].type
                                                                : SqlType::of(Base::VarChar, 8000);
    }
};

using FunctionRule = Fragment (*)(FunctionCall&);

const SqlType integer = SqlType::of(Base::Int);

QString decimalCall(const QString& function, const QStringList& operands, const SqlType& type)
{
    return function + QLatin1Char('(') + operands.join(QStringLiteral(", ")) + QStringLiteral(", ")
        + QString::number(type.precision) + QStringLiteral(", ") + QString::number(type.scale)
        + QLatin1Char(')');
}

// upper, lower, ltrim, rtrim, left and right: the engine's function of the same name.
Fragment textOfFirstArgument(FunctionCall& c)
{
    const bool twoArguments = c.name == QLatin1String("left") || c.name == QLatin1String("right");
    c.expectArgs(twoArguments ? 2 : 1, twoArguments ? 2 : 1);
    return { c.call(QStringLiteral("tsql_") + c.name), c.textType(0), {}, {} };
}

Fragment substring(FunctionCall& c)
{
    c.expectArgs(3, 3);
    return { c.call(QStringLiteral("tsql_substring")),
        c.args[0].type.isBinary() ? c.args[0].type : c.textType(0), {}, {} };
}

Fragment replace(FunctionCall& c)
{
    c.expectArgs(3, 3);
    return { c.call(QStringLiteral("tsql_replace")),
        SqlType::of(c.textType(0).isNational() ? Base::NVarChar : Base::VarChar, 8000), {}, {} };
}

// len, charindex and isnumeric: an int from the engine's function of the same name.
Fragment integerOfEngineFunction(FunctionCall& c)
{
    if (c.name == QLatin1String("charindex"))
        c.expectArgs(2, 3);
    else
        c.expectArgs(1, 1);
    return { c.call(QStringLiteral("tsql_") + c.name), integer, {}, {} };
}

Fragment datalength(FunctionCall& c)
{
    c.expectArgs(1, 1);
    const SqlType& type = c.args[0].type;
    if (const int size = storageSize(type); size > 0)
        return {
            QStringLiteral("(CASE WHEN (%1) IS NULL THEN NULL ELSE %2 END)").arg(c.args[0].sql).arg(size),
            integer, {}, {}
        };
    const int form = type.isNational() ? 2 : type.isText() ? 1 : 0;
    return { QStringLiteral("tsql_datalength(%1, %2)").arg(c.args[0].sql).arg(form), integer, {}, {} };
}

// The replacement takes the type of the checked value, cut to its length if need be.
Fragment isnull(FunctionCall& c)
{
    c.expectArgs(2, 2);
    const QList<Fragment>& args = c.args;
    if (!args[0].type.isKnown() || args[0].type == args[1].type)
        return { c.call(QStringLiteral("ifnull")), args[0].type.isKnown() ? args[0].type : args[1].type, {},
            {} };
    return { QStringLiteral("ifnull(") + args[0].sql + QStringLiteral(", ")
            + Translator::convertFrom(args[1].sql, args[1].type, args[0].type, false) + QLatin1Char(')'),
        args[0].type, {}, {} };
}

// The result has the argument type of highest precedence; the others convert to it.
Fragment coalesce(FunctionCall& c)
{
    c.expectArgs(2, 100);
    SqlType type;
    for (const Fragment& arg : c.args) {
        if (precedence(arg.type) > precedence(type))
            type = arg.type;
        else if (arg.type.isExactNumeric() && type.isExactNumeric()) {
            const int scale = qMax(type.scale, arg.type.scale);
            const int integral = qMax(type.precision - type.scale, arg.type.precision - arg.type.scale);
            type = SqlType::of(Base::Numeric, 0, qMin(38, integral + scale), scale);
        }
    }
    QStringList parts;
    for (const Fragment& arg : c.args) {
        const bool convert
            = arg.type.isKnown() && !(arg.type == type) && !(arg.type.isText() && type.isText());
        parts.append(convert ? Translator::convertFrom(arg.sql, arg.type, type, false) : arg.sql);
    }
    return { QStringLiteral("coalesce(") + parts.join(QStringLiteral(", ")) + QLatin1Char(')'), type, {},
        {} };
}

Fragment nullif(FunctionCall& c)
{
    c.expectArgs(2, 2);
    return { c.call(c.name), c.args[0].type, {}, {} };
}

Fragment getdate(FunctionCall& c)
{
    c.expectArgs(0, 0);
    return { QStringLiteral("tsql_getdate()"), SqlType::of(Base::DateTime), {}, {} };
}

// year, month and day. A date written as text ('2013-05-01') is a date here, as in SQL Server.
Fragment datePart(FunctionCall& c)
{
    c.expectArgs(1, 1);
    if (c.args[0].type.isText())
        c.args[0].sql = Translator::convertCall(c.args[0].sql, SqlType::of(Base::DateTime), false);
    return { c.call(QStringLiteral("tsql_") + c.name), integer, {}, {} };
}

Fragment abs(FunctionCall& c)
{
    c.expectArgs(1, 1);
    const Fragment& value = c.args[0];
    if (value.type.keepsDecimalText())
        return { decimalCall(QStringLiteral("tsql_decimal_op"),
                     { QStringLiteral("'abs'"), value.sql, QStringLiteral("NULL") }, value.type),
            value.type, {}, {} };
    return { c.call(QStringLiteral("abs")), value.type, {}, {} };
}

Fragment round(FunctionCall& c)
{
    c.expectArgs(2, 3);
    const QList<Fragment>& args = c.args;
    if (args[0].type.isExactNumeric()) {
        // A carry may need one digit more: round(9.99, 1) is 10.00.
        SqlType type = args[0].type;
        type.base = Base::Numeric;
        type.precision = qMin(38, type.precision + 1);
        const QString cut = args.size() > 2 ? QStringLiteral("(") + args[2].sql + QStringLiteral(") <> 0")
                                            : QStringLiteral("0");
        return { decimalCall(QStringLiteral("tsql_decimal_round"), { args[0].sql, args[1].sql, cut }, type),
            type, {}, {} };
    }
    const QString sql = QStringLiteral("round(%1, %2)").arg(args[0].sql, args[1].sql);
    return { args[0].type.isKnown() ? Translator::convertCall(sql, args[0].type, false) : sql, args[0].type,
        {}, {} };
}

Fragment identCurrent(FunctionCall&)
{
    return { QStringLiteral("tsql_identity()"), SqlType::of(Base::Numeric, 0, 38, 0), {}, {} };
}

// count(expression) and count_big(expression); count(*) is apart, having no argument.
Fragment count(FunctionCall& c)
{
    c.expectArgs(1, 1);
    return { c.call(QStringLiteral("count")),
        c.name == QLatin1String("count") ? integer : SqlType::of(Base::BigInt), {}, {} };
}

Fragment minMax(FunctionCall& c)
{
    c.expectArgs(1, 1);
    const Fragment& value = c.args[0];
    if (value.type.keepsDecimalText())
        return { c.name + (c.distinct ? QStringLiteral("(DISTINCT ") : QStringLiteral("(")) + value.sql
                + QStringLiteral(" COLLATE DECIMAL)"),
            value.type, {}, {} };
    return { c.call(c.name), value.type, {}, {} };
}

Fragment sumAvg(FunctionCall& c)
{
    c.expectArgs(1, 1);
    const bool average = c.name == QLatin1String("avg");
    SqlType type = c.args[0].type;
    if (type.isExactNumeric()) {
        // Exact sums; the average is cut to its places as SQL Server cuts a quotient.
        const SqlType result = SqlType::of(Base::Numeric, 0, 38, average ? qMax(6, type.scale) : type.scale);
        const QString aggregate = QStringLiteral("tsql_decimal_") + c.name
            + (c.distinct ? QStringLiteral("(DISTINCT ") : QStringLiteral("(")) + c.args[0].sql
            + QLatin1Char(')');
        return { Translator::convertCall(aggregate, result, false), result, {}, {} };
    }
    if (type.isInteger())
        type = SqlType::of(type.base == Base::BigInt ? Base::BigInt : Base::Int);
    if (type.isInteger() && average)
        return { QStringLiteral("CAST(") + c.call(QStringLiteral("avg")) + QStringLiteral(" AS INTEGER)"),
            type, {}, {} };
    return { c.call(c.name), type, {}, {} };
}

const QHash<QString, FunctionRule>& functionRules()
{
    static const QHash<QString, FunctionRule> rules = {
        { QStringLiteral("upper"), textOfFirstArgument },
        { QStringLiteral("lower"), textOfFirstArgument },
        { QStringLiteral("ltrim"), textOfFirstArgument },
        { QStringLiteral("rtrim"), textOfFirstArgument },
        { QStringLiteral("left"), textOfFirstArgument },
        { QStringLiteral("right"), textOfFirstArgument },
        { QStringLiteral("substring"), substring },
        { QStringLiteral("replace"), replace },
        { QStringLiteral("len"), integerOfEngineFunction },
        { QStringLiteral("charindex"), integerOfEngineFunction },
        { QStringLiteral("isnumeric"), integerOfEngineFunction },
        { QStringLiteral("datalength"), datalength },
        { QStringLiteral("isnull"), isnull },
        { QStringLiteral("coalesce"), coalesce },
        { QStringLiteral("nullif"), nullif },
        { QStringLiteral("getdate"), getdate },
        { QStringLiteral("getutcdate"), getdate },
        { QStringLiteral("year"), datePart },
        { QStringLiteral("month"), datePart },
        { QStringLiteral("day"), datePart },
        { QStringLiteral("abs"), abs },
        { QStringLiteral("round"), round },
        { QStringLiteral("ident_current"), identCurrent },
        { QStringLiteral("count"), count },
        { QStringLiteral("count_big"), count },
        { QStringLiteral("min"), minMax },
        { QStringLiteral("max"), minMax },
        { QStringLiteral("sum"), sumAvg },
        { QStringLiteral("avg"), sumAvg },
    };
    return rules;
}

} // namespace

Translator::Fragment Translator::function(const Expr& e, const Scope& scope)
{
    const QString& name = e.text;
    // Functions that read their arguments unevaluated, or the session.
    if (name == QLatin1String("dateadd") || name == QLatin1String("datediff")
        || name == QLatin1String("datepart") || name == QLatin1String("datename"))
        return dateFunction(e, scope);
    if (name == QLatin1String("object_id"))
        return objectId(e);
    if ((name == QLatin1String("count") || name == QLatin1String("count_big")) && e.args.size() == 1
        && e.args[0]->kind == Expr::Kind::Star)
        return { QStringLiteral("count(*)"),
            name == QLatin1String("count") ? integer : SqlType::of(Base::BigInt), {}, {} };

    QList<Fragment> args;
    for (const ExprPtr& arg : e.args)
        args.append(expr(arg, scope));
    if (name == QLatin1String("scope_identity")) {
        const std::optional<TranslationContext::Value> identity
            = m_context.variable(QStringLiteral("@@identity"));
        return { identity->sql, identity->type, {}, {} };
    }
    if (const FunctionRule rule = functionRules().value(name)) {
        FunctionCall call { name, args, e.distinct };
        return rule(call);
    }
    if (const std::optional<TranslationContext::Value> value = m_context.serverFunction(name))
        return { value->sql, value->type, {}, {} };
    throw ServerError(195, QStringLiteral("'%1' is not a recognized built-in function name.").arg(name), 15);
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

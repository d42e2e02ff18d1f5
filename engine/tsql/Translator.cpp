// What every part of the translation shares: quoting, conversions and the tables it names.
#include "engine/tsql/Translator.h"

#include "engine/server/ServerError.h"

namespace glimora::engine {

using Base = SqlType::Base;

bool Translator::isTextLike(const SqlType& type)
{
    return !type.isNumeric() && !type.isDateTime() && !type.isBinary();
}

bool Translator::isFloat(const SqlType& type)
{
    return type.base == Base::Float || type.base == Base::Real;
}

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
    // In one pass: a "%2" in the text of `sql` is no place for the type.
    return QStringLiteral("tsql_convert(%1,%2,%3,%4,%5,%6,%7)")
        .arg(sql, QString::number(type.code()), QString::number(type.length), QString::number(type.precision),
            QString::number(type.scale), QString::number(style), QString::number(store ? 1 : 0));
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

bool Translator::convertsAlike(const SqlType& first, const SqlType& second)
{
    // convertFrom() reads of the source type only this.
    return first.isExactNumeric() == second.isExactNumeric();
}

TableInfo Translator::resolveTable(const QString& database, const QString& name)
{
    std::optional<TableInfo> table = m_context.findTable(database, name);
    if (!table)
        throw ServerError::invalidObject(
            database.isEmpty() ? name : database + QStringLiteral(".dbo.") + name);
    return *table;
}

} // namespace glimora::engine

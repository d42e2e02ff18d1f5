#include "data/SqlLiteral.h"

#include "data/DbError.h"

#include <cmath>

namespace glimora::data {

namespace {

QString floatText(double value, int significantDigits)
{
    if (!std::isfinite(value))
        throw DbError::invalidArgument(QStringLiteral("a float value that is not finite"));
    // The E notation makes it a float literal rather than a decimal one.
    QString text = QString::asprintf("%.*g", significantDigits, value);
    if (text.contains(QLatin1Char('e')))
        return text.replace(QLatin1Char('e'), QLatin1Char('E'));
    return text + QStringLiteral("E0");
}

bool isPlainIdentifier(const QString& name)
{
    if (name.isEmpty() || name[0].isDigit())
        return false;
    for (const QChar c : name) {
        if (!(c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('@')
                || c == QLatin1Char('#')))
            return false;
    }
    return true;
}

} // namespace

QString SqlLiteral::value(const Variant& value)
{
    switch (value.kind()) {
    case Variant::Kind::Empty:
    case Variant::Kind::Null:
        return QStringLiteral("NULL");
    case Variant::Kind::Int16:
    case Variant::Kind::Int32:
    case Variant::Kind::Int64:
        return QString::number(value.toInt64());
    case Variant::Kind::Boolean:
        return value.toBoolean() ? QStringLiteral("1") : QStringLiteral("0");
    case Variant::Kind::Single:
        // The server compares a real widened to float: 9 digits would name another number.
        return floatText(value.toDouble(), 17);
    case Variant::Kind::Double:
        return floatText(value.toDouble(), 17);
    case Variant::Kind::Decimal:
        return value.toDecimal().toString();
    case Variant::Kind::DateTime:
        return QLatin1Char('\'') + value.toDateTime().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz"))
            + QLatin1Char('\'');
    case Variant::Kind::String: {
        QString text = value.toString();
        text.replace(QLatin1Char('\''), QLatin1String("''"));
        return QStringLiteral("N'") + text + QLatin1Char('\'');
    }
    case Variant::Kind::Bytes:
        return QStringLiteral("0x") + QString::fromLatin1(value.toBytes().toHex());
    }
    return QStringLiteral("NULL");
}

QString SqlLiteral::quotesDoubled(QString text)
{
    return text.replace(QLatin1Char('\''), QLatin1String("''"));
}

QString SqlLiteral::identifier(const QString& name)
{
    if (isPlainIdentifier(name))
        return name;
    QString escaped = name;
    escaped.replace(QLatin1Char(']'), QLatin1String("]]"));
    return QLatin1Char('[') + escaped + QLatin1Char(']');
}

} // namespace glimora::data

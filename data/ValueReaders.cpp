#include "data/ValueReaders.h"

#include "data/SharedDatabase.h"
#include "settings/AsciiBlanks.h"

namespace glimora::data {

namespace {

// A decimal with six places, as "%f" writes a number, but from its digits: a double would
// change those beyond the 15th, and the drill-down puts this text back into its conditions.
// Places beyond the sixth round half away from zero.
QString sixPlaces(const Decimal& value)
{
    constexpr int places = 6;
    if (value.scale < 0 || value.scale > Decimal::MaximumDigits)
        return QString::asprintf("%f", value.toDouble());
    if (value.scale <= places) {
        QString text = value.toString();
        if (value.scale == 0)
            text += QLatin1Char('.');
        return text + QString(places - value.scale, QLatin1Char('0'));
    }
    const bool negative = value.unscaledValue < 0;
    const Decimal::Digits magnitude = negative ? -value.unscaledValue : value.unscaledValue;
    Decimal::Digits divisor = 1;
    for (int i = places; i < value.scale; ++i)
        divisor *= 10;
    Decimal::Digits kept = magnitude / divisor;
    if ((magnitude % divisor) * 2 >= divisor)
        ++kept;
    return Decimal { negative ? -kept : kept, places }.toString();
}

} // namespace

QString ValueText(const Variant& value)
{
    switch (value.kind()) {
    case Variant::Kind::Null:
        return QString();
    case Variant::Kind::Decimal:
        return sixPlaces(value.toDecimal());
    case Variant::Kind::Int32:
    case Variant::Kind::Single:
        return QString::asprintf("%f", value.toDouble());
    case Variant::Kind::DateTime: {
        const QDate date = value.toDateTime().date();
        return QString::asprintf("%d-%02d-%02d", date.year(), date.month(), date.day());
    }
    case Variant::Kind::String:
        return settings::withoutAsciiBlanks(value.toString());
    default:
        return QStringLiteral("error");
    }
}

QString ValueText(const Field& field)
{
    return ValueText(field.Value());
}

QString ValueText(int fieldIndex)
{
    return ValueText(SharedDatabase::recordset().Item(fieldIndex));
}

QString ValueText(const QString& fieldName)
{
    return ValueText(SharedDatabase::recordset().Item(fieldName));
}

double ValueNumber(const Variant& value)
{
    switch (value.kind()) {
    case Variant::Kind::Int32:
    case Variant::Kind::Decimal:
        return value.toDouble();
    default:
        return 0.0;
    }
}

double ValueNumber(const Field& field)
{
    return ValueNumber(field.Value());
}

double ValueNumber(int fieldIndex)
{
    return ValueNumber(SharedDatabase::recordset().Item(fieldIndex));
}

double ValueNumber(const QString& fieldName)
{
    return ValueNumber(SharedDatabase::recordset().Item(fieldName));
}

} // namespace glimora::data

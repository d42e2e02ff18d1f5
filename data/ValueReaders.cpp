#include "data/ValueReaders.h"

#include "data/AsciiBlanks.h"
#include "data/SharedDatabase.h"

namespace glimora::data {

QString ValueText(const Variant& value)
{
    switch (value.kind()) {
    case Variant::Kind::Null:
        return QString();
    case Variant::Kind::Int32:
    case Variant::Kind::Decimal:
    case Variant::Kind::Single:
        return QString::asprintf("%f", value.toDouble());
    case Variant::Kind::DateTime: {
        const QDate date = value.toDateTime().date();
        return QString::asprintf("%d-%02d-%02d", date.year(), date.month(), date.day());
    }
    case Variant::Kind::String:
        return withoutAsciiBlanks(value.toString());
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

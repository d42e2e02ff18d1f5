#include "data/Variant.h"

namespace glimora::data {

Variant Variant::null()
{
    return Variant(Kind::Null, std::monostate {});
}

Variant Variant::fromInt16(qint16 value)
{
    return Variant(Kind::Int16, qint64(value));
}

Variant Variant::fromInt32(qint32 value)
{
    return Variant(Kind::Int32, qint64(value));
}

Variant Variant::fromInt64(qint64 value)
{
    return Variant(Kind::Int64, value);
}

Variant Variant::fromSingle(float value)
{
    return Variant(Kind::Single, double(value));
}

Variant Variant::fromDouble(double value)
{
    return Variant(Kind::Double, value);
}

Variant Variant::fromDecimal(Decimal value)
{
    return Variant(Kind::Decimal, value);
}

Variant Variant::fromDateTime(const QDateTime& value)
{
    return Variant(Kind::DateTime, value);
}

Variant Variant::fromString(const QString& value)
{
    return Variant(Kind::String, value);
}

Variant Variant::fromBoolean(bool value)
{
    return Variant(Kind::Boolean, qint64(value ? 1 : 0));
}

Variant Variant::fromBytes(const QByteArray& value)
{
    return Variant(Kind::Bytes, value);
}

qint64 Variant::toInt64() const
{
    if (const qint64* value = std::get_if<qint64>(&m_storage))
        return *value;
    return 0;
}

double Variant::toDouble() const
{
    switch (m_kind) {
    case Kind::Int16:
    case Kind::Int32:
    case Kind::Int64:
        return double(std::get<qint64>(m_storage));
    case Kind::Single:
    case Kind::Double:
        return std::get<double>(m_storage);
    case Kind::Decimal:
        return std::get<Decimal>(m_storage).toDouble();
    default:
        return 0.0;
    }
}

Decimal Variant::toDecimal() const
{
    if (const Decimal* value = std::get_if<Decimal>(&m_storage))
        return *value;
    return {};
}

QDateTime Variant::toDateTime() const
{
    if (const QDateTime* value = std::get_if<QDateTime>(&m_storage))
        return *value;
    return {};
}

QString Variant::toString() const
{
    if (const QString* value = std::get_if<QString>(&m_storage))
        return *value;
    return {};
}

bool Variant::toBoolean() const
{
    return m_kind == Kind::Boolean && std::get<qint64>(m_storage) != 0;
}

QByteArray Variant::toBytes() const
{
    if (const QByteArray* value = std::get_if<QByteArray>(&m_storage))
        return *value;
    return {};
}

} // namespace glimora::data

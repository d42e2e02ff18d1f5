#pragma once

#include "data/Decimal.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <variant>

namespace glimora::data {

// A field value, with the kinds that the screens tell apart (the VARIANT of ADO).
class Variant
{
public:
    enum class Kind {
        Empty,
        Null,
        Int16,
        Int32,
        Int64,
        Single,
        Double,
        Decimal,
        DateTime,
        String,
        Boolean,
        Bytes
    };

    Variant() = default; // Empty
    static Variant null();
    static Variant fromInt16(qint16 value);
    static Variant fromInt32(qint32 value);
    static Variant fromInt64(qint64 value);
    static Variant fromSingle(float value);
    static Variant fromDouble(double value);
    static Variant fromDecimal(Decimal value);
    static Variant fromDateTime(const QDateTime& value);
    static Variant fromString(const QString& value);
    static Variant fromBoolean(bool value);
    static Variant fromBytes(const QByteArray& value);

    Kind kind() const { return m_kind; }
    bool isNull() const { return m_kind == Kind::Null; }
    bool isEmpty() const { return m_kind == Kind::Empty; }

    // Accessors for the stored kind; asking for another kind gives a zero value.
    qint64 toInt64() const; // Int16, Int32, Int64, Boolean
    double toDouble() const; // every numeric kind
    Decimal toDecimal() const;
    QDateTime toDateTime() const;
    QString toString() const; // String only
    bool toBoolean() const;
    QByteArray toBytes() const;

    friend bool operator==(const Variant&, const Variant&) = default;

private:
    using Storage = std::variant<std::monostate, qint64, double, Decimal, QDateTime, QString, QByteArray>;
    Variant(Kind kind, Storage storage)
        : m_kind(kind)
        , m_storage(std::move(storage))
    {
    }

    Kind m_kind = Kind::Empty;
    Storage m_storage;
};

} // namespace glimora::data

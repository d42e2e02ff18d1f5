#include "engine/tds/TdsTokens.h"

#include "data/DbError.h"
#include "engine/tds/TdsBytes.h"

#include <cmath>
#include <cstring>
#include <QStringEncoder>

namespace glimora::engine::tds {

using Base = SqlType::Base;
using Wire = ResultEncoder::Wire;

namespace {

enum TypeByte : quint8 {
    IntN = 0x26,
    BitN = 0x68,
    DecimalN = 0x6A,
    NumericN = 0x6C,
    MoneyN = 0x6E,
    FloatN = 0x6D,
    DateTimeN = 0x6F,
    BigChar = 0xAF,
    BigVarChar = 0xA7,
    TextType = 0x23,
    NCharType = 0xEF,
    NVarCharType = 0xE7,
    NTextType = 0x63,
    BigBinary = 0xAD,
    BigVarBinary = 0xA5,
    ImageType = 0x22,
};

constexpr quint16 MaxMarker = 0xFFFF;
constexpr quint16 NullLength = 0xFFFF;
constexpr int PlpChunk = 64 * 1024;

// Tokens with a two-byte length after their type: the body is built, then framed.
void framed(QByteArray& out, quint8 type, const QByteArray& body)
{
    TdsWriter writer(out);
    writer.u8(type);
    writer.u16(quint16(body.size()));
    writer.bytes(body);
}

int decimalBytes(int precision)
{
    if (precision <= 9)
        return 5;
    if (precision <= 19)
        return 9;
    if (precision <= 28)
        return 13;
    return 17;
}

QByteArray gbk(const QString& text)
{
    QStringEncoder encoder("GBK");
    return encoder.isValid() ? QByteArray(encoder(text)) : text.toLatin1();
}

QByteArray ucs2(const QString& text)
{
    QByteArray out;
    TdsWriter(out).ucs2(text);
    return out;
}

bool isLong(Wire wire)
{
    return wire == Wire::Text || wire == Wire::NText || wire == Wire::Image;
}

bool isNational(Wire wire)
{
    return wire == Wire::NChar || wire == Wire::NVarChar || wire == Wire::NText;
}

bool isByteString(Wire wire)
{
    return wire == Wire::Char || wire == Wire::VarChar || wire == Wire::Text || wire == Wire::Binary
        || wire == Wire::VarBinary || wire == Wire::Image || isNational(wire);
}

data::DbError conversionError(const ResultEncoder::Column& column)
{
    return data::DbError(data::DbError::ProviderFailure,
        QStringLiteral("A value of column '%1' does not fit its type.").arg(column.name), 8114, 16, 5);
}

// The decimal's digits at `scale` places, rounded half away from zero when it had more.
data::Decimal::Digits atScale(const data::Decimal& value, int scale)
{
    data::Decimal::Digits digits = value.unscaledValue;
    for (int s = value.scale; s < scale; ++s)
        digits *= 10;
    if (value.scale > scale) {
        data::Decimal::Digits divisor = 1;
        for (int s = scale; s < value.scale; ++s)
            divisor *= 10;
        const data::Decimal::Digits rest = digits % divisor;
        digits /= divisor;
        if ((rest < 0 ? -rest : rest) * 2 >= divisor)
            digits += digits < 0 || rest < 0 ? -1 : 1;
    }
    return digits;
}

} // namespace

namespace token {

QByteArray serverCollation()
{
    // LCID 0x0804, ignore case, kana and width; sort id 0 (a Windows collation).
    return QByteArray("\x04\x08\xD0\x00\x00", 5);
}

void message(QByteArray& out, bool info, int number, int state, int severity, const QString& text,
    const QString& serverName, int line)
{
    QByteArray body;
    TdsWriter writer(body);
    writer.u32(quint32(number));
    writer.u8(quint8(state));
    writer.u8(quint8(severity));
    writer.usVarchar(text);
    writer.bVarchar(serverName);
    writer.bVarchar(QString());
    writer.u32(quint32(line));
    framed(out, info ? 0xAB : 0xAA, body);
}

void envChange(QByteArray& out, EnvChange type, const QString& newValue, const QString& oldValue)
{
    QByteArray body;
    TdsWriter writer(body);
    writer.u8(type);
    writer.bVarchar(newValue);
    writer.bVarchar(oldValue);
    framed(out, 0xE3, body);
}

void collationChange(QByteArray& out)
{
    QByteArray body;
    TdsWriter writer(body);
    writer.u8(Collation);
    const QByteArray collation = serverCollation();
    writer.u8(quint8(collation.size()));
    writer.bytes(collation);
    writer.u8(0);
    framed(out, 0xE3, body);
}

void loginAck(QByteArray& out, quint32 tdsVersion)
{
    QByteArray body;
    TdsWriter writer(body);
    writer.u8(1); // T-SQL
    writer.u8(quint8(tdsVersion >> 24));
    writer.u8(quint8(tdsVersion >> 16));
    writer.u8(quint8(tdsVersion >> 8));
    writer.u8(quint8(tdsVersion));
    writer.bVarchar(QStringLiteral("Microsoft SQL Server"));
    writer.u8(11);
    writer.u8(0);
    writer.u8(2100 >> 8);
    writer.u8(2100 & 0xFF);
    framed(out, 0xAD, body);
}

void done(QByteArray& out, DoneKind kind, quint16 status, quint16 command, quint64 rows)
{
    TdsWriter writer(out);
    writer.u8(kind);
    writer.u16(status);
    writer.u16(command);
    writer.u64(rows);
}

} // namespace token

ResultEncoder::Column ResultEncoder::columnOf(const data::FieldInfo& field, const SqlType& type)
{
    Column column;
    column.name = field.name;
    column.table = field.baseTable;
    auto sized = [&](Wire wire, int limit) {
        column.wire = wire;
        column.size = type.length > 0 && type.length <= limit ? type.length : -1;
    };
    switch (type.base) {
    case Base::Bit:
        column.wire = Wire::Bit;
        column.size = 1;
        break;
    case Base::TinyInt:
        column.wire = Wire::Int;
        column.size = 1;
        break;
    case Base::SmallInt:
        column.wire = Wire::Int;
        column.size = 2;
        break;
    case Base::Int:
        column.wire = Wire::Int;
        column.size = 4;
        break;
    case Base::BigInt:
        column.wire = Wire::Int;
        column.size = 8;
        break;
    case Base::Decimal:
    case Base::Numeric:
        column.wire = type.base == Base::Decimal ? Wire::Decimal : Wire::Numeric;
        column.precision = type.precision > 0 && type.precision <= 38 ? type.precision : 38;
        column.scale = qBound(0, type.scale, column.precision);
        column.size = decimalBytes(column.precision);
        break;
    case Base::Money:
    case Base::SmallMoney:
        column.wire = Wire::Money;
        column.size = type.base == Base::Money ? 8 : 4;
        break;
    case Base::Float:
        column.wire = Wire::Float;
        column.size = 8;
        break;
    case Base::Real:
        column.wire = Wire::Float;
        column.size = 4;
        break;
    case Base::DateTime:
        column.wire = Wire::DateTime;
        column.size = 8;
        break;
    case Base::SmallDateTime:
        column.wire = Wire::DateTime;
        column.size = 4;
        break;
    case Base::Char:
        sized(Wire::Char, 8000);
        if (column.size < 0)
            column.wire = Wire::VarChar;
        break;
    case Base::VarChar:
        sized(Wire::VarChar, 8000);
        break;
    case Base::Text:
        column.wire = Wire::Text;
        column.size = 0x7FFFFFFF;
        break;
    case Base::NChar:
        sized(Wire::NChar, 4000);
        if (column.size < 0)
            column.wire = Wire::NVarChar;
        break;
    case Base::NVarChar:
        sized(Wire::NVarChar, 4000);
        break;
    case Base::NText:
        column.wire = Wire::NText;
        column.size = 0x7FFFFFFE;
        break;
    case Base::Binary:
        sized(Wire::Binary, 8000);
        if (column.size < 0)
            column.wire = Wire::VarBinary;
        break;
    case Base::VarBinary:
        sized(Wire::VarBinary, 8000);
        break;
    case Base::Image:
        column.wire = Wire::Image;
        column.size = 0x7FFFFFFF;
        break;
    case Base::Unknown:
        column.wire = Wire::NVarChar;
        column.size = -1;
        break;
    }
    return column;
}

ResultEncoder::ResultEncoder(const QList<data::FieldInfo>& fields, const QList<SqlType>& types)
{
    for (qsizetype i = 0; i < fields.size(); ++i)
        m_columns.append(columnOf(fields[i], types.value(i)));
}

void ResultEncoder::metadata(QByteArray& out) const
{
    TdsWriter writer(out);
    writer.u8(0x81);
    writer.u16(quint16(m_columns.size()));
    for (const Column& column : m_columns) {
        writer.u32(0); // user type
        writer.u16(0x0001 | 0x0008); // nullable; updatable unknown
        switch (column.wire) {
        case Wire::Bit:
            writer.u8(BitN);
            writer.u8(1);
            break;
        case Wire::Int:
            writer.u8(IntN);
            writer.u8(quint8(column.size));
            break;
        case Wire::Decimal:
        case Wire::Numeric:
            writer.u8(column.wire == Wire::Decimal ? DecimalN : NumericN);
            writer.u8(quint8(column.size));
            writer.u8(quint8(column.precision));
            writer.u8(quint8(column.scale));
            break;
        case Wire::Money:
            writer.u8(MoneyN);
            writer.u8(quint8(column.size));
            break;
        case Wire::Float:
            writer.u8(FloatN);
            writer.u8(quint8(column.size));
            break;
        case Wire::DateTime:
            writer.u8(DateTimeN);
            writer.u8(quint8(column.size));
            break;
        case Wire::Char:
        case Wire::VarChar:
        case Wire::NChar:
        case Wire::NVarChar:
            writer.u8(column.wire == Wire::Char    ? BigChar
                    : column.wire == Wire::VarChar ? BigVarChar
                    : column.wire == Wire::NChar   ? NCharType
                                                   : NVarCharType);
            writer.u16(
                column.size < 0 ? MaxMarker : quint16(column.size * (isNational(column.wire) ? 2 : 1)));
            writer.bytes(token::serverCollation());
            break;
        case Wire::Binary:
        case Wire::VarBinary:
            writer.u8(column.wire == Wire::Binary ? BigBinary : BigVarBinary);
            writer.u16(column.size < 0 ? MaxMarker : quint16(column.size));
            break;
        case Wire::Text:
        case Wire::NText:
        case Wire::Image:
            writer.u8(column.wire == Wire::Text  ? TextType
                    : column.wire == Wire::NText ? NTextType
                                                 : ImageType);
            writer.u32(quint32(column.size));
            if (column.wire != Wire::Image)
                writer.bytes(token::serverCollation());
            writer.u8(1);
            writer.usVarchar(column.table);
            break;
        }
        writer.bVarchar(column.name);
    }
}

void ResultEncoder::row(QByteArray& out, const QList<data::Variant>& values) const
{
    bool anyNull = false;
    for (const data::Variant& v : values)
        anyNull = anyNull || v.isNull() || v.isEmpty();
    TdsWriter writer(out);
    if (anyNull) {
        writer.u8(0xD2);
        QByteArray bitmap((m_columns.size() + 7) / 8, '\0');
        for (qsizetype i = 0; i < m_columns.size(); ++i) {
            const data::Variant v = values.value(i);
            if (v.isNull() || v.isEmpty())
                bitmap[i / 8] = char(bitmap[i / 8] | (1 << (i % 8)));
        }
        writer.bytes(bitmap);
    } else {
        writer.u8(0xD1);
    }
    for (qsizetype i = 0; i < m_columns.size(); ++i) {
        const data::Variant v = values.value(i);
        if (anyNull && (v.isNull() || v.isEmpty()))
            continue;
        value(out, m_columns[i], v);
    }
}

void ResultEncoder::value(QByteArray& out, const Column& column, const data::Variant& v) const
{
    using Kind = data::Variant::Kind;
    TdsWriter writer(out);
    if (isByteString(column.wire)) {
        QByteArray bytes;
        if (v.kind() == Kind::Bytes)
            bytes = v.toBytes();
        else if (v.kind() == Kind::String)
            bytes = isNational(column.wire) ? ucs2(v.toString()) : gbk(v.toString());
        else
            throw conversionError(column);
        if (isLong(column.wire)) {
            writer.u8(16);
            writer.bytes(QByteArray(16, '\0')); // text pointer
            writer.bytes(QByteArray(8, '\0')); // timestamp
            writer.u32(quint32(bytes.size()));
            writer.bytes(bytes);
        } else if (column.size < 0) {
            // PLP: the whole length, then the value in chunks, then a zero-length chunk.
            writer.u64(quint64(bytes.size()));
            for (qsizetype at = 0; at < bytes.size(); at += PlpChunk) {
                const qsizetype piece = qMin<qsizetype>(PlpChunk, bytes.size() - at);
                writer.u32(quint32(piece));
                out.append(bytes.constData() + at, piece);
            }
            writer.u32(0);
        } else {
            if (bytes.size() >= NullLength)
                throw conversionError(column);
            writer.u16(quint16(bytes.size()));
            writer.bytes(bytes);
        }
        return;
    }
    switch (column.wire) {
    case Wire::Bit:
        writer.u8(1);
        if (v.kind() == Kind::Boolean)
            writer.u8(v.toBoolean() ? 1 : 0);
        else if (v.kind() == Kind::Int16 || v.kind() == Kind::Int32 || v.kind() == Kind::Int64)
            writer.u8(v.toInt64() != 0 ? 1 : 0);
        else
            throw conversionError(column);
        break;
    case Wire::Int: {
        qint64 number = 0;
        if (v.kind() == Kind::Int16 || v.kind() == Kind::Int32 || v.kind() == Kind::Int64
            || v.kind() == Kind::Boolean)
            number = v.toInt64();
        else if (v.kind() == Kind::Decimal && v.toDecimal().scale == 0)
            number = qint64(v.toDecimal().unscaledValue);
        else
            throw conversionError(column);
        const qint64 limit = column.size == 8 ? 0 : (qint64(1) << (8 * column.size - 1));
        if (limit && (column.size == 1 ? (number < 0 || number > 255) : (number < -limit || number >= limit)))
            throw conversionError(column);
        writer.u8(quint8(column.size));
        for (int b = 0; b < column.size; ++b)
            writer.u8(quint8(quint64(number) >> (8 * b)));
        break;
    }
    case Wire::Decimal:
    case Wire::Numeric:
    case Wire::Money: {
        data::Decimal decimal;
        if (v.kind() == Kind::Decimal)
            decimal = v.toDecimal();
        else if (v.kind() == Kind::Int16 || v.kind() == Kind::Int32 || v.kind() == Kind::Int64)
            decimal = { v.toInt64(), 0 };
        else
            throw conversionError(column);
        const int scale = column.wire == Wire::Money ? 4 : column.scale;
        const data::Decimal::Digits digits = atScale(decimal, scale);
        if (column.wire == Wire::Money) {
            const data::Decimal::Digits limit
                = column.size == 8 ? data::Decimal::Digits(INT64_MAX) : data::Decimal::Digits(INT32_MAX);
            if (digits > limit || digits < -limit - 1)
                throw conversionError(column);
            writer.u8(quint8(column.size));
            if (column.size == 8) {
                const quint64 raw = quint64(qint64(digits));
                writer.u32(quint32(raw >> 32));
                writer.u32(quint32(raw));
            } else {
                writer.u32(quint32(qint32(digits)));
            }
            break;
        }
        unsigned __int128 magnitude = digits < 0 ? (unsigned __int128)(-digits) : (unsigned __int128)digits;
        data::Decimal::Digits ceiling = 1;
        for (int p = 0; p < column.precision; ++p)
            ceiling *= 10;
        if (magnitude >= (unsigned __int128)ceiling)
            throw conversionError(column);
        writer.u8(quint8(column.size));
        writer.u8(digits < 0 ? 0 : 1);
        for (int b = 0; b < column.size - 1; ++b)
            writer.u8(quint8(magnitude >> (8 * b)));
        break;
    }
    case Wire::Float: {
        if (v.kind() == Kind::String || v.kind() == Kind::Bytes || v.kind() == Kind::DateTime)
            throw conversionError(column);
        writer.u8(quint8(column.size));
        if (column.size == 8) {
            const double number = v.toDouble();
            quint64 raw;
            std::memcpy(&raw, &number, 8);
            writer.u64(raw);
        } else {
            const float number = float(v.toDouble());
            quint32 raw;
            std::memcpy(&raw, &number, 4);
            writer.u32(raw);
        }
        break;
    }
    case Wire::DateTime: {
        if (v.kind() != Kind::DateTime)
            throw conversionError(column);
        const QDateTime when = v.toDateTime();
        qint64 days = QDate(1900, 1, 1).daysTo(when.date());
        const qint64 ms = when.time().msecsSinceStartOfDay();
        writer.u8(quint8(column.size));
        if (column.size == 8) {
            // Three hundredths of a second, as SQL Server counts them.
            qint64 ticks = (ms * 3 + 5) / 10;
            if (ticks >= 300LL * 86400) {
                ticks -= 300LL * 86400;
                ++days;
            }
            writer.u32(quint32(qint32(days)));
            writer.u32(quint32(ticks));
        } else {
            qint64 minutes = (ms + 30000) / 60000;
            if (minutes >= 1440) {
                minutes -= 1440;
                ++days;
            }
            if (days < 0 || days > 65535)
                throw conversionError(column);
            writer.u16(quint16(days));
            writer.u16(quint16(minutes));
        }
        break;
    }
    default:
        throw conversionError(column);
    }
}

} // namespace glimora::engine::tds

#include "data/DbError.h"
#include "engine/tds/TdsTokens.h"

#include <gtest/gtest.h>
#include <QDateTime>

using namespace glimora;
using namespace glimora::engine;
using namespace glimora::engine::tds;
using Base = SqlType::Base;

namespace {

// The bytes of one value after the ROW token.
QByteArray wireOf(const SqlType& type, const data::Variant& value)
{
    data::FieldInfo field;
    field.name = QStringLiteral("c");
    const ResultEncoder encoder({ field }, { type });
    QByteArray out;
    encoder.row(out, { value });
    EXPECT_EQ(quint8(out[0]), 0xD1);
    return out.mid(1);
}

QDateTime at(const char* text)
{
    return QDateTime::fromString(QString::fromLatin1(text), Qt::ISODateWithMs);
}

struct WireCase
{
    const char* what;
    SqlType type;
    data::Variant value;
    QByteArray bytes;
};

} // namespace

TEST(ResultEncoderTest, ValuesTravelInSqlServersForm)
{
    const QList<WireCase> cases {
        { "int", SqlType::of(Base::Int), data::Variant::fromInt32(-2),
            QByteArray("\x04\xFE\xFF\xFF\xFF", 5) },
        { "bigint", SqlType::of(Base::BigInt), data::Variant::fromInt64(1),
            QByteArray("\x08\x01\0\0\0\0\0\0\0", 9) },
        { "bit", SqlType::of(Base::Bit), data::Variant::fromBoolean(true), QByteArray("\x01\x01", 2) },
        { "decimal(18,2)", SqlType::of(Base::Decimal, 0, 18, 2), data::Variant::fromDecimal({ -1250, 2 }),
            QByteArray("\x09\x00\xE2\x04\0\0\0\0\0\0", 10) },
        { "decimal with fewer places", SqlType::of(Base::Decimal, 0, 9, 2),
            data::Variant::fromDecimal({ 5, 0 }), QByteArray("\x05\x01\xF4\x01\0\0", 6) },
        { "numeric(38,0) beyond 64 bits", SqlType::of(Base::Numeric, 0, 38, 0),
            data::Variant::fromDecimal({ data::Decimal::Digits(1) << 64, 0 }),
            QByteArray("\x11\x01\0\0\0\0\0\0\0\0\x01\0\0\0\0\0\0\0", 18) },
        { "money", SqlType::of(Base::Money), data::Variant::fromDecimal({ 15, 1 }),
            QByteArray("\x08\0\0\0\0\x98\x3A\0\0", 9) },
        { "negative money", SqlType::of(Base::Money), data::Variant::fromDecimal({ -1, 4 }),
            QByteArray("\x08\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF", 9) },
        { "float", SqlType::of(Base::Float), data::Variant::fromDouble(1.5),
            QByteArray("\x08\0\0\0\0\0\0\xF8\x3F", 9) },
        { "real", SqlType::of(Base::Real), data::Variant::fromSingle(1.5f),
            QByteArray("\x04\0\0\xC0\x3F", 5) },
        { "datetime", SqlType::of(Base::DateTime), data::Variant::fromDateTime(at("1900-01-02T00:00:01.000")),
            QByteArray("\x08\x01\0\0\0\x2C\x01\0\0", 9) },
        { "datetime's last tick rounds into the next day", SqlType::of(Base::DateTime),
            data::Variant::fromDateTime(at("1899-12-31T23:59:59.999")),
            QByteArray("\x08\0\0\0\0\0\0\0\0", 9) },
        { "smalldatetime", SqlType::of(Base::SmallDateTime),
            data::Variant::fromDateTime(at("1900-01-03T01:01:00.000")), QByteArray("\x04\x02\0\x3D\0", 5) },
        { "nvarchar", SqlType::of(Base::NVarChar, 10), data::Variant::fromString(QStringLiteral("é内")),
            QByteArray("\x04\0\xE9\0\x85\x51", 6) },
        { "varchar in GBK", SqlType::of(Base::VarChar, 10), data::Variant::fromString(QStringLiteral("内a")),
            QByteArray("\x03\0\xC4\xDA\x61", 5) },
        { "varbinary(max) in PLP chunks", SqlType::of(Base::VarBinary, SqlType::MaxLength),
            data::Variant::fromBytes("\x89P"), QByteArray("\x02\0\0\0\0\0\0\0\x02\0\0\0\x89P\0\0\0\0", 18) },
        { "image with its text pointer", SqlType::of(Base::Image), data::Variant::fromBytes("ab"),
            QByteArray("\x10", 1) + QByteArray(24, '\0') + QByteArray("\x02\0\0\0ab", 6) },
    };
    for (const WireCase& c : cases)
        EXPECT_EQ(wireOf(c.type, c.value).toHex(' '), c.bytes.toHex(' ')) << c.what;
}

TEST(ResultEncoderTest, NullsGoInTheBitmapOfAnNbcRow)
{
    data::FieldInfo field;
    const ResultEncoder encoder({ field, field, field, field, field, field, field, field, field },
        { SqlType::of(Base::Int), SqlType::of(Base::DateTime), SqlType::of(Base::Image),
            SqlType::of(Base::Money), SqlType::of(Base::Decimal, 0, 18, 2),
            SqlType::of(Base::NVarChar, SqlType::MaxLength), SqlType::of(Base::VarChar, 5),
            SqlType::of(Base::Bit), SqlType::of(Base::Int) });
    QByteArray out;
    QList<data::Variant> row(9, data::Variant::null());
    row[8] = data::Variant::fromInt32(7);
    encoder.row(out, row);
    EXPECT_EQ(out.toHex(' '), QByteArray("\xD2\xFF\x00\x04\x07\0\0\0", 8).toHex(' '));
}

TEST(ResultEncoderTest, ValueOutsideItsColumnIsAnErrorNotAWrongNumber)
{
    data::FieldInfo field;
    field.name = QStringLiteral("d21");
    QByteArray out;
    for (const auto& [type, value] : QList<std::pair<SqlType, data::Variant>> {
             { SqlType::of(Base::Decimal, 0, 4, 2), data::Variant::fromDecimal({ 100000, 2 }) },
             { SqlType::of(Base::SmallMoney), data::Variant::fromDecimal({ 300000, 0 }) },
             { SqlType::of(Base::TinyInt), data::Variant::fromInt16(-1) },
             { SqlType::of(Base::DateTime), data::Variant::fromString(QStringLiteral("soon")) } }) {
        const ResultEncoder encoder({ field }, { type });
        EXPECT_THROW(encoder.row(out, { value }), data::DbError) << type.name().toStdString();
    }
}

TEST(ResultEncoderTest, MetadataDescribesEachColumn)
{
    data::FieldInfo name;
    name.name = QStringLiteral("d1");
    data::FieldInfo picture;
    picture.name = QStringLiteral("d51");
    picture.baseTable = QStringLiteral("inquiry");
    const ResultEncoder encoder(
        { name, picture }, { SqlType::of(Base::VarChar, 50), SqlType::of(Base::Image) });
    QByteArray out;
    encoder.metadata(out);
    QByteArray expected("\x81\x02\x00", 3);
    expected += QByteArray("\0\0\0\0\x09\0\xA7\x32\0", 9) + token::serverCollation()
        + QByteArray("\x02\x64\0\x31\0", 5);
    expected += QByteArray("\0\0\0\0\x09\0\x22\xFF\xFF\xFF\x7F\x01\x07\0", 14);
    for (const char c : QByteArray("inquiry"))
        expected += QByteArray(1, c) + QByteArray(1, '\0');
    expected += QByteArray("\x03\x64\0\x35\0\x31\0", 7);
    EXPECT_EQ(out.toHex(' '), expected.toHex(' '));
}

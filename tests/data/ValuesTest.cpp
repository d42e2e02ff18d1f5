#include "data/Decimal.h"
#include "data/SqlLiteral.h"
#include "data/ValueReaders.h"
#include "data/Variant.h"
#include "tests/support/CommaDecimalLocale.h"

#include <gtest/gtest.h>

using namespace glimora::data;

namespace {

struct ReaderCase
{
    const char* name;
    Variant value;
    QString text;
    double number;
};

class ValueReadersTest : public ::testing::TestWithParam<ReaderCase>
{
};

const QDateTime morning(QDate(2024, 3, 9), QTime(7, 30));

} // namespace

TEST_P(ValueReadersTest, FollowTheTable)
{
    const ReaderCase& c = GetParam();
    EXPECT_EQ(ValueText(c.value), c.text);
    EXPECT_DOUBLE_EQ(ValueNumber(c.value), c.number);
}

INSTANTIATE_TEST_SUITE_P(Kinds, ValueReadersTest,
    ::testing::Values(ReaderCase { "null", Variant::null(), QString(), 0 },
        ReaderCase { "int32", Variant::fromInt32(12), QStringLiteral("12.000000"), 12 },
        ReaderCase { "negativeInt32", Variant::fromInt32(-7), QStringLiteral("-7.000000"), -7 },
        ReaderCase {
            "decimal", Variant::fromDecimal(Decimal { 1255, 2 }), QStringLiteral("12.550000"), 12.55 },
        // Every digit of a decimal stays: the drill-down puts the text back into its condition.
        ReaderCase { "wideDecimal", Variant::fromDecimal(Decimal { 123456789012345678, 0 }),
            QStringLiteral("123456789012345678.000000"), 123456789012345678.0 },
        ReaderCase { "wideDecimalWithPlaces", Variant::fromDecimal(Decimal { -123456789012345678, 2 }),
            QStringLiteral("-1234567890123456.780000"), -1234567890123456.78 },
        ReaderCase { "manyPlacesRoundHalfAway", Variant::fromDecimal(Decimal { -12345675, 7 }),
            QStringLiteral("-1.234568"), -1.2345675 },
        ReaderCase { "tinyRoundsToZero", Variant::fromDecimal(Decimal { -4, 7 }), QStringLiteral("0.000000"),
            -0.0000004 },
        ReaderCase { "single", Variant::fromSingle(1.5f), QStringLiteral("1.500000"), 0 },
        ReaderCase { "date", Variant::fromDateTime(morning), QStringLiteral("2024-03-09"), 0 },
        ReaderCase { "string", Variant::fromString(QStringLiteral("  d3 \t")), QStringLiteral("d3"), 0 },
        ReaderCase { "wideSpacesStay", Variant::fromString(QString::fromUtf8("\u3000d3\u00a0\r\n")),
            QString::fromUtf8("\u3000d3\u00a0"), 0 },
        ReaderCase { "double", Variant::fromDouble(2.5), QStringLiteral("error"), 0 },
        ReaderCase { "int16", Variant::fromInt16(3), QStringLiteral("error"), 0 },
        ReaderCase { "int64", Variant::fromInt64(3), QStringLiteral("error"), 0 },
        ReaderCase { "boolean", Variant::fromBoolean(true), QStringLiteral("error"), 0 },
        ReaderCase { "bytes", Variant::fromBytes("ab"), QStringLiteral("error"), 0 },
        ReaderCase { "empty", Variant(), QStringLiteral("error"), 0 }),
    [](const ::testing::TestParamInfo<ReaderCase>& info) { return std::string(info.param.name); });

TEST(DecimalTest, ParsesAndPrintsExactly)
{
    struct Case
    {
        const char* text;
        qint64 unscaled;
        int scale;
        const char* printed;
    };
    for (const Case& c : { Case { "12", 12, 0, "12" }, Case { "-0.5", -5, 1, "-0.5" },
             Case { "3.140", 3140, 3, "3.140" }, Case { ".05", 5, 2, "0.05" }, Case { "+007", 7, 0, "7" },
             Case { "999999999999999999", 999999999999999999LL, 0, "999999999999999999" },
             Case { "-0.000000000000000001", -1, 18, "-0.000000000000000001" } }) {
        Decimal value;
        ASSERT_TRUE(Decimal::parse(QString::fromLatin1(c.text), value)) << c.text;
        EXPECT_EQ(value, (Decimal { c.unscaled, c.scale })) << c.text;
        EXPECT_EQ(value.toString(), QString::fromLatin1(c.printed)) << c.text;
    }
    for (const char* bad :
        { "", "-", ".", "1.2.3", "1e5", " 1", "123456789012345678901234567890123456789", "abc" }) {
        Decimal value;
        EXPECT_FALSE(Decimal::parse(QString::fromLatin1(bad), value)) << bad;
    }
    EXPECT_EQ((Decimal { std::numeric_limits<qint64>::min(), 0 }).toString(),
        QStringLiteral("-9223372036854775808"));
    // Money's most negative value and SQL Server's widest decimal are carried whole.
    for (const char* wide : { "-922337203685477.5808", "-12345678901234567890123456789.012345678" }) {
        Decimal value;
        ASSERT_TRUE(Decimal::parse(QString::fromLatin1(wide), value)) << wide;
        EXPECT_EQ(value.toString(), QString::fromLatin1(wide));
    }
    EXPECT_DOUBLE_EQ((Decimal { 1255, 2 }).toDouble(), 12.55);
}

TEST(VariantTest, AccessorsGiveZeroForOtherKinds)
{
    EXPECT_EQ(Variant::fromInt16(-2).toInt64(), -2);
    EXPECT_EQ(Variant::fromString(QStringLiteral("5")).toInt64(), 0);
    EXPECT_DOUBLE_EQ(Variant::fromDecimal(Decimal { 5, 1 }).toDouble(), 0.5);
    EXPECT_TRUE(Variant::fromInt32(1).toString().isEmpty());
    EXPECT_FALSE(Variant::fromInt32(1).toBoolean());
    EXPECT_NE(Variant::fromInt16(1), Variant::fromInt32(1)); // the kind is part of the value
    EXPECT_TRUE(Variant().isEmpty());
    EXPECT_TRUE(Variant::null().isNull());
}

// The desktop's locale must not change a value: with a comma as the decimal mark, 12.55
// once read as 12.
TEST(ValueReadersUnderACommaLocaleTest, ReadNumbersAsInTheCLocale)
{
    const CommaDecimalLocale locale;
    ASSERT_TRUE(locale.active()) << qPrintable(locale.problem());
    const Variant price = Variant::fromDecimal(Decimal { 1255, 2 });
    EXPECT_EQ(ValueText(price), QStringLiteral("12.550000"));
    EXPECT_DOUBLE_EQ(ValueNumber(price), 12.55);
    EXPECT_DOUBLE_EQ(Decimal({ -5, 1 }).toDouble(), -0.5);
    EXPECT_EQ(ValueText(Variant::fromSingle(1.5f)), QStringLiteral("1.500000"));
    EXPECT_EQ(ValueText(Variant::fromInt32(-7)), QStringLiteral("-7.000000"));
    Decimal parsed;
    ASSERT_TRUE(Decimal::parse(QStringLiteral("3.25"), parsed));
    EXPECT_EQ(parsed, (Decimal { 325, 2 }));
    EXPECT_EQ(SqlLiteral::value(Variant::fromDouble(0.25)), QStringLiteral("0.25E0"));
}

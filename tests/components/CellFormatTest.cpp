#include "components/CellFormat.h"

#include <gtest/gtest.h>

using glimora::components::CellFormat;
using glimora::data::DataType;
using glimora::data::Decimal;
using glimora::data::Variant;

struct DisplayCase
{
    const char* name;
    Variant value;
    DataType type;
    int scale;
    QString expected;
};

class CellDisplayTest : public ::testing::TestWithParam<DisplayCase>
{
};

TEST_P(CellDisplayTest, ShowsTheValueAsThePersonReadsIt)
{
    const DisplayCase& c = GetParam();
    EXPECT_EQ(CellFormat::displayText(c.value, c.type, c.scale), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Values, CellDisplayTest,
    ::testing::Values(DisplayCase { "null", Variant::null(), DataType::VarWChar, 0, QString() },
        DisplayCase { "text", Variant::fromString(QStringLiteral("张三 ")), DataType::VarWChar, 0,
            QStringLiteral("张三 ") },
        DisplayCase { "date", Variant::fromDateTime(QDateTime(QDate(2024, 1, 31), QTime(0, 0))),
            DataType::DBTimeStamp, 0, QStringLiteral("2024-01-31") },
        DisplayCase { "dateWithTime", Variant::fromDateTime(QDateTime(QDate(2023, 12, 1), QTime(8, 30))),
            DataType::DBTimeStamp, 0, QStringLiteral("2023-12-01 08:30:00") },
        DisplayCase { "decimalPadded", Variant::fromDecimal(Decimal { 125, 1 }), DataType::Numeric, 2,
            QStringLiteral("12.50") },
        DisplayCase { "decimalRounded", Variant::fromDecimal(Decimal { -12345, 3 }), DataType::Numeric, 2,
            QStringLiteral("-12.35") },
        // Rounded once from all the places, never place by place (0.149 is 0.1, not 0.2).
        DisplayCase { "decimalRoundedOnce", Variant::fromDecimal(Decimal { -1449, 4 }), DataType::Numeric, 1,
            QStringLiteral("-0.1") },
        DisplayCase {
            "decimalAsInteger", Variant::fromInt32(3), DataType::Numeric, 2, QStringLiteral("3.00") },
        DisplayCase {
            "decimalAsDouble", Variant::fromDouble(95.5), DataType::Numeric, 2, QStringLiteral("95.50") },
        DisplayCase { "decimalWithoutScale", Variant::fromDecimal(Decimal { 7, 0 }), DataType::Numeric, 0,
            QStringLiteral("7") },
        DisplayCase {
            "double", Variant::fromDouble(1000000.25), DataType::Double, 0, QStringLiteral("1000000.25") },
        DisplayCase { "integer", Variant::fromInt64(-42), DataType::BigInt, 0, QStringLiteral("-42") },
        DisplayCase { "picture", Variant::fromBytes(QByteArray("\xFF\xD8\xFF\xE0\0\1", 6)),
            DataType::LongVarBinary, 0, CellFormat::pictureMarker() }),
    [](const ::testing::TestParamInfo<DisplayCase>& info) { return std::string(info.param.name); });

TEST(CellParseTest, ReadsTypedTextByTheFieldsType)
{
    Variant value;
    QString problem;
    ASSERT_TRUE(CellFormat::parse(QStringLiteral(" 12.50 "), DataType::Numeric, value, problem));
    EXPECT_EQ(value.toDecimal(), (Decimal { 1250, 2 }));
    ASSERT_TRUE(CellFormat::parse(QStringLiteral("2024/2/9"), DataType::DBTimeStamp, value, problem));
    EXPECT_EQ(value.toDateTime(), QDateTime(QDate(2024, 2, 9), QTime(0, 0), Qt::UTC));
    ASSERT_TRUE(
        CellFormat::parse(QStringLiteral("2024-02-09 13:05:00"), DataType::DBTimeStamp, value, problem));
    EXPECT_EQ(value.toDateTime(), QDateTime(QDate(2024, 2, 9), QTime(13, 5), Qt::UTC));
    ASSERT_TRUE(CellFormat::parse(QString(), DataType::Integer, value, problem));
    EXPECT_TRUE(value.isNull());
    ASSERT_TRUE(CellFormat::parse(QStringLiteral(" a'b "), DataType::VarWChar, value, problem));
    EXPECT_EQ(value.toString(), QStringLiteral(" a'b "));
}

TEST(CellParseTest, RefusesTextThatDoesNotFitTheType)
{
    Variant value;
    QString problem;
    EXPECT_FALSE(CellFormat::parse(QStringLiteral("12,5"), DataType::Numeric, value, problem));
    EXPECT_TRUE(problem.contains(QStringLiteral("12,5")));
    EXPECT_FALSE(CellFormat::parse(QStringLiteral("70000"), DataType::SmallInt, value, problem));
    EXPECT_FALSE(CellFormat::parse(QStringLiteral("2024-02-30"), DataType::DBTimeStamp, value, problem));
    EXPECT_FALSE(CellFormat::parse(QStringLiteral("x"), DataType::LongVarBinary, value, problem));
}

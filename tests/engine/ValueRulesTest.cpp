#include "engine/values/DateTimeText.h"
#include "engine/values/SqlFunctions.h"
#include "engine/values/SqlType.h"

#include <gtest/gtest.h>

using namespace glimora::engine;

struct DateCase
{
    const char* text;
    const char* stored; // empty when the text is refused
};

class DateLiteralTest : public testing::TestWithParam<DateCase>
{
};

TEST_P(DateLiteralTest, ReadsSqlServersForms)
{
    QDateTime value;
    const DateTimeText::ParseResult result = DateTimeText::parse(QString::fromUtf8(GetParam().text), value);
    if (QByteArray(GetParam().stored).isEmpty()) {
        EXPECT_NE(result, DateTimeText::ParseResult::Ok) << GetParam().text;
        return;
    }
    ASSERT_EQ(result, DateTimeText::ParseResult::Ok) << GetParam().text;
    EXPECT_EQ(DateTimeText::format(value), QString::fromLatin1(GetParam().stored));
    QDateTime back;
    const QByteArray stored = DateTimeText::format(value).toUtf8();
    ASSERT_TRUE(DateTimeText::fromStoredUtf8(stored.constData(), int(stored.size()), back));
    EXPECT_EQ(back, value);
}

INSTANTIATE_TEST_SUITE_P(Forms, DateLiteralTest,
    testing::Values(DateCase { "2012-12-31", "2012-12-31 00:00:00.000" },
        DateCase { "2012/12/31", "2012-12-31 00:00:00.000" },
        DateCase { "20121231", "2012-12-31 00:00:00.000" },
        DateCase { " 2012-1-5 ", "2012-01-05 00:00:00.000" },
        DateCase { "2012-12-31 13:05", "2012-12-31 13:05:00.000" },
        DateCase { "2012-12-31T13:05:10.5", "2012-12-31 13:05:10.500" },
        DateCase { "20121231 1:05PM", "2012-12-31 13:05:00.000" },
        DateCase { "12/31/2012", "2012-12-31 00:00:00.000" }, DateCase { "2012-02-30", "" },
        DateCase { "2012-12-31 25:00", "" }, DateCase { "yesterday", "" }, DateCase { "", "" }));

TEST(DateLiteralTest, YearsBefore1753AreOutOfRange)
{
    QDateTime value;
    EXPECT_EQ(DateTimeText::parse("1752-12-31", value), DateTimeText::ParseResult::OutOfRange);
    EXPECT_EQ(DateTimeText::formatStyle(DateTimeText::fromDays(41272.5), 120), "2012-12-31 12:00:00");
}

TEST(DateLiteralTest, MillisecondsAreFormattedAsTheStoredText)
{
    // Across the calendar's corners: the first and last days, leap days of centuries, before 1970.
    const QDateTime days[] = { QDateTime(QDate(1, 1, 1), QTime(0, 0), Qt::UTC),
        QDateTime(QDate(1600, 2, 29), QTime(23, 59, 59, 999), Qt::UTC),
        QDateTime(QDate(1899, 12, 30), QTime(0, 0), Qt::UTC),
        QDateTime(QDate(1900, 2, 28), QTime(12, 0, 0, 5), Qt::UTC),
        QDateTime(QDate(1969, 12, 31), QTime(23, 59, 59, 999), Qt::UTC),
        QDateTime(QDate(1970, 1, 1), QTime(0, 0), Qt::UTC),
        QDateTime(QDate(2000, 2, 29), QTime(1, 2, 3), Qt::UTC),
        QDateTime(QDate(2100, 3, 1), QTime(0, 0), Qt::UTC),
        QDateTime(QDate(9999, 12, 31), QTime(23, 59, 59, 999), Qt::UTC) };
    std::string text;
    for (const QDateTime& day : days) {
        DateTimeText::formatMilliseconds(day.toMSecsSinceEpoch(), text);
        EXPECT_EQ(QString::fromStdString(text), DateTimeText::format(day));
    }
    for (qint64 milliseconds = -100'000'000'000'000LL; milliseconds < 200'000'000'000'000LL;
         milliseconds += 7'777'777'777'777LL) {
        DateTimeText::formatMilliseconds(milliseconds, text);
        EXPECT_EQ(QString::fromStdString(text),
            DateTimeText::format(QDateTime::fromMSecsSinceEpoch(milliseconds, Qt::UTC)));
    }
}

TEST(CollationTest, IgnoresCaseAndTrailingBlanks)
{
    EXPECT_EQ(SqlFunctions::compareText("sa", "SA"), 0);
    EXPECT_EQ(SqlFunctions::compareText("abc  ", "ABC"), 0);
    EXPECT_LT(SqlFunctions::compareText("abc", "abd"), 0);
    EXPECT_LT(SqlFunctions::compareText(" a", "a"), 0); // leading blanks count
    EXPECT_LT(SqlFunctions::compareText("ab", "abc"), 0);
    EXPECT_EQ(SqlFunctions::compareText("Ä名称", "ä名称 "), 0);
    EXPECT_GT(SqlFunctions::compareText("名称", "name"), 0);
}

TEST(SqlTypeTest, NamesRoundTripAndMapToAdoCodes)
{
    for (const char* name : { "nvarchar(255)", "varchar(50)", "decimal(18,2)", "datetime", "int", "image",
             "float", "varbinary(max)" }) {
        EXPECT_EQ(SqlType::fromText(name).name(), QString::fromLatin1(name));
    }
    EXPECT_EQ(int(SqlType::fromText("nvarchar(255)").adoType()), 202);
    EXPECT_EQ(int(SqlType::fromText("varchar(50)").adoType()), 200);
    EXPECT_EQ(int(SqlType::fromText("datetime").adoType()), 135);
    EXPECT_EQ(int(SqlType::fromText("numeric(18,0)").adoType()), 131);
    EXPECT_EQ(int(SqlType::fromText("int").adoType()), 3);
    EXPECT_EQ(int(SqlType::fromText("image").adoType()), 205);
    EXPECT_FALSE(SqlType::fromText("widget").isKnown());
}

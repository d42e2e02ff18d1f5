#include "query/QueryStatements.h"

#include <gtest/gtest.h>

using glimora::query::QueryStatements;

namespace {

QStringList levels(std::initializer_list<const char*> names)
{
    QStringList list { QString() };
    for (const char* name : names)
        list << QString::fromUtf8(name);
    while (list.size() < 60)
        list << QString();
    return list;
}

using Lists = std::array<QString, 20>;

QueryStatements::FilterCondition filter(
    std::initializer_list<std::tuple<int, const char*, const char*>> lists)
{
    Lists columns;
    Lists texts;
    for (const auto& [n, column, text] : lists) {
        columns[n] = QString::fromUtf8(column);
        texts[n] = QString::fromUtf8(text);
    }
    return QueryStatements::filterCondition(columns, texts);
}

} // namespace

TEST(QueryStatementsTest, FixedTextsKeepTheirBlanks)
{
    EXPECT_EQ(QueryStatements::catalogue(),
        "select engl,chna,withe,sort  from contrast where right(chna,1)<>'h' order by sort");
    EXPECT_EQ(QueryStatements::titles(),
        "select chna from contrast where nober>=100 and nober<=101 order by nober asc");
    EXPECT_EQ(QueryStatements::distinctValues("d1"), "select distinct d1 from inquiry  order by d1");
    EXPECT_EQ(QueryStatements::distinctValues("d2", " d1='v'"),
        "select distinct d2 from inquiry where  d1='v' order by d2");
    EXPECT_EQ(QueryStatements::records("d1,d2", ""), "select d1,d2 from inquiry");
    EXPECT_EQ(QueryStatements::records("d1,d2", " d1='v'"), "select d1,d2 from inquiry where  d1='v'");
}

TEST(QueryStatementsTest, DrillDownConditionGrowsLevelByLevel)
{
    const QStringList columns = levels({ "d1", "d2", "d3" });
    QStringList values = levels({});
    values[0] = "d1";
    EXPECT_EQ(QueryStatements::drillDownCondition(columns, values, 1, "v"), " d1='v'");
    values[1] = "v";
    EXPECT_EQ(QueryStatements::drillDownCondition(columns, values, 2, "w"), " d1='v' and d2='w'");
    // An empty stored value above adds nothing.
    values[1] = "";
    EXPECT_EQ(QueryStatements::drillDownCondition(columns, values, 2, "w"), " d2='w'");
    // A numeric level compares against the text its button shows.
    EXPECT_EQ(
        QueryStatements::drillDownCondition(levels({ "d21" }), values, 1, "12.000000"), " d21='12.000000'");
}

TEST(QueryStatementsTest, QuotesInsideValuesAreDoubled)
{
    const QStringList columns = levels({ "d1", "d2" });
    QStringList values = levels({});
    values[1] = "O'Brien";
    EXPECT_EQ(
        QueryStatements::drillDownCondition(columns, values, 2, "6'2\""), " d1='O''Brien' and d2='6''2\"'");
    EXPECT_EQ(filter({ { 1, "d3", "O'Brien" } }).where, " d3='O''Brien'");
    // A typed date with a quote is refused; a listed one as stored is quoted.
    EXPECT_TRUE(filter({ { 16, "d17", "2012'" } }).refusedDate);
    Lists dateColumns;
    Lists dateTexts;
    Lists dateStored;
    dateColumns[16] = "d17";
    dateTexts[16] = dateStored[16] = "2012'";
    EXPECT_EQ(QueryStatements::filterCondition(dateColumns, dateTexts, dateStored).where, " d17>='2012'''");
}

// Several values of one list: any of them, quoted as a text column's or checked as numbers; a
// date column's list keeps its one value.
TEST(QueryStatementsTest, SeveralValuesOfAListAreAnyOfThem)
{
    Lists columns;
    Lists texts;
    std::array<QStringList, 20> anyOf;
    columns[1] = "d1";
    anyOf[1] = QStringList { "A", "O'Brien" };
    columns[2] = "d26";
    anyOf[2] = QStringList { "1.5", "２" };
    columns[3] = "d16";
    texts[3] = "2024-01-01";
    anyOf[3] = QStringList { "2024-01-01", "2024-01-02" };
    EXPECT_EQ(QueryStatements::filterCondition(columns, texts, {}, anyOf).where,
        " d1 in ('A','O''Brien') and d26 in (1.5,2) and d16>='20240101' and d16<'20240102'");
    anyOf[2] = QStringList { "1", "1 or 1=1" };
    EXPECT_EQ(QueryStatements::filterCondition(columns, texts, {}, anyOf).refused, "1 or 1=1");
}

TEST(QueryStatementsTest, FilterConditionsFollowTheColumnType)
{
    EXPECT_EQ(filter({ { 3, "d22", "15" } }).where, " d22=15");
    EXPECT_EQ(filter({ { 3, "d5", "15" } }).where, " d5='15'");
    EXPECT_EQ(filter({ { 3, "d5", "  15  " } }).where, " d5='15'");
    EXPECT_EQ(filter({ { 1, "d1", "A" }, { 2, "d26", "-1.5" } }).where, " d1='A' and d26=-1.5");
    EXPECT_EQ(filter({ { 1, "d52", "x" } }).where, "");
    // Lists 14 and 15 never add a condition.
    EXPECT_EQ(filter({ { 14, "d1", "A" }, { 15, "d2", "B" } }).where, "");
    // Ranges: only the upper bound; a picture column gives neither.
    EXPECT_EQ(filter({ { 16, "d26", "" }, { 17, "", "12.5" } }).where, " d26<=12.5");
    EXPECT_EQ(filter({ { 16, "d51", "1" }, { 17, "", "2" } }).where, "");
    EXPECT_EQ(filter({ { 18, "d26", "10" }, { 19, "", "20.5" } }).where, " d26>=10 and d26<=20.5");
    // A column name without a number compares unquoted.
    EXPECT_EQ(filter({ { 4, "price", "7" } }).where, " price=7");
}

TEST(QueryStatementsTest, UnquotedValuesMustBeNumbers)
{
    for (const char* refused : { "1 or 1=1", "0; delete inquiry", "12,5", "1e3", "abc", "--1", "." }) {
        const QueryStatements::FilterCondition condition
            = filter({ { 1, "d1", "A" }, { 3, "d22", refused } });
        EXPECT_FALSE(condition.ok()) << refused;
        EXPECT_EQ(condition.refused, QString::fromUtf8(refused).trimmed());
        EXPECT_TRUE(condition.where.isEmpty());
    }
    EXPECT_FALSE(filter({ { 18, "d26", "1" }, { 19, "", "2 or 1=1" } }).ok());
    // Full-width digits are digits; a date column takes only a day or a moment.
    EXPECT_EQ(filter({ { 3, "d22", "\xEF\xBC\x92\xEF\xBC\x90" } }).where, " d22=20");
    EXPECT_EQ(filter({ { 16, "d16",
                         "\xEF\xBC\x92\xEF\xBC\x90\xEF\xBC\x92\xEF\xBC\x94\xEF\xBC\x8D"
                         "01-01" } })
                  .where,
        " d16>='20240101'");
    for (const char* day : { "abc", "2024-13-01", "20240", "1 or 1=1" }) {
        const QueryStatements::FilterCondition condition = filter({ { 16, "d16", "" }, { 17, "", day } });
        EXPECT_TRUE(condition.refusedDate) << day;
        EXPECT_EQ(condition.refused, QString::fromUtf8(day));
    }
    for (const char* number : { "15", " +15 ", "-0.5", "3.", ".25", "007" })
        EXPECT_TRUE(QueryStatements::isNumber(QString::fromUtf8(number))) << number;
}

TEST(QueryStatementsTest, ColumnNamesArePlainWordsAndNumberedByTheirDigits)
{
    for (const char* name : { "d1", "d60", "price", "col_2" })
        EXPECT_TRUE(QueryStatements::isColumnName(QString::fromUtf8(name))) << name;
    for (const char* name : { "", "d1 ", "d1,d2", "d1;drop table inquiry", "d1--", "[d1]", "d1=1" })
        EXPECT_FALSE(QueryStatements::isColumnName(QString::fromUtf8(name))) << name;
    EXPECT_EQ(QueryStatements::columnNumber("d12"), 12);
    EXPECT_EQ(QueryStatements::columnNumber("price"), 0);
    EXPECT_EQ(QueryStatements::columnNumber("d51"), 51);
}

TEST(QueryStatementsTest, FilterEntriesAreFormattedByColumnNumber)
{
    using glimora::data::Variant;
    EXPECT_EQ(QueryStatements::filterEntryText(Variant::fromString(" a "), 3), "a");
    EXPECT_EQ(QueryStatements::filterEntryText(
                  Variant::fromDateTime(QDateTime(QDate(2012, 3, 4), QTime(10, 0))), 17),
        "2012-03-04");
    EXPECT_EQ(QueryStatements::filterEntryText(Variant::null(), 17), "");
    EXPECT_EQ(QueryStatements::filterEntryText(Variant::null(), 22), "0");
    EXPECT_EQ(QueryStatements::filterEntryText(Variant::null(), 30), "0.00");
    EXPECT_EQ(QueryStatements::filterEntryText(Variant::fromInt32(12), 26), "12.00");
    EXPECT_EQ(QueryStatements::filterEntryText(Variant::fromString("x"), 51), "");
}

// A day stands for every moment of it, in literals the server reads alike in every language.
TEST(QueryStatementsTest, DateColumnsCompareWholeDays)
{
    QStringList values = levels({});
    EXPECT_EQ(QueryStatements::drillDownCondition(levels({ "d16" }), values, 1, "2012-12-31"),
        " d16>='20121231' and d16<'20130101'");
    values[1] = "2012-05-01";
    EXPECT_EQ(QueryStatements::drillDownCondition(levels({ "d16", "d1" }), values, 2, "A"),
        " d16>='20120501' and d16<'20120502' and d1='A'");
    EXPECT_EQ(QueryStatements::drillDownCondition(levels({ "d20" }), values, 1, "9999-12-31"),
        " d20>='99991231' and d20<='99991231 23:59:59.997'");

    EXPECT_EQ(filter({ { 2, "d18", "2012/5/1" } }).where, " d18>='20120501' and d18<'20120502'");
    EXPECT_EQ(filter({ { 2, "d18", "2012-05-01 9:30" } }).where, " d18='2012-05-01T09:30:00.000'");
    EXPECT_EQ(filter({ { 2, "d18", "2012-05-01T09:30:00.5" } }).where, " d18='2012-05-01T09:30:00.500'");
    EXPECT_TRUE(filter({ { 2, "d18", "yesterday" } }).refusedDate);
    EXPECT_TRUE(filter({ { 2, "d18", "2012-02-30" } }).refusedDate);
    EXPECT_EQ(filter({ { 16, "d17", "2012-01-01" }, { 17, "", "2012-12-31" } }).where,
        " d17>='20120101' and d17<'20130101'");

    const QString day = " d16>='20120501' and d16<'20120502'";
    EXPECT_TRUE(QueryStatements::fixesColumn(day + " and d1='A'", "d16"));
    EXPECT_TRUE(QueryStatements::fixesColumn(day, "d16"));
    EXPECT_TRUE(QueryStatements::fixesColumn(" d20>='99991231' and d20<='99991231 23:59:59.997'", "d20"));
    EXPECT_FALSE(QueryStatements::fixesColumn(day, "d1"));
    EXPECT_FALSE(QueryStatements::fixesColumn(" d16>='20120501' and d16<'20120503'", "d16"));
    EXPECT_FALSE(QueryStatements::fixesColumn(" d16>='20120501'", "d16"));
}

#include "tests/engine/EngineTestSupport.h"

#include <QDate>

using namespace glimora;
using namespace glimora::engine::test;

namespace {

class ServerFunctionsTest : public ServerTest
{
protected:
    void SetUp() override
    {
        ServerTest::SetUp();
        m_session = stationDatabase();
    }

    QStringList firstRow(const QString& batch) { return run(*m_session, batch).rows.value(0); }

    std::unique_ptr<data::BackendSession> m_session;
};

} // namespace

TEST_F(ServerFunctionsTest, DateaddKeepsTheMonthsEnd)
{
    EXPECT_EQ(
        firstRow(
            "select dateadd(month, 1, '2013-01-31'), dateadd(yy, 1, '2012-02-29'), "
            "dateadd(d, -1, '2013-03-01'), dateadd(hh, 25, '2012-12-31 23:30'), "
            "dateadd(qq, 1, '2012-11-30'), dateadd(wk, 1, '2012-12-28'), dateadd(day, 1.9, '2013-01-01')"),
        (QStringList { "2013-02-28 00:00:00", "2013-02-28 00:00:00", "2013-02-28 00:00:00",
            "2013-01-02 00:30:00", "2013-02-28 00:00:00", "2013-01-04 00:00:00", "2013-01-02 00:00:00" }));
    run(*m_session, "insert inquiry(d1, d16) values('a', '2012-12-31 08:00')");
    EXPECT_EQ(column(*m_session, "select d1 from inquiry where dateadd(day, 1, d16) > '2013-01-01'"),
        QStringList { "a" });
    EXPECT_EQ(int(run(*m_session, "select dateadd(day, 1, d16) from inquiry").fields[0].type), 135);
    EXPECT_EQ(errorOf(*m_session, "select dateadd(year, 9000, '2012-01-01')"), 517);
    EXPECT_EQ(errorOf(*m_session, "select dateadd(fortnight, 1, '2012-01-01')"), 155);
}

TEST_F(ServerFunctionsTest, DatediffCountsBoundariesAndDatepartFollowsSundayFirst)
{
    EXPECT_EQ(firstRow("select datediff(year, '2012-12-31', '2013-01-01'), "
                       "datediff(month, '2013-01-31', '2013-02-01'), "
                       "datediff(day, '2012-12-31 23:59', '2013-01-01 00:01'), "
                       "datediff(week, '2013-01-05', '2013-01-06'), datediff(hour, '2013-01-01 10:59', "
                       "'2013-01-01 11:00'), datediff(minute, '2013-01-01 11:00', '2013-01-01 10:00'), "
                       "datediff(second, '2013-01-01 00:00:00', '2013-01-01 00:00:01.500'), "
                       "datediff(qq, '2012-03-31', '2012-04-01')"),
        (QStringList { "1", "1", "1", "1", "1", "-60", "1", "1" }));
    EXPECT_EQ(errorOf(*m_session, "select datediff(ms, '1900-01-01', '2013-01-01')"), 535);
    // 2013-01-06 was a Sunday, the first day of the year's second week.
    EXPECT_EQ(firstRow("select datepart(dw, '2013-01-06'), datepart(wk, '2013-01-06'), "
                       "datepart(wk, '2013-01-05'), datepart(dy, '2013-02-01'), datepart(qq, '2013-05-01'), "
                       "datepart(hour, '2013-05-01 17:45:30'), datepart(mi, '2013-05-01 17:45:30'), "
                       "datepart(month, '2013-05-01'), year('2013-05-01'), month(0), day(31)"),
        (QStringList { "1", "2", "1", "32", "2", "17", "45", "5", "2013", "1", "1" }));
    EXPECT_EQ(firstRow("select datepart(year, null), datediff(day, null, getdate())"),
        (QStringList { "NULL", "NULL" }));
    EXPECT_GE(column(*m_session, "select year(getdate())").value(0).toInt(), QDate::currentDate().year() - 1);
}

TEST_F(ServerFunctionsTest, DatenameNamesMonthsAndWeekdaysAndGivesOtherPartsAsNumbers)
{
    EXPECT_EQ(
        firstRow("select datename(month, '2013-05-01'), datename(mm, '2013-12-31'), "
                 "datename(dw, '2013-01-06'), datename(weekday, '2013-01-12'), datename(year, '2013-05-01'), "
                 "datename(dd, '2013-05-07'), datename(wk, '2013-01-06'), datename(ms, '2013-01-06 "
                 "10:00:00.250'), "
                 "datename(month, null)"),
        (QStringList { "May", "December", "Sunday", "Saturday", "2013", "7", "2", "250", "NULL" }));
    EXPECT_EQ(int(run(*m_session, "select datename(month, getdate())").fields[0].type), 202);
    run(*m_session, "insert inquiry(d1, d16) values('a', '2012-12-31 08:00')");
    EXPECT_EQ(
        column(*m_session, "select d1 from inquiry where datename(dw, d16) = 'Monday'"), QStringList { "a" });
    EXPECT_EQ(errorOf(*m_session, "select datename(fortnight, '2012-01-01')"), 155);
    EXPECT_EQ(errorOf(*m_session, "select datename(month)"), 174);
}

TEST_F(ServerFunctionsTest, ObjectIdIsnullAndCoalesce)
{
    const QStringList ids
        = firstRow("select object_id('inquiry'), object_id('dbo.inquiry'), "
                   "object_id('nivo.dbo.[inquiry]'), object_id('contrast'), object_id('nothing')");
    EXPECT_NE(ids[0], "NULL");
    EXPECT_EQ(ids[1], ids[0]);
    EXPECT_EQ(ids[2], ids[0]);
    EXPECT_NE(ids[3], ids[0]);
    EXPECT_EQ(ids[4], "NULL");
    EXPECT_EQ(column(*m_session, "if object_id('username') is not null select 1 else select 0"),
        QStringList { "1" });
    EXPECT_EQ(column(*m_session, "select object_id('nosuchdb.dbo.inquiry')"), QStringList { "NULL" });

    // ISNULL gives the type of its first argument; COALESCE the type of highest precedence.
    EXPECT_EQ(
        firstRow(
            "select isnull(NULL, 'n'), isnull(cast(null as varchar(2)), 'abcd'), "
            "isnull(cast(null as int), 2.7), coalesce(null, null, 'c'), coalesce(cast(null as int), 2.5), "
            "coalesce(1, 2)"),
        (QStringList { "n", "ab", "2", "c", "2.5", "1" }));
    EXPECT_EQ(errorOf(*m_session, "select coalesce(1)"), 174);
}

TEST_F(ServerFunctionsTest, DatalengthCountsBytesAsSqlServerStoresThem)
{
    run(*m_session,
        "create table sizes(n nvarchar(20) null, c nchar(4) null, v varchar(20) null, b image null)"
        " insert sizes values(N'中文ab', N'ab', '中文ab', 0x0102)");
    // Two bytes a character in nvarchar, nchar padded; Chinese takes two bytes in varchar.
    EXPECT_EQ(firstRow("select datalength(n), datalength(c), datalength(v), datalength(b) from sizes"),
        (QStringList { "8", "8", "6", "2" }));
    EXPECT_EQ(firstRow("select datalength(N'abc'), datalength('abc'), datalength(12), datalength(1.5),"
                       " datalength(getdate()), datalength(null)"),
        (QStringList { "6", "3", "4", "5", "8", "NULL" }));
    run(*m_session, "insert inquiry(d1, d21, d26) values(N'药', 7, 1.25) insert inquiry(d1) values(null)");
    EXPECT_EQ(column(*m_session, "select datalength(d26) from inquiry order by d60"),
        (QStringList { "9", "NULL" }));
}

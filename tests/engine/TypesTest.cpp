#include "tests/engine/EngineTestSupport.h"

using namespace glimora;
using namespace glimora::engine::test;

class TypesTest : public ServerTest
{
protected:
    void SetUp() override
    {
        ServerTest::SetUp();
        m_session = stationDatabase();
    }

    std::unique_ptr<data::BackendSession> m_session;
};

TEST_F(TypesTest, IdentityNotNullAndPrimaryKey)
{
    run(*m_session, "insert inquiry(d1) values('a') insert into inquiry(d1) values('b')");
    EXPECT_EQ(column(*m_session, "select d60 from inquiry order by d60"), (QStringList { "1", "2" }));
    EXPECT_EQ(column(*m_session, "select @@identity"), QStringList { "2" });
    EXPECT_EQ(errorOf(*m_session, "insert inquiry(d60,d1) values(5,'c')"), 544);
    EXPECT_EQ(errorOf(*m_session, "update inquiry set d60=9"), 8102);

    run(*m_session, "insert contrast(chna,nober) values('a',1)");
    QString message;
    EXPECT_EQ(errorOf(*m_session, "insert contrast(chna,nober) values('b',1)", &message), 2627);
    EXPECT_TRUE(message.startsWith("Violation of PRIMARY KEY constraint")) << message.toStdString();
    EXPECT_EQ(errorOf(*m_session, "insert contrast(chna) values('c')", &message), 515);
    EXPECT_EQ(message,
        "Cannot insert the value NULL into column 'nober', table 'nivo.dbo.contrast'; column does not "
        "allow nulls. INSERT fails.");
    EXPECT_EQ(column(*m_session, "select count(*) from contrast"), QStringList { "1" });
}

TEST_F(TypesTest, TextLengthsAreEnforced)
{
    EXPECT_EQ(errorOf(*m_session, "insert username(uname) values('abcdefghijklmnopqrstu')"), 8152);
    // Trailing blanks beyond the length go silently; a Chinese character takes two bytes of varchar.
    EXPECT_EQ(errorOf(*m_session, "insert username(uname) values('abcdefghijklmnopqrst   ')"), 0);
    EXPECT_EQ(errorOf(*m_session, "insert username(uname) values('一二三四五六七八九十')"), 0);
    EXPECT_EQ(errorOf(*m_session, "insert username(uname) values('一二三四五六七八九十一')"), 8152);
    EXPECT_EQ(errorOf(*m_session, "insert inquiry(d1) values(N'一二三四五六七八九十一')"), 0);
    EXPECT_EQ(column(*m_session, "select count(*) from username"), QStringList { "2" });
}

TEST_F(TypesTest, DatesAcceptTheUsualLiteralsAndCompareByTime)
{
    run(*m_session,
        "insert inquiry(d1,d16) values('a','2012-12-31') insert inquiry(d1,d16) values('b','2012/12/30') "
        "insert inquiry(d1,d16) values('c','20130101 08:30') insert inquiry(d1,d16) "
        "values('d','2013-01-01T07:00:05')");
    EXPECT_EQ(
        column(*m_session, "select d1 from inquiry order by d16"), (QStringList { "b", "a", "d", "c" }));
    EXPECT_EQ(column(*m_session,
                  "select d1 from inquiry where d16>='2012-12-31' and d16<'2013/1/1 8:00' order by d1"),
        (QStringList { "a", "d" }));
    EXPECT_EQ(
        column(*m_session, "select d16 from inquiry where d1='c'"), QStringList { "2013-01-01 08:30:00" });
    EXPECT_EQ(column(*m_session, "select year(d16), month(d16), day(d16) from inquiry where d1='b'"),
        QStringList { "2012" });
    EXPECT_EQ(
        run(*m_session, "select year(d16), month(d16), day(d16) from inquiry where d1='b'").rows[0].join("-"),
        "2012-12-30");
    EXPECT_EQ(column(*m_session, "select convert(varchar(10), d16, 120) from inquiry where d1='b'"),
        QStringList { "2012-12-30" });
    EXPECT_EQ(errorOf(*m_session, "insert inquiry(d16) values('2012-13-45')"), 241);
    EXPECT_EQ(errorOf(*m_session, "insert inquiry(d16) values('1700-01-01')"), 242);
    EXPECT_EQ(int(run(*m_session, "select getdate()").fields[0].type), 135);
}

// As SQL Server stores them, in ticks of 1/300 second: milliseconds end in 0, 3 or 7.
TEST_F(TypesTest, DatetimeKeepsOnlyItsTicks)
{
    const auto stored = [this](const char* value) {
        return column(*m_session, QStringLiteral("select convert(varchar(23), %1, 121)").arg(value))
            .value(0)
            .toStdString();
    };
    EXPECT_EQ(stored("cast('2024-01-05 23:59:59.999' as datetime)"), "2024-01-06 00:00:00.000");
    EXPECT_EQ(stored("cast('2024-01-05 10:00:00.001' as datetime)"), "2024-01-05 10:00:00.000");
    EXPECT_EQ(stored("convert(datetime, '2024-01-05 10:00:00.002')"), "2024-01-05 10:00:00.003");
    EXPECT_EQ(stored("convert(datetime, '2024-01-05 10:00:00.005')"), "2024-01-05 10:00:00.007");
    EXPECT_EQ(stored("convert(datetime, '2024-01-05 10:00:00.994')"), "2024-01-05 10:00:00.993");
    EXPECT_EQ(stored("dateadd(ms, -1, '2024-01-06')"), "2024-01-06 00:00:00.000");
    EXPECT_EQ(stored("dateadd(ms, -2, '2024-01-06')"), "2024-01-05 23:59:59.997");
    EXPECT_EQ(stored("cast(2.31e-8 as datetime)"), "1900-01-01 00:00:00.003");
    EXPECT_EQ(stored("cast('2024-01-05 10:00:29.999' as smalldatetime)"), "2024-01-05 10:01:00.000");
    EXPECT_EQ(errorOf(*m_session, "select cast('9999-12-31 23:59:59.999' as datetime)"), 242);

    run(*m_session,
        "insert inquiry(d1,d16) values('a','2024-01-05 23:59:59.999') "
        "insert inquiry(d1,d16) values('b','2024-01-05') update inquiry set d16='2024-01-05 10:00:00.005' "
        "where d1='b'");
    EXPECT_EQ(column(*m_session, "select d1 from inquiry where d16 >= '2024-01-06'"), QStringList { "a" });
    EXPECT_EQ(column(*m_session, "select convert(varchar(23), d16, 121) from inquiry where d1='b'"),
        QStringList { "2024-01-05 10:00:00.007" });
    EXPECT_EQ(column(*m_session, "select d1 from inquiry where d16 = '2024-01-05 10:00:00.006'"),
        QStringList { "b" });
}

TEST_F(TypesTest, NumbersKeepTheirScaleAndRefuseText)
{
    run(*m_session, "insert inquiry(d21,d26) values(12.6, 3.456)");
    run(*m_session, "insert inquiry(d21,d26) values('7', '0.5')");
    EXPECT_EQ(run(*m_session, "select d21, d26 from inquiry order by d60").rows,
        (QList<QStringList> { { "13", "3.46" }, { "7", "0.50" } }));
    EXPECT_EQ(errorOf(*m_session, "insert contrast(nober,withe) values(1,'12a')"), 245);
    EXPECT_EQ(errorOf(*m_session, "insert inquiry(d26) values('abc')"), 8114);
    EXPECT_EQ(errorOf(*m_session, "insert contrast(nober) values(3000000000)"), 8115);
    EXPECT_EQ(column(*m_session, "select 7/2, 7.0/2, '3'+4"), QStringList { "3" });
    EXPECT_EQ(run(*m_session, "select 7/2, 7.0/2, '3'+4, 'a'+'b'").rows[0],
        (QStringList { "3", "3.500000", "7", "ab" }));
    EXPECT_EQ(errorOf(*m_session, "select 'a'+1"), 245);
}

TEST_F(TypesTest, TextComparesCaseInsensitivelyIgnoringTrailingBlanks)
{
    run(*m_session,
        "insert username(uname) values('sa') insert username(uname) values('Ann') insert username(uname) "
        "values('bob')");
    EXPECT_EQ(column(*m_session, "select uname from username where uname='SA'"), QStringList { "sa" });
    EXPECT_EQ(column(*m_session, "select uname from username where uname='ann   '"), QStringList { "Ann" });
    EXPECT_EQ(column(*m_session, "select uname from username order by uname"),
        (QStringList { "Ann", "bob", "sa" }));
    EXPECT_EQ(
        column(*m_session, "select uname from username where uname in ('BOB','x')"), QStringList { "bob" });
    EXPECT_EQ(column(*m_session, "select uname from username where uname like 'a%'"), QStringList { "Ann" });
    EXPECT_EQ(column(*m_session, "select uname from username where uname like '[ab]%' order by uname"),
        (QStringList { "Ann", "bob" }));

    run(*m_session,
        "insert contrast(chna,nober) values('Phone H',1) insert contrast(chna,nober) values('Name',2)");
    EXPECT_EQ(
        column(*m_session, "select chna from contrast where right(chna,1)<>'h'"), QStringList { "Name" });
    run(*m_session, "insert inquiry(d1) values('x') insert inquiry(d1) values('X ')");
    EXPECT_EQ(column(*m_session, "select distinct d1 from inquiry  order by d1").size(), 1);
}

TEST_F(TypesTest, StringFunctions)
{
    const Rows rows = run(*m_session,
        "select left('abcdef',2), right('abcdef',2), len('ab  '), ltrim('  a'), rtrim('a  '), "
        "upper('ab'), lower('AB'), substring('abcdef',2,3), charindex('C','abcdef'), "
        "replace('aXbx','x','-'), isnull(NULL,'n'), cast(12 as varchar(5)) + 'z', "
        "convert(int, '42')");
    EXPECT_EQ(rows.rows[0],
        (QStringList { "ab", "ef", "2", "a", "a", "AB", "ab", "bcd", "3", "a-b-", "n", "12z", "42" }));
    EXPECT_EQ(int(rows.fields[2].type), 3);
}

// Texts of ASCII and CJK alone are looked for byte by byte, the others character by character:
// both answer alike, positions in characters, capitals folded.
TEST_F(TypesTest, CharindexOfEveryKindOfText)
{
    const Rows rows = run(*m_session,
        "select charindex(N'银行', N'中国银行'), charindex(N'ct检', N'CT检查'), charindex(N'Ab', N'xxaB'), "
        "charindex(N'行', N'行中行', 2), charindex(N'行', N'行中', 9), charindex(N'b', "
        "N'abcdefghijklmnopqrstuvwxyz'), "
        "charindex(N'检', N'é检'), charindex(N's', N'ſ'), charindex(N'z', N'中国'), "
        "charindex(N'9x', N'一二三四五六七八九十一二三四五六9X')");
    EXPECT_EQ(rows.rows[0], (QStringList { "3", "1", "3", "3", "0", "2", "2", "1", "0", "17" }));
}

TEST_F(TypesTest, SelectForms)
{
    run(*m_session,
        "insert inquiry(d1,d2,d21) values('a','x',1) insert inquiry(d1,d2,d21) values('b','x',2) "
        "insert inquiry(d1,d2,d21) values('c','y',3)");
    run(*m_session,
        "insert contrast(chna,engl,nober) values('名称','d1',1) insert contrast(chna,engl,nober) "
        "values('类','d2',2)");
    EXPECT_EQ(
        column(*m_session, "select top 2 d1 from inquiry order by d21 desc"), (QStringList { "c", "b" }));
    EXPECT_EQ(run(*m_session, "select d2, count(*) n from inquiry group by d2 having count(*)>1").rows,
        (QList<QStringList> { { "x", "2" } }));
    EXPECT_EQ(
        column(*m_session, "select i.d1 from inquiry i inner join contrast c on c.engl='d1' where i.d21=1"),
        QStringList { "a" });
    EXPECT_EQ(column(*m_session, "select d1 from inquiry where d21 in (select max(d21) from inquiry)"),
        QStringList { "c" });
    EXPECT_EQ(column(*m_session,
                  "select d1 from inquiry i where exists (select 1 from contrast where nober=i.d21)"
                  " order by d1"),
        (QStringList { "a", "b" }));
    EXPECT_EQ(column(*m_session, "select (select count(*) from contrast) from inquiry where d1='a'"),
        QStringList { "2" });
    EXPECT_EQ(
        column(*m_session,
            "select d1 from inquiry where d1='a' union select chna from contrast where nober=1 order by 1"),
        (QStringList { "a", "名称" }));
    EXPECT_EQ(
        column(*m_session, "select case when d21>1 then 'big' else 'small' end from inquiry order by d21"),
        (QStringList { "small", "big", "big" }));
    const Rows star = run(*m_session, "select * from contrast");
    EXPECT_EQ(star.fields.size(), 6);
    EXPECT_EQ(star.fields[4].name, "nober");
    EXPECT_EQ(star.fields[4].baseTable, "contrast");
}

TEST_F(TypesTest, MissingNamesAndUnsupportedWordsGiveClearErrors)
{
    QString message;
    EXPECT_EQ(errorOf(*m_session, "select * from nowhere", &message), 208);
    EXPECT_EQ(message, "Invalid object name 'nowhere'.");
    EXPECT_EQ(errorOf(*m_session, "select d99 from inquiry", &message), 207);
    EXPECT_EQ(message, "Invalid column name 'd99'.");
    EXPECT_EQ(errorOf(*m_session, "select soundex(d1) from inquiry", &message), 195);
    EXPECT_EQ(message, "'soundex' is not a recognized built-in function name.");
    EXPECT_EQ(errorOf(*m_session, "select d1 from inquiry for xml auto", &message), 40000);
    EXPECT_NE(message.indexOf("FOR"), -1);
    EXPECT_EQ(errorOf(*m_session, "create table contrast(a int)", &message), 2714);
    EXPECT_EQ(errorOf(*m_session, "drop table nowhere"), 3701);
    EXPECT_EQ(errorOf(*m_session, "select distinct d1 from inquiry order by d2"), 145);
}

TEST_F(TypesTest, StatementsOfUpdatableRecordsets)
{
    // Literals as the data layer writes them back: bracketed names, N'' texts, ISO dates, E0 floats, 0x
    // bytes.
    EXPECT_EQ(run(*m_session,
                  "INSERT INTO inquiry ([d1], [d16], [d26], [d51]) VALUES (N'x', '2012-12-31T08:30:00.000', "
                  "1.5E0, 0x0102ff)")
                  .rowsAffected,
        1);
    EXPECT_EQ(column(*m_session, "SELECT @@IDENTITY"), QStringList { "1" });
    EXPECT_EQ(m_session->primaryKeyColumns("inquiry"), QStringList { "d60" });
    EXPECT_EQ(run(*m_session,
                  "UPDATE inquiry SET [d21] = 7 WHERE [d60] = 1 AND [d1] = N'X' AND [d16] = "
                  "'2012-12-31T08:30:00.000' AND [d26] = 1.50 AND [d2] IS NULL")
                  .rowsAffected,
        1);
    EXPECT_EQ(run(*m_session, "select d21, d51 from [dbo].[inquiry]").rows,
        (QList<QStringList> { { "7", "0x0102ff" } }));
    EXPECT_EQ(run(*m_session, "DELETE FROM inquiry WHERE [d60] = 1").rowsAffected, 1);
}

// Statements that must touch exactly the rows SQL Server touches: names bound to the
// right source, negation that stays an operator, scalar subqueries that refuse several
// rows, and quoted identifiers read whole.
#include "tests/engine/EngineTestSupport.h"

using namespace glimora;
using namespace glimora::engine::test;

class RowTargetingTest : public ServerTest
{
protected:
    void SetUp() override
    {
        ServerTest::SetUp();
        m_session = connect();
        run(*m_session, "create database shop");
        run(*m_session,
            "use shop create table q(id int not null primary key, m int null)"
            " insert q values(1,1) insert q values(2,2) insert q values(3,3)"
            " create table s(id int not null, note varchar(20) null)"
            " insert s values(1,'one') insert s values(2,'two')");
    }

    QStringList ms() { return column(*m_session, "select m from q order by id"); }

    std::unique_ptr<data::BackendSession> m_session;
};

TEST_F(RowTargetingTest, TableNameInsideAnAliasedSourceReachesTheOuterTable)
{
    run(*m_session, "delete from q where exists (select 1 from q as r where r.id = q.id and r.m = 2)");
    EXPECT_EQ(column(*m_session, "select id from q order by id"), (QStringList { "1", "3" }));

    run(*m_session, "update q set m = (select r.m*10 from q as r where r.id = q.id)");
    EXPECT_EQ(ms(), (QStringList { "10", "30" }));

    // The same in a SELECT, with the alias given without AS and through IN.
    EXPECT_EQ(column(*m_session,
                  "select id from q where id in (select r.id from q r where r.id = q.id and r.m = 30)"),
        QStringList { "3" });
    // Inside its own FROM an aliased table is not reachable by its name at all.
    EXPECT_EQ(errorOf(*m_session, "select q.id from q as r"), 4104);
}

TEST_F(RowTargetingTest, NegationNeverBecomesAComment)
{
    EXPECT_EQ(column(*m_session, "select -(-2.5)"), QStringList { "2.5" });
    EXPECT_EQ(column(*m_session, "select - -7"), QStringList { "7" });
    EXPECT_EQ(column(*m_session, "declare @x int set @x = -5 select -@x"), QStringList { "5" });
    EXPECT_EQ(column(*m_session, "select -(select -4)"), QStringList { "4" });

    // A crafted string after the negation must stay a string: only id 2 goes.
    run(*m_session, "declare @x int set @x = -2 delete from q where id = -@x and m <> -1 or 'x' = '\n'");
    EXPECT_EQ(column(*m_session, "select id from q order by id"), (QStringList { "1", "3" }));
    run(*m_session, "update q set m = -(-m) - -1 where id = -(-3)");
    EXPECT_EQ(ms(), (QStringList { "1", "4" }));
}

TEST_F(RowTargetingTest, ScalarSubqueryWithSeveralRowsFailsAndChangesNothing)
{
    EXPECT_EQ(errorOf(*m_session, "update q set m = (select id*100 from s)"), 512);
    EXPECT_EQ(ms(), (QStringList { "1", "2", "3" }));
    EXPECT_EQ(errorOf(*m_session, "delete from q where m = (select id from s)"), 512);
    EXPECT_EQ(errorOf(*m_session, "declare @v int set @v = (select id from s) select @v"), 512);
    EXPECT_EQ(errorOf(*m_session, "select (select id from s union all select 9)"), 512);
    EXPECT_EQ(column(*m_session, "select count(*) from q"), QStringList { "3" });

    // One row, none, or a correlated one per outer row are all fine.
    EXPECT_EQ(column(*m_session, "select (select note from s where id = 2)"), QStringList { "two" });
    EXPECT_EQ(column(*m_session, "select (select note from s where id = 9)"), QStringList { "NULL" });
    EXPECT_EQ(
        column(*m_session, "select (select top 1 note from s order by id desc)"), QStringList { "two" });
    EXPECT_EQ(column(*m_session, "select (select top 1 x from (select id*3 as x from s) d order by x desc)"),
        QStringList { "6" });
    run(*m_session, "update q set m = (select s.id*10 from s where s.id = q.id)");
    EXPECT_EQ(ms(), (QStringList { "10", "20", "NULL" }));
}

TEST_F(RowTargetingTest, OrderByAnAliasOfACopiedSelect)
{
    run(*m_session, "create table t(v int null) insert t(v) select id*2 as x from s order by x");
    EXPECT_EQ(column(*m_session, "select v from t order by v"), (QStringList { "2", "4" }));
}

TEST_F(RowTargetingTest, DoubledQuoteInsideAQuotedIdentifier)
{
    run(*m_session,
        "create table \"a\"\"b\"(\"x\"\"y\" int null, [p]]q] int null) insert \"a\"\"b\" values(4, 5)");
    const Rows rows = run(*m_session, "select \"x\"\"y\", [p]]q] from \"a\"\"b\"");
    ASSERT_EQ(rows.fields.size(), 2);
    EXPECT_EQ(rows.fields[0].name, "x\"y");
    EXPECT_EQ(rows.fields[1].name, "p]q");
    EXPECT_EQ(rows.rows, (QList<QStringList> { { "4", "5" } }));
    EXPECT_EQ(errorOf(*m_session, "select \"a\"\"b from s"), 105);
}

TEST_F(RowTargetingTest, UpdateReadsTheTableAsItWasBeforeTheStatement)
{
    run(*m_session, "update q set m = (select max(r.m) from q as r where r.id <= q.id) + 10");
    EXPECT_EQ(ms(), (QStringList { "11", "12", "13" }));

    // The WHERE too: row 3 qualifies through row 2 as it was, before row 2 changed.
    run(*m_session, "update q set m = id");
    run(*m_session,
        "update q set m = m + 10 where exists (select 1 from q r where r.id = q.id - 1 and r.m < 5)");
    EXPECT_EQ(ms(), (QStringList { "1", "12", "13" }));

    // Several columns, each from the rows as they were; a failing value writes nothing.
    run(*m_session,
        "create table t(id int not null, a int null, b int null) insert t values(1,1,1) insert t "
        "values(2,2,2)"
        " update t set a = (select sum(x.b) from t x where x.id <= t.id), b = (select max(y.a) from t y) + id"
        " where id in (select id from t)");
    EXPECT_EQ(
        column(*m_session, "select cast(a as varchar(9)) + ',' + cast(b as varchar(9)) from t order by id"),
        (QStringList { "1,3", "3,4" }));
    EXPECT_EQ(errorOf(*m_session, "update q set m = (select r.m from q r where r.id >= q.id)"), 512);
    EXPECT_EQ(ms(), (QStringList { "1", "12", "13" }));
}

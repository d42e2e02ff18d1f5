// Shapes of statements that the server answers by a shorter way than their text says: the
// answers must be those of the longer way.
#include "tests/engine/EngineTestSupport.h"

using namespace glimora;
using namespace glimora::engine::test;

namespace {

class StatementShapesTest : public ServerTest
{
protected:
    void SetUp() override
    {
        ServerTest::SetUp();
        m_session = connect();
        run(*m_session, "create database shop");
        run(*m_session,
            "use shop create table t(id int not null, name nvarchar(20) null)"
            " insert t values(1, N'b') insert t values(2, N'a') insert t values(3, N'c')");
    }

    QString plan(const QString& statement)
    {
        run(*m_session, "set showplan_text on");
        QStringList lines;
        for (const QStringList& row : run(*m_session, statement).rows)
            lines.append(row.value(3));
        run(*m_session, "set showplan_text off");
        return lines.join(QStringLiteral("; "));
    }

    std::unique_ptr<data::BackendSession> m_session;
};

TEST_F(StatementShapesTest, UnionAllBranchesOfOrderedConstantsAreNotSorted)
{
    const QString ordered = QStringLiteral("select name, 0 as g from t where id = 3 union all "
                                           "select name, 1 from t where id < 3 union all "
                                           "select name, 1 from t where id = 3 order by g");
    EXPECT_FALSE(plan(ordered).contains(QStringLiteral("ORDER BY")));
    QStringList names = column(*m_session, ordered);
    ASSERT_EQ(names.size(), 4);
    EXPECT_EQ(names.takeFirst(), QStringLiteral("c"));
    names.sort();
    EXPECT_EQ(names, (QStringList { "a", "b", "c" }));
    // By position and descending alike.
    EXPECT_EQ(column(*m_session,
                  "select name, 5 from t where id = 1 union all select name, 2 from t where id = 2 "
                  "order by 2 desc"),
        (QStringList { "b", "a" }));

    // Constants out of order, a column that is no constant, and UNION still sort.
    for (const char* sorted :
        {
            "select name, 1 as g from t where id = 3 union all select name, 0 from t where id = 2 order by g",
            "select name, id as g from t where id = 3 union all select name, 0 from t where id = 2 order by "
            "g",
            "select name, 1 as g from t where id = 3 union select name, 2 from t where id = 2 order by g "
            "desc",
        })
        EXPECT_EQ(column(*m_session, sorted), (QStringList { "a", "c" })) << sorted;
    EXPECT_EQ(errorOf(*m_session, "select name from t union all select name from t order by id"), 104);
}

TEST_F(StatementShapesTest, RowsOfConstantsStoreAndFailAsTheGeneralWay)
{
    run(*m_session,
        "create table r(i int null, b bigint null, d decimal(5,2) null, n nvarchar(4) null, "
        "v varchar(10) not null, t datetime null)");
    // A row with a sum leaves the rows to the general way.
    const QString general = QStringLiteral(", (1+1, 0, 0, N'', 'sum', null)");
    const auto stored = [&](const QString& values) {
        run(*m_session, "delete from r");
        const Rows count = run(*m_session, "insert into r values " + values + " select @@rowcount");
        EXPECT_EQ(count.rows.value(0).value(0), QString::number(values.count(QStringLiteral("), (")) + 1));
        return run(*m_session, "select i, b, d, n, v, t from r where v <> 'sum' order by v").rows;
    };
    const QString rows
        = QStringLiteral("(1, 3000000000, 1.5, N'é''x', 'a%2b%1', '2024-01-02'), "
                         "(null, -2, 12, N'', '  ', null), (-7, null, null, N'中文', '0', '20240103')");
    const QList<QStringList> bound = stored(rows);
    EXPECT_EQ(bound,
        (QList<QStringList> { { "NULL", "-2", "12.00", "", "  ", "NULL" },
            { "-7", "NULL", "NULL", "中文", "0", "2024-01-03 00:00:00" },
            { "1", "3000000000", "1.50", "é'x", "a%2b%1", "2024-01-02 00:00:00" } }));
    EXPECT_EQ(stored(rows + general), bound);

    // A failing row fails the statement with the general way's error, and stores nothing.
    run(*m_session, "delete from r");
    for (const char* failing : { "(1, 1, 1, N'ok', null, null)", "('x', 1, 1, N'ok', 'v', null)",
             "(1, 1, 1234.5, N'ok', 'v', null)", "(1, 1, 1, N'toolong', 'v', null)" }) {
        const QString values = QStringLiteral("(5, 5, 5, N'a', 'first', null), ") + failing;
        QString boundMessage, generalMessage;
        const int boundError = errorOf(*m_session, "insert into r values " + values, &boundMessage);
        EXPECT_NE(boundError, 0) << failing;
        EXPECT_EQ(
            boundError, errorOf(*m_session, "insert into r values " + values + general, &generalMessage));
        EXPECT_EQ(boundMessage, generalMessage);
        EXPECT_EQ(column(*m_session, "select count(*) from r"), QStringList { "0" }) << failing;
    }
}

} // namespace

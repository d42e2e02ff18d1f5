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

} // namespace

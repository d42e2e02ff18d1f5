#include "tests/engine/EngineTestSupport.h"

using namespace glimora;
using namespace glimora::engine::test;

class BatchTest : public ServerTest
{
protected:
    void SetUp() override
    {
        ServerTest::SetUp();
        m_session = connect();
        run(*m_session, "create database nivo");
        run(*m_session, "use nivo create table t(k int not null primary key, v varchar(5) null)");
    }

    std::unique_ptr<data::BackendSession> m_session;
};

TEST_F(BatchTest, RunTimeErrorEndsOnlyItsStatement)
{
    QString message;
    EXPECT_EQ(errorOf(*m_session,
                  "insert t values(1,'a') insert t values(1,'b') insert t values(2,'toolong') insert t "
                  "values(3,'c')",
                  &message),
        2627);
    EXPECT_EQ(column(*m_session, "select k from t order by k"), (QStringList { "1", "3" }));
}

TEST_F(BatchTest, SyntaxErrorStopsTheBatchBeforeAnythingRuns)
{
    EXPECT_EQ(errorOf(*m_session, "insert t values(1,'a') insert t values(2,'b') selec k from t"), 102);
    EXPECT_EQ(column(*m_session, "select count(*) from t"), QStringList { "0" });
}

TEST_F(BatchTest, ConversionErrorAbortsTheRestOfTheBatch)
{
    EXPECT_EQ(
        errorOf(*m_session, "insert t values(1,'a') insert t values('x','b') insert t values(3,'c')"), 245);
    EXPECT_EQ(column(*m_session, "select k from t"), QStringList { "1" });
}

TEST_F(BatchTest, MultiRowStatementsAreAllOrNothing)
{
    EXPECT_EQ(errorOf(*m_session, "insert t values(1,'a'),(2,'b'),(1,'c')"), 2627);
    EXPECT_EQ(column(*m_session, "select count(*) from t"), QStringList { "0" });
    run(*m_session, "insert t values(1,'a'),(2,'b')");
    EXPECT_EQ(errorOf(*m_session, "update t set v=v+'xxxxx'"), 8152);
    EXPECT_EQ(column(*m_session, "select v from t order by k"), (QStringList { "a", "b" }));
}

TEST_F(BatchTest, UseSwitchesForTheRestAndAMissingDatabaseStopsIt)
{
    run(*m_session, "use master");
    EXPECT_EQ(column(*m_session, "use nivo select db_name()"), QStringList { "nivo" });
    EXPECT_EQ(column(*m_session, "select db_name()"), QStringList { "nivo" });
    QString message;
    EXPECT_EQ(errorOf(*m_session, "use nowhere insert t values(9,'z')", &message), 911);
    EXPECT_EQ(message, "Database 'nowhere' does not exist. Make sure that the name is entered correctly.");
    EXPECT_EQ(column(*m_session, "select count(*) from t"), QStringList { "0" });
}

TEST_F(BatchTest, TheFirstResultSetComesBackAndLaterStatementsStillRun)
{
    const Rows rows
        = run(*m_session, "insert t values(1,'a') select k, v from t insert t values(2,'b') select 5");
    EXPECT_EQ(rows.rows, (QList<QStringList> { { "1", "a" } }));
    EXPECT_EQ(rows.rowsAffected, 1);
    EXPECT_EQ(column(*m_session, "select count(*) from t"), QStringList { "2" });
}

TEST_F(BatchTest, AnOpenCursorKeepsItsRowsWhenTheNextBatchRuns)
{
    run(*m_session, "insert t values(1,'a'),(2,'b'),(3,'c')");
    data::ExecuteResult result = m_session->execute("select k from t order by k", 30);
    QList<data::Variant> row;
    ASSERT_TRUE(result.cursor->fetchRow(row));
    run(*m_session, "delete t");
    QStringList rest;
    while (result.cursor->fetchRow(row))
        rest.append(show(row[0]));
    EXPECT_EQ(rest, (QStringList { "2", "3" }));
}

TEST_F(BatchTest, TransactionsAndVariables)
{
    run(*m_session, "begin tran insert t values(1,'a') rollback");
    EXPECT_EQ(column(*m_session, "select count(*) from t"), QStringList { "0" });
    run(*m_session, "begin transaction insert t values(1,'a') commit");
    EXPECT_EQ(column(*m_session,
                  "declare @n int set @n = 3 while @n > 1 begin insert t values(@n, 'w') set @n = @n - 1 end "
                  "select count(*) from t"),
        QStringList { "3" });
    EXPECT_EQ(column(*m_session, "declare @v varchar(5) = 'x' if @v = 'X' select 'yes' else select 'no'"),
        QStringList { "yes" });
}

TEST_F(BatchTest, DropDatabaseWaitsForItsSessions)
{
    auto other = connect("sa", "Secret1", "nivo");
    run(*m_session, "use master");
    EXPECT_EQ(errorOf(*m_session, "drop database nivo"), 3702);
    other.reset();
    EXPECT_EQ(errorOf(*m_session, "drop database nivo"), 0);
    EXPECT_EQ(errorOf(*m_session, "use nivo"), 911);
    EXPECT_EQ(errorOf(*m_session, "create database nivo"), 0);
}

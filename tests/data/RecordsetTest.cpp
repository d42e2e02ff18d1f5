#include "FakeBackend.h"

#include "data/Command.h"
#include "data/Connection.h"
#include "data/DbError.h"
#include "data/Recordset.h"

#include <gtest/gtest.h>

using namespace glimora::data;
using namespace glimora::data::test;

namespace {

// Asserts that `call` raises DbError with `code`.
template <typename Call> void expectDbError(long code, Call call)
{
    try {
        call();
        ADD_FAILURE() << "no DbError raised";
    } catch (const DbError& error) {
        EXPECT_EQ(error.code(), code) << error.description().toStdString();
    }
}

class RecordsetTest : public ::testing::Test
{
protected:
    RecordsetTest()
    {
        m_connection = Connection::create();
        m_connection.Open(QStringLiteral("fake"), std::make_shared<FakeBackend>(m_server));
        m_command = Command::create();
        m_command.SetActiveConnection(m_connection);
    }

    // A result of `count` rows with an integer column n = 1..count and a text column.
    void answerNumbers(const QString& statement, int count)
    {
        FakeResult result;
        result.fields = FakeServer::fieldsOf(
            { { QStringLiteral("n"), DataType::Integer }, { QStringLiteral("name"), DataType::VarWChar } });
        for (int i = 1; i <= count; ++i)
            result.rows.append(
                { Variant::fromInt32(i), Variant::fromString(QStringLiteral("row %1").arg(i)) });
        m_server->answers.insert(statement, result);
    }

    Recordset execute(const QString& statement)
    {
        m_command.SetCommandText(statement);
        return m_command.Execute();
    }

    std::shared_ptr<FakeServer> m_server = std::make_shared<FakeServer>();
    Connection m_connection;
    Command m_command;
};

} // namespace

TEST_F(RecordsetTest, EmptyResultIsAtBofAndEof)
{
    answerNumbers(QStringLiteral("select none"), 0);
    Recordset rs = execute(QStringLiteral("select none"));
    EXPECT_EQ(rs.State(), Recordset::StateOpen);
    EXPECT_TRUE(rs.BOF());
    EXPECT_TRUE(rs.EndOfFile());
    expectDbError(DbError::NoCurrentRecord, [&] { rs.MoveNext(); });
    expectDbError(DbError::NoCurrentRecord, [&] { rs.MovePrevious(); });
    expectDbError(DbError::NoCurrentRecord, [&] { rs.MoveFirst(); });
    expectDbError(DbError::NoCurrentRecord, [&] { rs.Item(0).Value(); });
    EXPECT_EQ(rs.Item(0).Name(), QStringLiteral("n")); // fields are described even without rows
}

TEST_F(RecordsetTest, MovesFollowAdoCursorRules)
{
    answerNumbers(QStringLiteral("select three"), 3);
    Recordset rs = execute(QStringLiteral("select three"));
    EXPECT_FALSE(rs.BOF());
    EXPECT_FALSE(rs.EndOfFile());
    EXPECT_EQ(rs.Item(0).Value(), Variant::fromInt32(1));

    rs.MoveNext();
    rs.MoveNext();
    EXPECT_EQ(rs.Item(0).Value(), Variant::fromInt32(3));
    rs.MoveNext();
    EXPECT_TRUE(rs.EndOfFile());
    EXPECT_FALSE(rs.BOF());
    expectDbError(DbError::NoCurrentRecord, [&] { rs.MoveNext(); });
    expectDbError(DbError::NoCurrentRecord, [&] { rs.Item(0).Value(); });

    rs.MovePrevious(); // back from EOF: the last record
    EXPECT_EQ(rs.Item(QStringLiteral("N")).Value(), Variant::fromInt32(3));
    rs.MovePrevious();
    rs.MovePrevious();
    EXPECT_EQ(rs.Item(0).Value(), Variant::fromInt32(1));
    rs.MovePrevious();
    EXPECT_TRUE(rs.BOF());
    EXPECT_FALSE(rs.EndOfFile());
    expectDbError(DbError::NoCurrentRecord, [&] { rs.MovePrevious(); });

    rs.MoveNext(); // forward from BOF: the first record
    EXPECT_EQ(rs.Item(0).Value(), Variant::fromInt32(1));
    rs.MoveLast();
    EXPECT_EQ(rs.AbsolutePosition(), 3);
    rs.MoveFirst();
    EXPECT_EQ(rs.Item(1).Value(), Variant::fromString(QStringLiteral("row 1")));
}

TEST_F(RecordsetTest, FieldsByPositionAndName)
{
    answerNumbers(QStringLiteral("select one"), 1);
    Recordset rs = execute(QStringLiteral("select one"));
    EXPECT_EQ(rs.FieldCount(), 2);
    EXPECT_EQ(rs.Item(1).Name(), QStringLiteral("name"));
    EXPECT_EQ(rs.Item(QStringLiteral("name")).Type(), DataType::VarWChar);
    EXPECT_EQ(int(rs.Item(0).Type()), 3);
    expectDbError(DbError::ItemNotFound, [&] { rs.Item(2); });
    expectDbError(DbError::ItemNotFound, [&] { rs.Item(-1); });
    expectDbError(DbError::ItemNotFound, [&] { rs.Item(QStringLiteral("missing")); });
}

TEST_F(RecordsetTest, UnsetAndClosedObjectsRaise)
{
    expectDbError(DbError::InvalidPointer, [] { Recordset().State(); });
    expectDbError(DbError::InvalidPointer, [] { Recordset().BOF(); });
    expectDbError(DbError::InvalidPointer, [] { Connection().State(); });
    expectDbError(DbError::InvalidPointer, [] { Command().Execute(); });
    expectDbError(DbError::InvalidPointer, [] { Field().Value(); });
    const DbError pointer = DbError::invalidPointer();
    EXPECT_EQ(pointer.description(), QStringLiteral("Invalid pointer"));
    EXPECT_STREQ(pointer.what(), "Invalid pointer");

    Recordset closed = Recordset::create();
    EXPECT_EQ(closed.State(), Recordset::StateClosed);
    expectDbError(DbError::ObjectClosed, [&] { closed.BOF(); });
    expectDbError(DbError::ObjectClosed, [&] { closed.Close(); });

    answerNumbers(QStringLiteral("select one"), 1);
    Recordset rs = execute(QStringLiteral("select one"));
    Field field = rs.Item(0);
    rs.Close();
    EXPECT_EQ(rs.State(), Recordset::StateClosed);
    expectDbError(DbError::ObjectClosed, [&] { field.Value(); });

    m_connection.Close();
    EXPECT_EQ(m_connection.State(), Connection::StateClosed);
    expectDbError(DbError::ConnectionInvalid, [&] { execute(QStringLiteral("select one")); });
    expectDbError(DbError::ConnectionInvalid, [] {
        Command command = Command::create();
        command.SetActiveConnection(Connection());
        command.Execute();
    });
}

TEST_F(RecordsetTest, StatementWithoutRowsGivesClosedRecordset)
{
    m_server->answers.insert(QStringLiteral("delete from t"), FakeResult { {}, {}, 4, {}, -1 });
    Recordset rs = execute(QStringLiteral("delete from t"));
    EXPECT_EQ(rs.State(), Recordset::StateClosed);
}

TEST_F(RecordsetTest, ProviderErrorsCarryTheirDescription)
{
    m_server->answers.insert(QStringLiteral("select bad"),
        FakeResult { {}, {}, -1,
            DbError(DbError::ProviderFailure, QStringLiteral("Invalid object name 'bad'."), 208), -1 });
    try {
        execute(QStringLiteral("select bad"));
        FAIL();
    } catch (const DbError& error) {
        EXPECT_EQ(error.code(), DbError::ProviderFailure);
        EXPECT_EQ(error.description(), QStringLiteral("Invalid object name 'bad'."));
        EXPECT_EQ(error.nativeError(), 208);
    }
}

TEST_F(RecordsetTest, RowsAreFetchedOnlyAsTheCursorNeedsThem)
{
    answerNumbers(QStringLiteral("select many"), 1000);
    Recordset rs = execute(QStringLiteral("select many"));
    EXPECT_EQ(m_server->rowsFetched, 1);
    for (int i = 0; i < 9; ++i)
        rs.MoveNext();
    EXPECT_EQ(m_server->rowsFetched, 10);
    rs.MoveFirst(); // moving back reads the kept rows
    rs.MoveNext();
    EXPECT_EQ(m_server->rowsFetched, 10);
    EXPECT_EQ(rs.valueAt(19, 0), Variant::fromInt32(20));
    EXPECT_EQ(rs.Item(0).Value(), Variant::fromInt32(2)); // valueAt does not move the cursor
    EXPECT_FALSE(rs.allRecordsFetched());
    EXPECT_EQ(rs.RecordCount(), 1000);
    EXPECT_TRUE(rs.allRecordsFetched());
    EXPECT_EQ(m_server->openCursors, 0);
}

TEST_F(RecordsetTest, NewBatchCompletesTheEarlierRecordsetFirst)
{
    answerNumbers(QStringLiteral("select first"), 50);
    answerNumbers(QStringLiteral("select second"), 2);
    Recordset first = execute(QStringLiteral("select first"));
    // The fake session refuses a batch while a cursor is unread, as ODBC does.
    Recordset second = execute(QStringLiteral("select second"));
    EXPECT_TRUE(first.allRecordsFetched());
    EXPECT_EQ(first.RecordCount(), 50);
    first.MoveLast();
    EXPECT_EQ(first.Item(0).Value(), Variant::fromInt32(50));
    EXPECT_EQ(second.Item(0).Value(), Variant::fromInt32(1));

    // Closing the connection completes the reader too, so its rows stay readable.
    m_connection.Close();
    second.MoveNext();
    EXPECT_EQ(second.Item(1).Value(), Variant::fromString(QStringLiteral("row 2")));
}

TEST_F(RecordsetTest, ReadFailureDuringCompletionSurfacesWhereTheRowsAreNeeded)
{
    answerNumbers(QStringLiteral("select first"), 5);
    m_server->answers[QStringLiteral("select first")].failAfterRows = 3;
    answerNumbers(QStringLiteral("select second"), 1);
    Recordset first = execute(QStringLiteral("select first"));
    execute(QStringLiteral("select second"));
    first.MoveNext();
    first.MoveNext();
    EXPECT_EQ(first.Item(0).Value(), Variant::fromInt32(3));
    expectDbError(DbError::ProviderFailure, [&] { first.MoveNext(); });
}

TEST_F(RecordsetTest, AbsolutePositionAndValueAt)
{
    answerNumbers(QStringLiteral("select five"), 5);
    Recordset rs = execute(QStringLiteral("select five"));
    rs.SetAbsolutePosition(4);
    EXPECT_EQ(rs.Item(0).Value(), Variant::fromInt32(4));
    expectDbError(DbError::InvalidArgument, [&] { rs.SetAbsolutePosition(6); });
    expectDbError(DbError::InvalidArgument, [&] { rs.SetAbsolutePosition(0); });
    expectDbError(DbError::NoCurrentRecord, [&] { rs.valueAt(5, 0); });
    rs.MoveLast();
    rs.MoveNext();
    EXPECT_EQ(rs.AbsolutePosition(), -3);
}

TEST_F(RecordsetTest, CommandResultsAreReadOnly)
{
    answerNumbers(QStringLiteral("select one"), 1);
    Recordset rs = execute(QStringLiteral("select one"));
    EXPECT_FALSE(rs.isUpdatable());
    expectDbError(DbError::NotUpdatable, [&] { rs.Item(0).SetValue(Variant::fromInt32(2)); });
    expectDbError(DbError::NotUpdatable, [&] { rs.Delete(); });
}

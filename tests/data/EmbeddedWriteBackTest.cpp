#include "tests/support/TempWorkspace.h"

#include "data/Command.h"
#include "data/Connection.h"
#include "data/DbError.h"
#include "data/Recordset.h"
#include "engine/EmbeddedBackend.h"

#include <gtest/gtest.h>

using namespace glimora::data;

namespace {

// Write-back through the embedded server: the statements the record set writes must be
// T-SQL that a server runs, and a second connection plays the other writer.
class EmbeddedWriteBackTest : public ::testing::Test
{
protected:
    EmbeddedWriteBackTest()
        : m_backend(std::make_shared<glimora::engine::EmbeddedBackend>(
            m_workspace.filePath(QStringLiteral("sqldata"))))
    {
        m_mine = open();
        execute(m_mine,
            QStringLiteral("create table inquiry (d1 nvarchar(255) NULL, d21 decimal(18,0) null, "
                           "d51 image null, d60 decimal(18,0) not null PRIMARY KEY identity(1,1))"));
        execute(m_mine, QStringLiteral("insert into inquiry (d1, d21) values ('a', 5)"));
        execute(m_mine, QStringLiteral("insert into inquiry (d1) values ('b')"));
        m_other = open();
    }

    Connection open()
    {
        Connection connection = Connection::create();
        connection.Open(
            QStringLiteral("Driver={SQL Server};Server=(LOCAL);Database=;Uid=sa;pwd=secret"), m_backend);
        return connection;
    }

    static Recordset execute(const Connection& connection, const QString& text)
    {
        Command command = Command::create();
        command.SetActiveConnection(connection);
        command.SetCommandText(text);
        return command.Execute();
    }

    Recordset grid()
    {
        Recordset recordset = Recordset::create();
        recordset.Open(QStringLiteral("select d1,d21,d51 from inquiry where d1 like '%'"), m_mine);
        return recordset;
    }

    QString otherSees(const QString& text)
    {
        Recordset rs = execute(m_other, text);
        return rs.EndOfFile() ? QStringLiteral("<none>") : rs.Item(0).Value().toString();
    }

    TempWorkspace m_workspace;
    std::shared_ptr<Backend> m_backend;
    Connection m_mine;
    Connection m_other;
};

} // namespace

TEST_F(EmbeddedWriteBackTest, EditsAddsAndDeletesReachTheTable)
{
    Recordset rs = grid();
    ASSERT_TRUE(rs.isUpdatable());
    rs.Item(0).SetValue(Variant::fromString(QStringLiteral("O'Brien")));
    rs.UpdateBatch();
    EXPECT_EQ(otherSees(QStringLiteral("select d1 from inquiry where d60 = 1")), QStringLiteral("O'Brien"));

    rs.MoveNext();
    rs.Item(QStringLiteral("d51")).SetValue(Variant::fromBytes(QByteArray("\x00\xff", 2)));
    rs.UpdateBatch();

    rs.AddNew(QStringLiteral("d1"), Variant::fromString(QString()));
    EXPECT_EQ(rs.RecordCount(), 3);
    rs.Item(0).SetValue(Variant::fromString(QStringLiteral("new")));
    rs.UpdateBatch();
    EXPECT_EQ(otherSees(QStringLiteral("select d1 from inquiry where d60 = 3")), QStringLiteral("new"));

    rs.MoveFirst();
    rs.Delete();
    EXPECT_EQ(otherSees(QStringLiteral("select d1 from inquiry where d60 = 1")), QStringLiteral("<none>"));
}

TEST_F(EmbeddedWriteBackTest, ChangesOfAnotherWriterAreNeverOverwritten)
{
    Recordset rs = grid();
    execute(m_other, QStringLiteral("update inquiry set d1 = 'theirs' where d60 = 1"));
    rs.Item(0).SetValue(Variant::fromString(QStringLiteral("mine")));
    try {
        rs.UpdateBatch();
        FAIL() << "the other writer's change was overwritten";
    } catch (const DbError& error) {
        EXPECT_EQ(error.code(), DbError::RowConflict);
    }
    EXPECT_EQ(otherSees(QStringLiteral("select d1 from inquiry where d60 = 1")), QStringLiteral("theirs"));

    execute(m_other, QStringLiteral("delete from inquiry where d60 = 2"));
    rs.MoveNext();
    EXPECT_THROW(rs.Delete(), DbError);
}

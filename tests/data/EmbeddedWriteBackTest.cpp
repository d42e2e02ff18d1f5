#include "tests/support/TempWorkspace.h"

#include "data/Command.h"
#include "data/Connection.h"
#include "data/DbError.h"
#include "data/Recordset.h"
#include "engine/server/EmbeddedBackend.h"

#include <functional>
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

// Another database with the same table and the same first row: no edit may land there.
TEST_F(EmbeddedWriteBackTest, NoEditReachesATableOfAnotherDatabase)
{
    const QString home = execute(m_mine, QStringLiteral("select db_name()")).Item(0).Value().toString();
    execute(m_mine,
        QStringLiteral("create database two use two create table inquiry (d1 nvarchar(255) NULL, d21 "
                       "decimal(18,0) null, d51 image null, d60 decimal(18,0) not null PRIMARY KEY "
                       "identity(1,1)) insert into inquiry (d1, d21) values ('a', 5) use ")
            + home);
    Connection two = Connection::create();
    two.Open(QStringLiteral("Driver={SQL Server};Server=(LOCAL);Database=two;Uid=sa;pwd=secret"), m_backend);
    const auto rowsInTwo = [&two](const char* where) {
        return execute(two, QStringLiteral("select count(*) from inquiry where ") + QLatin1String(where))
            .Item(0)
            .Value()
            .toInt64();
    };

    Recordset tail = Recordset::create();
    tail.Open(QStringLiteral("select d1,d21,d51 from inquiry where d1 like '%' use two"), m_mine);
    EXPECT_FALSE(tail.isUpdatable());
    EXPECT_THROW(tail.Item(0).SetValue(Variant::fromString(QStringLiteral("mine"))), DbError);
    tail.Close();
    execute(m_mine, QStringLiteral("use ") + home);

    // The connection moved after the record set was opened: the edit is refused, not sent.
    Recordset rs = grid();
    ASSERT_TRUE(rs.isUpdatable());
    execute(m_mine, QStringLiteral("use two"));
    rs.Item(0).SetValue(Variant::fromString(QStringLiteral("mine")));
    EXPECT_THROW(rs.UpdateBatch(), DbError);
    rs.CancelUpdate();
    EXPECT_THROW(rs.Delete(), DbError);
    EXPECT_EQ(rowsInTwo("d60 = 1 and d1 = 'a'"), 1);
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

TEST_F(EmbeddedWriteBackTest, ANewRowIsNeverTakenForAnotherByAKeyThatIsNotAnIdentity)
{
    execute(m_mine,
        QStringLiteral("create table p (k int not null default 0 primary key, name nvarchar(20)); "
                       "insert into p values (3, 'three'); insert into p values (2, 'two')"));
    Recordset rs = Recordset::create();
    rs.Open(QStringLiteral("select k,name from p"), m_mine);
    rs.AddNew(QStringLiteral("name"), Variant::fromString(QStringLiteral("new")));
    EXPECT_EQ(rs.Item(QStringLiteral("name")).Value().toString(), QStringLiteral("new"));
    EXPECT_EQ(rs.Item(QStringLiteral("k")).Value().toInt64(), 0);
    rs.Delete();
    EXPECT_EQ(otherSees(QStringLiteral("select name from p where k = 3")), QStringLiteral("three"));
    EXPECT_EQ(otherSees(QStringLiteral("select name from p where name = 'new'")), QStringLiteral("<none>"));

    // Values that an older row holds too: the row read before is not the new one.
    rs.AddNew(QStringLiteral("name"), Variant::fromString(QStringLiteral("two")));
    EXPECT_EQ(rs.Item(QStringLiteral("k")).Value().toInt64(), 0);

    // @@IDENTITY and SCOPE_IDENTITY() belong to the last insert: NULL for a table without one.
    Recordset identity = execute(m_mine,
        QStringLiteral("insert into inquiry (d1) values ('c'); insert into p (k, name) values (9, 'nine'); "
                       "select @@IDENTITY, scope_identity()"));
    EXPECT_TRUE(identity.Item(0).Value().isNull());
    EXPECT_TRUE(identity.Item(1).Value().isNull());
    identity = execute(m_mine, QStringLiteral("insert into inquiry (d1) values ('d'); select @@IDENTITY"));
    EXPECT_EQ(identity.Item(0).Value().toDouble(), 4.0);
}

TEST_F(EmbeddedWriteBackTest, RowsAreFoundAgainByTheValuesTheServerStored)
{
    execute(m_mine,
        QStringLiteral(
            "create table r (id int primary key, r real, f float, d decimal(38,10), m decimal(18,2), "
            "name nvarchar(20)); "
            "insert into r values (1, 1.1, 0.1, 12.0123456789, 5, 'a'); "
            "insert into r values (2, 16777217, 1e300, -0.0000000001, 6, 'b')"));
    Recordset rs = Recordset::create();
    rs.Open(QStringLiteral("select id,r,f,d,m,name from r"), m_mine);
    for (int row = 1; row <= 2; ++row) {
        rs.Item(QStringLiteral("name")).SetValue(Variant::fromString(QStringLiteral("edited")));
        EXPECT_NO_THROW(rs.UpdateBatch()) << "row " << row;
        rs.MoveNext();
    }
    EXPECT_EQ(otherSees(QStringLiteral("select name from r where id = 2")), QStringLiteral("edited"));

    // A value the server rounds: the row shows what is stored, and the next edit finds it.
    rs.MoveFirst();
    rs.Item(QStringLiteral("m")).SetValue(Variant::fromDecimal(Decimal { 1234, 3 }));
    rs.UpdateBatch();
    EXPECT_EQ(rs.Item(QStringLiteral("m")).Value().toDecimal().toString(), QStringLiteral("1.23"));
    rs.Item(QStringLiteral("name")).SetValue(Variant::fromString(QStringLiteral("again")));
    EXPECT_NO_THROW(rs.UpdateBatch());
    rs.Item(QStringLiteral("r")).SetValue(Variant::fromDouble(0.3));
    rs.UpdateBatch();
    rs.Item(QStringLiteral("name")).SetValue(Variant::fromString(QStringLiteral("third")));
    EXPECT_NO_THROW(rs.UpdateBatch());
    EXPECT_EQ(otherSees(QStringLiteral("select name from r where id = 1")), QStringLiteral("third"));

    rs.AddNew(QStringList { QStringLiteral("id"), QStringLiteral("m") },
        { Variant::fromInt32(3), Variant::fromDecimal(Decimal { 1235, 3 }) });
    EXPECT_EQ(rs.Item(QStringLiteral("m")).Value().toDecimal().toString(), QStringLiteral("1.24"));
}

TEST_F(EmbeddedWriteBackTest, NestedCommentsAreReadAsTheServerReadsThem)
{
    execute(m_mine,
        QStringLiteral(
            "create table t1 (id int primary key, v nvarchar(10)); insert into t1 values (1, 'one'); "
            "create table t2 (id int primary key, v nvarchar(10)); insert into t2 values (1, 'two')"));
    for (const QString& statement : { QStringLiteral("select * /* /* */ from t2 where 1=1 -- */ from t1"),
             QStringLiteral("select id, v from t1 /* a /* b */ from t2 */"),
             QStringLiteral("select (id) /* ) from t2 */, v from t1") }) {
        execute(m_mine, QStringLiteral("update t1 set v = 'one'; update t2 set v = 'two'"));
        Recordset rs = Recordset::create();
        rs.Open(statement, m_mine);
        EXPECT_EQ(rs.Item(QStringLiteral("v")).Value().toString(), QStringLiteral("one"))
            << statement.toStdString();
        if (!rs.isUpdatable())
            continue; // refusing to write is safe too
        rs.Item(QStringLiteral("v")).SetValue(Variant::fromString(QStringLiteral("edited")));
        rs.UpdateBatch();
        EXPECT_EQ(otherSees(QStringLiteral("select v from t1")), QStringLiteral("edited"))
            << statement.toStdString();
        EXPECT_EQ(otherSees(QStringLiteral("select v from t2")), QStringLiteral("two"))
            << statement.toStdString();
    }
}

TEST_F(EmbeddedWriteBackTest, ClosingWithAnEditNotWrittenIsRefused)
{
    Recordset rs = grid();
    rs.Item(0).SetValue(Variant::fromString(QStringLiteral("pending")));
    try {
        rs.Close();
        FAIL() << "the pending edit was dropped";
    } catch (const DbError& error) {
        EXPECT_EQ(error.code(), DbError::IllegalOperation);
    }
    EXPECT_EQ(rs.State(), Recordset::StateOpen);
    rs.UpdateBatch();
    rs.Close();
    EXPECT_EQ(otherSees(QStringLiteral("select d1 from inquiry where d60 = 1")), QStringLiteral("pending"));

    // Cancelled, the edit goes and Close is allowed.
    rs = grid();
    rs.Item(0).SetValue(Variant::fromString(QStringLiteral("dropped")));
    rs.CancelUpdate();
    EXPECT_NO_THROW(rs.Close());
    EXPECT_EQ(otherSees(QStringLiteral("select d1 from inquiry where d60 = 1")), QStringLiteral("pending"));
}

TEST_F(EmbeddedWriteBackTest, WritesBesideAnUnreadResultStayInTheSessionsTransaction)
{
    QStringList rows;
    for (int i = 0; i < 500; ++i)
        rows.append(QStringLiteral("('r%1')").arg(i));
    execute(m_mine, QStringLiteral("insert into inquiry (d1) values ") + rows.join(QLatin1Char(',')));

    // Outside a transaction the write needs none of the unread rows, and the rest of the
    // result reads as it was when it was opened.
    Recordset rs = grid();
    rs.Item(0).SetValue(Variant::fromString(QStringLiteral("first")));
    rs.UpdateBatch();
    EXPECT_FALSE(rs.allRecordsFetched());
    execute(m_other, QStringLiteral("update inquiry set d1 = 'theirs' where d60 = 400"));
    EXPECT_EQ(otherSees(QStringLiteral("select d1 from inquiry where d60 = 1")), QStringLiteral("first"));
    rs.SetAbsolutePosition(400);
    EXPECT_EQ(rs.Item(0).Value().toString(), QStringLiteral("r397"));
    EXPECT_EQ(rs.RecordCount(), 502);

    // Inside one, the write is part of it: rolled back with it.
    execute(m_mine, QStringLiteral("begin transaction"));
    Recordset inTransaction = grid();
    inTransaction.Item(0).SetValue(Variant::fromString(QStringLiteral("undone")));
    inTransaction.UpdateBatch();
    execute(m_mine, QStringLiteral("rollback transaction"));
    EXPECT_EQ(otherSees(QStringLiteral("select d1 from inquiry where d60 = 1")), QStringLiteral("first"));
}

TEST_F(EmbeddedWriteBackTest, ALargeSetReadsBothWaysAndWritesByKeyWhileHoldingOnlyACache)
{
    QStringList values;
    for (int i = 0; i < 5000; ++i)
        values.append(QStringLiteral("(N'r%1', %1)").arg(i));
    execute(m_mine, QStringLiteral("insert into inquiry (d1, d21) values ") + values.join(QLatin1Char(',')));
    execute(m_mine, QStringLiteral("update inquiry set d51 = 0x0102 where d60 = 4000"));
    Recordset rs = Recordset::create();
    rs.Open(QStringLiteral("select d1,d21,d51 from inquiry"), m_mine);
    const auto nameAt = [](long position) {
        return position <= 2 ? QString(QLatin1Char(char('a' + position - 1)))
                             : QStringLiteral("r%1").arg(position - 3);
    };

    // Forwards to the end and back to the start, record by record, as screens read.
    long position = 0;
    while (!rs.EndOfFile()) {
        ++position;
        ASSERT_EQ(rs.AbsolutePosition(), position);
        ASSERT_EQ(rs.Item(0).Value().toString(), nameAt(position));
        rs.MoveNext();
    }
    EXPECT_EQ(position, 5002);
    EXPECT_LE(rs.heldRecordCount(), Recordset::HeldRecordLimit);
    rs.MovePrevious();
    while (!rs.BOF()) {
        ASSERT_EQ(rs.AbsolutePosition(), position);
        ASSERT_EQ(rs.Item(0).Value().toString(), nameAt(position));
        --position;
        rs.MovePrevious();
    }
    EXPECT_EQ(position, 0);
    EXPECT_LE(rs.heldRecordCount(), Recordset::HeldRecordLimit);

    // A picture far from the records held is read when it is asked for, with its record.
    rs.SetAbsolutePosition(4000);
    EXPECT_EQ(rs.Item(2).Value().toBytes(), QByteArray("\x01\x02", 2));
    EXPECT_EQ(rs.Item(0).Value().toString(), nameAt(4000));

    // Writes after the records were let go and read again reach their own records.
    rs.SetAbsolutePosition(10);
    rs.Item(0).SetValue(Variant::fromString(QStringLiteral("ten")));
    rs.UpdateBatch();
    EXPECT_EQ(otherSees(QStringLiteral("select d1 from inquiry where d60 = 10")), QStringLiteral("ten"));
    rs.SetAbsolutePosition(4000);
    rs.Delete();
    EXPECT_EQ(otherSees(QStringLiteral("select d1 from inquiry where d60 = 4000")), QStringLiteral("<none>"));
    EXPECT_EQ(rs.AbsolutePosition(), 4000);
    EXPECT_EQ(rs.Item(0).Value().toString(), nameAt(4001));
    rs.MoveLast();
    EXPECT_EQ(rs.AbsolutePosition(), 5001);
    EXPECT_EQ(rs.Item(0).Value().toString(), nameAt(5002));
    EXPECT_EQ(rs.RecordCount(), 5001);
    rs.MoveFirst();
    EXPECT_EQ(rs.Item(0).Value().toString(), QStringLiteral("a"));
}

TEST_F(EmbeddedWriteBackTest, APictureReadLaterLeavesTheRestOfItsRecordAsItWasRead)
{
    execute(m_mine, QStringLiteral("insert into inquiry (d1, d51) values ('c', 0x0a0b)"));
    Recordset rs = Recordset::create();
    rs.Open(QStringLiteral("select d1,d51 from inquiry"), m_mine);
    rs.readRecords(0, 3, false); // as the grid reads the rows it shows, pictures later
    EXPECT_EQ(rs.heldPictureRecordCount(), 1); // the first record, read as the set opened
    execute(m_other, QStringLiteral("update inquiry set d1 = 'theirs' where d60 = 3"));
    rs.SetAbsolutePosition(3);
    EXPECT_EQ(rs.Item(1).Value().toBytes(), QByteArray("\x0a\x0b", 2));
    // The record still shows what was read with it, so a write checks against that.
    EXPECT_EQ(rs.Item(0).Value().toString(), QStringLiteral("c"));
    rs.Item(0).SetValue(Variant::fromString(QStringLiteral("mine")));
    EXPECT_THROW(rs.UpdateBatch(), DbError);
    EXPECT_EQ(otherSees(QStringLiteral("select d1 from inquiry where d60 = 3")), QStringLiteral("theirs"));
}

namespace {

// `count` rows of (key, name): keys as `keyLiteral` writes them, names n1 .. n<count>.
QString rowsOf(int count, const std::function<QString(int)>& keyLiteral)
{
    QStringList rows;
    for (int i = 1; i <= count; ++i)
        rows.append(QStringLiteral("(%1, N'n%2')").arg(keyLiteral(i)).arg(i));
    return rows.join(QLatin1Char(','));
}

QString numberKey(int i)
{
    return QString::number(i);
}

} // namespace

TEST_F(EmbeddedWriteBackTest, RecordsLetGoAreFoundAgainByEveryKindOfKey)
{
    // A binary key is the record's identity, never a picture left unread.
    execute(m_mine,
        QStringLiteral("create table bk (k varbinary(8) not null primary key, name nvarchar(20) null)"));
    execute(m_mine, QStringLiteral("insert into bk (k, name) values ") + rowsOf(3000, [](int i) {
        return QStringLiteral("0x%1").arg(i, 8, 16, QLatin1Char('0'));
    }));
    // Names that are words of the language are written bracketed, in reads and writes alike.
    execute(m_mine,
        QStringLiteral(
            "create table r (id int not null primary key, [desc] nvarchar(20) null, [key] int null)"));
    execute(m_mine, QStringLiteral("insert into r (id, [desc]) values ") + rowsOf(3000, numberKey));
    // A key the server finds by its collation although it reads back otherwise.
    execute(m_mine,
        QStringLiteral("create table c (code nvarchar(10) not null primary key, name nvarchar(20) null)"));
    execute(m_mine, QStringLiteral("insert into c (code, name) values ") + rowsOf(3000, [](int i) {
        return QStringLiteral("N'k%1'").arg(i, 4, 10, QLatin1Char('0'));
    }));
    execute(m_other, QStringLiteral("update c set code = N'K1500' where code = N'k1500'"));

    for (const QString& statement : { QStringLiteral("select k, name from bk"),
             QStringLiteral("select * from r"), QStringLiteral("select code, name from c") }) {
        SCOPED_TRACE(statement.toStdString());
        Recordset rs = Recordset::create();
        rs.Open(statement, m_mine);
        ASSERT_TRUE(rs.isUpdatable());
        rs.readRecords(0, 40, false);
        rs.MoveLast();
        rs.SetAbsolutePosition(1500);
        EXPECT_EQ(rs.Item(1).Value().toString(), QStringLiteral("n1500"));
        rs.Item(1).SetValue(Variant::fromString(QStringLiteral("edited")));
        rs.UpdateBatch();
        rs.SetAbsolutePosition(2);
        rs.Item(1).SetValue(Variant::fromString(QStringLiteral("second")));
        rs.UpdateBatch();
        EXPECT_LE(rs.heldRecordCount(), Recordset::HeldRecordLimit);
    }
    EXPECT_EQ(
        otherSees(QStringLiteral("select name from bk where k = 0x000005dc")), QStringLiteral("edited"));
    EXPECT_EQ(
        otherSees(QStringLiteral("select name from bk where k = 0x00000002")), QStringLiteral("second"));
    EXPECT_EQ(otherSees(QStringLiteral("select [desc] from r where id = 1500")), QStringLiteral("edited"));
    EXPECT_EQ(otherSees(QStringLiteral("select [desc] from r where id = 2")), QStringLiteral("second"));
    EXPECT_EQ(
        otherSees(QStringLiteral("select name from c where code = N'K1500'")), QStringLiteral("edited"));
    EXPECT_EQ(
        otherSees(QStringLiteral("select name from c where code = N'k0002'")), QStringLiteral("second"));
}

TEST_F(EmbeddedWriteBackTest, RecordsDeletedByAnotherStayDeletedAndNeverShowAnotherRecord)
{
    execute(m_mine, QStringLiteral("create table t (id int not null primary key, name nvarchar(20) null)"));
    execute(m_mine, QStringLiteral("insert into t (id, name) values ") + rowsOf(3000, numberKey));
    Recordset rs = Recordset::create();
    rs.Open(QStringLiteral("select id, name from t"), m_mine);
    rs.MoveLast();
    execute(m_other, QStringLiteral("delete from t where id in (1500, 1600)"));

    // Its key given to another record: the deleted record's row does not become that one.
    rs.MoveFirst();
    rs.Item(0).SetValue(Variant::fromInt32(1500));
    rs.UpdateBatch();
    rs.SetAbsolutePosition(1500);
    EXPECT_TRUE(rs.Item(1).Value().isNull());
    rs.Item(1).SetValue(Variant::fromString(QStringLiteral("wrong")));
    EXPECT_THROW(rs.UpdateBatch(), DbError);
    rs.MoveFirst();
    EXPECT_EQ(rs.Item(1).Value().toString(), QStringLiteral("n1"));
    rs.Item(1).SetValue(Variant::fromString(QStringLiteral("first")));
    rs.UpdateBatch();
    EXPECT_EQ(otherSees(QStringLiteral("select name from t where id = 1500")), QStringLiteral("first"));
    EXPECT_EQ(
        otherSees(QStringLiteral("select name from t where name = N'wrong'")), QStringLiteral("<none>"));

    // Deleting a record that someone else deleted takes its row away, and nothing else.
    rs.SetAbsolutePosition(1600);
    EXPECT_TRUE(rs.Item(1).Value().isNull());
    rs.Delete();
    EXPECT_EQ(rs.AbsolutePosition(), 1600);
    EXPECT_EQ(rs.Item(1).Value().toString(), QStringLiteral("n1601"));
    EXPECT_EQ(rs.RecordCount(), 2999);
    EXPECT_EQ(
        otherSees(QStringLiteral("select cast(count(*) as nvarchar(10)) from t")), QStringLiteral("2998"));
}

TEST_F(EmbeddedWriteBackTest, ARefusedWriteShowsTheRecordAsStoredSoThatTheNextOneCanSucceed)
{
    Recordset rs = grid();
    rs.MoveNext();
    execute(m_other, QStringLiteral("update inquiry set d1 = 'theirs' where d60 = 2"));
    rs.Item(0).SetValue(Variant::fromString(QStringLiteral("mine")));
    EXPECT_THROW(rs.UpdateBatch(), DbError);
    EXPECT_EQ(rs.Item(0).Value().toString(), QStringLiteral("theirs"));
    rs.Item(0).SetValue(Variant::fromString(QStringLiteral("mine")));
    rs.UpdateBatch();
    EXPECT_EQ(otherSees(QStringLiteral("select d1 from inquiry where d60 = 2")), QStringLiteral("mine"));
}

TEST_F(EmbeddedWriteBackTest, AValueThatCannotBeReadFailsOnlyItsOwnRecord)
{
    execute(
        m_mine, QStringLiteral("create table big (id int not null primary key, amount decimal(38,0) null)"));
    QStringList rows;
    for (int i = 1; i <= 3000; ++i)
        rows.append(QStringLiteral("(%1, %1)").arg(i));
    execute(m_mine, QStringLiteral("insert into big (id, amount) values ") + rows.join(QLatin1Char(',')));
    execute(m_mine, QStringLiteral("update big set amount = 100000000000000000000 where id = 1500"));
    Recordset rs = Recordset::create();
    rs.Open(QStringLiteral("select id, amount from big"), m_mine);
    rs.MoveLast();
    rs.SetAbsolutePosition(1490);
    EXPECT_EQ(rs.Item(0).Value().toInt64(), 1490);
    rs.SetAbsolutePosition(1501);
    EXPECT_EQ(rs.Item(0).Value().toInt64(), 1501);
}

TEST_F(EmbeddedWriteBackTest, PicturesHeldStayWithinABudgetOfBytes)
{
    execute(m_mine,
        QStringLiteral("insert into inquiry (d1, d51) values ('c', 0x")
            + QStringLiteral("AB").repeated(256 * 1024) + QLatin1Char(')'));
    for (int i = 0; i < 9; ++i)
        execute(m_mine,
            QStringLiteral(
                "insert into inquiry (d1, d51) select d1, d51 from inquiry where d51 is not null"));
    Recordset rs = Recordset::create();
    rs.Open(QStringLiteral("select d1,d51 from inquiry"), m_mine);
    for (long first = 0; first < 514; first += 32)
        rs.readRecords(first, 32, true);
    EXPECT_LE(rs.heldPictureRecordCount() * 256 * 1024, Recordset::HeldPictureBytes + 32 * 256 * 1024);
    rs.SetAbsolutePosition(3);
    EXPECT_EQ(rs.Item(1).Value().toBytes().size(), 256 * 1024);
}

// Keys and values of 19 to 38 digits are carried whole: an edit and a delete land on the
// record shown, never on its neighbour, and the widest values read back unchanged.
TEST_F(EmbeddedWriteBackTest, WideDecimalsAreCarriedExactly)
{
    execute(m_mine,
        QStringLiteral("create table dk (k decimal(20,19) primary key, n int null); "
                       "insert into dk values (0.1234567890123456789, null); "
                       "insert into dk values (0.1234567890123456790, null)"));
    Recordset rs = Recordset::create();
    rs.Open(QStringLiteral("select k,n from dk order by k"), m_mine);
    EXPECT_EQ(rs.Item(0).Value().toDecimal().toString(), QStringLiteral("0.1234567890123456789"));
    rs.Item(1).SetValue(Variant::fromInt32(5));
    rs.UpdateBatch();
    EXPECT_EQ(otherSees(QStringLiteral("select cast(k as varchar(30)) from dk where n = 5")),
        QStringLiteral("0.1234567890123456789"));
    rs.Delete();
    EXPECT_EQ(otherSees(QStringLiteral("select cast(k as varchar(30)) from dk")),
        QStringLiteral("0.1234567890123456790"));

    execute(m_mine,
        QStringLiteral("create table w (id numeric(20,0) primary key, m money, "
                       "d decimal(38,10)); insert into w values (99999999999999999999, "
                       "-922337203685477.5808, -9999999999999999999999999999.9999999999)"));
    Recordset wide = Recordset::create();
    wide.Open(QStringLiteral("select id,m,d from w"), m_mine);
    EXPECT_EQ(wide.Item(0).Value().toDecimal().toString(), QStringLiteral("99999999999999999999"));
    EXPECT_EQ(wide.Item(1).Value().toDecimal().toString(), QStringLiteral("-922337203685477.5808"));
    EXPECT_EQ(wide.Item(2).Value().toDecimal().toString(),
        QStringLiteral("-9999999999999999999999999999.9999999999"));
    Decimal typed;
    ASSERT_TRUE(Decimal::parse(QStringLiteral("1234567890123456789012345678.0123456789"), typed));
    wide.Item(2).SetValue(Variant::fromDecimal(typed));
    wide.UpdateBatch();
    EXPECT_EQ(
        otherSees(QStringLiteral("select cast(d as varchar(60)) from w where id = 99999999999999999999")),
        QStringLiteral("1234567890123456789012345678.0123456789"));
}

#include "FakeBackend.h"

#include "data/Connection.h"
#include "data/DbError.h"
#include "data/Recordset.h"
#include "data/SelectStatement.h"
#include "data/SqlLiteral.h"
#include "data/StatementRecorder.h"

#include <gtest/gtest.h>

using namespace glimora::data;
using namespace glimora::data::test;

namespace {

Variant text(const char* value)
{
    return Variant::fromString(QString::fromUtf8(value));
}

Variant number(qint64 value)
{
    return Variant::fromDecimal(Decimal { value, 0 });
}

// A record set over inquiry(d1 text, d21 decimal, d51 image, d60 key), as the data control
// opens it; the select list leaves the key out.
class UpdatableRecordsetTest : public ::testing::Test
{
protected:
    UpdatableRecordsetTest()
    {
        m_server->primaryKeys.insert(QStringLiteral("inquiry"), { QStringLiteral("d60") });
        m_server->identityColumns.insert(QStringLiteral("inquiry"), QStringLiteral("d60"));
        FakeResult rows;
        rows.fields = FakeServer::fieldsOf({ { QStringLiteral("d1"), DataType::VarWChar },
            { QStringLiteral("d21"), DataType::Numeric }, { QStringLiteral("d51"), DataType::LongVarBinary },
            { QStringLiteral("d60"), DataType::Numeric } });
        rows.rows = { { text("a"), number(5), Variant::null(), number(1) },
            { text("b"), Variant::null(), Variant::fromBytes("\x01\x02"), number(2) } };
        m_server->answers.insert(
            QStringLiteral("select d1,d21,d51,d60 from inquiry where d1 like '%'"), rows);
        m_server->answers.insert(QStringLiteral("SELECT @@IDENTITY"),
            FakeResult {
                FakeServer::fieldsOf({ { QString(), DataType::Numeric } }), { { number(7) } }, -1, {}, -1 });
        FakeResult inserted;
        inserted.fields = rows.fields;
        inserted.rows = { { text(""), Variant::null(), Variant::null(), number(7) } };
        m_server->answers.insert(
            QStringLiteral("SELECT d1,d21,d51,d60 FROM inquiry WHERE d60 = 7"), inserted);
        m_server->fallback = [this](const QString&) { return FakeResult { {}, {}, m_rowsAffected, {}, -1 }; };

        m_connection = Connection::create();
        m_connection.Open(QStringLiteral("fake"), std::make_shared<FakeBackend>(m_server));
        m_recordset = Recordset::create();
        m_recordset.Open(QStringLiteral("select d1,d21,d51 from inquiry where d1 like '%'"), m_connection);
    }

    // The last statement that changed rows (a write is followed by reading the row back).
    QString lastStatement() const
    {
        for (qsizetype i = m_server->executed.size() - 1; i >= 0; --i) {
            if (!m_server->executed[i].startsWith(QLatin1String("SELECT")))
                return m_server->executed[i];
        }
        return {};
    }

    std::shared_ptr<FakeServer> m_server = std::make_shared<FakeServer>();
    qint64 m_rowsAffected = 1;
    Connection m_connection;
    Recordset m_recordset;
};

} // namespace

TEST_F(UpdatableRecordsetTest, KeyIsReadAsAHiddenField)
{
    EXPECT_EQ(
        m_server->executed.first(), QStringLiteral("select d1,d21,d51,d60 from inquiry where d1 like '%'"));
    EXPECT_TRUE(m_recordset.isUpdatable());
    EXPECT_EQ(m_recordset.FieldCount(), 3);
    EXPECT_THROW(m_recordset.Item(QStringLiteral("d60")), DbError);
}

TEST_F(UpdatableRecordsetTest, WritesTheCurrentRecordByKeyWithItsReadValues)
{
    m_recordset.Item(0).SetValue(text("O'Brien"));
    EXPECT_EQ(m_recordset.Item(0).Value(), text("O'Brien")); // the edit shows before it is written
    m_recordset.UpdateBatch(Recordset::AffectCurrent);
    EXPECT_EQ(lastStatement(),
        QStringLiteral("UPDATE inquiry SET d1 = N'O''Brien' WHERE d60 = 1 AND d1 = N'a' AND d21 = 5"));

    m_recordset.MoveNext();
    m_recordset.Item(QStringLiteral("d51")).SetValue(Variant::fromBytes(QByteArray("\xff\x00\x10", 3)));
    m_recordset.UpdateBatch();
    // NULLs are matched with IS NULL; the image column cannot be compared and is left out.
    EXPECT_EQ(lastStatement(),
        QStringLiteral("UPDATE inquiry SET d51 = 0xff0010 WHERE d60 = 2 AND d1 = N'b' AND d21 IS NULL"));
    EXPECT_EQ(m_recordset.Item(2).Value(), Variant::fromBytes(QByteArray("\xff\x00\x10", 3)));
}

TEST_F(UpdatableRecordsetTest, AWriteWhoseRowCannotBeReadBackIsStillAWrite)
{
    FakeResult unreadable;
    unreadable.error = DbError(DbError::ProviderFailure, QStringLiteral("read failed"));
    m_server->answers.insert(QStringLiteral("SELECT d1,d21,d51,d60 FROM inquiry WHERE d60 = 1"), unreadable);
    m_server->answers.insert(QStringLiteral("SELECT d1,d21,d51,d60 FROM inquiry WHERE d60 = 7"), unreadable);

    m_recordset.Item(0).SetValue(text("neu"));
    EXPECT_NO_THROW(m_recordset.UpdateBatch());
    EXPECT_EQ(m_recordset.Item(0).Value(), text("neu"));
    // The next edit checks the row against what was written.
    m_recordset.Item(0).SetValue(text("zwei"));
    m_recordset.UpdateBatch();
    EXPECT_EQ(lastStatement(),
        QStringLiteral("UPDATE inquiry SET d1 = N'zwei' WHERE d60 = 1 AND d1 = N'neu' AND d21 = 5"));

    EXPECT_NO_THROW(m_recordset.AddNew(QStringLiteral("d1"), text("x")));
    EXPECT_EQ(m_recordset.Item(0).Value(), text("x"));
    m_recordset.Item(0).SetValue(text("y"));
    m_recordset.UpdateBatch();
    EXPECT_EQ(lastStatement(),
        QStringLiteral("UPDATE inquiry SET d1 = N'y' WHERE d60 = 7 AND d1 = N'x' AND d21 IS NULL"));
}

TEST(UpdatableRecordsetWideDecimalTest, ADecimalOfThirtyEightDigitsIsCheckedWhole)
{
    auto server = std::make_shared<FakeServer>();
    server->primaryKeys.insert(QStringLiteral("r"), { QStringLiteral("id") });
    FakeResult rows;
    rows.fields = FakeServer::fieldsOf({ { QStringLiteral("id"), DataType::Integer },
        { QStringLiteral("d"), DataType::Numeric }, { QStringLiteral("m"), DataType::Numeric } });
    rows.fields[1].precision = 38;
    rows.fields[1].scale = 10;
    rows.fields[2].precision = 18;
    rows.fields[2].scale = 2;
    rows.rows = { { Variant::fromInt32(1),
        Variant::fromDecimal(
            Decimal { Decimal::Digits(1234567890123456789LL) * 10000000000000000000ULL + 1, 10 }),
        Variant::fromDecimal(Decimal { 500, 2 }) } };
    server->answers.insert(QStringLiteral("select id,d,m from r"), rows);
    server->fallback = [](const QString&) { return FakeResult { {}, {}, 1, {}, -1 }; };
    Connection connection = Connection::create();
    connection.Open(QStringLiteral("fake"), std::make_shared<FakeBackend>(server));
    Recordset recordset = Recordset::create();
    recordset.Open(QStringLiteral("select id,d,m from r"), connection);
    recordset.Item(2).SetValue(Variant::fromDecimal(Decimal { 600, 2 }));
    recordset.UpdateBatch();
    EXPECT_TRUE(server->executed.contains(QStringLiteral(
        "UPDATE r SET m = 6.00 WHERE id = 1 AND d = 1234567890123456789000000000.0000000001 AND m = 5.00")))
        << server->executed.join(QLatin1Char('\n')).toStdString();
}

// A key wider than can be carried would address a neighbour: such a set is read-only.
TEST(UpdatableRecordsetWideDecimalTest, AKeyThatCannotBeCarriedExactlyMakesTheSetReadOnly)
{
    auto server = std::make_shared<FakeServer>();
    server->primaryKeys.insert(QStringLiteral("r"), { QStringLiteral("k") });
    FakeResult rows;
    rows.fields = FakeServer::fieldsOf(
        { { QStringLiteral("k"), DataType::Numeric }, { QStringLiteral("n"), DataType::Integer } });
    rows.fields[0].precision = 40;
    rows.rows = { { Variant::fromDecimal(Decimal { 1, 0 }), Variant::fromInt32(1) } };
    server->answers.insert(QStringLiteral("select k,n from r"), rows);
    Connection connection = Connection::create();
    connection.Open(QStringLiteral("fake"), std::make_shared<FakeBackend>(server));
    Recordset recordset = Recordset::create();
    recordset.Open(QStringLiteral("select k,n from r"), connection);
    EXPECT_THROW(recordset.Item(1).SetValue(Variant::fromInt32(5)), DbError);
    EXPECT_THROW(recordset.Delete(), DbError);
    EXPECT_EQ(server->executed, QStringList { QStringLiteral("select k,n from r") });
}

TEST_F(UpdatableRecordsetTest, RowChangedByAnotherWriterIsAnErrorAndKeepsTheTableValue)
{
    m_rowsAffected = 0; // the WHERE clause found no row as it was read
    FakeResult stored;
    stored.fields = FakeServer::fieldsOf({ { QStringLiteral("d1"), DataType::VarWChar },
        { QStringLiteral("d21"), DataType::Numeric }, { QStringLiteral("d51"), DataType::LongVarBinary },
        { QStringLiteral("d60"), DataType::Numeric } });
    stored.rows = { { text("theirs"), number(5), Variant::null(), number(1) } };
    m_server->answers.insert(QStringLiteral("SELECT d1,d21,NULL,d60 FROM inquiry WHERE d60 IN (1)"), stored);
    m_recordset.Item(0).SetValue(text("mine"));
    try {
        m_recordset.UpdateBatch();
        FAIL() << "the collision went unnoticed";
    } catch (const DbError& error) {
        EXPECT_EQ(error.code(), DbError::RowConflict);
    }
    // The record is read again, so that it shows what the other writer stored.
    EXPECT_EQ(m_recordset.Item(0).Value(), text("theirs"));

    // Moving off an edited row writes it, and a collision stops the move.
    m_recordset.Item(0).SetValue(text("mine again"));
    EXPECT_THROW(m_recordset.MoveNext(), DbError);
    EXPECT_EQ(m_recordset.AbsolutePosition(), 1);
}

TEST_F(UpdatableRecordsetTest, DeleteRemovesTheRowOnlyWhenItWasFoundAsRead)
{
    m_rowsAffected = 0;
    EXPECT_THROW(m_recordset.Delete(Recordset::AffectCurrent), DbError);
    EXPECT_EQ(lastStatement(), QStringLiteral("DELETE FROM inquiry WHERE d60 = 1 AND d1 = N'a' AND d21 = 5"));
    EXPECT_EQ(m_recordset.RecordCount(), 2);

    m_rowsAffected = 1;
    m_recordset.Delete();
    EXPECT_EQ(m_recordset.RecordCount(), 1);
    EXPECT_EQ(m_recordset.Item(0).Value(), text("b")); // the cursor sits on the next record
    m_recordset.Delete();
    EXPECT_TRUE(m_recordset.BOF());
    EXPECT_TRUE(m_recordset.EndOfFile());
}

TEST_F(UpdatableRecordsetTest, AddNewStoresTheRowAtOnceAndReadsItBack)
{
    m_recordset.AddNew(QStringLiteral("d1"), text(""));
    const QStringList executed = m_server->executed.mid(m_server->executed.size() - 3);
    EXPECT_EQ(executed,
        (QStringList { QStringLiteral("INSERT INTO inquiry (d1) VALUES (N'')"),
            QStringLiteral("SELECT @@IDENTITY"),
            QStringLiteral("SELECT d1,d21,d51,d60 FROM inquiry WHERE d60 = 7") }));
    EXPECT_EQ(m_recordset.RecordCount(), 3);
    EXPECT_EQ(m_recordset.AbsolutePosition(), 3);

    // The new row can be edited in place by its key.
    m_recordset.Item(1).SetValue(Variant::fromDecimal(Decimal { 1250, 2 }));
    m_recordset.UpdateBatch();
    EXPECT_EQ(lastStatement(),
        QStringLiteral("UPDATE inquiry SET d21 = 12.50 WHERE d60 = 7 AND d1 = N'' AND d21 IS NULL"));
    EXPECT_THROW(m_recordset.AddNew(QStringList { QStringLiteral("d1") }, {}), DbError);
    EXPECT_THROW(m_recordset.AddNew(QStringLiteral("nope"), text("x")), DbError);
}

TEST_F(UpdatableRecordsetTest, DataControlStatementIsRecordedAsTheScreenWroteIt)
{
    StatementRecorder::start();
    Recordset other = Recordset::create();
    other.Open(QStringLiteral("select d1,d21,d51 from inquiry where d1 like '%'"), m_connection);
    EXPECT_EQ(StatementRecorder::statements(),
        QStringList { QStringLiteral("select d1,d21,d51 from inquiry where d1 like '%'") });
    StatementRecorder::stop();
}

TEST_F(UpdatableRecordsetTest, OtherStatementsGiveReadOnlyRecordsets)
{
    FakeResult joined;
    joined.fields = FakeServer::fieldsOf({ { QStringLiteral("d1"), DataType::VarWChar } });
    joined.rows = { { text("x") } };
    m_server->answers.insert(QStringLiteral("select distinct d1 from inquiry"), joined);
    m_server->answers.insert(
        QStringLiteral("select d1 from inquiry a join contrast b on a.d1=b.engl"), joined);
    m_server->answers.insert(QStringLiteral("select chna from contrast"), joined);
    for (const char* statement : { "select distinct d1 from inquiry",
             "select d1 from inquiry a join contrast b on a.d1=b.engl", "select chna from contrast" }) {
        Recordset rs = Recordset::create();
        rs.Open(QString::fromLatin1(statement), m_connection);
        EXPECT_FALSE(rs.isUpdatable()) << statement;
        EXPECT_THROW(rs.Item(0).SetValue(text("y")), DbError) << statement;
    }
}

TEST(SqlLiteralTest, ValuesAreEscaped)
{
    EXPECT_EQ(SqlLiteral::value(Variant::null()), QStringLiteral("NULL"));
    EXPECT_EQ(
        SqlLiteral::value(Variant::fromString(QStringLiteral("it's ''"))), QStringLiteral("N'it''s '''''"));
    EXPECT_EQ(SqlLiteral::value(Variant::fromBytes(QByteArray())), QStringLiteral("0x"));
    EXPECT_EQ(SqlLiteral::value(Variant::fromInt16(-3)), QStringLiteral("-3"));
    EXPECT_EQ(SqlLiteral::value(Variant::fromBoolean(true)), QStringLiteral("1"));
    EXPECT_EQ(SqlLiteral::value(Variant::fromDouble(0.1)), QStringLiteral("0.10000000000000001E0"));
    EXPECT_EQ(SqlLiteral::value(Variant::fromDouble(1e300)), QStringLiteral("1.0000000000000001E+300"));
    EXPECT_EQ(SqlLiteral::value(Variant::fromDateTime(QDateTime(QDate(2024, 1, 31), QTime(8, 5, 9, 7)))),
        QStringLiteral("'2024-01-31T08:05:09.007'"));
    EXPECT_THROW(SqlLiteral::value(Variant::fromDouble(std::numeric_limits<double>::infinity())), DbError);
    EXPECT_EQ(SqlLiteral::identifier(QStringLiteral("d1")), QStringLiteral("d1"));
    EXPECT_EQ(SqlLiteral::identifier(QStringLiteral("my col]")), QStringLiteral("[my col]]]"));
}

TEST(SelectStatementTest, FindsTheOneTableAndTheSelectList)
{
    const SelectStatement plain = SelectStatement::parse(QStringLiteral(
        "select d1,[d 2], t.d3, d4 as x, 'from' from dbo.[inquiry] where d1 like '%' order by d1"));
    ASSERT_TRUE(plain.isSingleTable());
    EXPECT_EQ(plain.table(), QStringLiteral("dbo.[inquiry]"));
    EXPECT_EQ(plain.tableName(), QStringLiteral("inquiry"));
    EXPECT_EQ(plain.items().size(), 5);
    EXPECT_EQ(plain.itemColumn(0), QStringLiteral("d1"));
    EXPECT_EQ(plain.itemColumn(1), QStringLiteral("d 2"));
    EXPECT_EQ(plain.itemColumn(2), QStringLiteral("d3"));
    EXPECT_EQ(plain.itemColumn(3), QString());
    EXPECT_EQ(plain.itemColumn(4), QString());
    EXPECT_EQ(plain.withExtraColumns({ QStringLiteral("d60") }),
        QStringLiteral(
            "select d1,[d 2], t.d3, d4 as x, 'from',d60 from dbo.[inquiry] where d1 like '%' order by d1"));

    const SelectStatement star = SelectStatement::parse(QStringLiteral("SELECT * FROM contrast"));
    EXPECT_TRUE(star.isSingleTable());
    EXPECT_TRUE(star.selectsAllColumns());

    for (const char* other : { "select d1 from inquiry, contrast",
             "select d1 from inquiry i join contrast c on 1=1", "select count(*) from inquiry group by d1",
             "select d1 from a union select d1 from b", "select top 5 d1 from inquiry",
             "update inquiry set d1 = 1", "select d1 from inquiry; drop table inquiry", "select 1",
             // Another statement after the select, which may move the writes elsewhere.
             "select id, name from t1 where id = 1 use two",
             "select d1 from inquiry order by d1 set rowcount 1",
             "select d1 from inquiry where d1 = 'x' exec sp_who",
             "select d1 from inquiry where 1=1 declare @a int",
             "select d1 from inquiry where d1 = 'x' insert inquiry(d1) values('y')",
             "select d1 from inquiry where d1 = 'x'\ngo" })
        EXPECT_FALSE(SelectStatement::parse(QString::fromLatin1(other)).isSingleTable()) << other;
    EXPECT_TRUE(SelectStatement::parse(
        QStringLiteral("select d1 from inquiry where d2 in (select d2 from t union select 1)"))
                    .isSingleTable());
}

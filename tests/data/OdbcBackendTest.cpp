#include "tests/support/TempWorkspace.h"

#include "data/Command.h"
#include "data/Connection.h"
#include "data/DbError.h"
#include "data/OdbcBackend.h"
#include "data/OdbcCursor.h"
#include "data/Recordset.h"

#include <gtest/gtest.h>
#include <sqlext.h>

using namespace glimora::data;

namespace {

// Debian's SQLite ODBC driver, registered with odbcinst as "SQLite3", stands in for a
// server: the backend is the same whatever driver is behind it.
class OdbcBackendTest : public ::testing::Test
{
protected:
    OdbcBackendTest()
        : m_backend(OdbcBackend::create())
    {
        m_session = m_backend->open(connectionString(), 5);
    }

    QString connectionString() const
    {
        return QStringLiteral("Driver={SQLite3};Database=") + m_workspace.filePath(QStringLiteral("odbc.db"));
    }

    void run(const QString& statement) { m_session->execute(statement, 5); }

    QList<QList<Variant>> rowsOf(const QString& statement, QList<FieldInfo>* fields = nullptr)
    {
        ExecuteResult result = m_session->execute(statement, 5);
        QList<QList<Variant>> rows;
        if (!result.cursor)
            return rows;
        if (fields)
            *fields = result.cursor->fields();
        QList<Variant> row;
        while (result.cursor->fetchRow(row))
            rows.append(row);
        return rows;
    }

    TempWorkspace m_workspace;
    std::shared_ptr<Backend> m_backend;
    std::unique_ptr<BackendSession> m_session;
};

} // namespace

TEST(OdbcTypeTest, SqlServerTypesGetTheCodesTheScreensCompare)
{
    EXPECT_EQ(int(OdbcCursor::adoType(SQL_DECIMAL)), 131);
    EXPECT_EQ(int(OdbcCursor::adoType(SQL_NUMERIC)), 131);
    EXPECT_EQ(int(OdbcCursor::adoType(SQL_TYPE_TIMESTAMP)), 135);
    EXPECT_EQ(int(OdbcCursor::adoType(SQL_WVARCHAR)), 202);
    EXPECT_EQ(int(OdbcCursor::adoType(SQL_WLONGVARCHAR)), 203);
    EXPECT_EQ(int(OdbcCursor::adoType(SQL_VARCHAR)), 200);
    EXPECT_EQ(int(OdbcCursor::adoType(SQL_LONGVARBINARY)), 205);
    EXPECT_EQ(int(OdbcCursor::adoType(SQL_INTEGER)), 3);
    EXPECT_EQ(int(OdbcCursor::adoType(SQL_REAL)), 4);
}

TEST_F(OdbcBackendTest, DescribesColumnsAndReadsValues)
{
    // The SQLite driver knows no decimal or wide types; it reports numeric as double.
    run(QStringLiteral("create table inquiry (d1 nvarchar(255), d16 datetime, d21 numeric(18,2), n integer, "
                       "f float, s smallint, t text, pic longvarbinary, b bit, d60 integer primary key)"));
    run(QStringLiteral(
        "insert into inquiry values ('北京 ', '2024-03-09 07:30:15', 12.5, 42, 2.25, 7, 'abc', "
        "X'00ff10', 1, 1)"));
    run(QStringLiteral("insert into inquiry (d60) values (2)"));

    QList<FieldInfo> fields;
    const QList<QList<Variant>> rows = rowsOf(
        QStringLiteral("select d1, d16, d21, n, f, s, t, pic, b, d60 from inquiry order by d60"), &fields);
    ASSERT_EQ(fields.size(), 10);
    EXPECT_EQ(fields[0].name, QStringLiteral("d1"));
    const QList<DataType> types { DataType::VarChar, DataType::DBTimeStamp, DataType::Double,
        DataType::Integer, DataType::Double, DataType::SmallInt, DataType::LongVarChar,
        DataType::LongVarBinary, DataType::Boolean };
    for (int i = 0; i < types.size(); ++i)
        EXPECT_EQ(fields[i].type, types[i]) << i;

    ASSERT_EQ(rows.size(), 2);
    const QList<Variant>& row = rows[0];
    EXPECT_EQ(row[0], Variant::fromString(QStringLiteral("北京 ")));
    EXPECT_EQ(row[1].toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
        QStringLiteral("2024-03-09 07:30:15"));
    EXPECT_EQ(row[2], Variant::fromDouble(12.5));
    EXPECT_EQ(row[3], Variant::fromInt32(42));
    EXPECT_EQ(row[5], Variant::fromInt16(7));
    EXPECT_EQ(row[6], Variant::fromString(QStringLiteral("abc")));
    EXPECT_EQ(row[7], Variant::fromBytes(QByteArray("\x00\xff\x10", 3)));
    EXPECT_EQ(row[8], Variant::fromBoolean(true));
    for (int i = 0; i < 9; ++i)
        EXPECT_TRUE(rows[1][i].isNull()) << i;
}

TEST_F(OdbcBackendTest, ReadsLongValuesWhole)
{
    run(QStringLiteral("create table big (t text, b blob)"));
    const QString longText = QString(20000, QChar(0x4e2d)) + QStringLiteral("end");
    QByteArray bytes(30000, '\0');
    for (int i = 0; i < bytes.size(); ++i)
        bytes[i] = char(i % 251);
    run(QStringLiteral("insert into big values ('") + longText + QStringLiteral("', X'")
        + QString::fromLatin1(bytes.toHex()) + QStringLiteral("')"));
    const QList<QList<Variant>> rows = rowsOf(QStringLiteral("select t, b from big"));
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows[0][0].toString(), longText);
    EXPECT_EQ(rows[0][1].toBytes(), bytes);
}

TEST_F(OdbcBackendTest, ReportsRowsAffectedAndPrimaryKeys)
{
    run(QStringLiteral("create table contrast (chna varchar(50), nober int not null primary key)"));
    run(QStringLiteral("insert into contrast values ('a', 1)"));
    run(QStringLiteral("insert into contrast values ('b', 2)"));
    ExecuteResult updated = m_session->execute(QStringLiteral("update contrast set chna = 'c'"), 5);
    EXPECT_FALSE(updated.cursor);
    EXPECT_EQ(updated.rowsAffected, 2);
    EXPECT_EQ(
        m_session->execute(QStringLiteral("update contrast set chna = 'd' where nober = 9"), 5).rowsAffected,
        0);
    EXPECT_EQ(
        m_session->primaryKeyColumns(QStringLiteral("contrast")), QStringList { QStringLiteral("nober") });
    run(QStringLiteral("create table username (uname varchar(20))"));
    EXPECT_TRUE(m_session->primaryKeyColumns(QStringLiteral("username")).isEmpty());
}

TEST_F(OdbcBackendTest, DiagnosticsBecomeDbErrorDescriptions)
{
    try {
        run(QStringLiteral("select * from missing_table"));
        FAIL();
    } catch (const DbError& error) {
        EXPECT_EQ(error.code(), DbError::ProviderFailure);
        EXPECT_TRUE(error.description().contains(QStringLiteral("no such table"))) << error.what();
    }
    try {
        m_backend->open(QStringLiteral("Driver={No Such Driver};Server=x"), 1);
        FAIL();
    } catch (const DbError& error) {
        EXPECT_FALSE(error.description().isEmpty());
    }
}

TEST_F(OdbcBackendTest, RecordsetsOverOdbcReadLazilyAndStayCompleteAcrossBatches)
{
    run(QStringLiteral("create table numbers (n integer)"));
    run(QStringLiteral("with recursive c(x) as (select 1 union all select x + 1 from c where x < 500) "
                       "insert into numbers select x from c"));
    Connection connection = Connection::create();
    connection.Open(connectionString(), m_backend);
    Command command = Command::create();
    command.SetActiveConnection(connection);
    command.SetCommandText(QStringLiteral("select n from numbers order by n"));
    Recordset first = command.Execute();
    EXPECT_EQ(first.fetchedRecordCount(), 1);
    command.SetCommandText(QStringLiteral("select count(*) from numbers"));
    Recordset count = command.Execute();
    EXPECT_EQ(count.Item(0).Value().toInt64(), 500);
    EXPECT_EQ(first.RecordCount(), 500);
    first.MoveLast();
    EXPECT_EQ(first.Item(QStringLiteral("n")).Value(), Variant::fromInt32(500));
    connection.Close();
    first.MovePrevious();
    EXPECT_EQ(first.Item(0).Value(), Variant::fromInt32(499));
}

#include "data/DbError.h"
#include "data/OdbcBackend.h"
#include "engine/server/EmbeddedBackend.h"
#include "engine/tds/TdsLogin.h"
#include "tests/engine/EngineTestSupport.h"

#include <gtest/gtest.h>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <sql.h>
#include <sqlext.h>

using namespace glimora;
using engine::test::Rows;
using engine::test::run;

namespace {

const char* const EveryType
    = "create table kinds(n nvarchar(20) null, v varchar(20) null, i int null, b bigint null, f bit null,"
      " x float null, r real null, d decimal(18,2) null, m money null, dt datetime null,"
      " sd smalldatetime null, p image null, vb varbinary(max) null, k int not null)"
      " insert kinds values(N'内科é', '名称', -7, 9000000000, 1, 1.5, 0.25, 1234567890123456.78, -12.3456,"
      " '2024-02-29 13:45:10.123', '2024-02-29 13:45', 0x89504E470D0A, 0x0001, 1)"
      " insert kinds values(null, null, null, null, null, null, null, null, null, null, null, null, null, 2)";

// glimora-server on a free loopback port over a fresh folder, for one test.
class GlimoraServerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_directory.isValid());
        m_server.setProcessChannelMode(QProcess::SeparateChannels);
        m_server.start(QStringLiteral(GLIMORA_SERVER_PATH),
            { QStringLiteral("--data-dir"), dataDirectory(), QStringLiteral("--listen"),
                QStringLiteral("127.0.0.1:0"), QStringLiteral("--max-sessions"), QStringLiteral("8") });
        ASSERT_TRUE(m_server.waitForStarted(10000));
        while (!m_server.canReadLine())
            ASSERT_TRUE(m_server.waitForReadyRead(10000)) << m_server.readAllStandardError().toStdString();
        const QString line = QString::fromUtf8(m_server.readLine()).trimmed();
        m_port = line.section(u':', -1).toInt();
        ASSERT_GT(m_port, 0) << line.toStdString();
    }

    void TearDown() override
    {
        m_server.terminate();
        if (!m_server.waitForFinished(10000))
            m_server.kill();
    }

    QString dataDirectory() const { return m_directory.filePath(QStringLiteral("sqldata")); }

    // Whether the server's log holds `text`, waiting a while for it to arrive.
    bool serverLogged(const QString& text)
    {
        m_server.setReadChannel(QProcess::StandardError);
        for (int attempt = 0; attempt < 20; ++attempt) {
            m_log += QString::fromUtf8(m_server.readAllStandardError());
            if (m_log.contains(text))
                return true;
            m_server.waitForReadyRead(250);
        }
        return false;
    }

    QString odbc(const QString& user, const QString& password, const QString& database = QString()) const
    {
        return QStringLiteral(
            "Driver={SQL Server};Server=127.0.0.1;Port=%1;TDS_Version=7.4;ClientCharset=UTF-8;"
            "Database=%2;Uid=%3;pwd=%4")
            .arg(m_port)
            .arg(database, user, password);
    }

    std::unique_ptr<data::BackendSession> overTds(const QString& database = QString())
    {
        return m_odbc.open(odbc(QStringLiteral("sa"), QStringLiteral("Secret1"), database), 10);
    }

    // The same folder opened in this process, as a station on the server's own computer does.
    std::unique_ptr<data::BackendSession> embedded(const QString& database)
    {
        if (!m_embedded)
            m_embedded = std::make_unique<engine::EmbeddedBackend>(dataDirectory());
        return m_embedded->open(
            engine::test::connectionString(QStringLiteral("sa"), QStringLiteral("Secret1"), database), 10);
    }

    struct TsqlRun
    {
        QString out;
        QString err;
    };
    // tsql by host and port, or by a server entry of its own configuration when `encryption` is set.
    TsqlRun tsql(const QString& password, const QByteArray& script, const QString& encryption = QString())
    {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("TDSVER"), QStringLiteral("7.4"));
        environment.insert(QStringLiteral("LANG"), QStringLiteral("C.UTF-8"));
        QStringList where { QStringLiteral("-H"), QStringLiteral("127.0.0.1"), QStringLiteral("-p"),
            QString::number(m_port) };
        if (!encryption.isEmpty()) {
            const QString configuration = m_directory.filePath(QStringLiteral("freetds.conf"));
            QFile file(configuration);
            EXPECT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(
                QStringLiteral("[glimora]\nhost = 127.0.0.1\nport = %1\ntds version = 7.4\nencryption = %2\n")
                    .arg(m_port)
                    .arg(encryption)
                    .toUtf8());
            file.close();
            environment.insert(QStringLiteral("FREETDSCONF"), configuration);
            where = QStringList { QStringLiteral("-S"), QStringLiteral("glimora") };
        }
        process.setProcessEnvironment(environment);
        process.start(QStringLiteral("tsql"),
            where
                + QStringList { QStringLiteral("-U"), QStringLiteral("sa"), QStringLiteral("-P"), password,
                    QStringLiteral("-o"), QStringLiteral("q") });
        EXPECT_TRUE(process.waitForStarted(10000));
        process.write(script);
        process.closeWriteChannel();
        EXPECT_TRUE(process.waitForFinished(30000));
        return { QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError()) };
    }

    QTemporaryDir m_directory;
    QProcess m_server;
    QString m_log;
    int m_port = 0;
    data::OdbcBackend m_odbc;
    std::unique_ptr<engine::EmbeddedBackend> m_embedded;
};

QByteArray packet(quint8 type, const QByteArray& payload)
{
    const int length = int(payload.size()) + 8;
    return QByteArray(1, char(type)) + QByteArray(1, '\x01') + char(length >> 8) + char(length)
        + QByteArray("\0\0\1\0", 4) + payload;
}

// The payload of the server's next whole answer.
QByteArray answer(QTcpSocket& socket)
{
    QByteArray payload;
    for (;;) {
        while (socket.bytesAvailable() < 8)
            if (!socket.waitForReadyRead(20000))
                return payload;
        const QByteArray header = socket.peek(8);
        const int length = (quint8(header[2]) << 8) | quint8(header[3]);
        while (socket.bytesAvailable() < length)
            if (!socket.waitForReadyRead(20000))
                return payload;
        payload += socket.read(length).mid(8);
        if (header[1] & 1)
            return payload;
    }
}

int loginError(data::Backend& backend, const QString& connection, QString* message)
{
    try {
        backend.open(connection, 10);
    } catch (const data::DbError& error) {
        *message = error.description();
        return error.nativeError();
    }
    return 0;
}

} // namespace

TEST_F(GlimoraServerTest, OdbcLogsInAndIsRefusedAsTheEmbeddedServerRefuses)
{
    auto session = overTds();
    EXPECT_EQ(session->currentDatabase(), QStringLiteral("master"));
    session.reset();
    QString message;
    EXPECT_EQ(loginError(m_odbc, odbc(QStringLiteral("sa"), QStringLiteral("wrong")), &message), 18456);
    EXPECT_TRUE(message.endsWith(QStringLiteral("Login failed for user 'sa'."))) << message.toStdString();
    EXPECT_EQ(loginError(m_odbc,
                  odbc(QStringLiteral("sa"), QStringLiteral("Secret1"), QStringLiteral("nope")), &message),
        4060);
}

TEST_F(GlimoraServerTest, EveryTypeAndItsNullReadsOverOdbcAsEmbedded)
{
    auto setup = overTds();
    run(*setup, QStringLiteral("create database nivo"));
    run(*setup, QStringLiteral("use nivo ") + QString::fromUtf8(EveryType));
    const QString select = QStringLiteral("select * from kinds order by k");
    const Rows wire = run(*overTds(QStringLiteral("nivo")), select);
    const Rows local = run(*embedded(QStringLiteral("nivo")), select);
    ASSERT_EQ(wire.rows.size(), 2);
    EXPECT_EQ(wire.rows, local.rows);
    ASSERT_EQ(wire.fields.size(), local.fields.size());
    for (qsizetype i = 0; i < wire.fields.size(); ++i) {
        SCOPED_TRACE(local.fields[i].name.toStdString());
        EXPECT_EQ(wire.fields[i].name, local.fields[i].name);
        EXPECT_EQ(int(wire.fields[i].type), int(local.fields[i].type));
        EXPECT_EQ(wire.fields[i].scale, local.fields[i].scale);
    }
    EXPECT_EQ(wire.rows[0][0], QStringLiteral("内科é"));
    EXPECT_EQ(wire.rows[0][7], QStringLiteral("1234567890123456.78"));
    EXPECT_EQ(wire.rows[1][0], QStringLiteral("NULL"));
}

TEST_F(GlimoraServerTest, ErrorsCountsAndSeveralStatementsOverOdbc)
{
    auto session = overTds();
    QString message;
    EXPECT_EQ(engine::test::errorOf(*session, QStringLiteral("select * from nope"), &message), 208);
    EXPECT_TRUE(message.endsWith(QStringLiteral("Invalid object name 'nope'."))) << message.toStdString();
    run(*session, QStringLiteral("create database nivo"));
    run(*session, QStringLiteral("use nivo"));
    EXPECT_EQ(session->currentDatabase(), QStringLiteral("nivo"));
    run(*session, QStringLiteral("create table t(a int, b nvarchar(10))"));
    EXPECT_EQ(run(*session, QStringLiteral("insert t values(1,'x'),(2,'y'),(3,'z')")).rowsAffected, 3);
    EXPECT_EQ(run(*session, QStringLiteral("update t set b='w' where a>1")).rowsAffected, 2);
    const Rows inserted
        = run(*session, QStringLiteral("insert t values(4,'v') select count(*) as n, max(a) from t"));
    EXPECT_EQ(inserted.rows, (QList<QStringList> { { QStringLiteral("4"), QStringLiteral("4") } }));
    // The session goes on after an error.
    EXPECT_EQ(engine::test::column(*session, QStringLiteral("select b from t where a=2")),
        QStringList { QStringLiteral("w") });
}

TEST_F(GlimoraServerTest, TsqlRunsQueriesAndSeesErrorsAndRefusals)
{
    run(*overTds(), QStringLiteral("create database nivo"));
    const TsqlRun ok = tsql(QStringLiteral("Secret1"),
        "use nivo\ngo\ncreate table t(a int, d decimal(10,3), s nvarchar(9))\ngo\n"
        "insert t values(1, -2.5, N'内'),(2, null, null)\ngo\n"
        "select a, d, s from t order by a\ngo\nselect * from missing\ngo\nexit\n");
    EXPECT_TRUE(ok.out.contains(QStringLiteral("1\t-2.500\t内"))) << ok.out.toStdString();
    EXPECT_TRUE(ok.out.contains(QStringLiteral("2\tNULL\tNULL"))) << ok.out.toStdString();
    EXPECT_TRUE((ok.out + ok.err).contains(QStringLiteral("Invalid object name 'missing'.")))
        << ok.err.toStdString();

    const TsqlRun refused = tsql(QStringLiteral("wrong"), "select 1\ngo\nexit\n");
    EXPECT_TRUE((refused.out + refused.err).contains(QStringLiteral("Login failed for user 'sa'.")))
        << refused.err.toStdString();

    // Until the server speaks TLS, a client that insists on it is turned away, and the log says why.
    const TsqlRun encrypted
        = tsql(QStringLiteral("Secret1"), "select 42\ngo\nexit\n", QStringLiteral("require"));
    EXPECT_FALSE(encrypted.out.contains(QStringLiteral("42"))) << encrypted.out.toStdString();
    EXPECT_TRUE((encrypted.out + encrypted.err).contains(QStringLiteral("connection failed")));
    EXPECT_TRUE(
        serverLogged(QStringLiteral("the client requires encryption, which this server does not offer yet")));
}

TEST_F(GlimoraServerTest, SessionsBeyondTheLimitAreTurnedAwayUntilOneCloses)
{
    std::vector<std::unique_ptr<data::BackendSession>> sessions;
    for (int i = 0; i < 8; ++i)
        sessions.push_back(overTds());
    EXPECT_THROW(overTds(), data::DbError);
    EXPECT_TRUE(serverLogged(QStringLiteral("8 sessions open")));
    sessions.pop_back();
    // The closed session's thread ends once it sees the connection gone.
    std::unique_ptr<data::BackendSession> again;
    for (int attempt = 0; attempt < 50 && !again; ++attempt) {
        try {
            again = overTds();
        } catch (const data::DbError&) {
            QThread::msleep(100);
        }
    }
    ASSERT_TRUE(again);
    EXPECT_EQ(engine::test::column(*again, QStringLiteral("select 1")), QStringList { QStringLiteral("1") });
}

TEST_F(GlimoraServerTest, GarbageAndStalledClientsCostOnlyTheirOwnSession)
{
    QTcpSocket garbage;
    garbage.connectToHost(QStringLiteral("127.0.0.1"), quint16(m_port));
    ASSERT_TRUE(garbage.waitForConnected(5000));
    garbage.write(QByteArray("\x12\x01\xFF\xFF\0\0\0\0garbage", 15)); // longer than any packet
    ASSERT_TRUE(garbage.waitForDisconnected(10000) || garbage.state() == QAbstractSocket::UnconnectedState);

    // A login that never ends (a password of 100 MB, say) is cut off at the login's cap.
    QTcpSocket endless;
    endless.connectToHost(QStringLiteral("127.0.0.1"), quint16(m_port));
    ASSERT_TRUE(endless.waitForConnected(5000));
    const QByteArray piece = QByteArray("\x10\x00\x10\x00\0\0\1\0", 8) + QByteArray(4088, 'p');
    for (int i = 0; i < 25600 && endless.state() == QAbstractSocket::ConnectedState; ++i) {
        endless.write(piece);
        endless.waitForBytesWritten(1000);
    }
    EXPECT_TRUE(endless.state() == QAbstractSocket::UnconnectedState || endless.waitForDisconnected(10000));
    EXPECT_TRUE(serverLogged(QStringLiteral("message longer than 65536 bytes")));

    QTcpSocket stalled;
    stalled.connectToHost(QStringLiteral("127.0.0.1"), quint16(m_port));
    ASSERT_TRUE(stalled.waitForConnected(5000));
    stalled.write(QByteArray("\x12\x00\x00\x20\0\0\0\0half", 12)); // half a packet, never finished
    stalled.flush();
    auto session = overTds();
    EXPECT_EQ(
        engine::test::column(*session, QStringLiteral("select 5")), QStringList { QStringLiteral("5") });
}

TEST(GlimoraServerOptionsTest, RefusesToListenOffLoopbackWithoutEncryption)
{
    QTemporaryDir directory;
    for (const char* address : { "0.0.0.0:1433", "192.0.2.1:0", "[::]:0" }) {
        QProcess server;
        server.start(QStringLiteral(GLIMORA_SERVER_PATH),
            { QStringLiteral("--data-dir"), directory.path(), QStringLiteral("--listen"),
                QString::fromLatin1(address) });
        ASSERT_TRUE(server.waitForFinished(10000)) << address;
        EXPECT_EQ(server.exitCode(), 2) << address;
        EXPECT_TRUE(QString::fromUtf8(server.readAllStandardError())
                        .contains(QStringLiteral("loopback address only")))
            << address;
    }
}

TEST_F(GlimoraServerTest, AttentionStopsARunningBatch)
{
    overTds().reset(); // sa's password is set by the first login
    QTcpSocket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), quint16(m_port));
    ASSERT_TRUE(socket.waitForConnected(5000));
    engine::tds::Login7 login;
    login.tdsVersion = 0x74000004;
    login.packetSize = 4096;
    login.userName = QStringLiteral("sa");
    login.password = QStringLiteral("Secret1");
    socket.write(packet(16, engine::tds::login7Payload(login)));
    ASSERT_TRUE(answer(socket).contains(QByteArray("\xAD", 1)));

    QByteArray batch("\x16\0\0\0\x12\0\0\0\x02\0\0\0\0\0\0\0\0\0\x01\0\0\0", 22);
    for (const QChar c : QStringLiteral("declare @i int set @i = 0 while 1 = 1 set @i = @i + 1"))
        batch += QByteArray(1, char(c.unicode())) + QByteArray(1, '\0');
    socket.write(packet(1, batch));
    // Still at work, so no answer; the attention then comes on its own, as a client's cancel.
    EXPECT_FALSE(socket.waitForReadyRead(500));
    socket.write(packet(6, {}));
    // The stopped batch's answer, then the acknowledgement of the attention.
    const QByteArray stopped = answer(socket);
    EXPECT_FALSE(stopped.contains(QByteArray("\xAA", 1)));
    EXPECT_EQ(answer(socket), QByteArray("\xFD\x20\x00\x00\x00\0\0\0\0\0\0\0\0", 13));
}

// FreeTDS sends a statement with bound parameters as sp_executesql, a prepared one as sp_prepexec
// and sp_execute.
TEST_F(GlimoraServerTest, BoundParametersTravelAsRpcRequests)
{
    overTds().reset(); // sa's password is set by the first login
    SQLHENV environment = SQL_NULL_HENV;
    SQLHDBC connection = SQL_NULL_HDBC;
    SQLHSTMT statement = SQL_NULL_HSTMT;
    ASSERT_TRUE(SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &environment)));
    SQLSetEnvAttr(environment, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    ASSERT_TRUE(SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_DBC, environment, &connection)));
    const QByteArray text = odbc(QStringLiteral("sa"), QStringLiteral("Secret1")).toUtf8();
    ASSERT_TRUE(SQL_SUCCEEDED(
        SQLDriverConnect(connection, nullptr, reinterpret_cast<SQLCHAR*>(const_cast<char*>(text.constData())),
            SQL_NTS, nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT)));
    ASSERT_TRUE(SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, connection, &statement)));
    SQLINTEGER number = 41;
    SQLLEN numberLength = 0;
    char name[] = "o'k";
    SQLLEN nameLength = SQL_NTS;
    SQLBindParameter(
        statement, 1, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0, &number, 0, &numberLength);
    SQLBindParameter(statement, 2, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR, 10, 0, name, 0, &nameLength);
    SQLCHAR query[] = "select ? + 1, ?";
    auto check = [&](SQLRETURN executed, int expected) {
        EXPECT_TRUE(SQL_SUCCEEDED(executed));
        SQLINTEGER result = 0;
        char resultName[16] = {};
        SQLLEN got = 0;
        if (SQL_SUCCEEDED(executed) && SQL_SUCCEEDED(SQLFetch(statement))) {
            SQLGetData(statement, 1, SQL_C_SLONG, &result, 0, &got);
            SQLGetData(statement, 2, SQL_C_CHAR, resultName, sizeof resultName, &got);
        }
        SQLCloseCursor(statement);
        EXPECT_EQ(result, expected);
        EXPECT_STREQ(resultName, "o'k");
    };
    check(SQLExecDirect(statement, query, SQL_NTS), 42);
    // Prepared once, run twice: sp_prepexec, then sp_execute with the handle it gave.
    ASSERT_TRUE(SQL_SUCCEEDED(SQLPrepare(statement, query, SQL_NTS)));
    check(SQLExecute(statement), 42);
    number = 99;
    check(SQLExecute(statement), 100);
    SQLFreeHandle(SQL_HANDLE_STMT, statement);
    SQLDisconnect(connection);
    SQLFreeHandle(SQL_HANDLE_DBC, connection);
    SQLFreeHandle(SQL_HANDLE_ENV, environment);
}

#include "FakeBackend.h"
#include "tests/support/NamedPipe.h"
#include "tests/support/TempWorkspace.h"

#include "data/BackendRouter.h"
#include "data/DbError.h"
#include "data/SharedDatabase.h"
#include "data/StatementRecorder.h"
#include "data/StatementTrace.h"
#include "data/ValueReaders.h"
#include "settings/SettingsFile.h"

#include <gtest/gtest.h>
#include <QElapsedTimer>
#include <QFile>
#include <QSysInfo>

using namespace glimora::data;
using namespace glimora::data::test;

namespace {

class SharedDatabaseTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        SharedDatabase::releaseObjects();
        FakeResult catalogue;
        catalogue.fields = FakeServer::fieldsOf({ { QStringLiteral("engl"), DataType::VarChar },
            { QStringLiteral("withe"), DataType::Integer } });
        catalogue.rows = { { Variant::fromString(QStringLiteral("d1 ")), Variant::fromInt32(80) } };
        m_server->answers.insert(QStringLiteral("select engl,withe from contrast"), catalogue);
        BackendRouter::setOdbcBackend(std::make_shared<FakeBackend>(m_server));
    }

    void TearDown() override
    {
        StatementRecorder::stop();
        SharedDatabase::releaseObjects();
        BackendRouter::setOdbcBackend(nullptr);
        BackendRouter::setEmbeddedBackend(nullptr);
    }

    TempWorkspace m_workspace; // no uinfo.ini: the settings take their defaults
    std::shared_ptr<FakeServer> m_server = std::make_shared<FakeServer>();
};

} // namespace

TEST_F(SharedDatabaseTest, ObjectsAreUnsetUntilCreated)
{
    EXPECT_THROW(SharedDatabase::connection().State(), DbError);
    EXPECT_THROW(SharedDatabase::command().Execute(), DbError);
    try {
        ValueText(0);
        FAIL();
    } catch (const DbError& error) {
        EXPECT_EQ(error.code(), DbError::InvalidPointer);
    }
    SharedDatabase::createObjects();
    EXPECT_EQ(SharedDatabase::connection().State(), Connection::StateClosed);
    EXPECT_EQ(SharedDatabase::recordset().State(), Recordset::StateClosed);
}

TEST_F(SharedDatabaseTest, StatementsAreRecordedAndRowsReadThroughTheSharedObjects)
{
    SharedDatabase::createObjects();
    Connection& connection = SharedDatabase::connection();
    connection.SetConnectionTimeout(5);
    connection.SetCommandTimeout(5);
    connection.Open(QStringLiteral("Driver={SQL Server};Server=FAR;Database=;Uid=sa;pwd=x"));
    EXPECT_EQ(m_server->connectionStrings,
        QStringList { QStringLiteral("Driver={SQL Server};Server=FAR;Database=;Uid=sa;pwd=x") });
    SharedDatabase::command().SetActiveConnection(connection);

    StatementRecorder::start();
    SharedDatabase::command().SetCommandText(QStringLiteral("select engl,withe from contrast"));
    SharedDatabase::setRecordset(SharedDatabase::command().Execute());
    SharedDatabase::command().SetCommandText(QStringLiteral("update contrast set withe=1 where engl='it's'"));
    EXPECT_NO_THROW(SharedDatabase::command().Execute());
    EXPECT_EQ(StatementRecorder::statements(),
        (QStringList { QStringLiteral("select engl,withe from contrast"),
            QStringLiteral("update contrast set withe=1 where engl='it's'") }));

    EXPECT_EQ(ValueText(0), QStringLiteral("d1"));
    EXPECT_EQ(ValueText(QStringLiteral("withe")), QStringLiteral("80.000000"));
    EXPECT_DOUBLE_EQ(ValueNumber(1), 80);

    Recordset previous = SharedDatabase::recordset();
    SharedDatabase::setRecordset(Recordset::create());
    EXPECT_EQ(previous.State(), Recordset::StateClosed);
}

TEST(BackendRouterTest, ChoosesByServerNameAndSettings)
{
    using Route = BackendRouter::Route;
    const QString host = QSysInfo::machineHostName();
    EXPECT_EQ(BackendRouter::route(host.toUpper(), QString(), QStringLiteral("auto")), Route::Embedded);
    for (const char* local : { "(LOCAL)", ".", "LOCALHOST", "(local)" })
        EXPECT_EQ(BackendRouter::route(QString::fromLatin1(local), QString(), QStringLiteral("auto")),
            Route::Embedded)
            << local;
    EXPECT_EQ(BackendRouter::route(QStringLiteral("DBHOST"), QString(), QStringLiteral("auto")), Route::Odbc);
    EXPECT_EQ(
        BackendRouter::route(QStringLiteral("(LOCAL)"), QStringLiteral("DSN=x"), QStringLiteral("auto")),
        Route::Odbc);
    EXPECT_EQ(
        BackendRouter::route(QStringLiteral("(LOCAL)"), QString(), QStringLiteral("odbc")), Route::Odbc);
    EXPECT_EQ(
        BackendRouter::route(QStringLiteral("DBHOST"), QStringLiteral("DSN=x"), QStringLiteral("embedded")),
        Route::Embedded);
}

TEST_F(SharedDatabaseTest, EmbeddedServerThatIsNotRegisteredFailsClearly)
{
    glimora::settings::WriteSetting(
        QStringLiteral("system"), QStringLiteral("engine"), QStringLiteral("embedded"));
    Connection connection = Connection::create();
    try {
        connection.Open(QStringLiteral("Driver={SQL Server};Server=FAR;Database=;Uid=sa;pwd=x"));
        FAIL();
    } catch (const DbError& error) {
        EXPECT_TRUE(error.description().contains(QStringLiteral("embedded server"))) << error.what();
    }
    EXPECT_TRUE(m_server->connectionStrings.isEmpty());

    auto embedded = std::make_shared<FakeServer>();
    setEmbeddedBackend(std::make_shared<FakeBackend>(embedded));
    connection.Open(QStringLiteral("Driver={SQL Server};Server=FAR;Database=;Uid=sa;pwd=x"));
    EXPECT_EQ(embedded->connectionStrings.size(), 1);
    EXPECT_THROW(connection.Open(QStringLiteral("again")), DbError); // already open
}

// Logins and password changes carry passwords in their text: the trace, a file that outlives
// the run, names the statement's kind only, as SQL Server's own traces do.
TEST_F(SharedDatabaseTest, TheTraceNeverHoldsAPassword)
{
    glimora::settings::setSettingsDirectory(m_workspace.path());
    m_workspace.writeFile(QStringLiteral("uinfo.ini"), "[system]\ntrace=trace.log\n");
    StatementTrace::sent(
        QStringLiteral("Exec sp_addlogin 'ann','hqvxnd',nivo,NULL Exec sp_adduser 'ann',NULL,"
                       "db_owner Exec sp_password  'hqvxnd','Ann-Secret','ann'"),
        10, -1);
    StatementTrace::failed(QStringLiteral("EXEC SP_PASSWORD 'Old-Secret','New-Secret'"), 10, 15211);
    StatementTrace::sent(QStringLiteral("alter login ann with password = 'Ann-Secret'"), 10, -1);
    StatementTrace::sent(QStringLiteral("select d1 from inquiry"), 10, -1);
    const QStringList lines = QString::fromUtf8(m_workspace.readFile(QStringLiteral("trace.log")))
                                  .split('\n', Qt::SkipEmptyParts);
    glimora::settings::setSettingsDirectory(QString());
    ASSERT_EQ(lines.size(), 4);
    const QString replaced = QStringLiteral(
        "\t-- '%1' was found in the text of this event. The text has been replaced with this comment for "
        "security reasons.");
    EXPECT_TRUE(lines[0].endsWith(replaced.arg(QStringLiteral("sp_password")))) << lines[0].toStdString();
    EXPECT_TRUE(lines[1].endsWith(replaced.arg(QStringLiteral("sp_password")))) << lines[1].toStdString();
    EXPECT_TRUE(lines[2].endsWith(replaced.arg(QStringLiteral("password")))) << lines[2].toStdString();
    EXPECT_TRUE(lines[3].endsWith(QStringLiteral("\tselect d1 from inquiry")));
    EXPECT_TRUE(lines[1].contains(QStringLiteral("\terror 15211\t")));
    // Who may read the trace is the administrator's choice; a new one is his alone.
    EXPECT_EQ(QFile::permissions(m_workspace.filePath(QStringLiteral("trace.log")))
            & (QFileDevice::ReadGroup | QFileDevice::ReadOther),
        QFileDevice::Permissions());
}

// A pipe named as the trace would hold every statement until someone reads it.
TEST_F(SharedDatabaseTest, APipeNamedAsTheTraceIsSkipped)
{
    glimora::settings::setSettingsDirectory(m_workspace.path());
    m_workspace.writeFile(QStringLiteral("uinfo.ini"), "[system]\ntrace=trace.pipe\n");
    const NamedPipe pipe(m_workspace.filePath(QStringLiteral("trace.pipe")), NamedPipe::Release::Writers);
    ASSERT_TRUE(pipe.isMade());
    QElapsedTimer timer;
    timer.start();
    StatementTrace::sent(QStringLiteral("select d1 from inquiry"), 10, -1);
    EXPECT_LT(timer.elapsed(), 1000);
    glimora::settings::setSettingsDirectory(QString());
}

// Every screen reopens the shared connection the same way: the `connect` template filled
// from the login values; a value the string cannot carry leaves the open connection alone.
TEST_F(SharedDatabaseTest, ReopenFillsTheConnectTemplateAndKeepsTheConnectionOnARefusedValue)
{
    SharedDatabase::createObjects();
    glimora::settings::WriteSetting(QStringLiteral("system"), QStringLiteral("connect"),
        QStringLiteral("DSN=x;UID=????;PWD=???;DATABASE=?"));
    LoginValues& login = SharedDatabase::login();
    login.userName = QStringLiteral("u");
    login.password = QStringLiteral("p;w");
    SharedDatabase::reopen(QStringLiteral("nivo"));
    EXPECT_EQ(login.connectionString, QStringLiteral("DSN=x;UID=u;PWD={p;w};DATABASE=nivo"));
    EXPECT_EQ(SharedDatabase::connection().State(), Connection::StateOpen);

    login.password = QStringLiteral("{p;w}");
    EXPECT_THROW(SharedDatabase::reopen(QStringLiteral("nivo")), DbError);
    EXPECT_EQ(SharedDatabase::connection().State(), Connection::StateOpen);
    EXPECT_EQ(login.connectionString, QStringLiteral("DSN=x;UID=u;PWD={p;w};DATABASE=nivo"));
}

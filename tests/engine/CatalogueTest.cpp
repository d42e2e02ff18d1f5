#include "tests/engine/EngineTestSupport.h"
#include "tests/support/WaitFor.h"

#include "engine/server/Catalogue.h"

#include <atomic>
#include <QFile>
#include <sqlite3.h>
#include <thread>

using namespace glimora;
using namespace glimora::engine::test;

namespace {

int loginError(engine::EmbeddedBackend& backend, const QString& connection, QString* message = nullptr)
{
    try {
        backend.open(connection, 5);
    } catch (const data::DbError& error) {
        if (message)
            *message = error.description();
        return error.nativeError();
    }
    return 0;
}

void execute(const QString& path, const char* sql)
{
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(path).constData(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    sqlite3_close(db);
}

QStringList databaseFiles(const QString& folder)
{
    return QDir(folder).entryList({ "*.sqlite" }, QDir::Files, QDir::Name);
}

} // namespace

// A server with a database shop, a user bob in it and a backup of it in the backup folder.
class CatalogueTest : public ServerTest
{
protected:
    void SetUp() override
    {
        ServerTest::SetUp();
        auto sa = connect();
        run(*sa,
            "create database shop use shop create table secret(s nvarchar(50)) insert secret values('kept')"
            " Exec sp_addlogin 'bob','pw',shop,NULL Exec sp_adduser 'bob',NULL,db_datareader"
            " backup database shop to disk='shop.dbk' with init");
    }

    QString cataloguePath() const { return dataDirectory() + "/catalogue.sqlite"; }

    // Stops this process's server, so that its files may be handled as another user would.
    void stopServer() { m_backend.reset(); }
};

TEST_F(CatalogueTest, ALostCatalogueIsNeverAFreshServer)
{
    stopServer();
    const QString saved = m_directory.filePath("catalogue.saved");
    ASSERT_TRUE(QFile::copy(cataloguePath(), saved));
    const QList<std::pair<const char*, std::function<void()>>> damages = {
        { "moved away", [&] { QFile::remove(cataloguePath()); } },
        { "emptied", [&] { QFile(cataloguePath()).resize(0); } },
        { "logins deleted", [&] { execute(cataloguePath(), "DELETE FROM logins"); } },
    };
    for (const auto& [name, damage] : damages) {
        SCOPED_TRACE(name);
        for (const char* side : { "-wal", "-shm" })
            QFile::remove(cataloguePath() + side);
        damage();
        engine::EmbeddedBackend server(dataDirectory());
        QString message;
        EXPECT_EQ(loginError(server, connectionString("sa", "anything"), &message), 17204);
        EXPECT_TRUE(message.contains(QDir(dataDirectory()).absolutePath())) << message.toStdString();
        EXPECT_TRUE(message.contains("--recover-catalogue")) << message.toStdString();
        EXPECT_EQ(loginError(server, connectionString("bob", "pw")), 17204);
        // Nothing was made beside the old files.
        EXPECT_EQ(databaseFiles(dataDirectory()),
            (QStringList { "catalogue.sqlite", "master.sqlite", "shop.sqlite" }));
        QFile::remove(cataloguePath());
        ASSERT_TRUE(QFile::copy(saved, cataloguePath()));
    }
    engine::EmbeddedBackend server(dataDirectory());
    EXPECT_EQ(loginError(server, connectionString("sa", "Secret1")), 0);
}

TEST_F(CatalogueTest, RecoveryIsTheAdministratorsExplicitStep)
{
    stopServer();
    QFile::remove(cataloguePath());
    EXPECT_EQ(engine::Catalogue(dataDirectory()).recover("New-sa-1"), (QStringList { "master", "shop" }));
    EXPECT_EQ(
        databaseFiles(dataDirectory()), (QStringList { "catalogue.sqlite", "master.sqlite", "shop.sqlite" }));
    m_backend = std::make_unique<engine::EmbeddedBackend>(dataDirectory());
    EXPECT_EQ(loginError(*m_backend, connectionString("sa", "Secret1")), 18456);
    EXPECT_EQ(column(*connect("sa", "New-sa-1"), "use shop select s from secret"), QStringList { "kept" });
    // Logins are not in any database file: bob is gone, and a new bob is not the old user.
    EXPECT_EQ(loginError(*m_backend, connectionString("bob", "pw")), 18456);
    run(*connect("sa", "New-sa-1"), "Exec sp_addlogin 'bob','pw',master");
    EXPECT_EQ(errorOf(*connect("bob", "pw"), "use shop"), 916);
    try {
        engine::Catalogue(dataDirectory()).recover("Again-1");
        ADD_FAILURE() << "a usable catalogue was rebuilt";
    } catch (const engine::ServerError& error) {
        EXPECT_EQ(error.number(), 17204);
    }
}

TEST_F(CatalogueTest, FilesOfAnEarlierVersionKeepTheirUsers)
{
    stopServer();
    execute(cataloguePath(), "ALTER TABLE logins DROP COLUMN sid");
    execute(dataDirectory() + "/shop.sqlite", "ALTER TABLE __glimora_users DROP COLUMN sid");
    m_backend = std::make_unique<engine::EmbeddedBackend>(dataDirectory());
    EXPECT_EQ(column(*connect("bob", "pw", "shop"), "select s from secret"), QStringList { "kept" });
    EXPECT_EQ(column(*connect("sa", "Secret1", "shop"), "select user_name()"), QStringList { "dbo" });
}

TEST(FirstLoginTest, ExactlyOneOfSimultaneousFirstLoginsWins)
{
    for (int round = 0; round < 6; ++round) {
        SCOPED_TRACE(round);
        QTemporaryDir directory;
        const QString folder = directory.filePath("sqldata");
        // Two servers on one folder stand for two processes.
        engine::EmbeddedBackend first(folder);
        engine::EmbeddedBackend second(folder);
        std::atomic<int> waiting { 2 };
        int outcomes[2] = { -1, -1 };
        auto attempt = [&](engine::EmbeddedBackend& server, const char* password, int& outcome) {
            --waiting;
            while (waiting > 0) { }
            outcome = loginError(server, connectionString("sa", password));
        };
        std::thread a(attempt, std::ref(first), "First-1", std::ref(outcomes[0]));
        std::thread b(attempt, std::ref(second), "Second-2", std::ref(outcomes[1]));
        a.join();
        b.join();
        EXPECT_EQ(std::min(outcomes[0], outcomes[1]), 0);
        EXPECT_EQ(std::max(outcomes[0], outcomes[1]), 18456);
        EXPECT_EQ(databaseFiles(folder), (QStringList { "catalogue.sqlite", "master.sqlite" }));
    }
}

TEST_F(ServerTest, KillEndsTheVictimsRunningBatchAndRollsItBack)
{
    auto sa = stationDatabase();
    run(*sa, "create table t(a int) create table started(a int)");
    auto victim = connect("sa", "Secret1", "nivo");
    const QString spid = column(*victim, "select @@spid").value(0);
    std::atomic<int> outcome { -1 };
    std::thread worker([&] {
        outcome = errorOf(*victim,
            "insert started values(1) begin tran insert t values(1) declare @n int set @n = 0"
            " while @n >= 0 set @n = @n + 1 commit");
    });
    EXPECT_EVENTUALLY(column(*sa, "select count(*) from started") == QStringList { "1" });
    run(*sa, "kill " + spid);
    EXPECT_EVENTUALLY(outcome != -1);
    worker.join();
    EXPECT_EQ(outcome, 596);
    EXPECT_EQ(column(*sa, "select count(*) from t"), QStringList { "0" });
    EXPECT_EQ(errorOf(*victim, "select 1"), 10054);
}

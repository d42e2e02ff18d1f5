#include "tests/engine/EngineTestSupport.h"
#include "tests/support/WaitFor.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <QFile>
#include <QProcess>
#include <QThread>
#include <thread>

using namespace glimora;
using namespace glimora::engine::test;

namespace {

// The two forms of the restore job's connection-killing script, as the program sends them.
QString killScript(const QString& database, bool requestIdColumn)
{
    const QString head = requestIdColumn
        ? QStringLiteral(
            "create   table   table_sp_who(spid   int,   ecid   int,   status   varchar(100),   "
            "loginame   varchar(100),   hostname   varchar(100),   blk   int,   dbname   "
            "varchar(100),   cmd   varchar(100),request_id int )   insert   table_sp_who   exec   "
            "sp_who   declare   @spid   int       DECLARE   spid_db   CURSOR   FOR   SELECT   spid   "
            "FROM   table_sp_who   where   dbname='")
        : QStringLiteral(
            "create   table   table_sp_who(spid   int,   ecid   int,   status   varchar(100),   "
            "loginame   varchar(100),   hostname   varchar(100),   blk   int,   dbname   "
            "varchar(100),   cmd   varchar(100)  )   insert   table_sp_who   exec   sp_who   "
            "declare   @spid   int       DECLARE   spid_db   CURSOR   FOR   SELECT   spid   FROM   "
            "table_sp_who   where   dbname='");
    return head + database
        + QStringLiteral(
            "' OPEN   spid_db    FETCH   NEXT   FROM   spid_db   into   @spid    WHILE   "
            "@@FETCH_STATUS   =   0    BEGIN    exec('kill   '+@spid)   FETCH   NEXT   FROM   spid_db   "
            "INTO   @spid     END     CLOSE   spid_db     DEALLOCATE   spid_db  drop   table   "
            "table_sp_who   ");
}

// A session of another process, kept in `database`, that answers each request with "ok"
// or the number of the error its statement failed with.
class Holder
{
public:
    Holder(const QString& dataDirectory, const QString& database)
    {
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(QStringLiteral(GLIMORA_ENGINE_BATCH_RUNNER), { dataDirectory, "--hold", database });
        m_ready = readLine() == "ready";
    }
    ~Holder()
    {
        m_process.closeWriteChannel();
        m_process.waitForFinished(10000);
    }
    bool ready() const { return m_ready; }
    void crash()
    {
        m_process.kill();
        m_process.waitForFinished(10000);
    }
    QByteArray request(const QByteArray& line)
    {
        m_process.write(line + "\n");
        return readLine();
    }

private:
    QByteArray readLine()
    {
        while (!m_process.canReadLine() && m_process.waitForReadyRead(30000)) { }
        return m_process.readLine().trimmed();
    }
    QProcess m_process;
    bool m_ready = false;
};

} // namespace

TEST_F(ServerTest, SpWhoListsTheSessionsOfEveryProcess)
{
    stationDatabase().reset();
    auto master = connect();
    Holder holder(dataDirectory(), "nivo");
    ASSERT_TRUE(holder.ready());
    const Rows who = run(*master, "exec sp_who");
    QStringList names;
    for (const data::FieldInfo& field : who.fields)
        names.append(field.name);
    EXPECT_EQ(
        names, (QStringList { "spid", "ecid", "status", "loginame", "hostname", "blk", "dbname", "cmd" }));
    ASSERT_EQ(who.rows.size(), 2);
    EXPECT_EQ(who.rows[0][6], "master");
    EXPECT_EQ(who.rows[0][2].trimmed(), "runnable");
    EXPECT_EQ(who.rows[1][3], "sa");
    EXPECT_EQ(who.rows[1][6], "nivo");
    EXPECT_EQ(who.rows[1][7].trimmed(), "AWAITING COMMAND");
}

TEST_F(ServerTest, KillScriptEndsTheSessionsOfOtherProcessesInBothForms)
{
    stationDatabase().reset();
    auto worker = connect();
    run(*worker, "backup database nivo to disk='x.dbk' with init");
    for (bool requestId : { false, true }) {
        SCOPED_TRACE(requestId ? "nine columns" : "eight columns");
        Holder first(dataDirectory(), "nivo");
        Holder second(dataDirectory(), "nivo");
        Holder elsewhere(dataDirectory(), "master");
        ASSERT_TRUE(first.ready() && second.ready() && elsewhere.ready());
        EXPECT_EQ(errorOf(*worker, "drop table table_sp_who "), 3701);
        run(*worker, killScript("nivo", requestId));
        // Killed sessions that sit idle let go of the database, so the restore goes ahead at once.
        run(*worker, " restore   database   nivo   from   disk='x.dbk' ");
        // A killed session's next statement finds its connection broken; a new connection works.
        EXPECT_EQ(first.request("select"), "10054");
        EXPECT_EQ(second.request("select"), "10054");
        EXPECT_EQ(elsewhere.request("select"), "ok");
        EXPECT_EQ(first.request("reconnect"), "ok");
        EXPECT_EQ(first.request("select"), "ok");
        EXPECT_EQ(errorOf(*worker, "select * from table_sp_who"), 208);
    }
}

TEST_F(ServerTest, KillRefusesOwnAndUnknownSessions)
{
    auto session = connect();
    const QString own = column(*session, "select @@spid").value(0);
    EXPECT_EQ(errorOf(*session, "kill " + own), 6104);
    EXPECT_EQ(errorOf(*session, "kill 9999"), 6106);
    auto other = connect();
    const QString otherSpid = column(*other, "select @@spid").value(0);
    run(*session, "declare @s int set @s = " + otherSpid + " exec('kill ' + @s)");
    EXPECT_EQ(errorOf(*other, "select 1"), 10054);
    EXPECT_EQ(errorOf(*other, "select 1"), 10054);
}

TEST_F(ServerTest, CursorsFetchIntoVariables)
{
    auto session = stationDatabase();
    run(*session, "insert username(uname,acc1) values('a',1) insert username(uname,acc1) values('b',2)");
    run(*session,
        "create table log(v varchar(20)) declare @n varchar(20), @a int declare c cursor for select uname, "
        "acc1 "
        "from username order by uname open c fetch next from c into @n, @a while @@fetch_status = 0 begin "
        "insert log values(@n + cast(@a as varchar(5))) fetch next from c into @n, @a end close c deallocate "
        "c");
    EXPECT_EQ(column(*session, "select v from log order by v"), (QStringList { "a1", "b2" }));
    EXPECT_EQ(errorOf(*session, "open c"), 16916);
    EXPECT_EQ(errorOf(*session, "declare d cursor for select uname from username fetch next from d"), 16917);
    EXPECT_EQ(errorOf(*session, "declare @x int open d fetch next from d into @x, @x"), 16924);
}

TEST_F(ServerTest, RestoreRefusedWhileAnotherProcessUsesTheDatabaseUntilItDies)
{
    stationDatabase().reset();
    auto worker = connect();
    run(*worker, "backup database nivo to disk='x.dbk' with init");
    Holder holder(dataDirectory(), "nivo");
    ASSERT_TRUE(holder.ready());
    EXPECT_EQ(errorOf(*worker, "restore database nivo from disk='x.dbk'"), 3101);
    EXPECT_EQ(errorOf(*worker, "drop database nivo"), 3702);
    // A process that died holds nothing: its session no longer counts.
    holder.crash();
    EXPECT_EQ(errorOf(*worker, "restore database nivo from disk='x.dbk'"), 0);
}

// The back office's restore with stations that log in again as soon as they are killed: the
// restore keeps the database to itself until it ends, and the stations see only what SQL
// Server gives them (their session killed, at work or idle; the database in the middle of a
// restore).
TEST_F(ServerTest, StationsThatLogInAgainWaitForTheRestore)
{
    stationDatabase().reset();
    auto worker = connect();
    run(*worker, "use nivo insert inquiry(d1) values('backed up') use master");
    run(*worker, "backup database nivo to disk='x.dbk' with init");
    run(*worker, "use nivo insert inquiry(d1) values('after the backup') use master");

    struct Station
    {
        std::atomic<int> answered = 0;
        std::atomic<int> failures = 0;
        std::atomic<int> loginsAfterFailure = 0;
    };
    std::vector<Station> stations(3);
    std::mutex errorsMutex;
    QList<int> errors;
    std::atomic<bool> stop = false;
    std::vector<std::thread> threads;
    for (Station& station : stations) {
        threads.emplace_back([&] {
            std::unique_ptr<data::BackendSession> session;
            while (!stop) {
                try {
                    if (!session) {
                        session = m_backend->open(connectionString("sa", "Secret1", "nivo"), 5);
                        if (station.failures > 0)
                            ++station.loginsAfterFailure;
                    }
                    session->execute("select count(*) from inquiry", 5);
                    ++station.answered;
                } catch (const data::DbError& error) {
                    {
                        std::lock_guard lock(errorsMutex);
                        errors.append(error.nativeError());
                    }
                    ++station.failures;
                    session.reset();
                    // A restarted station logs in again shortly after.
                    QThread::msleep(300);
                }
            }
        });
    }
    EXPECT_EVENTUALLY_WITHIN(
        std::all_of(stations.begin(), stations.end(), [](const Station& s) { return s.answered > 0; }),
        30000);

    // The job's two statements; the restore stops once it has checked the backup, long enough
    // for every killed station to try to log in again.
    const QString marker = m_directory.filePath("paused");
    QProcess restore;
    restore.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("GLIMORA_ENGINE_PAUSE", "restore-extracted=" + marker);
    restore.setProcessEnvironment(environment);
    restore.start(QStringLiteral(GLIMORA_ENGINE_BATCH_RUNNER),
        { dataDirectory(), killScript("nivo", false) + " restore   database   nivo   from   disk='x.dbk' " });
    EXPECT_EVENTUALLY_WITHIN(QFile::exists(marker), 30000);
    EXPECT_EVENTUALLY_WITHIN(
        std::all_of(stations.begin(), stations.end(),
            [](const Station& s) { return s.failures >= 2 || s.loginsAfterFailure > 0; }),
        30000);
    QFile::remove(marker);
    ASSERT_TRUE(restore.waitForFinished(60000));
    EXPECT_EQ(restore.exitCode(), 0);

    // Once the restore has ended the stations are back, on the restored database.
    for (Station& station : stations)
        station.loginsAfterFailure = 0;
    EXPECT_EVENTUALLY_WITHIN(std::all_of(stations.begin(), stations.end(),
                                 [](const Station& s) { return s.loginsAfterFailure > 0; }),
        30000);
    stop = true;
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(column(*worker, "use nivo select d1 from inquiry"), QStringList { "backed up" });
    std::lock_guard lock(errorsMutex);
    // A kill that finds a statement at work ends it with 596, as SQL Server's does; the next
    // statement on that session finds it gone (10054).
    for (int error : errors)
        EXPECT_TRUE(error == 10054 || error == 596 || error == 927) << error;
    EXPECT_TRUE(errors.contains(10054));
}

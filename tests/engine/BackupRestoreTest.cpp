#include "tests/engine/EngineTestSupport.h"
#include "tests/support/Sanitizers.h"
#include "tests/support/WaitFor.h"

#include <QFile>
#include <QProcess>
#include <sqlite3.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace glimora;
using namespace glimora::engine::test;

namespace {

QString backupStatement(const QString& database, const QString& path)
{
    return QStringLiteral("backup   database   ") + database + QStringLiteral("  to   disk='") + path
        + QStringLiteral("' with init");
}

QString restoreStatement(const QString& database, const QString& path)
{
    return QStringLiteral(" restore   database   ") + database + QStringLiteral("   from   disk='") + path
        + QStringLiteral("' ");
}

// Starts one batch in a second process, with a variable of its environment set.
void startInOtherProcess(QProcess& process, const QString& dataDirectory, const QString& batch,
    const QString& variable = {}, const QString& value = {})
{
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (!variable.isEmpty())
        environment.insert(variable, value);
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(GLIMORA_ENGINE_BATCH_RUNNER), { dataDirectory, batch });
}

// The exit code of a process started so, or -1 when it crashed.
int exitCodeOf(QProcess& process)
{
    if (!process.waitForFinished(60000))
        return -2;
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

// Runs one batch in a second process; its exit code, or -1 when it crashed.
int runInOtherProcess(const QString& dataDirectory, const QString& batch, const QByteArray& fault = {})
{
    QProcess process;
    startInOtherProcess(process, dataDirectory, batch, fault.isEmpty() ? QString() : "GLIMORA_ENGINE_FAULT",
        QString::fromLatin1(fault));
    return exitCodeOf(process);
}

QString integrityOf(const QString& path)
{
    sqlite3* db = nullptr;
    QString result;
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr)
        == SQLITE_OK) {
        sqlite3_stmt* check = nullptr;
        sqlite3_prepare_v2(db, "PRAGMA quick_check", -1, &check, nullptr);
        if (check && sqlite3_step(check) == SQLITE_ROW)
            result = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(check, 0)));
        sqlite3_finalize(check);
    }
    sqlite3_close(db);
    return result;
}

class BackupTest : public ServerTest
{
protected:
    // nivo with `rows` rows tagged "kept", and sa's session in master.
    std::unique_ptr<data::BackendSession> seed(int rows)
    {
        {
            auto session = stationDatabase();
            for (int i = 0; i < rows; ++i)
                run(*session, QStringLiteral("insert inquiry(d1,d21) values('kept',%1)").arg(i));
        }
        return connect();
    }
    QString filePath(const QString& name) const { return m_directory.filePath(name); }
    QString rowCount(const QString& database = QStringLiteral("nivo"))
    {
        auto session = connect("sa", "Secret1", database);
        return column(*session, "select count(*) from inquiry").value(0);
    }
};

} // namespace

TEST_F(BackupTest, RestoresWhatWasBackedUp)
{
    auto master = seed(5);
    const QString path = filePath("nivo.dbk");
    run(*master, backupStatement("nivo", path));
    {
        auto nivo = connect("sa", "Secret1", "nivo");
        run(*nivo, "delete inquiry where d21 < 3 insert inquiry(d1) values('later')");
    }
    EXPECT_EQ(rowCount(), "3");
    run(*master, restoreStatement("nivo", path));
    EXPECT_EQ(rowCount(), "5");
    auto nivo = connect("sa", "Secret1", "nivo");
    EXPECT_EQ(column(*nivo, "select d1 from inquiry where d1='later'"), QStringList());
    // The restored file runs with write-ahead logging again and takes new rows.
    run(*nivo, "insert inquiry(d1) values('after')");
    EXPECT_EQ(column(*nivo, "select count(*) from inquiry"), QStringList { "6" });
    EXPECT_FALSE(QFile::exists(dataDirectory() + "/restore-0.tmp"));
}

TEST_F(BackupTest, AppendsSetsWithoutInitAndRestoresTheChosenOne)
{
    auto master = seed(1);
    // A relative device lands in the backup folder of the data folder.
    run(*master, "backup database nivo to disk='sets.dbk'");
    {
        auto nivo = connect("sa", "Secret1", "nivo");
        run(*nivo, "insert inquiry(d1) values('second')");
    }
    run(*master, "backup database nivo to disk='sets.dbk'");
    EXPECT_TRUE(QFile::exists(dataDirectory() + "/backup/sets.dbk"));
    run(*master, "restore database nivo from disk='sets.dbk' with file = 1");
    EXPECT_EQ(rowCount(), "1");
    run(*master, "restore database nivo from disk='sets.dbk' with file = 2");
    EXPECT_EQ(rowCount(), "2");
    EXPECT_EQ(errorOf(*master, "restore database nivo from disk='sets.dbk' with file = 3"), 4038);
    // INIT starts the device afresh.
    run(*master, "backup database nivo to disk='sets.dbk' with init");
    EXPECT_EQ(errorOf(*master, "restore verifyonly from disk='sets.dbk' with file = 2"), 4038);
    EXPECT_EQ(errorOf(*master, "restore verifyonly from disk='sets.dbk'"), 0);
}

TEST_F(BackupTest, BadFilesChangeNothing)
{
    auto master = seed(4);
    const QString good = filePath("good.dbk");
    run(*master, backupStatement("nivo", good));
    QFile file(good);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    file.close();
    {
        auto nivo = connect("sa", "Secret1", "nivo");
        run(*nivo, "insert inquiry(d1) values('live')");
    }
    const QStringList before = QDir(dataDirectory()).entryList(QDir::Files);

    QByteArray flipped = bytes;
    flipped[flipped.size() / 2] = char(flipped[flipped.size() / 2] ^ 0x10);
    QByteArray headerFlipped = bytes;
    headerFlipped[30] = char(headerFlipped[30] ^ 0x01); // inside the database name
    const struct
    {
        const char* name;
        QByteArray content;
        int error;
    } cases[] = {
        { "truncated.dbk", bytes.left(bytes.size() - 100), 3241 },
        { "cut-in-header.dbk", bytes.left(30), 3241 },
        { "flipped.dbk", flipped, 3189 },
        { "header-flipped.dbk", headerFlipped, 3189 },
        { "foreign.dbk", QByteArray("SQLite format 3\0 not a backup at all", 37), 3241 },
        { "empty.dbk", QByteArray(), 3241 },
    };
    for (const auto& bad : cases) {
        SCOPED_TRACE(bad.name);
        QFile out(filePath(bad.name));
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(bad.content);
        out.close();
        QString message;
        EXPECT_EQ(errorOf(*master, restoreStatement("nivo", filePath(bad.name)), &message), bad.error);
        EXPECT_TRUE(message.contains(filePath(bad.name))) << message.toStdString();
        EXPECT_EQ(
            errorOf(*master, QStringLiteral("restore verifyonly from disk='%1'").arg(filePath(bad.name))),
            bad.error);
        // A replace does not get a bad file past the checks either.
        EXPECT_EQ(errorOf(*master, restoreStatement("nivo", filePath(bad.name)) + "with replace"), bad.error);
        EXPECT_EQ(rowCount(), "5");
    }
    EXPECT_EQ(errorOf(*master, restoreStatement("nivo", filePath("missing.dbk"))), 3201);
    EXPECT_EQ(errorOf(*master, QStringLiteral("restore verifyonly from disk='%1'").arg(good)), 0);
    // Checks leave nothing behind in the data folder.
    EXPECT_EQ(QDir(dataDirectory()).entryList(QDir::Files), before);
    EXPECT_EQ(rowCount(), "5");
}

TEST_F(BackupTest, ExclusiveAccessAndOtherDatabases)
{
    auto master = seed(2);
    const QString path = filePath("nivo.dbk");
    run(*master, backupStatement("nivo", path));
    {
        auto user = connect("sa", "Secret1", "nivo");
        QString message;
        EXPECT_EQ(errorOf(*master, restoreStatement("nivo", path), &message), 3101);
        EXPECT_EQ(message, "Exclusive access could not be obtained because the database is in use.");
        EXPECT_EQ(errorOf(*master, "drop database nivo"), 3702);
        // The session that runs the restore counts as a user too.
        EXPECT_EQ(errorOf(*user, restoreStatement("nivo", path)), 3101);
    }
    run(*master, "create database other");
    QString message;
    EXPECT_EQ(errorOf(*master, restoreStatement("other", path), &message), 3154);
    EXPECT_EQ(
        message, "The backup set holds a backup of a database other than the existing 'other' database.");
    run(*master, restoreStatement("other", path) + "with replace");
    EXPECT_EQ(rowCount("other"), "2");
    // A database that does not exist is created by the restore.
    run(*master, restoreStatement("copy", path));
    EXPECT_EQ(rowCount("copy"), "2");
}

TEST_F(BackupTest, BackupFailuresAndTheLogBackup)
{
    auto master = seed(0);
    QString message;
    EXPECT_EQ(errorOf(*master, backupStatement("nivo", "/proc/none/x.dbk"), &message), 3201);
    EXPECT_TRUE(message.startsWith("Cannot open backup device '/proc/none/x.dbk'. Operating system error"))
        << message.toStdString();
    EXPECT_EQ(errorOf(*master, backupStatement("nivo", m_directory.path())), 3201);
    // Never over a file of the server itself.
    EXPECT_EQ(errorOf(*master, backupStatement("nivo", dataDirectory() + "/nivo.sqlite")), 3201);
    EXPECT_EQ(errorOf(*master, backupStatement("master", "../catalogue.sqlite")), 3201);
    EXPECT_EQ(rowCount(), "0");
    EXPECT_EQ(errorOf(*master, backupStatement("absent", filePath("a.dbk"))), 911);
    EXPECT_EQ(
        errorOf(*master, "BACKUP LOG nivo TO DISK = 'C:Ledgerly_Last.bak' WITH NORECOVERY ", &message), 4208);
    EXPECT_EQ(message,
        "The statement BACKUP LOG is not allowed while the recovery model is SIMPLE. Use BACKUP DATABASE or "
        "change the recovery model using ALTER DATABASE.");
    EXPECT_FALSE(QFile::exists(dataDirectory() + "/backup/C:Ledgerly_Last.bak"));
    // Appending to a file that is no backup does not overwrite it.
    QFile foreign(filePath("notes.dbk"));
    ASSERT_TRUE(foreign.open(QIODevice::WriteOnly));
    foreign.write("my notes");
    foreign.close();
    EXPECT_EQ(
        errorOf(*master, QStringLiteral("backup database nivo to disk='%1'").arg(filePath("notes.dbk"))),
        3241);
    ASSERT_TRUE(foreign.open(QIODevice::ReadOnly));
    EXPECT_EQ(foreign.readAll(), "my notes");
}

TEST_F(BackupTest, SnapshotIsConsistentWhileAnotherProcessWrites)
{
    auto master = seed(0);
    constexpr int Rows = 300;
    QProcess writer;
    writer.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    writer.start(QStringLiteral(GLIMORA_ENGINE_WRITER), { dataDirectory(), QString::number(Rows), "w" });
    ASSERT_TRUE(writer.waitForStarted());
    int snapshots = 0;
    while (writer.state() != QProcess::NotRunning || snapshots == 0) {
        const QString path = filePath(QStringLiteral("snap%1.dbk").arg(snapshots));
        run(*master, backupStatement("nivo", path));
        const QString copy = QStringLiteral("snap%1").arg(snapshots);
        run(*master, restoreStatement(copy, path));
        // The writer inserts 0, 1, 2, ... one statement each: a snapshot holds a prefix.
        auto reader = connect("sa", "Secret1", copy);
        const QStringList row
            = run(*reader, "select count(*), isnull(max(d21), -1) + 1, count(distinct d21) from inquiry")
                  .rows.value(0);
        EXPECT_EQ(row.value(0), row.value(1));
        EXPECT_EQ(row.value(0), row.value(2));
        ++snapshots;
        writer.waitForFinished(10);
    }
    EXPECT_EQ(writer.exitCode(), 0);
    EXPECT_EQ(rowCount(), QString::number(Rows));
}

// A backup holds every committed row, also those that only the write-ahead log holds:
// behind a reader of an older snapshot, which keeps them from the file, or not.
TEST_F(BackupTest, ABackupHoldsTheRowsStillInTheLog)
{
    auto master = seed(3);
    const QString path = filePath("nivo.dbk");
    sqlite3* reader = nullptr;
    ASSERT_EQ(
        sqlite3_open(QFile::encodeName(dataDirectory() + "/nivo.sqlite").constData(), &reader), SQLITE_OK);
    ASSERT_EQ(
        sqlite3_exec(reader, "BEGIN; SELECT count(*) FROM inquiry", nullptr, nullptr, nullptr), SQLITE_OK);
    auto nivo = connect("sa", "Secret1", "nivo");
    run(*nivo,
        "insert inquiry(d1) values('behind the reader') insert inquiry(d1) values('behind the reader')");
    run(*master, backupStatement("nivo", path));
    run(*master, restoreStatement("early", path));
    EXPECT_EQ(rowCount("early"), "5");
    sqlite3_close(reader);
    run(*nivo, "insert inquiry(d1) values('in the log')");
    run(*master, backupStatement("nivo", path));
    run(*master, restoreStatement("late", path));
    EXPECT_EQ(rowCount("late"), "6");
    EXPECT_EQ(integrityOf(dataDirectory() + "/late.sqlite"), "ok");
}

TEST_F(BackupTest, RestoreKilledAtAnyPointLeavesTheOldOrTheNewDatabase)
{
    auto master = seed(3);
    const QString path = filePath("nivo.dbk");
    run(*master, backupStatement("nivo", path));
    master.reset();
    const QString livePath = dataDirectory() + "/nivo.sqlite";
    for (const char* point : { "restore-extracted", "restore-before-rename", "restore-after-rename" }) {
        SCOPED_TRACE(point);
        {
            auto nivo = connect("sa", "Secret1", "nivo");
            run(*nivo, "insert inquiry(d1) values('old')");
        }
        const QString old = rowCount();
        EXPECT_EQ(runInOtherProcess(dataDirectory(), restoreStatement("nivo", path), point), 86);
        EXPECT_EQ(integrityOf(livePath), "ok");
        // A new start of the server cleans up what the dead restore left.
        m_backend = std::make_unique<engine::EmbeddedBackend>(dataDirectory());
        EXPECT_EQ(QDir(dataDirectory()).entryList({ "restore-*" }, QDir::Files), QStringList());
        const QString now = rowCount();
        EXPECT_TRUE(now == old || now == "3") << now.toStdString();
        EXPECT_EQ(integrityOf(livePath), "ok");
    }
    // A backup killed before its rename leaves no device at all, and its part file goes at the next start.
    EXPECT_EQ(
        runInOtherProcess(dataDirectory(), backupStatement("nivo", "late.dbk"), "backup-before-rename"), 86);
    m_backend = std::make_unique<engine::EmbeddedBackend>(dataDirectory());
    EXPECT_EQ(QDir(dataDirectory() + "/backup").entryList(QDir::Files), QStringList());
}

TEST_F(BackupTest, DropThenRestoreInOneBatchRecreatesTheDatabase)
{
    auto master = seed(2);
    const QString path = filePath("nivo.dbk");
    run(*master, backupStatement("nivo", path));
    run(*master,
        QStringLiteral("drop database nivo  restore   database   nivo   from   disk='%1' ").arg(path));
    EXPECT_EQ(rowCount(), "2");
}

TEST_F(BackupTest, WritersOfOneDeviceTakeTurns)
{
    auto master = seed(1);
    const QString path = filePath("shared.dbk");
    // Processes and sessions of this process append to one device at once: no set is lost.
    QList<QProcess*> processes;
    for (int i = 0; i < 3; ++i) {
        processes.append(new QProcess);
        startInOtherProcess(*processes.last(), dataDirectory(),
            QStringLiteral("backup database nivo to disk='%1'").arg(path));
    }
    std::vector<std::thread> threads;
    std::atomic<int> failures = 0;
    for (int i = 0; i < 2; ++i) {
        threads.emplace_back([&] {
            try {
                auto session = connect();
                for (int n = 0; n < 2; ++n)
                    run(*session, QStringLiteral("backup database nivo to disk='%1'").arg(path));
            } catch (const data::DbError&) {
                ++failures;
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    for (QProcess* process : processes) {
        EXPECT_EQ(exitCodeOf(*process), 0);
        delete process;
    }
    EXPECT_EQ(failures, 0);
    EXPECT_EQ(
        errorOf(*master, QStringLiteral("restore verifyonly from disk='%1' with file = 7").arg(path)), 0);
    EXPECT_EQ(
        errorOf(*master, QStringLiteral("restore verifyonly from disk='%1' with file = 8").arg(path)), 4038);
    EXPECT_EQ(
        QDir(m_directory.path()).entryList({ "shared.dbk.*" }, QDir::Files | QDir::System), QStringList());
}

TEST_F(BackupTest, PlantedTemporaryFilesAreNeitherFollowedNorOverwritten)
{
    auto master = seed(2);
    const QString path = filePath("planted.dbk");
    QFile victim(filePath("victim.txt"));
    ASSERT_TRUE(victim.open(QIODevice::WriteOnly));
    victim.write("precious");
    victim.close();
    // The names a backup of this process used to write through.
    const QString pid = QString::number(QCoreApplication::applicationPid());
    ASSERT_TRUE(QFile::link(victim.fileName(), path + ".part-" + pid));
    QFile planted(path + ".part");
    ASSERT_TRUE(planted.open(QIODevice::WriteOnly));
    planted.write("planted");
    planted.close();

    run(*master, backupStatement("nivo", path));
    ASSERT_TRUE(victim.open(QIODevice::ReadOnly));
    EXPECT_EQ(victim.readAll(), "precious");
    struct stat status;
    ASSERT_EQ(::lstat(QFile::encodeName(path).constData(), &status), 0);
    EXPECT_TRUE(S_ISREG(status.st_mode));
    EXPECT_EQ(status.st_mode & 0777, 0600u);
    EXPECT_TRUE(QFileInfo(path + ".part-" + pid).isSymLink());
    run(*master, restoreStatement("nivo", path));
    EXPECT_EQ(rowCount(), "2");
}

TEST_F(BackupTest, ASessionThatOpensDuringTheSwapKeepsItsWrite)
{
    auto master = seed(2);
    const QString path = filePath("nivo.dbk");
    run(*master, backupStatement("nivo", path));
    master.reset();
    const QString marker = filePath("paused");
    QProcess restore;
    startInOtherProcess(restore, dataDirectory(), restoreStatement("nivo", path), "GLIMORA_ENGINE_PAUSE",
        "restore-before-rename=" + marker);
    EXPECT_EVENTUALLY_WITHIN(QFile::exists(marker), 30000);
    // The restore holds the old file; a writer that comes now must not write into it.
    QProcess writer;
    startInOtherProcess(writer, dataDirectory(), "use nivo insert inquiry(d1) values('during')");
    ASSERT_TRUE(writer.waitForStarted());
    writer.waitForFinished(300);
    QFile::remove(marker);
    EXPECT_EQ(exitCodeOf(restore), 0);
    const int written = exitCodeOf(writer);
    auto nivo = connect("sa", "Secret1", "nivo");
    const QStringList during = column(*nivo, "select count(*) from inquiry where d1='during'");
    // A write reported done is in the restored database.
    if (written == 0) {
        EXPECT_EQ(during, QStringList { "1" });
    }
    EXPECT_EQ(column(*nivo, "select count(*) from inquiry"), QStringList { written == 0 ? "3" : "2" });
    EXPECT_EQ(integrityOf(dataDirectory() + "/nivo.sqlite"), "ok");
}

TEST_F(BackupTest, ReplaceRestoresOverADamagedFile)
{
    auto master = seed(3);
    const QString path = filePath("nivo.dbk");
    run(*master, backupStatement("nivo", path));
    const QString livePath = dataDirectory() + "/nivo.sqlite";
    const QByteArray garbage[]
        = { QByteArray(8192, 'x'), QByteArray("SQLite format 3\0", 16) + QByteArray(100, '\xff') };
    for (const QByteArray& bytes : garbage) {
        QFile live(livePath);
        ASSERT_TRUE(live.open(QIODevice::WriteOnly | QIODevice::Truncate));
        live.write(bytes);
        live.close();
        QFile::remove(livePath + "-wal");
        QFile::remove(livePath + "-shm");
        QString message;
        EXPECT_EQ(errorOf(*master, restoreStatement("nivo", path) + "with replace", &message), 0)
            << message.toStdString();
        EXPECT_EQ(rowCount(), "3");
        EXPECT_EQ(integrityOf(livePath), "ok");
    }
    // A database in use stays "in use", damaged or not.
    auto user = connect("sa", "Secret1", "nivo");
    EXPECT_EQ(errorOf(*master, restoreStatement("nivo", path) + "with replace"), 3101);
}

TEST_F(BackupTest, RestoreToANewNameThatDiesLeavesNothingRegistered)
{
    auto master = seed(3);
    const QString path = filePath("nivo.dbk");
    run(*master, backupStatement("nivo", path));
    master.reset();
    for (const char* point : { "restore-extracted", "restore-linked", "restore-before-rename" }) {
        SCOPED_TRACE(point);
        const int code = runInOtherProcess(dataDirectory(), restoreStatement("copy", path), point);
        EXPECT_TRUE(code == 86 || code == 0) << code;
        m_backend = std::make_unique<engine::EmbeddedBackend>(dataDirectory());
        bool restored = false;
        {
            auto probe = connect();
            restored = errorOf(*probe, "use copy") == 0;
        }
        auto session = connect();
        // Either the restore happened whole, or it can simply be run again.
        if (!restored) {
            EXPECT_EQ(QDir(dataDirectory()).entryList({ "copy*", "restore-*" }, QDir::Files), QStringList());
            run(*session, restoreStatement("copy", path));
        }
        EXPECT_EQ(rowCount("copy"), "3");
        run(*session, "drop database copy");
    }
}

TEST_F(BackupTest, VerifyOnlyNeedsTheRightToCreateDatabasesAndARegularFile)
{
    auto master = seed(1);
    const QString path = filePath("nivo.dbk");
    run(*master, backupStatement("nivo", path));
    run(*master,
        "exec sp_addlogin 'bob','Bob-pass1' exec sp_addlogin 'cara','Cara-pass1'"
        " exec sp_addsrvrolemember 'cara','dbcreator'");
    auto bob = connect("bob", "Bob-pass1");
    for (const QString& device : { path, QStringLiteral("/etc/shadow"), filePath("missing.dbk") })
        EXPECT_EQ(errorOf(*bob, QStringLiteral("restore verifyonly from disk='%1'").arg(device)), 262);
    auto cara = connect("cara", "Cara-pass1");
    EXPECT_EQ(errorOf(*cara, QStringLiteral("restore verifyonly from disk='%1'").arg(path)), 0);

    // Devices that are not regular files are refused before anything reads them.
    const QString fifo = filePath("pipe.dbk");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    for (const QString& device : { QStringLiteral("/dev/zero"), fifo, m_directory.path() }) {
        SCOPED_TRACE(device.toStdString());
        EXPECT_EQ(errorOf(*master, QStringLiteral("restore verifyonly from disk='%1'").arg(device)), 3201);
        EXPECT_EQ(errorOf(*master, restoreStatement("nivo", device)), 3201);
        EXPECT_EQ(errorOf(*master, QStringLiteral("backup database nivo to disk='%1'").arg(device)), 3201);
    }
    EXPECT_EQ(rowCount(), "1");
}

TEST_F(BackupTest, AFailedFlushIsAFailedBackup)
{
    auto master = seed(1);
    master.reset();
    EXPECT_EQ(runInOtherProcess(dataDirectory(), backupStatement("nivo", "flush.dbk"), {}), 0);
    QProcess process;
    startInOtherProcess(
        process, dataDirectory(), backupStatement("nivo", "failed.dbk"), "GLIMORA_ENGINE_FAIL", "sync");
    EXPECT_EQ(exitCodeOf(process), 1);
    EXPECT_EQ(QDir(dataDirectory() + "/backup").entryList(QDir::Files), QStringList { "flush.dbk" });
    QProcess restore;
    startInOtherProcess(
        restore, dataDirectory(), restoreStatement("nivo", "flush.dbk"), "GLIMORA_ENGINE_FAIL", "sync");
    EXPECT_EQ(exitCodeOf(restore), 1);
    EXPECT_EQ(QDir(dataDirectory()).entryList({ "restore-*" }, QDir::Files), QStringList());
    EXPECT_EQ(rowCount(), "1");
}

TEST_F(BackupTest, BackupAndRestoreFitInLessMemoryThanTheDatabase)
{
    if (underShadowMemorySanitizer)
        GTEST_SKIP() << "a sanitizer's shadow memory cannot live with a memory limit";
    auto master = seed(1);
    master.reset();
    // 64 MB of rows the server cannot squeeze, written straight into the file.
    {
        sqlite3* db = nullptr;
        ASSERT_EQ(
            sqlite3_open(QFile::encodeName(dataDirectory() + "/nivo.sqlite").constData(), &db), SQLITE_OK);
        ASSERT_EQ(
            sqlite3_exec(db,
                "CREATE TABLE bulk(b BLOB); WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n "
                "WHERE i < 64) INSERT INTO bulk SELECT randomblob(1000000) FROM n;",
                nullptr, nullptr, nullptr),
            SQLITE_OK);
        sqlite3_close(db);
    }
    // The process may hold far less than the database: in its heap, and in all its memory
    // (mapped files and thread stacks too) beyond what it holds once logged in.
    const struct
    {
        const char* variable;
        int megabytes;
    } limits[] = { { "GLIMORA_TEST_DATA_LIMIT", 40 }, { "GLIMORA_TEST_ADDRESS_ROOM", 8 } };
    for (const auto& limit : limits) {
        SCOPED_TRACE(limit.variable);
        for (const QString& batch : { backupStatement("nivo", "big.dbk"), restoreStatement("nivo", "big.dbk"),
                 QStringLiteral("restore verifyonly from disk='big.dbk'"),
                 restoreStatement("bigcopy", "big.dbk") + "with replace" }) {
            SCOPED_TRACE(batch.toStdString());
            QProcess process;
            startInOtherProcess(process, dataDirectory(), batch, limit.variable,
                QString::number(qint64(limit.megabytes) << 20));
            EXPECT_EQ(exitCodeOf(process), 0);
        }
        EXPECT_EQ(rowCount("bigcopy"), "1");
        EXPECT_GT(QFileInfo(dataDirectory() + "/backup/big.dbk").size(), 64'000'000);
    }
}

// INIT replaces the sets of a backup device, never a file that is no backup: that takes
// FORMAT, as in SQL Server. The station's backup always sends INIT.
TEST_F(BackupTest, InitOverwritesBackupsOnlyAndFormatAnything)
{
    auto master = seed(2);
    const QString text = filePath("notes.dbk");
    QFile notes(text);
    ASSERT_TRUE(notes.open(QIODevice::WriteOnly));
    notes.write("precious notes");
    notes.close();
    QString message;
    EXPECT_EQ(errorOf(*master, backupStatement("nivo", text), &message), 3241);
    EXPECT_TRUE(message.contains(text));
    ASSERT_TRUE(notes.open(QIODevice::ReadOnly));
    EXPECT_EQ(notes.readAll(), "precious notes");
    notes.close();

    // An empty file is an empty medium; a device of backups takes a new first set.
    const QString empty = filePath("empty.dbk");
    ASSERT_TRUE(QFile(empty).open(QIODevice::WriteOnly));
    run(*master, backupStatement("nivo", empty));
    run(*master, backupStatement("nivo", empty));
    EXPECT_EQ(
        errorOf(*master, QStringLiteral("restore verifyonly from disk='%1' with file = 2").arg(empty)), 4038);

    run(*master, backupStatement("nivo", text) + QStringLiteral(", format"));
    run(*master, QStringLiteral("drop database nivo"));
    run(*master, restoreStatement("nivo", text));
    EXPECT_EQ(rowCount(), "2");
}

// Devices written by earlier builds (sets of the first format, checked by BLAKE2b) restore
// as they always did, also beside a set of the current format; damage in them is still found.
TEST_F(BackupTest, SetsOfTheFirstFormatStillRestore)
{
    auto master = seed(2);
    const QString device = filePath("mixed.dbk");
    ASSERT_TRUE(QFile::copy(QStringLiteral(GLIMORA_ENGINE_FIXTURES "/backups/legacy-v1.dbk"), device));
    run(*master, restoreStatement("legacy", device));
    const QStringList kept { QStringLiteral("一"), "two", "O'Brien" };
    {
        auto legacy = connect("sa", "Secret1", "legacy");
        EXPECT_EQ(column(*legacy, "select s from kept order by n"), kept);
        run(*legacy, "insert kept values(4, 'later')");
    }
    // Without INIT the new set goes behind the old one, which is copied as it is.
    run(*master, QStringLiteral("backup database nivo to disk='%1'").arg(device));
    EXPECT_EQ(
        errorOf(*master, QStringLiteral("restore verifyonly from disk='%1' with file = 1").arg(device)), 0);
    EXPECT_EQ(
        errorOf(*master, QStringLiteral("restore verifyonly from disk='%1' with file = 2").arg(device)), 0);
    run(*master, restoreStatement("legacy", device) + "with replace, file = 1");
    {
        auto legacy = connect("sa", "Secret1", "legacy");
        EXPECT_EQ(column(*legacy, "select s from kept order by n"), kept);
    }
    run(*master, restoreStatement("nivo", device) + "with file = 2");
    EXPECT_EQ(rowCount(), "2");

    QFile file(device);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.seek(20000)); // inside the first set's image
    char byte = 0;
    ASSERT_TRUE(file.getChar(&byte));
    ASSERT_TRUE(file.seek(20000));
    ASSERT_TRUE(file.putChar(char(byte ^ 0x04)));
    file.close();
    EXPECT_EQ(errorOf(*master, restoreStatement("legacy", device) + "with replace, file = 1"), 3189);
    auto legacy = connect("sa", "Secret1", "legacy");
    EXPECT_EQ(column(*legacy, "select count(*) from kept"), QStringList { "3" });
}

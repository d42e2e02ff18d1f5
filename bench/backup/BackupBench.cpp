// Times BACKUP DATABASE and RESTORE DATABASE of the embedded server against copying the
// database file (with the same flush to disk), and prints the best time of three runs of
// each, their ratios and the peak memory (resident) of each.
//
//   glimora_backup_bench [rows[+megabytes]...]     (default: 20000 200000)
//
// "+megabytes" adds that much incompressible ballast to the database, written by SQLite
// directly: glimora_backup_bench 20000+1000 measures a database of about 1 GB.
#include "bench/support/PeakMemory.h"
#include "data/DbError.h"
#include "engine/server/EmbeddedBackend.h"

#include <cstdio>
#include <fcntl.h>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <sqlite3.h>
#include <unistd.h>

using namespace glimora;

namespace {

double milliseconds(const QElapsedTimer& timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

// The baseline: what a careful file copy costs, flushed like the backup file is.
double copyMilliseconds(const QString& from, const QString& to)
{
    QElapsedTimer timer;
    timer.start();
    QFile::remove(to);
    QFile::copy(from, to);
    const int descriptor = ::open(QFile::encodeName(to).constData(), O_RDONLY);
    ::fsync(descriptor);
    ::close(descriptor);
    return milliseconds(timer);
}

void addBallast(const QString& file, int megabytes)
{
    sqlite3* db = nullptr;
    sqlite3_open(QFile::encodeName(file).constData(), &db);
    const QByteArray sql
        = "CREATE TABLE ballast(b BLOB); WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 "
          "FROM n WHERE i < "
        + QByteArray::number(megabytes)
        + ") INSERT INTO ballast SELECT randomblob(1000000) FROM n; PRAGMA wal_checkpoint(TRUNCATE);";
    char* error = nullptr;
    if (sqlite3_exec(db, sql.constData(), nullptr, nullptr, &error) != SQLITE_OK)
        std::fprintf(stderr, "ballast: %s\n", error);
    sqlite3_free(error);
    sqlite3_close(db);
}

void measure(int rows, int megabytes)
{
    QTemporaryDir directory;
    const QString data = directory.filePath("sqldata");
    engine::EmbeddedBackend backend(data);
    auto session = backend.open("Driver={SQL Server};Server=.;Uid=sa;pwd=bench", 0);
    session->execute("create database nivo", 0);
    session->execute("use nivo create table inquiry(d1 nvarchar(255) null, d2 nvarchar(255) null, d21 "
                     "decimal(18,0) null, d60 decimal(18,0) not null primary key identity(1,1))",
        0);
    session->execute("begin tran", 0);
    for (int i = 0; i < rows; ++i)
        session->execute(
            QStringLiteral("insert inquiry(d1,d2,d21) values('name %1','a longer text of some row %1',%1)")
                .arg(i),
            0);
    session->execute("commit tran use master", 0);
    const QString file = data + "/nivo.sqlite";
    if (megabytes > 0)
        addBallast(file, megabytes);

    const QString device = directory.filePath("nivo.dbk");
    QElapsedTimer timer;
    // The best of a few runs of each side: work beside the bench then does not decide the ratio.
    constexpr int Runs = 3;
    double backup = 0, restore = 0, copy = 0, backupPeak = 0, restorePeak = 0;
    for (int i = 0; i < Runs; ++i) {
        const auto best
            = [i](double& kept, double measured) { kept = i == 0 ? measured : qMin(kept, measured); };
        bench::resetPeakMemory();
        timer.start();
        session->execute("backup   database   nivo  to   disk='" + device + "' with init", 0);
        best(backup, milliseconds(timer));
        backupPeak = qMax(backupPeak, bench::peakMemory());
        bench::resetPeakMemory();
        timer.start();
        session->execute(" restore   database   nivo   from   disk='" + device + "' ", 0);
        best(restore, milliseconds(timer));
        restorePeak = qMax(restorePeak, bench::peakMemory());
        best(copy, copyMilliseconds(file, directory.filePath("copy.sqlite")));
    }
    std::printf(
        "%8d rows, %7.1f MB: file copy %8.1f ms | backup %8.1f ms (x%.1f, peak %.0f MB) | restore %8.1f "
        "ms (x%.1f, peak %.0f MB)\n",
        rows, double(QFileInfo(file).size()) / 1e6, copy, backup, backup / copy, backupPeak, restore,
        restore / copy, restorePeak);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    QList<std::pair<int, int>> sizes;
    for (int i = 1; i < argc; ++i) {
        const QStringList parts = QString::fromLocal8Bit(argv[i]).split(QLatin1Char('+'));
        sizes.append({ parts.value(0).toInt(), parts.value(1).toInt() });
    }
    if (sizes.isEmpty())
        sizes = { { 20000, 0 }, { 200000, 0 } };
    try {
        for (const auto& [rows, megabytes] : sizes)
            measure(rows, megabytes);
    } catch (const data::DbError& error) {
        std::fprintf(stderr, "%s\n", error.description().toUtf8().constData());
        return 1;
    }
    return 0;
}

// Times data management's export of a large record source to .csv and .xlsx against the
// sqlite3 shell writing the same rows with -csv, in the same run, and prints the times, the
// ratios and the peak memory (resident) of each export.
//
//   glimora_export_bench [records...]     (default: 100000 1000000)
//
// Each time is the best of three runs, so that a build beside the bench does not decide the ratio.
//
// The sqlite3 shell must be on the PATH.
#include "bench/support/PeakMemory.h"
#include "data/BackendRouter.h"
#include "data/ConnectionString.h"
#include "data/DbError.h"
#include "engine/server/EmbeddedBackend.h"
#include "maintenance/RecordExport.h"

#include <algorithm>
#include <cstdio>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

using namespace glimora;

namespace {

const QString columns = QStringLiteral("d1,d2,d3,d16,d26,d21");

double milliseconds(const QElapsedTimer& timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

// `records` rows of varied values, made by doubling a seed and numbering the copies.
void fill(data::BackendSession& session, int records)
{
    session.execute("create database nivo", 0);
    session.execute(
        "use nivo create table inquiry(d1 nvarchar(255) null, d2 nvarchar(255) null, d3 nvarchar(255) null, "
        "d16 datetime null, d26 decimal(18,2) null, d21 decimal(18,0) null, d60 int not null primary key "
        "identity(1,1))",
        0);
    session.execute("insert inquiry(d1,d2,d3,d16,d26,d21) values('阿莫西林胶囊','0.25g*24粒/盒','口服',"
                    "'2024-05-17 08:30:00',12.50,24)",
        0);
    for (int have = 1; have < records; have *= 2)
        session.execute("insert inquiry(d1,d2,d3,d16,d26,d21) select d1,d2,d3,d16,d26,d21 from inquiry", 0);
    session.execute(QStringLiteral("delete from inquiry where d60 > %1").arg(records), 0);
    session.execute("update inquiry set d1 = d1 + cast(d60 as nvarchar(20)), d26 = d26 + d60, d21 = d60", 0);
    session.execute("use master", 0);
}

double sqliteMilliseconds(const QString& database, const QString& output)
{
    QProcess shell;
    shell.setStandardOutputFile(output);
    QElapsedTimer timer;
    timer.start();
    shell.start(QStringLiteral("sqlite3"),
        { QStringLiteral("-csv"), database, QStringLiteral("select %1 from inquiry").arg(columns) });
    if (!shell.waitForFinished(-1) || shell.exitCode() != 0) {
        std::fprintf(stderr, "sqlite3 failed: %s\n", shell.readAllStandardError().constData());
        return 0;
    }
    return milliseconds(timer);
}

void measure(int records)
{
    QTemporaryDir directory;
    const QString data = directory.filePath("sqldata");
    auto backend = std::make_shared<engine::EmbeddedBackend>(data);
    data::BackendRouter::setEmbeddedBackend(backend);
    const QString password = QStringLiteral("Bench-Sa1");
    {
        auto session = backend->open(
            data::ConnectionString::fromTemplate(QString(), "sa", password, "(LOCAL)", QString()), 0);
        fill(*session, records);
    }
    QList<maintenance::RecordExport::Column> exported;
    for (const QString& name : columns.split(','))
        exported.append({ name, name.toUpper() });
    const QString source = QStringLiteral("select %1 from inquiry").arg(columns);
    const QString connection = data::ConnectionString::forDataControl("(LOCAL)", "nivo", "sa", password);

    constexpr int Runs = 3;
    double sqlite = 0;
    for (int run = 0; run < Runs; ++run) {
        const double time = sqliteMilliseconds(data + "/nivo.sqlite", directory.filePath("sqlite.csv"));
        sqlite = run == 0 ? time : std::min(sqlite, time);
    }
    std::printf("%8d records: sqlite3 -csv %8.1f ms (%.1f MB)\n", records, sqlite,
        double(QFileInfo(directory.filePath("sqlite.csv")).size()) / 1e6);
    for (const char* extension : { "csv", "xlsx" }) {
        const QString path = directory.filePath(QStringLiteral("export.") + extension);
        bench::resetPeakMemory();
        double time = 0;
        for (int run = 0; run < Runs; ++run) {
            QElapsedTimer timer;
            timer.start();
            const auto result = maintenance::RecordExport(connection, source, exported, path).run({});
            time = run == 0 ? milliseconds(timer) : std::min(time, milliseconds(timer));
            if (result.outcome != maintenance::RecordExport::Outcome::Done)
                std::fprintf(stderr, "export failed: %s\n", result.reason.toUtf8().constData());
        }
        std::printf("          export .%-4s %8.1f ms (%.1f MB): ratio %.2f, peak %.0f MB\n", extension, time,
            double(QFileInfo(path).size()) / 1e6, sqlite > 0 ? time / sqlite : 0.0, bench::peakMemory());
    }
    data::BackendRouter::setEmbeddedBackend(nullptr);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    QList<int> sizes;
    for (int i = 1; i < argc; ++i)
        sizes.append(QString::fromLocal8Bit(argv[i]).toInt());
    if (sizes.isEmpty())
        sizes = { 100000, 1000000 };
    try {
        for (const int records : sizes)
            measure(records);
    } catch (const data::DbError& error) {
        std::fprintf(stderr, "%s\n", error.description().toUtf8().constData());
        return 1;
    }
    return 0;
}

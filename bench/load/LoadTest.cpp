// Several query stations on one embedded data folder while an import, a backup and a restore
// run, each in a process of its own, as on a real site. Prints what the stations saw per
// phase (statements, failures by error number, latency percentiles), the rows before and
// after each job, and whether the restored database equals the backup.
//
//   glimora_load_test [records=1000000] [seconds per phase=20] [stations=8]
//
// The child roles (--station, --job) are this program started again by itself.
#include "backoffice/JobStatements.h"
#include "data/DbError.h"
#include "data/SqlLiteral.h"
#include "engine/server/EmbeddedBackend.h"
#include "engine/values/SqlFunctions.h"
#include "query/QueryStatements.h"
#include "tools/workbook-writer/ZipWriter.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>
#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <numeric>

using namespace glimora;
using query::QueryStatements;

namespace {

const QString Connection = QStringLiteral("Driver={SQL Server};Server=.;Database=%1;Uid=sa;pwd=load");
const QString Columns = QStringLiteral("d1,d2,d3,d16,d21,d26");
constexpr int ImportRows = 100000;

qint64 now()
{
    return QDateTime::currentMSecsSinceEpoch();
}

std::unique_ptr<data::BackendSession> openSession(engine::EmbeddedBackend& backend, const QString& database)
{
    return backend.open(Connection.arg(database), 15);
}

// Reads at most `limit` rows, as a page of the query screen does; returns the first column.
QStringList readRows(data::BackendSession& session, const QString& statement, int limit)
{
    QStringList firstColumn;
    data::ExecuteResult result = session.execute(statement, 30);
    QList<data::Variant> row;
    while (result.cursor && firstColumn.size() < limit && result.cursor->fetchRow(row))
        firstColumn.append(row.value(0).toString());
    return firstColumn;
}

// ---- station ------------------------------------------------------------------------------

// One visitor after another: first level, a value, the second level, a value, the records'
// first page, a filter list, a range filter. Every statement is logged as
// "<start ms> <kind> <microseconds> <error number>"; a failed statement ends the session and
// the station logs in again a second later, as a restarted station would.
int runStation(const QString& dataDirectory, const QString& logPath, qint64 endAt, quint32 seed)
{
    engine::EmbeddedBackend backend(dataDirectory);
    QFile log(logPath);
    if (!log.open(QIODevice::WriteOnly | QIODevice::Text))
        return 2;
    QTextStream out(&log);
    QRandomGenerator random(seed);
    std::unique_ptr<data::BackendSession> session;
    const QStringList levels = { QString(), QStringLiteral("d1"), QStringLiteral("d2") };

    const auto timed = [&](const char* kind, const std::function<void()>& work) {
        const qint64 start = now();
        QElapsedTimer timer;
        timer.start();
        int error = 0;
        try {
            if (!session)
                session = openSession(backend, QStringLiteral("nivo"));
            work();
        } catch (const data::DbError& failure) {
            error = failure.nativeError() ? failure.nativeError() : -1;
            out << "# " << kind << ' ' << error << ' ' << failure.description() << '\n';
            session.reset();
            // The visitor reads the message before the station logs in again.
            QThread::msleep(1000);
        }
        // Flushed at once: the station ends by being killed.
        out << start << ' ' << kind << ' ' << timer.nsecsElapsed() / 1000 << ' ' << error << Qt::endl;
        return error == 0;
    };

    while (now() < endAt) {
        QStringList first;
        if (!timed("level1", [&] { first = readRows(*session, QueryStatements::distinctValues("d1"), 1000); })
            || first.isEmpty())
            continue;
        const QString value1 = first.at(random.bounded(int(first.size())));
        const QString where1 = QueryStatements::drillDownCondition(levels, { QString() }, 1, value1);
        QStringList second;
        if (!timed("level2",
                [&] { second = readRows(*session, QueryStatements::distinctValues("d2", where1), 1000); })
            || second.isEmpty())
            continue;
        const QString value2 = second.at(random.bounded(int(second.size())));
        const QString where2 = QueryStatements::drillDownCondition(levels, { QString(), value1 }, 2, value2);
        timed("records", [&] { readRows(*session, QueryStatements::records(Columns, where2), 40); });
        timed("filter", [&] { readRows(*session, QueryStatements::distinctValues("d21"), 1000); });
        const int year = 2010 + random.bounded(5);
        timed("range", [&] {
            readRows(*session,
                QueryStatements::records(
                    Columns, QStringLiteral(" d16>='%1-01-01' and d16<='%1-12-31' and d26>=500").arg(year)),
                40);
        });
    }
    return 0;
}

// ---- jobs -----------------------------------------------------------------------------------

// Runs one job of the back office as its own process: "import", "backup" or "restore".
int runJob(const QString& dataDirectory, const QString& job, const QString& path)
{
    engine::EmbeddedBackend backend(dataDirectory);
    try {
        auto session = openSession(backend, QStringLiteral("nivo"));
        if (job == QLatin1String("import")) {
            session->execute(backoffice::JobStatements::import(
                                 QStringLiteral("(d1,d21,d2) select f1,f2,f3 from openrowset("
                                                "'MicroSoft.Jet.OleDB.4.0','Excel 5.0;HDR=no;Database=?%',"
                                                "records$)"),
                                 path),
                0);
        } else if (job == QLatin1String("backup")) {
            session->execute(backoffice::JobStatements::backup(QStringLiteral("nivo"), path), 0);
        } else {
            session = openSession(backend, QStringLiteral("master"));
            session->execute(backoffice::JobStatements::verify(path), 0);
            session->execute(backoffice::JobStatements::killConnections(QStringLiteral("nivo"), true), 0);
            session->execute(backoffice::JobStatements::restore(QStringLiteral("nivo"), path, false), 0);
        }
    } catch (const data::DbError& failure) {
        std::fprintf(stderr, "%s failed: %d %s\n", job.toUtf8().constData(), failure.nativeError(),
            failure.description().toUtf8().constData());
        return 1;
    }
    return 0;
}

// ---- set-up and checks ----------------------------------------------------------------------

void fillInquiry(const QString& file, int records)
{
    sqlite3* db = nullptr;
    sqlite3_open(QFile::encodeName(file).constData(), &db);
    engine::SqlFunctions::install(db);
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(
        db, "INSERT INTO inquiry(d1,d2,d3,d16,d21,d26) VALUES(?,?,?,?,?,?)", -1, &insert, nullptr);
    QRandomGenerator random(7);
    for (int i = 0; i < records; ++i) {
        const QByteArray d1 = QStringLiteral("类别%1").arg(random.bounded(20)).toUtf8();
        const QByteArray d2 = QStringLiteral("Sub%1").arg(random.bounded(50)).toUtf8();
        const QByteArray d3 = QStringLiteral("Item number %1").arg(i).toUtf8();
        const QByteArray d16
            = QDate(2010, 1, 1).addDays(random.bounded(1800)).toString("yyyy-MM-dd 00:00:00.000").toUtf8();
        sqlite3_bind_text(insert, 1, d1.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 2, d2.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 3, d3.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 4, d16.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int(insert, 5, random.bounded(1000));
        sqlite3_bind_text(insert, 6, QByteArray::number(random.bounded(100000) / 100.0, 'f', 2).constData(),
            -1, SQLITE_TRANSIENT);
        sqlite3_step(insert);
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(db);
}

// A plain .xlsx with one sheet "records" of three columns: text, number, text.
bool writeImportWorkbook(const QString& path)
{
    QByteArray sheet = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><worksheet "
                       "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><sheetData>";
    for (int i = 1; i <= ImportRows; ++i) {
        const QByteArray r = QByteArray::number(i);
        sheet += "<row r=\"" + r + "\"><c r=\"A" + r + "\" t=\"inlineStr\"><is><t>"
            + QStringLiteral("导入%1").arg(i % 20).toUtf8() + "</t></is></c><c r=\"B" + r + "\"><v>"
            + QByteArray::number(i % 1000) + "</v></c><c r=\"C" + r + "\" t=\"inlineStr\"><is><t>Sub"
            + QByteArray::number(i % 50) + "</t></is></c></row>";
    }
    sheet += "</sheetData></worksheet>";
    if (!ZipWriter::putPart(path, "[Content_Types].xml",
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Types "
            "xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
            "<Default Extension=\"rels\" "
            "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
            "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
            "<Override PartName=\"/xl/workbook.xml\" "
            "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/>"
            "<Override PartName=\"/xl/worksheets/sheet1.xml\" "
            "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml\"/>"
            "</Types>"))
        return false;
    if (!ZipWriter::putPart(path, "_rels/.rels",
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Relationships "
            "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
            "<Relationship Id=\"rId1\" "
            "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument\" "
            "Target=\"xl/workbook.xml\"/></Relationships>"))
        return false;
    if (!ZipWriter::putPart(path, "xl/workbook.xml",
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?><workbook "
            "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
            "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\"><sheets>"
            "<sheet name=\"records\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>"))
        return false;
    if (!ZipWriter::putPart(path, "xl/_rels/workbook.xml.rels",
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Relationships "
            "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
            "<Relationship Id=\"rId1\" "
            "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet\" "
            "Target=\"worksheets/sheet1.xml\"/></Relationships>"))
        return false;
    return ZipWriter::putPart(path, "xl/worksheets/sheet1.xml", sheet);
}

struct Contents
{
    qint64 rows = -1;
    QByteArray digest;
};

// Every stored row of inquiry in key order, each value with its kind and as a typed literal
// (NULL apart from '', decimals and dates by their digits), hashed: two equal digests are
// equal tables.
Contents contents(engine::EmbeddedBackend& backend)
{
    Contents result;
    auto session = openSession(backend, QStringLiteral("nivo"));
    QCryptographicHash hash(QCryptographicHash::Sha256);
    data::ExecuteResult rows
        = session->execute(QStringLiteral("select d60,d1,d2,d3,d16,d21,d26 from inquiry order by d60"), 0);
    QList<data::Variant> row;
    result.rows = 0;
    while (rows.cursor->fetchRow(row)) {
        for (const data::Variant& value : row)
            hash.addData(QByteArray::number(int(value.kind())) + ':' + data::SqlLiteral::value(value).toUtf8()
                + '\x1f');
        ++result.rows;
    }
    result.digest = hash.result().toHex().left(16);
    return result;
}

// ---- report ---------------------------------------------------------------------------------

struct Sample
{
    qint64 at = 0;
    QString kind;
    double milliseconds = 0;
    int error = 0;
};

struct Phase
{
    QString name;
    qint64 from = 0;
    qint64 to = 0;
};

QList<Sample> readLogs(const QStringList& paths, QMap<int, QString>& messages)
{
    QList<Sample> samples;
    for (const QString& path : paths) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
            continue;
        while (!file.atEnd()) {
            const QString line = QString::fromUtf8(file.readLine()).trimmed();
            if (line.startsWith(QLatin1Char('#'))) {
                const QStringList parts = line.split(QLatin1Char(' '));
                messages.insert(parts.value(2).toInt(), parts.mid(3).join(QLatin1Char(' ')));
                continue;
            }
            const QStringList parts = line.split(QLatin1Char(' '));
            if (parts.size() == 4)
                samples.append(
                    { parts[0].toLongLong(), parts[1], parts[2].toDouble() / 1000.0, parts[3].toInt() });
        }
    }
    return samples;
}

double percentile(QList<double> values, double q)
{
    if (values.isEmpty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[qMin(values.size() - 1, qsizetype(q * double(values.size() - 1) + 0.5))];
}

void report(const QList<Phase>& phases, const QList<Sample>& samples, const QMap<int, QString>& messages)
{
    const QStringList kinds = { "level1", "level2", "records", "filter", "range" };
    for (const Phase& phase : phases) {
        std::printf("\n%s (%.1f s)\n  %-8s %8s %8s %9s %9s %9s  failures\n", phase.name.toUtf8().constData(),
            double(phase.to - phase.from) / 1000.0, "kind", "answered", "failed", "p50 ms", "p95 ms",
            "p99 ms");
        for (const QString& kind : kinds) {
            QList<double> times;
            QMap<int, int> failures;
            for (const Sample& sample : samples) {
                if (sample.kind != kind || sample.at < phase.from || sample.at >= phase.to)
                    continue;
                if (sample.error)
                    ++failures[sample.error];
                else
                    times.append(sample.milliseconds);
            }
            QString failureText;
            for (auto it = failures.cbegin(); it != failures.cend(); ++it)
                failureText += QStringLiteral("%1×%2 ").arg(it.key()).arg(it.value());
            std::printf("  %-8s %8lld %8d %9.1f %9.1f %9.1f  %s\n", kind.toUtf8().constData(),
                static_cast<long long>(times.size()), std::accumulate(failures.cbegin(), failures.cend(), 0),
                percentile(times, 0.5), percentile(times, 0.95), percentile(times, 0.99),
                failureText.toUtf8().constData());
        }
    }
    if (!messages.isEmpty()) {
        std::printf("\nerrors seen by the stations:\n");
        for (auto it = messages.cbegin(); it != messages.cend(); ++it)
            std::printf("  %d: %s\n", it.key(), it.value().toUtf8().constData());
    }
}

// Runs a job process while the stations go on; the phase lasts at least `minimum` ms.
bool runPhase(const QString& program, const QString& dataDirectory, const QString& job, const QString& path,
    qint64 minimum, QList<Phase>& phases, const QString& name)
{
    Phase phase { name, now(), 0 };
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(program, { QStringLiteral("--job"), dataDirectory, job, path });
    process.waitForFinished(-1);
    const qint64 jobTime = now() - phase.from;
    const bool ok = process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    std::printf(
        "%s: %s in %.1f s\n", job.toUtf8().constData(), ok ? "done" : "FAILED", double(jobTime) / 1000.0);
    std::fflush(stdout);
    QThread::msleep(quint64(qMax<qint64>(0, minimum - jobTime)));
    phase.to = now();
    phases.append(phase);
    return ok;
}

int runLoad(const QString& program, int records, int seconds, int stations)
{
    QTemporaryDir directory;
    const QString dataDirectory = directory.filePath(QStringLiteral("sqldata"));
    engine::EmbeddedBackend backend(dataDirectory);
    {
        auto session = openSession(backend, QString());
        session->execute(QStringLiteral("create database nivo"), 0);
        session->execute(
            QStringLiteral("use nivo create table inquiry(d1 nvarchar(255) null,d2 nvarchar(255) null,"
                           "d3 nvarchar(255) null,d16 datetime null,d21 decimal(18,0) null,"
                           "d26 decimal(18,2) null,d60 decimal(18,0) not null primary key identity(1,1))"),
            0);
    }
    QElapsedTimer setUp;
    setUp.start();
    fillInquiry(directory.filePath(QStringLiteral("sqldata/nivo.sqlite")), records);
    const QString workbook = directory.filePath(QStringLiteral("import.xlsx"));
    if (!writeImportWorkbook(workbook)) {
        std::fprintf(stderr, "could not write %s\n", workbook.toUtf8().constData());
        return 1;
    }
    const QString backupFile = directory.filePath(QStringLiteral("nivo.dbk"));
    const Contents start = contents(backend);
    std::printf("%d records, %d stations, %d s per phase; set-up %.1f s\n", records, stations, seconds,
        double(setUp.elapsed()) / 1000.0);
    std::fflush(stdout);

    const qint64 phaseMs = qint64(seconds) * 1000;
    // Alone, import, backup, restore and after: the stations run until all are over.
    const qint64 endAt = now() + 3600 * 1000;
    QStringList logs;
    QList<QProcess*> children;
    for (int i = 0; i < stations; ++i) {
        logs.append(directory.filePath(QStringLiteral("station%1.log").arg(i)));
        auto* child = new QProcess;
        child->setProcessChannelMode(QProcess::ForwardedChannels);
        child->start(program,
            { QStringLiteral("--station"), dataDirectory, logs.last(), QString::number(endAt),
                QString::number(1000 + i) });
        child->waitForStarted();
        children.append(child);
    }

    QList<Phase> phases;
    Phase alone { QStringLiteral("stations alone"), now(), 0 };
    QThread::msleep(quint64(phaseMs));
    alone.to = now();
    phases.append(alone);

    const bool imported = runPhase(program, dataDirectory, QStringLiteral("import"), workbook, phaseMs,
        phases, QStringLiteral("stations + import of %1 rows").arg(ImportRows));
    const Contents afterImport = contents(backend);
    const bool backedUp = runPhase(program, dataDirectory, QStringLiteral("backup"), backupFile, phaseMs,
        phases, QStringLiteral("stations + backup"));
    const Contents afterBackup = contents(backend);
    // Changed after the backup, so that a restore that left the database as it was shows.
    openSession(backend, QStringLiteral("nivo"))
        ->execute(QStringLiteral(
                      "delete from inquiry where d60 <= 10 update inquiry set d26 = d26 + 1 where d60 <= 20"),
            0);
    const Contents changed = contents(backend);
    const bool restored = runPhase(program, dataDirectory, QStringLiteral("restore"), backupFile, phaseMs,
        phases, QStringLiteral("stations + restore (stations killed), then stations again"));

    // A station outlives every job: the restore kills its session, never its process.
    int stationsEnded = 0;
    for (QProcess* child : children) {
        if (child->state() == QProcess::NotRunning || child->waitForFinished(0))
            ++stationsEnded;
        child->kill();
        child->waitForFinished(-1);
        delete child;
    }
    if (stationsEnded > 0)
        std::printf("\n%d STATION PROCESSES ENDED BEFORE THE LAST PHASE WAS OVER\n", stationsEnded);
    const Contents afterRestore = contents(backend);

    QMap<int, QString> messages;
    report(phases, readLogs(logs, messages), messages);

    const bool importAllOrNone = imported
        ? afterImport.rows == start.rows + ImportRows
        : afterImport.rows == start.rows && afterImport.digest == start.digest;
    const bool backupUnchanged = afterBackup.digest == afterImport.digest;
    const bool restoreEqual = afterRestore.rows == afterBackup.rows
        && afterRestore.digest == afterBackup.digest && changed.digest != afterBackup.digest;
    std::printf("\nrows: start %lld, after import %lld (%s), after backup %lld (%s), after restore %lld\n",
        static_cast<long long>(start.rows), static_cast<long long>(afterImport.rows),
        importAllOrNone ? "all or none: yes" : "ALL OR NONE BROKEN", static_cast<long long>(afterBackup.rows),
        backupUnchanged ? "unchanged" : "CHANGED", static_cast<long long>(afterRestore.rows));
    std::printf(
        "restored database equals the backup: %s (digest %s / %s; changed before the restore: %lld rows, "
        "digest %s)\n",
        restoreEqual ? "yes" : "NO", afterRestore.digest.constData(), afterBackup.digest.constData(),
        static_cast<long long>(changed.rows), changed.digest.constData());
    return imported && backedUp && restored && importAllOrNone && backupUnchanged && restoreEqual
            && stationsEnded == 0
        ? 0
        : 1;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = application.arguments();
    try {
        if (arguments.value(1) == QLatin1String("--station"))
            return runStation(arguments.value(2), arguments.value(3), arguments.value(4).toLongLong(),
                arguments.value(5).toUInt());
        if (arguments.value(1) == QLatin1String("--job"))
            return runJob(arguments.value(2), arguments.value(3), arguments.value(4));
        const int records = arguments.size() > 1 ? arguments.value(1).toInt() : 1000000;
        const int seconds = arguments.size() > 2 ? arguments.value(2).toInt() : 20;
        const int stations = arguments.size() > 3 ? arguments.value(3).toInt() : 8;
        return runLoad(application.applicationFilePath(), records, seconds, stations);
    } catch (const data::DbError& failure) {
        std::fprintf(
            stderr, "failed: %d %s\n", failure.nativeError(), failure.description().toUtf8().constData());
        return 1;
    }
}

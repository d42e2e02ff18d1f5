// Measures the embedded server on the statements of the query screen, against the same
// SQL run by plain SQLite on the same file, and a workbook import against sqlite3's
// .import of the same rows as CSV. Prints the times and their ratios.
//
//   glimora_engine_bench [rows...]        (default: 100000 1000000)
// The import is always of 100,000 rows of ten columns (65,535 for .xls, a sheet's limit), and
// its peak memory is measured for a quarter of them and all of them. For a profiler:
//   glimora_engine_bench --write-workbooks <folder>   (records.xlsx, records.xls and their CSV)
//   glimora_engine_bench --import-peak <workbook>     (one import; prints peak memory in kB)
//   glimora_engine_bench --import-file <workbook> <csv>   (another writer's 100,000 rows)
#include "bench/support/DirectFill.h"
#include "data/DbError.h"
#include "engine/server/EmbeddedBackend.h"
#include "engine/values/SqlFunctions.h"
#include "engine/workbook/SheetCells.h"
#include "engine/workbook/WorkbookReader.h"
#include "tools/workbook-writer/BiffWriter.h"

#include <cstdio>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <sqlite3.h>
#include <sys/resource.h>
#include <zip.h>

using namespace glimora;

namespace {

const char* const Connection = "Driver={SQL Server};Server=.;Database=nivo;Uid=sa;pwd=bench";

double engineMilliseconds(data::BackendSession& session, const QString& sql, int repeat, qint64& rows)
{
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < repeat; ++i) {
        rows = 0;
        data::ExecuteResult result = session.execute(sql, 0);
        QList<data::Variant> row;
        while (result.cursor && result.cursor->fetchRow(row))
            ++rows;
    }
    return double(timer.nsecsElapsed()) / 1e6 / repeat;
}

double sqliteMilliseconds(sqlite3* db, const QString& sql, int repeat, qint64& rows)
{
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < repeat; ++i) {
        rows = 0;
        sqlite3_stmt* statement = nullptr;
        sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &statement, nullptr);
        while (sqlite3_step(statement) == SQLITE_ROW) {
            // Read every value, as a client would.
            for (int c = 0; c < sqlite3_column_count(statement); ++c) {
                if (sqlite3_column_type(statement, c) == SQLITE_TEXT)
                    sqlite3_column_text(statement, c);
                else
                    sqlite3_column_double(statement, c);
            }
            ++rows;
        }
        sqlite3_finalize(statement);
    }
    return double(timer.nsecsElapsed()) / 1e6 / repeat;
}

void fill(const QString& path, int rows)
{
    bench::DirectFill fill(path, "INSERT INTO inquiry(d1,d2,d3,d16,d21,d26) VALUES(?,?,?,?,?,?)");
    QRandomGenerator random(42);
    for (int i = 0; i < rows; ++i) {
        fill.text(1, QStringLiteral("类别%1").arg(random.bounded(20)).toUtf8());
        fill.text(2, QStringLiteral("Sub%1").arg(random.bounded(50)).toUtf8());
        fill.text(3, QStringLiteral("Item number %1").arg(i).toUtf8());
        fill.text(
            4, QDate(2010, 1, 1).addDays(random.bounded(2000)).toString("yyyy-MM-dd 00:00:00.000").toUtf8());
        fill.integer(5, random.bounded(100));
        fill.number(6, random.bounded(100000) / 100.0);
        fill.insertRow();
    }
}

void addZipEntry(zip_t* archive, const char* name, const QByteArray& content)
{
    auto* copy = static_cast<char*>(malloc(size_t(content.size())));
    memcpy(copy, content.constData(), size_t(content.size()));
    zip_source_t* source = zip_source_buffer(archive, copy, zip_uint64_t(content.size()), 1);
    zip_file_add(archive, name, source, ZIP_FL_OVERWRITE);
}

// A sheet "records" of ten columns as an .xlsx as Excel writes it (shared texts, numbers, a
// date column with a date format), and the same rows as CSV.
void writeWorkbook(const QString& path, const QString& csvPath, int rows)
{
    static const char* const categories[] = { "西药", "中成药", "检查", "化验", "治疗" };
    QStringList strings;
    QHash<QString, int> index;
    auto shared = [&](const QString& text) {
        const auto found = index.constFind(text);
        if (found != index.constEnd())
            return *found;
        strings.append(text);
        return index[text] = int(strings.size() - 1);
    };
    QByteArray sheet = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<worksheet "
                       "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><sheetData>";
    QByteArray csv;
    static const char* const letters = "ABCDEFGHIJ";
    for (int i = 0; i < rows; ++i) {
        const QString texts[] = { QStringLiteral("Name %1").arg(i + 1), QString::fromUtf8(categories[i % 5]),
            QStringLiteral("C%1").arg(i % 977, 5, 10, QLatin1Char('0')), QStringLiteral("盒"),
            QStringLiteral("Maker %1").arg(i % 211), QStringLiteral("Remark %1").arg(i % 13) };
        const double amount = i % 1000;
        const double price = (i % 100000) / 100.0;
        const int serial = 40909 + i % 3650;
        const QByteArray row = QByteArray::number(i + 1);
        sheet += "<row r=\"" + row + "\" spans=\"1:10\">";
        auto textCell = [&](int column, const QString& text) {
            sheet += QByteArray("<c r=\"") + letters[column] + row + "\" t=\"s\"><v>"
                + QByteArray::number(shared(text)) + "</v></c>";
        };
        auto numberCell = [&](int column, const QByteArray& value, const char* style) {
            sheet
                += QByteArray("<c r=\"") + letters[column] + row + "\"" + style + "><v>" + value + "</v></c>";
        };
        for (int c = 0; c < 5; ++c)
            textCell(c, texts[c]);
        numberCell(5, QByteArray::number(serial), " s=\"1\"");
        numberCell(6, QByteArray::number(amount), "");
        numberCell(7, QByteArray::number(price, 'g', 15), "");
        numberCell(8, QByteArray::number(price * 2, 'g', 15), "");
        textCell(9, texts[5]);
        sheet += "</row>";
        const QDate date = QDate(1899, 12, 30).addDays(serial);
        csv += (QStringList { texts[0], texts[1], texts[2], texts[3], texts[4],
                    date.toString(Qt::ISODate) + QStringLiteral(" 00:00:00"), QString::number(amount),
                    QString::number(price, 'g', 15), QString::number(price * 2, 'g', 15), texts[5] }
                    .join(QLatin1Char(','))
            + QLatin1Char('\n'))
                   .toUtf8();
    }
    sheet += "</sheetData></worksheet>";
    QByteArray sst = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<sst "
                     "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" count=\""
        + QByteArray::number(rows * 6) + "\" uniqueCount=\"" + QByteArray::number(strings.size()) + "\">";
    for (const QString& text : std::as_const(strings))
        sst += "<si><t>" + text.toUtf8() + "</t></si>";
    sst += "</sst>";
    int error = 0;
    zip_t* archive = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    addZipEntry(archive, "[Content_Types].xml",
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Types "
        "xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
        "<Default Extension=\"rels\" "
        "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
        "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
        "<Override PartName=\"/xl/workbook.xml\" "
        "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/>"
        "<Override PartName=\"/xl/worksheets/sheet1.xml\" "
        "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml\"/>"
        "<Override PartName=\"/xl/sharedStrings.xml\" "
        "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml\"/>"
        "<Override PartName=\"/xl/styles.xml\" "
        "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml\"/>"
        "</Types>");
    addZipEntry(archive, "_rels/.rels",
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Relationships "
        "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
        "<Relationship Id=\"rId1\" "
        "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument\" "
        "Target=\"xl/workbook.xml\"/>"
        "</Relationships>");
    addZipEntry(archive, "xl/workbook.xml",
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?><workbook "
        "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
        "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\"><sheets>"
        "<sheet name=\"records\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>");
    addZipEntry(archive, "xl/_rels/workbook.xml.rels",
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Relationships "
        "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
        "<Relationship Id=\"rId1\" "
        "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet\" "
        "Target=\"worksheets/sheet1.xml\"/>"
        "<Relationship Id=\"rId2\" "
        "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/sharedStrings\" "
        "Target=\"sharedStrings.xml\"/>"
        "<Relationship Id=\"rId3\" "
        "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles\" "
        "Target=\"styles.xml\"/>"
        "</Relationships>");
    addZipEntry(archive, "xl/styles.xml",
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?><styleSheet "
        "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><cellXfs count=\"2\">"
        "<xf numFmtId=\"0\"/><xf numFmtId=\"14\" applyNumberFormat=\"1\"/></cellXfs></styleSheet>");
    addZipEntry(archive, "xl/sharedStrings.xml", sst);
    addZipEntry(archive, "xl/worksheets/sheet1.xml", sheet);
    zip_close(archive);
    QFile file(csvPath);
    file.open(QIODevice::WriteOnly);
    file.write(csv);
}

void benchmarkStatements(int rows)
{
    QTemporaryDir directory;
    engine::EmbeddedBackend backend(directory.filePath("sqldata"));
    auto session = backend.open(QString::fromLatin1(Connection).replace("Database=nivo", "Database="), 0);
    session->execute("create database nivo", 0);
    session->execute(
        "use nivo create table inquiry(d1 nvarchar(255) null,d2 nvarchar(255) null,d3 nvarchar(255) null,"
        "d16 datetime null,d21 decimal(18,0) null,d26 decimal(18,2) null,"
        "d60 decimal(18,0) not null primary key identity(1,1))",
        0);
    const QString file = directory.filePath("sqldata/nivo.sqlite");
    fill(file, rows);

    sqlite3* plain = nullptr;
    sqlite3_open(QFile::encodeName(file).constData(), &plain);
    engine::SqlFunctions::install(plain);

    const QStringList statements = {
        "select distinct d1 from inquiry  order by d1",
        "select distinct d2 from inquiry where  d1='类别7' order by d2",
        "select distinct d16 from inquiry where  d1='类别7' and d2='Sub3' order by d16",
        "select d1,d2,d3,d16,d21,d26 from inquiry where  d1='类别7' and d2='Sub3'",
        "select d1,d2,d3,d16,d21,d26 from inquiry where d1='类别7' and d21=15",
        "select d1,d2,d3,d16,d21,d26 from inquiry where d16>='2012-01-01' and d16<='2012-12-31' and d26>=500",
    };
    std::printf(
        "\n%d inquiry rows: engine vs plain SQLite on the same file (ms per statement, rows read)\n", rows);
    for (const QString& statement : statements) {
        const int repeat = rows > 500000 ? 2 : 5;
        qint64 engineRows = 0;
        qint64 plainRows = 0;
        engineMilliseconds(*session, statement, 1, engineRows);
        sqliteMilliseconds(plain, statement, 1, plainRows);
        const double engine = engineMilliseconds(*session, statement, repeat, engineRows);
        const double baseline = sqliteMilliseconds(plain, statement, repeat, plainRows);
        std::printf("  %8.1f  %8.1f  ratio %5.2f  rows %lld/%lld  %s\n", engine, baseline, engine / baseline,
            static_cast<long long>(engineRows), static_cast<long long>(plainRows),
            statement.toUtf8().constData());
    }
    sqlite3_close(plain);
}

// A sheet "records" of ten columns as an .xls (shared texts, numbers, a date column), as
// Excel writes it, and the same rows as CSV.
void writeXlsWorkbook(const QString& path, const QString& csvPath, int rows)
{
    static const char* const categories[] = { "西药", "中成药", "检查", "化验", "治疗" };
    BiffWriter writer;
    const quint16 dateXf = writer.addXf(14);
    QStringList strings;
    QHash<QString, quint32> index;
    auto shared = [&](const QString& text) {
        const auto found = index.constFind(text);
        if (found != index.constEnd())
            return *found;
        strings.append(text);
        return index[text] = quint32(strings.size() - 1);
    };
    QByteArray csv;
    QList<QByteArray> cells;
    writer.addSheet("records");
    for (int i = 0; i < rows; ++i) {
        const QString texts[] = { QStringLiteral("Name %1").arg(i + 1), QString::fromUtf8(categories[i % 5]),
            QStringLiteral("C%1").arg(i % 977, 5, 10, QLatin1Char('0')), QStringLiteral("盒"),
            QStringLiteral("Maker %1").arg(i % 211), QStringLiteral("Remark %1").arg(i % 13) };
        const double amount = i % 1000;
        const double price = (i % 100000) / 100.0;
        const double serial = 40909 + i % 3650;
        const quint16 row = quint16(i);
        for (int c = 0; c < 5; ++c)
            writer.addCell(BiffWriter::labelSst,
                BiffWriter::cell(row, quint16(c), 15) + BiffWriter::u32(shared(texts[c])));
        writer.addCell(BiffWriter::numberRecord, BiffWriter::number(row, 5, serial, dateXf));
        writer.addCell(BiffWriter::numberRecord, BiffWriter::number(row, 6, amount, 15));
        writer.addCell(BiffWriter::numberRecord, BiffWriter::number(row, 7, price, 15));
        writer.addCell(BiffWriter::numberRecord, BiffWriter::number(row, 8, price * 2, 15));
        writer.addCell(
            BiffWriter::labelSst, BiffWriter::cell(row, 9, 15) + BiffWriter::u32(shared(texts[5])));
        const QDate date = QDate(1899, 12, 30).addDays(qint64(serial));
        csv += (QStringList { texts[0], texts[1], texts[2], texts[3], texts[4],
                    date.toString(Qt::ISODate) + QStringLiteral(" 00:00:00"), QString::number(amount),
                    QString::number(price, 'g', 15), QString::number(price * 2, 'g', 15), texts[5] }
                    .join(QLatin1Char(','))
            + QLatin1Char('\n'))
                   .toUtf8();
    }
    writer.addSharedStrings(strings);
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(writer.file());
    QFile csvFile(csvPath);
    csvFile.open(QIODevice::WriteOnly);
    csvFile.write(csv);
}

const QStringList importColumns = { "d1", "d2", "d3", "d4", "d5", "d16", "d21", "d26", "d27", "d6" };

std::unique_ptr<data::BackendSession> importDatabase(engine::EmbeddedBackend& backend)
{
    auto session = backend.open(QString::fromLatin1(Connection).replace("Database=nivo", "Database="), 0);
    session->execute("create database nivo", 0);
    session->execute(
        "use nivo create table inquiry(d1 nvarchar(255) null,d2 nvarchar(255) null,d3 nvarchar(255) null,"
        "d4 nvarchar(255) null,d5 nvarchar(255) null,d6 nvarchar(255) null,d16 datetime null,"
        "d21 decimal(18,0) null,d26 decimal(18,2) null,d27 decimal(18,2) null,"
        "d60 decimal(18,0) not null primary key identity(1,1))",
        0);
    return session;
}

qint64 importWorkbook(data::BackendSession& session, const QString& workbook, const QStringList& columns)
{
    QStringList sources;
    for (int i = 1; i <= columns.size(); ++i)
        sources.append(QStringLiteral("f%1").arg(i));
    return session
        .execute(QStringLiteral("insert inquiry(%1) select %2 from openrowset('MicroSoft.Jet.OleDB.4.0',"
                                "'Excel 5.0;HDR=no;Database=%3',records$)")
                     .arg(columns.join(','), sources.join(','), workbook),
            0)
        .rowsAffected;
}

// Imports the sheet through the engine and the CSV through sqlite3; prints both and the ratio.
// Each time is the best of three runs, so that work beside the bench does not decide the ratio.
void timeImport(
    const QString& label, const QString& workbook, const QString& csv, int rows, const QStringList& columns)
{
    constexpr int Runs = 3;
    double reader = 0, engine = 0, baseline = 0;
    qint64 readRows = 0, imported = 0;
    const auto best
        = [](double& kept, double time, int run) { kept = run == 0 ? time : std::min(kept, time); };
    for (int run = 0; run < Runs; ++run) {
        QTemporaryDir directory;
        engine::EmbeddedBackend backend(directory.filePath("sqldata"));
        auto session = importDatabase(backend);
        QElapsedTimer timer;
        timer.start();
        // Reads every cell and keeps none, as the import does.
        struct Counter : engine::SheetCells
        {
            qint64 rows = 0;
            void number(qint64 row, int, double) override { rows = std::max(rows, row + 1); }
            void text(qint64 row, int, std::string_view) override { rows = std::max(rows, row + 1); }
            void dateTime(qint64 row, int, qint64) override { rows = std::max(rows, row + 1); }
        } counter;
        engine::readWorkbookSheet(workbook, QStringLiteral("records"), counter);
        readRows = counter.rows;
        best(reader, double(timer.nsecsElapsed()) / 1e6, run);
        timer.restart();
        imported = importWorkbook(*session, workbook, columns);
        best(engine, double(timer.nsecsElapsed()) / 1e6, run);

        const QString plainFile = directory.filePath("plain.sqlite");
        QProcess sqlite;
        sqlite.start("sqlite3", { plainFile });
        sqlite.waitForStarted();
        timer.restart();
        sqlite.write(QStringLiteral("PRAGMA journal_mode=WAL;\nPRAGMA synchronous=FULL;\n"
                                    "CREATE TABLE inquiry(%1);\n.mode csv\n.import %2 inquiry\n.quit\n")
                         .arg(columns.join(','), csv)
                         .toUtf8());
        sqlite.closeWriteChannel();
        sqlite.waitForFinished(-1);
        best(baseline, double(timer.nsecsElapsed()) / 1e6, run);
    }
    std::printf(
        "\nImport of %d %s rows (%lld columns): engine %.0f ms (%lld rows), sqlite3 .import of the CSV "
        "%.0f ms, ratio %.2f; the workbook reader alone %.0f ms (%lld rows)\n",
        rows, label.toUtf8().constData(), static_cast<long long>(columns.size()), engine,
        static_cast<long long>(imported), baseline, engine / baseline, reader,
        static_cast<long long>(readRows));
}

// Runs the import alone in a process of its own (this program with --import-peak) and returns
// its peak resident memory and that of its largest child (the .xls reader), in MB.
QPair<double, double> importPeak(const QString& workbook)
{
    QProcess process;
    process.start(QCoreApplication::applicationFilePath(), { "--import-peak", workbook });
    process.waitForFinished(-1);
    const QList<QByteArray> fields = process.readAllStandardOutput().trimmed().split(' ');
    if (fields.size() != 2)
        return { -1, -1 };
    return { fields[0].toDouble() / 1024, fields[1].toDouble() / 1024 };
}

void benchmarkImport(int rows)
{
    QTemporaryDir directory;
    const QString workbook = directory.filePath("records.xlsx");
    const QString csv = directory.filePath("records.csv");
    writeWorkbook(workbook, csv, rows);
    timeImport(QStringLiteral(".xlsx"), workbook, csv, rows, importColumns);

    // A sheet of an .xls holds at most 65,536 rows.
    const int xlsRows = std::min(rows, 65535);
    const QString xls = directory.filePath("records.xls");
    const QString xlsCsv = directory.filePath("records-xls.csv");
    writeXlsWorkbook(xls, xlsCsv, xlsRows);
    timeImport(QStringLiteral(".xls"), xls, xlsCsv, xlsRows, importColumns);

    // Peak memory of the importing process for a quarter of the rows and for all of them.
    std::printf("\nPeak memory of an import (MB, the server's process / its .xls reader child):\n");
    for (const int size : { rows / 4, rows }) {
        const QString small = directory.filePath(QStringLiteral("peak%1.xlsx").arg(size));
        writeWorkbook(small, directory.filePath("peak.csv"), size);
        const auto [server, child] = importPeak(small);
        std::printf("  .xlsx %7d rows: %6.1f\n", size, server);
    }
    for (const int size : { xlsRows / 4, xlsRows }) {
        const QString small = directory.filePath(QStringLiteral("peak%1.xls").arg(size));
        writeXlsWorkbook(small, directory.filePath("peak.csv"), size);
        const auto [server, child] = importPeak(small);
        std::printf("  .xls  %7d rows: %6.1f / %6.1f\n", size, server, child);
    }
}

// The child of importPeak: one import, then "server-kB child-kB".
int runImportPeak(const QString& workbook)
{
    QTemporaryDir directory;
    engine::EmbeddedBackend backend(directory.filePath("sqldata"));
    auto session = importDatabase(backend);
    importWorkbook(*session, workbook, importColumns);
    // The high-water mark of this process's own memory (ru_maxrss would count the parent's
    // from before the exec). The child's counts the pages it shares with this process.
    QFile status(QStringLiteral("/proc/self/status"));
    status.open(QIODevice::ReadOnly);
    long peak = -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            peak = line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    rusage children {};
    getrusage(RUSAGE_CHILDREN, &children);
    std::printf("%ld %ld\n", peak, children.ru_maxrss);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    if (argc == 3 && QByteArray(argv[1]) == "--import-peak") {
        try {
            return runImportPeak(QString::fromLocal8Bit(argv[2]));
        } catch (const data::DbError& error) {
            std::fprintf(stderr, "failed: %s\n", error.description().toUtf8().constData());
            return 1;
        }
    }
    if (argc == 4 && QByteArray(argv[1]) == "--import-file") {
        // A workbook of another writer (bench/engine/sheetjs-workbook.js) against its CSV.
        try {
            timeImport(QStringLiteral("(%1)").arg(QString::fromLocal8Bit(argv[2])),
                QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]), 100000, importColumns);
        } catch (const data::DbError& error) {
            std::fprintf(stderr, "failed: %s\n", error.description().toUtf8().constData());
            return 1;
        }
        return 0;
    }
    if (argc == 3 && QByteArray(argv[1]) == "--write-workbooks") {
        // For a profiler: the two workbooks of the import, to run --import-peak on.
        const QDir folder(QString::fromLocal8Bit(argv[2]));
        writeWorkbook(folder.filePath("records.xlsx"), folder.filePath("records-xlsx.csv"), 100000);
        writeXlsWorkbook(folder.filePath("records.xls"), folder.filePath("records-xls.csv"), 65535);
        return 0;
    }
    QList<int> sizes;
    for (int i = 1; i < argc; ++i)
        sizes.append(QString::fromLatin1(argv[i]).toInt());
    if (sizes.isEmpty())
        sizes = { 100000, 1000000 };
    try {
        for (int rows : sizes)
            benchmarkStatements(rows);
        benchmarkImport(100000);
    } catch (const data::DbError& error) {
        std::fprintf(stderr, "failed: %s\n", error.description().toUtf8().constData());
        return 1;
    }
    return 0;
}

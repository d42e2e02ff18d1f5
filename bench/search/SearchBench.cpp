// Times the search index's build against an import of the same rows from a workbook, and each
// keystroke of a search, its statement and first page of 20 records, on the embedded server,
// p95 against SQLite's FTS5 trigram index over the same texts, same run.
//   glimora_search_bench [rows]   (default 1000000)
#include "data/BackendRouter.h"
#include "data/Command.h"
#include "data/Connection.h"
#include "data/SearchKeys.h"
#include "engine/server/EmbeddedBackend.h"
#include "maintenance/XlsxRecordWriter.h"
#include "query/SearchIndex.h"
#include "query/SearchStatements.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <sqlite3.h>

#include <algorithm>
#include <cstdio>

using namespace glimora;

namespace {

const QString Han
    = QString::fromUtf8("中国银行重庆医院长城饭店乐山大佛血常规单位注射液药品检查治疗手术护理化验西药"
                        "草成人民新华书店北京上海广州市第一科室门诊住院部");

QString randomText(QRandomGenerator& random)
{
    QString text;
    const int length = 2 + int(random.bounded(6));
    for (int n = 0; n < length; ++n)
        text += Han[int(random.bounded(Han.size()))];
    if (random.bounded(4) == 0)
        text += QString::number(random.bounded(1000));
    return text;
}

double p95(std::vector<double> times)
{
    std::sort(times.begin(), times.end());
    return times.empty() ? 0 : times[std::min(times.size() - 1, size_t(double(times.size()) * 0.95))];
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    const long rows = argc > 1 ? std::atol(argv[1]) : 1000000;
    QTemporaryDir folder;
    auto backend = std::make_shared<engine::EmbeddedBackend>(folder.filePath(QStringLiteral("sqldata")));
    data::BackendRouter::setEmbeddedBackend(backend);
    const QString server = QStringLiteral("Driver={SQL Server};Server=(LOCAL);Uid=sa;pwd=bench;Database=");
    auto session = backend->open(server, 30);
    session->execute(QStringLiteral("create database bench"), 30);
    session->execute(
        QStringLiteral("use bench create table inquiry (d1 nvarchar(255) null, d2 nvarchar(255) null)"), 30);

    QElapsedTimer clock;
    clock.start();
    qint64 inserting = 0;
    QRandomGenerator random(7);
    QStringList texts;
    sqlite3* fts = nullptr;
    sqlite3_open(":memory:", &fts);
    sqlite3_exec(
        fts, "create virtual table f using fts5(t, tokenize='trigram'); begin", nullptr, nullptr, nullptr);
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(fts, "insert into f (t) values (?)", -1, &insert, nullptr);
    QStringList batch;
    QFile workbookFile(folder.filePath(QStringLiteral("records.xlsx")));
    workbookFile.open(QIODevice::WriteOnly);
    maintenance::XlsxRecordWriter workbook(workbookFile, QStringLiteral("records"));
    workbook.writeHeader({ QStringLiteral("d1"), QStringLiteral("d2") });
    for (long n = 0; n < rows; ++n) {
        const QString text = randomText(random);
        workbook.writeRow(
            { data::Variant::fromString(text), data::Variant::fromString(QStringLiteral("x")) }, { 0, 1 });
        if (n < 200)
            texts.append(text);
        batch.append(QStringLiteral("(N'") + text + QStringLiteral("', N'x')"));
        const QByteArray utf8 = text.toUtf8();
        sqlite3_bind_text(insert, 1, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
        sqlite3_step(insert);
        sqlite3_reset(insert);
        if (batch.size() == 1000 || n + 1 == rows) {
            clock.restart();
            session->execute(QStringLiteral("use bench insert into inquiry (d1, d2) values ")
                    + batch.join(QLatin1Char(',')),
                0);
            inserting += clock.elapsed();
            batch.clear();
        }
    }
    sqlite3_exec(fts, "commit", nullptr, nullptr, nullptr);
    sqlite3_finalize(insert);
    workbook.finish();
    workbookFile.close();

    // The import that the index's build follows, of the same rows, as the back office runs it.
    session->execute(QStringLiteral("create database imported"), 30);
    session->execute(
        QStringLiteral("use imported create table inquiry (d1 nvarchar(255) null, d2 nvarchar(255) null)"),
        30);
    clock.restart();
    const qint64 imported
        = session
              ->execute(
                  QStringLiteral(
                      "use imported insert inquiry (d1, d2) select f1, f2 from openrowset("
                      "'MicroSoft.Jet.OleDB.4.0','Excel 5.0;HDR=no;Database=%1',records$) where f1 <> 'd1'")
                      .arg(workbookFile.fileName()),
                  0)
              .rowsAffected;
    const qint64 importing = clock.elapsed();
    session->execute(QStringLiteral("use master drop database imported"), 30);

    data::Connection connection = data::Connection::create();
    connection.Open(server + QStringLiteral("bench"));
    clock.restart();
    query::SearchIndex::rebuild(connection, { QStringLiteral("d1") });
    const qint64 building = clock.elapsed();
    std::printf("rows %ld: imported %lld in %.1f s, inserted in %.1f s, index built in %.1f s; "
                "build/import %.2f, build/insert %.2f\n",
        rows, qlonglong(imported), double(importing) / 1000, double(inserting) / 1000,
        double(building) / 1000, importing > 0 ? double(building) / double(importing) : 0.0,
        inserting > 0 ? double(building) / double(inserting) : 0.0);

    if (qEnvironmentVariableIsSet("GLIMORA_BENCH_PLAN")) {
        data::Command plan = data::Command::create();
        plan.SetActiveConnection(connection);
        plan.SetCommandText(QStringLiteral("set showplan_text on"));
        plan.Execute();
        plan.SetCommandText(query::SearchStatements::records(
            QStringLiteral("d1, d2"), { QStringLiteral("d1") }, QStringLiteral("zg")));
        for (data::Recordset rows = plan.Execute(); !rows.EndOfFile(); rows.MoveNext())
            std::printf("%s\n", qPrintable(rows.Item(3).Value().toString()));
        plan.SetCommandText(QStringLiteral("set showplan_text off"));
        plan.Execute();
    }

    // Each keystroke of 40 searches: the initials typed one by one, then the text.
    std::vector<double> ours, theirs;
    sqlite3_stmt* like = nullptr;
    sqlite3_prepare_v2(fts, "select t from f where t like ? limit 20", -1, &like, nullptr);
    for (int s = 0; s < 40; ++s) {
        const QString text = texts[s * 5];
        const data::SearchKeys keys = data::SearchKeys::of(text);
        QStringList queries;
        for (int n = 1; n <= keys.initials.value(0).size() && n <= 4; ++n)
            queries.append(keys.initials.value(0).left(n));
        for (int n = 1; n <= text.size() && n <= 3; ++n)
            queries.append(text.left(n));
        for (const QString& q : queries) {
            clock.restart();
            data::Command command = data::Command::create();
            command.SetActiveConnection(connection);
            command.SetCommandText(
                query::SearchStatements::records(QStringLiteral("d1, d2"), { QStringLiteral("d1") }, q));
            data::Recordset page = command.Execute();
            for (int n = 0; n < 20 && !page.EndOfFile(); ++n)
                page.MoveNext();
            ours.push_back(double(clock.nsecsElapsed()) / 1e6);
            if (qEnvironmentVariableIsSet("GLIMORA_BENCH_EACH"))
                std::printf("%8.1f ms  %s\n", ours.back(), qPrintable(q));

            clock.restart();
            const QByteArray pattern = (QStringLiteral("%") + q + QStringLiteral("%")).toUtf8();
            sqlite3_bind_text(like, 1, pattern.constData(), int(pattern.size()), SQLITE_TRANSIENT);
            for (int n = 0; n < 20 && sqlite3_step(like) == SQLITE_ROW; ++n) { }
            sqlite3_reset(like);
            theirs.push_back(double(clock.nsecsElapsed()) / 1e6);
        }
    }
    std::printf("keystrokes %zu: first page p95 %.1f ms, FTS5 trigram p95 %.1f ms, ratio %.1f\n", ours.size(),
        p95(ours), p95(theirs), p95(theirs) > 0 ? p95(ours) / p95(theirs) : 0.0);
    sqlite3_finalize(like);
    sqlite3_close(fts);
    return 0;
}

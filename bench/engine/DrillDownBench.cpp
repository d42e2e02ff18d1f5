// Times every statement of the query screen through the embedded server on a large inquiry
// table, against plain SQLite answering the same texts on a copy of the same file that holds
// the best index for each of them (with statistics). p50 and p95 of:
//   - the first page of each statement (the values of a level or a list: all of them, since
//     the screen reads them all; records: the first 20 rows),
//   - a whole drill-down step (the next level's values and the first page of records).
// The first use of each statement's shape is printed apart: it may build an index. Then the
// counts of each level and filter list against the screen's budget for them, and lists of
// several values against the statement target. Then what
// the kept indexes cost an insert of 100,000 rows, and what keeping them behind a mark would
// trade (on plain SQLite).
//
//   glimora_drilldown_bench [rows] [--plans] [--long] [--asked-first]     (default 1000000 rows)
//   --plans prints each statement's plan; --long asks every statement 100 times, not 3;
//   --asked-first asks the screen's first questions on a second session, as a station does at
//   its start, timing meanwhile a reader's statement on the first session, before the rest.
//
// The rows: 20 categories (d1), 50 forms (d2), 300 makers (d6), 1,000 amounts (d26), dates
// over 2,000 days (d16), a unique name (d3).
#include "bench/support/DirectFill.h"
#include "data/DbError.h"
#include "engine/server/EmbeddedBackend.h"
#include "engine/values/SqlFunctions.h"

#include <cstdio>
#include <functional>
#include <QCoreApplication>
#include <QDate>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <sqlite3.h>

#include <algorithm>
#include <atomic>
#include <thread>

using namespace glimora;

namespace {

const char* const Select = "d1,d2,d3,d6,d16,d26";
const int PageRows = 20;

struct Spread
{
    double p50 = 0;
    double p95 = 0;
};

Spread spread(QList<double> samples)
{
    std::sort(samples.begin(), samples.end());
    if (samples.isEmpty())
        return {};
    const auto at = [&](double q) {
        return samples[qMin(samples.size() - 1, qsizetype(q * double(samples.size() - 1) + 0.5))];
    };
    return { at(0.5), at(0.95) };
}

double milliseconds(const std::function<void()>& work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    return double(timer.nsecsElapsed()) / 1e6;
}

// Through the server: the statement and up to `limit` rows (all when negative).
qint64 engineRead(data::BackendSession& session, const QString& sql, int limit)
{
    data::ExecuteResult result = session.execute(sql, 0);
    qint64 rows = 0;
    QList<data::Variant> row;
    while ((limit < 0 || rows < limit) && result.cursor && result.cursor->fetchRow(row))
        ++rows;
    return rows;
}

qint64 plainRead(sqlite3* db, const QString& sql, int limit)
{
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &statement, nullptr);
    qint64 rows = 0;
    while ((limit < 0 || rows < limit) && sqlite3_step(statement) == SQLITE_ROW) {
        for (int c = 0; c < sqlite3_column_count(statement); ++c)
            sqlite3_column_text(statement, c);
        ++rows;
    }
    sqlite3_finalize(statement);
    return rows;
}

QString category(int i)
{
    return QStringLiteral("类别%1").arg(i);
}

QString form(int i)
{
    return QStringLiteral("剂型%1").arg(i);
}

void fill(const QString& path, int rows)
{
    // Everything into the file itself, which the baseline copies.
    bench::DirectFill fill(path, "INSERT INTO inquiry(d1,d2,d3,d6,d16,d26) VALUES(?,?,?,?,?,?)");
    QRandomGenerator random(17);
    for (int i = 0; i < rows; ++i) {
        const QByteArray texts[] = { category(random.bounded(20)).toUtf8(), form(random.bounded(50)).toUtf8(),
            QStringLiteral("药品名称%1").arg(i).toUtf8(),
            QStringLiteral("制药厂%1").arg(random.bounded(300)).toUtf8(),
            QDate(2012, 1, 1).addDays(random.bounded(2000)).toString("yyyy-MM-dd 00:00:00.000").toUtf8(),
            QByteArray::number(random.bounded(1000) + 1) + ".50" };
        for (int c = 0; c < 6; ++c)
            fill.text(c + 1, texts[c]);
        fill.insertRow();
    }
}

// A statement of the screen, asked once per value of its list.
struct Case
{
    const char* label;
    QStringList texts;
    int limit; // rows read: all (-1) or the first page
};

void report(const char* label, const Spread& station, const Spread& plain, double first)
{
    std::printf("  %-28s p50 %8.2f  p95 %8.2f   plain p50 %7.2f  p95 %7.2f   ratio p50 %5.2f  p95 %5.2f"
                "   first use %8.1f\n",
        label, station.p50, station.p95, plain.p50, plain.p95, plain.p50 > 0 ? station.p50 / plain.p50 : 0.0,
        plain.p95 > 0 ? station.p95 / plain.p95 : 0.0, first);
}

// The station's p95 of the case.
double measure(data::BackendSession& session, sqlite3* plain, const Case& c, int repeats)
{
    const double firstUse = milliseconds([&] { engineRead(session, c.texts.first(), c.limit); });
    QList<double> station, baseline;
    for (int repeat = 0; repeat < repeats; ++repeat) {
        for (const QString& text : c.texts) {
            station << milliseconds([&] { engineRead(session, text, c.limit); });
            baseline << milliseconds([&] { plainRead(plain, text, c.limit); });
        }
    }
    const qint64 got = engineRead(session, c.texts.first(), c.limit);
    const qint64 expected = plainRead(plain, c.texts.first(), c.limit);
    if (got != expected)
        std::printf("  %s: %lld rows, plain SQLite %lld\n", c.label, static_cast<long long>(got),
            static_cast<long long>(expected));
    report(c.label, spread(station), spread(baseline), firstUse);
    return spread(station).p95;
}

// The counts beside the values of each level and the entries of a filter list, which the
// screen waits for no longer than its budget, and lists of several ticked values, against
// the statement target. Plain SQLite gets the best index for the counts under another list.
void countsAndSeveral(data::BackendSession& session, sqlite3* plain, int repeats)
{
    constexpr double CountBudget = 200;
    constexpr double StatementTarget = 20;
    QStringList first, second, third, makers, makersUnder, kindsUnder, several, severalUnder;
    for (int i = 0; i < 20; ++i) {
        const QString c = QStringLiteral(" d1='%1'").arg(category(i));
        const QString f = QStringLiteral(" d1='%1' and d2='%2'").arg(category(i), form((i * 7) % 50));
        const QString m = QStringLiteral(" d6='制药厂%1'").arg(i * 13);
        const QString any = QStringLiteral(" d1 in ('%1','%2','%3')")
                                .arg(category(i), category((i + 5) % 20), category((i + 11) % 20));
        first << QStringLiteral("select d1, count(*) from inquiry group by d1");
        second << QStringLiteral("select d2, count(*) from inquiry where %1 group by d2").arg(c);
        third << QStringLiteral("select d26, count(*) from inquiry where %1 group by d26").arg(f);
        makers << QStringLiteral("select d6, count(*) from inquiry group by d6");
        makersUnder << QStringLiteral("select d6, count(*) from inquiry where %1 group by d6").arg(c);
        kindsUnder << QStringLiteral("select d1, count(*) from inquiry where %1 group by d1").arg(m);
        several << QStringLiteral("select %1 from inquiry where %2").arg(QLatin1String(Select), any);
        severalUnder
            << QStringLiteral("select %1 from inquiry where %2 and%3").arg(QLatin1String(Select), any, m);
    }
    sqlite3_exec(plain,
        "CREATE INDEX makers_by_kind ON inquiry(d1,d6); CREATE INDEX kinds_by_maker ON inquiry(d6,d1);"
        " ANALYZE;",
        nullptr, nullptr, nullptr);
    std::printf("\n  Counts (budget %.0f ms) and several values in one list (target %.0f ms):\n", CountBudget,
        StatementTarget);
    const QList<Case> counts = {
        { "counts, first level (d1)", first, -1 },
        { "counts, second level (d2)", second, -1 },
        { "counts, third level (d26)", third, -1 },
        { "counts, list d6", makers, -1 },
        { "counts, list d6 under d1", makersUnder, -1 },
        { "counts, list d1 under d6", kindsUnder, -1 },
    };
    double slowest = 0;
    for (const Case& c : counts)
        slowest = std::max(slowest, measure(session, plain, c, repeats));
    const double severalSlowest
        = std::max(measure(session, plain, { "d1 in (3 values)", several, PageRows }, repeats),
            measure(session, plain, { "d1 in (3 values) and d6", severalUnder, PageRows }, repeats));
    std::printf("  counts within the budget: %s (slowest p95 %.1f ms); several values within the target: %s"
                " (slowest p95 %.1f ms)\n",
        slowest <= CountBudget ? "yes" : "no", slowest, severalSlowest <= StatementTarget ? "yes" : "no",
        severalSlowest);
    sqlite3_exec(plain, "DROP INDEX makers_by_kind; DROP INDEX kinds_by_maker;", nullptr, nullptr, nullptr);
}

void printPlans(data::BackendSession& session, const QList<Case>& cases)
{
    std::printf("\n  Plans (SET SHOWPLAN_TEXT ON):\n");
    session.execute(QStringLiteral("set showplan_text on"), 0);
    for (const Case& c : cases) {
        data::ExecuteResult result = session.execute(c.texts.first(), 0);
        QStringList lines;
        QList<data::Variant> row;
        while (result.cursor && result.cursor->fetchRow(row))
            lines.append(row.value(3).toString());
        std::printf("    %-28s %s\n", c.label, qPrintable(lines.join(QStringLiteral("; "))));
    }
    session.execute(QStringLiteral("set showplan_text off"), 0);
}

double bestOfThree(sqlite3* db, const char* sql)
{
    double best = 0;
    for (int i = 0; i < 3; ++i) {
        const double took = milliseconds([&] { plainRead(db, QString::fromUtf8(sql), -1); });
        best = i == 0 ? took : std::min(best, took);
    }
    return best;
}

// The other way to keep indexes, which the server does not take, measured on plain SQLite:
// indexes that cover the rows up to a mark, so that an import past it places its rows in
// none of them, questions that read the rows past the mark apart, and a catch-up that builds
// the indexes again with a later mark. What an import gains, what the questions lose until
// the catch-up, and what the catch-up costs.
void keptBehind(sqlite3* plain, const char* rowsToAdd, double bareInsert)
{
    const char* const keys[][2]
        = { { "levels", "d1,d2,d26" }, { "makers", "d6" }, { "amounts", "d26" }, { "dates", "d16" } };
    sqlite3_stmt* last = nullptr;
    sqlite3_prepare_v2(plain, "SELECT max(rowid) FROM inquiry", -1, &last, nullptr);
    sqlite3_step(last);
    const qint64 mark = sqlite3_column_int64(last, 0);
    sqlite3_finalize(last);
    const double catchUp = milliseconds([&] {
        QByteArray sql = "BEGIN;";
        for (const auto& [name, columns] : keys)
            sql += QByteArray("CREATE INDEX ") + name + "_behind ON inquiry(" + columns
                + ") WHERE rowid<=" + QByteArray::number(mark) + "; DROP INDEX " + name + ";";
        sqlite3_exec(plain, (sql + "ANALYZE; COMMIT;").constData(), nullptr, nullptr, nullptr);
    });
    const double past = milliseconds([&] {
        sqlite3_exec(plain, (QByteArray("INSERT INTO inquiry(d1,d2,d3,d6,d16,d26)") + rowsToAdd).constData(),
            nullptr, nullptr, nullptr);
    });
    std::printf(
        "\n  Indexes kept behind a mark (plain SQLite, not the server's way):\n"
        "    catch-up, the four indexes built again on the whole table: %.0f ms\n"
        "    insert of 100000 rows past the mark: %.0f ms, ratio %.2f to the insert into a table without"
        " indexes\n",
        catchUp, past, past / bareInsert);
    const QByteArray below = " AND rowid<=" + QByteArray::number(mark);
    const QByteArray above = " AND rowid>" + QByteArray::number(mark);
    const QByteArray cond = "d1='" + category(3).toUtf8() + "'";
    const QByteArray lists[][2] = {
        { "second-level values (d2)",
            "SELECT d2 FROM inquiry WHERE " + cond + below + " UNION SELECT d2 FROM inquiry WHERE " + cond
                + above + " ORDER BY 1" },
        { "filter list d26 (1000)",
            "SELECT d26 FROM inquiry WHERE 1" + below + " UNION SELECT d26 FROM inquiry WHERE 1" + above
                + " ORDER BY 1" },
        { "filter list d16 (2000)",
            "SELECT d16 FROM inquiry WHERE 1" + below + " UNION SELECT d16 FROM inquiry WHERE 1" + above
                + " ORDER BY 1" },
    };
    for (const auto& [label, sql] : lists)
        std::printf("    %-28s with 100000 rows past the mark: %.1f ms\n", label.constData(),
            bestOfThree(plain, sql.constData()));
}

// The first level and the filter lists asked on a session of their own while `session` keeps
// reading one record by its key: how long the reader waits while the indexes are built.
void askFirst(engine::EmbeddedBackend& backend, data::BackendSession& session, const QStringList& questions)
{
    const auto readOne = [&](int n) {
        return milliseconds([&] {
            engineRead(
                session, QStringLiteral("select d1, d26 from inquiry where d60 = %1").arg(n * 37 + 1), -1);
        });
    };
    QList<double> before, during, busy;
    for (int n = 0; n < 20000; ++n)
        before << readOne(n);
    // The control: a thread that only computes, for the share of slow reads that a core taken
    // away costs on this machine.
    {
        std::atomic<bool> stop = false;
        std::thread spinner([&] {
            for (volatile double x = 1; !stop;)
                x = x * 1.0000001 + 1;
        });
        for (int n = 0; n < 100000; ++n)
            busy << readOne(n);
        stop = true;
        spinner.join();
    }
    std::atomic<bool> done = false;
    double asking = 0;
    std::thread worker([&] {
        auto own = backend.open(QStringLiteral("Server=.;Database=nivo;Uid=sa;pwd=bench"), 0);
        asking = milliseconds([&] {
            for (const QString& question : questions)
                engineRead(*own, question, -1);
        });
        done = true;
    });
    for (int n = 0; !done; ++n)
        during << readOne(n);
    worker.join();
    const auto worst
        = [](const QList<double>& times) { return *std::max_element(times.begin(), times.end()); };
    const auto over = [](const QList<double>& times) {
        return static_cast<long long>(
            std::count_if(times.begin(), times.end(), [](double t) { return t > 1; }));
    };
    std::printf("  first questions asked on a second session in %.0f ms; a reader meanwhile: %lld reads, "
                "p50 %.2f max %.2f ms, %lld over 1 ms; before: %lld reads, p50 %.2f max %.2f ms, %lld over 1 "
                "ms; beside "
                "a thread that only computes: %lld reads, max %.2f ms, %lld over 1 ms\n",
        asking, static_cast<long long>(during.size()), spread(during).p50,
        during.isEmpty() ? 0.0 : worst(during), over(during), static_cast<long long>(before.size()),
        spread(before).p50, worst(before), over(before), static_cast<long long>(busy.size()), worst(busy),
        over(busy));
}

void run(int rows, bool plans, int repeats, bool askedFirst)
{
    QTemporaryDir directory;
    engine::EmbeddedBackend backend(directory.filePath("sqldata"));
    auto session = backend.open(QStringLiteral("Server=.;Database=;Uid=sa;pwd=bench"), 0);
    session->execute(QStringLiteral("create database nivo"), 0);
    session->execute(
        QStringLiteral("use nivo create table inquiry(d1 nvarchar(255) null,d2 nvarchar(255) null,"
                       "d3 nvarchar(255) null,d6 nvarchar(255) null,d16 datetime null,d26 decimal(18,2) null,"
                       "d60 decimal(18,0) not null primary key identity(1,1))"),
        0);
    // The station's field catalogue, from which the first level's index takes every level.
    if (askedFirst)
        session->execute(
            QStringLiteral("use nivo create table contrast(engl varchar(50) null, chna nvarchar(50) "
                           "null, sort int null) insert contrast values('d1', N'类别', 1), "
                           "('d2', N'剂型', 2), ('d26', N'金额', 3)"),
            0);
    const QString file = directory.filePath("sqldata/nivo.sqlite");
    std::printf("\n%d inquiry rows; times in ms\n", rows);
    std::printf("  filled in %.0f ms\n", milliseconds([&] { fill(file, rows); }));

    // Plain SQLite on a copy of the same rows, with the best index for each statement.
    const QString plainFile = directory.filePath("plain.sqlite");
    sqlite3* plain = nullptr;
    const double indexing = milliseconds([&] {
        QFile::copy(file, plainFile);
        sqlite3_open(QFile::encodeName(plainFile).constData(), &plain);
        engine::SqlFunctions::install(plain);
        sqlite3_exec(plain,
            "CREATE INDEX levels ON inquiry(d1,d2,d26); CREATE INDEX makers ON inquiry(d6);"
            "CREATE INDEX amounts ON inquiry(d26); CREATE INDEX dates ON inquiry(d16); ANALYZE;",
            nullptr, nullptr, nullptr);
    });
    std::printf("  plain SQLite's indexes and statistics built in %.0f ms\n", indexing);

    QStringList first, second, third, records1, records2, makers, dates, amounts, dateRange, amountRange;
    for (int i = 0; i < 20; ++i) {
        const QString c = QStringLiteral(" d1='%1'").arg(category(i));
        const QString f = QStringLiteral(" d1='%1' and d2='%2'").arg(category(i), form((i * 7) % 50));
        first << QStringLiteral("select distinct d1 from inquiry  order by d1");
        second << QStringLiteral("select distinct d2 from inquiry where %1 order by d2").arg(c);
        third << QStringLiteral("select distinct d26 from inquiry where %1 order by d26").arg(f);
        records1 << QStringLiteral("select %1 from inquiry where %2").arg(QLatin1String(Select), c);
        records2 << QStringLiteral("select %1 from inquiry where %2").arg(QLatin1String(Select), f);
        makers << QStringLiteral("select distinct d6 from inquiry  order by d6");
        dates << QStringLiteral("select distinct d16 from inquiry  order by d16");
        amounts << QStringLiteral("select distinct d26 from inquiry  order by d26");
        const QDate from = QDate(2012, 1, 1).addDays(i * 90);
        dateRange << QStringLiteral("select %1 from inquiry where d16>='%2' and d16<='%3'")
                         .arg(QLatin1String(Select), from.toString(Qt::ISODate),
                             from.addDays(30).toString(Qt::ISODate));
        amountRange << QStringLiteral("select %1 from inquiry where d26>=%2 and d26<=%3 and d6='制药厂%4'")
                           .arg(QLatin1String(Select))
                           .arg(i * 50)
                           .arg(i * 50 + 100)
                           .arg(i * 13);
    }
    const QList<Case> cases = {
        { "first-level values (d1)", first, -1 },
        { "second-level values (d2)", second, -1 },
        { "third-level values (d26)", third, -1 },
        { "records under d1", records1, PageRows },
        { "records under d1, d2", records2, PageRows },
        { "records, no condition", { QStringLiteral("select %1 from inquiry").arg(QLatin1String(Select)) },
            PageRows },
        { "filter list d6 (300)", makers, -1 },
        { "filter list d16 (2000)", dates, -1 },
        { "filter list d26 (1000)", amounts, -1 },
        { "range d16", dateRange, PageRows },
        { "range d26 and d6", amountRange, PageRows },
    };
    session->execute(QStringLiteral("use nivo"), 0);
    if (askedFirst)
        askFirst(backend, *session, { first[0], makers[0], dates[0], amounts[0] });
    for (const Case& c : cases)
        measure(*session, plain, c, repeats);

    // A drill-down step: the next level's values and the first page of its records.
    QList<double> station, baseline;
    for (int repeat = 0; repeat < repeats; ++repeat) {
        for (int i = 0; i < 20; ++i) {
            for (const auto& [values, records] :
                { std::pair { second[i], records1[i] }, { third[i], records2[i] } }) {
                station << milliseconds([&] {
                    engineRead(*session, values, -1);
                    engineRead(*session, records, PageRows);
                });
                baseline << milliseconds([&] {
                    plainRead(plain, values, -1);
                    plainRead(plain, records, PageRows);
                });
            }
        }
    }
    report("drill-down step", spread(station), spread(baseline), 0);
    countsAndSeveral(*session, plain, repeats);

    // What the kept indexes cost an import: 100,000 rows into inquiry, and into a table
    // of the same columns that has none.
    session->execute(QStringLiteral("create table copy(d1 nvarchar(255) null,d2 nvarchar(255) null,"
                                    "d3 nvarchar(255) null,d6 nvarchar(255) null,d16 datetime null,"
                                    "d26 decimal(18,2) null)"),
        0);
    const QString rowsToCopy = QStringLiteral(" select d1,d2,d3,d6,d16,d26 from inquiry where d60 <= 100000");
    const double bare = milliseconds(
        [&] { session->execute(QStringLiteral("insert copy(d1,d2,d3,d6,d16,d26)") + rowsToCopy, 0); });
    const double indexed = milliseconds(
        [&] { session->execute(QStringLiteral("insert inquiry(d1,d2,d3,d6,d16,d26)") + rowsToCopy, 0); });
    std::printf("  insert of 100000 rows: %.0f ms into inquiry with its kept indexes, %.0f ms into a table "
                "without, ratio %.2f\n",
        indexed, bare, indexed / bare);
    // A new import into the emptied table: its kept indexes are built again after the rows.
    session->execute(QStringLiteral("delete from inquiry"), 0);
    const double refill = milliseconds([&] {
        session->execute(
            QStringLiteral("insert inquiry(d1,d2,d3,d6,d16,d26) select d1,d2,d3,d6,d16,d26 from copy"), 0);
    });
    std::printf("  the same rows into the emptied inquiry with its kept indexes: %.0f ms, ratio %.2f\n",
        refill, refill / bare);
    // The same with plain SQLite and its four indexes: what keeping any index costs at all.
    sqlite3_exec(plain, "CREATE TABLE copy AS SELECT d1,d2,d3,d6,d16,d26 FROM inquiry WHERE 0", nullptr,
        nullptr, nullptr);
    const char* const plainRows = " SELECT d1,d2,d3,d6,d16,d26 FROM inquiry WHERE d60 <= 100000";
    const double plainBare = milliseconds([&] {
        sqlite3_exec(
            plain, (QByteArray("INSERT INTO copy") + plainRows).constData(), nullptr, nullptr, nullptr);
    });
    const double plainIndexed = milliseconds([&] {
        sqlite3_exec(plain, (QByteArray("INSERT INTO inquiry(d1,d2,d3,d6,d16,d26)") + plainRows).constData(),
            nullptr, nullptr, nullptr);
    });
    std::printf("  plain SQLite, the same rows: %.0f ms into inquiry with its indexes, %.0f ms into a table "
                "without, ratio %.2f; the server's indexed insert against plain SQLite's: ratio %.2f\n",
        plainIndexed, plainBare, plainIndexed / plainBare, indexed / plainIndexed);
    // The same once more with a page cache that holds the whole file: what placing the rows
    // costs when no page has to be read or written before the commit.
    sqlite3_exec(plain, "PRAGMA cache_size=-4194304", nullptr, nullptr, nullptr);
    plainRead(plain, QStringLiteral("SELECT count(*) FROM inquiry INDEXED BY levels WHERE d1 > ''"), -1);
    plainRead(plain, QStringLiteral("SELECT count(*) FROM inquiry INDEXED BY makers WHERE d6 > ''"), -1);
    plainRead(plain, QStringLiteral("SELECT count(*) FROM inquiry INDEXED BY amounts WHERE d26 > 0"), -1);
    plainRead(plain, QStringLiteral("SELECT count(*) FROM inquiry INDEXED BY dates WHERE d16 > ''"), -1);
    const double cached = milliseconds([&] {
        sqlite3_exec(plain, (QByteArray("INSERT INTO inquiry(d1,d2,d3,d6,d16,d26)") + plainRows).constData(),
            nullptr, nullptr, nullptr);
    });
    sqlite3_exec(plain, "PRAGMA cache_size=-2000", nullptr, nullptr, nullptr);
    std::printf(
        "  plain SQLite with its indexes in memory: %.0f ms, ratio %.2f\n", cached, cached / plainBare);
    keptBehind(plain, plainRows, plainBare);
    if (plans)
        printPlans(*session, cases);
    sqlite3_close(plain);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = application.arguments().mid(1);
    const bool plans = arguments.contains(QStringLiteral("--plans"));
    // More rounds of every statement, for a profiler.
    const int repeats = arguments.contains(QStringLiteral("--long")) ? 100 : 3;
    int rows = 1000000;
    for (const QString& argument : arguments) {
        if (!argument.startsWith(QLatin1String("--")))
            rows = argument.toInt();
    }
    try {
        run(rows, plans, repeats, arguments.contains(QStringLiteral("--asked-first")));
    } catch (const data::DbError& error) {
        std::fprintf(stderr, "failed: %s\n", error.description().toUtf8().constData());
        return 1;
    }
    return 0;
}

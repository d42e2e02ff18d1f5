// Opens a data grid over 1,000,000 rows through the data control as a screen would, and
// compares the time until the first page is painted and the memory it takes with reading
// the same first page from the same SQLite file with SQLite directly. Then edits a cell of
// the open grid, as a person would, and compares the time of that first write and the heap
// it leaves in use with the same UPDATE through SQLite directly. Last, one grid goes through
// what a person does with it: open, a first edit, Ctrl+End to the last record, an edit there;
// each step's time, the growth of the process's peak resident size during it and the heap
// left in use after it, against SQLite doing the same on the same file; and the same again
// with the record set holding every record it read, as it did before it let records go. Last,
// a record added to a grid just opened, shown after every record, against an INSERT.
//
//   glimora_grid_bench [rows] [--odbc]
//
// By default the rows live in a database of the embedded server; with --odbc they sit in a
// plain SQLite file reached through the SQLite ODBC driver.

#include "components/CAdodc.h"
#include "components/CDataGrid.h"
#include "data/BackendRouter.h"
#include "data/Command.h"
#include "data/Connection.h"
#include "data/DbError.h"
#include "engine/server/EmbeddedBackend.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <malloc.h>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QKeyEvent>
#include <QScrollBar>
#include <QTemporaryDir>
#include <sqlite3.h>
#include <string>
#include <vector>

using namespace glimora;

namespace {

const char* const statement = "select d60,d1,d2,d16,d26 from inquiry";
const QString embeddedLogin
    = QStringLiteral("Driver={SQL Server};Server=(LOCAL);database=%1;Uid=sa;pwd=Bench-Grid1");
const int rowsPerBatch = 1000;

// Heap in use by this process, in kilobytes (glibc): what the objects alive at this point
// take, unlike the resident size, which freed heap keeps high.
long heapInUseKb()
{
    const struct mallinfo2 info = mallinfo2();
    return long((info.uordblks + info.hblkhd) / 1024);
}

// Resident size of this process and its peak since the peak was last reset, in kilobytes.
long statusKb(const char* key)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::string prefix = std::string(key) + ":";
    while (std::getline(status, line)) {
        if (line.rfind(prefix, 0) == 0)
            return std::stol(line.substr(prefix.size()));
    }
    return -1;
}

// Starts a new peak: the kernel sets the peak resident size to the present one.
void resetPeakResident()
{
    std::ofstream("/proc/self/clear_refs") << "5";
}

bool check(int rc, sqlite3* db, const char* what)
{
    if (rc == SQLITE_OK || rc == SQLITE_DONE || rc == SQLITE_ROW)
        return true;
    std::fprintf(stderr, "%s: %s\n", what, sqlite3_errmsg(db));
    return false;
}

bool createRows(const QString& path, int rows)
{
    sqlite3* db = nullptr;
    if (!check(sqlite3_open(path.toUtf8().constData(), &db), db, "open"))
        return false;
    bool ok = check(sqlite3_exec(db,
                        "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF;"
                        "CREATE TABLE inquiry (d60 INTEGER PRIMARY KEY, d1 nvarchar(255), d2 nvarchar(255), "
                        "d16 datetime, d26 decimal(18,2));"
                        "BEGIN;",
                        nullptr, nullptr, nullptr),
        db, "create");
    sqlite3_stmt* insert = nullptr;
    ok = ok
        && check(sqlite3_prepare_v2(db, "INSERT INTO inquiry VALUES (?, ?, ?, ?, ?)", -1, &insert, nullptr),
            db, "prepare");
    const QByteArray city = QStringLiteral("北京市海淀区").toUtf8();
    for (int i = 1; ok && i <= rows; ++i) {
        const QByteArray name = QStringLiteral("记录%1").arg(i).toUtf8();
        const QByteArray date = QStringLiteral("2024-%1-%2T00:00:00.000")
                                    .arg(1 + i % 12, 2, 10, QLatin1Char('0'))
                                    .arg(1 + i % 28, 2, 10, QLatin1Char('0'))
                                    .toUtf8();
        sqlite3_bind_int(insert, 1, i);
        sqlite3_bind_text(insert, 2, name.constData(), int(name.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 3, city.constData(), int(city.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 4, date.constData(), int(date.size()), SQLITE_TRANSIENT);
        sqlite3_bind_double(insert, 5, (i % 10000) / 100.0);
        ok = check(sqlite3_step(insert), db, "insert");
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    ok = ok && check(sqlite3_exec(db, "COMMIT;", nullptr, nullptr, nullptr), db, "commit");
    sqlite3_close(db);
    return ok;
}

void send(const data::Connection& connection, const QString& batch)
{
    data::Command command = data::Command::create();
    command.SetActiveConnection(connection);
    command.SetCommandText(batch);
    command.Execute();
}

// The rows in a database of the embedded server, sent as T-SQL batches; returns the SQLite
// file that holds them.
QString createRowsOnEmbeddedServer(const QString& dataDirectory, int rows)
{
    data::BackendRouter::setEmbeddedBackend(std::make_shared<engine::EmbeddedBackend>(dataDirectory));
    data::Connection master = data::Connection::create();
    master.Open(embeddedLogin.arg(QStringLiteral("master")));
    send(master, QStringLiteral("CREATE DATABASE bench"));
    data::Connection connection = data::Connection::create();
    connection.Open(embeddedLogin.arg(QStringLiteral("bench")));
    send(connection,
        QStringLiteral(
            "CREATE TABLE inquiry(d1 nvarchar(255) NULL, d2 nvarchar(255) NULL, d16 datetime NULL, "
            "d26 decimal(18,2) null, d60 decimal(18,0) not null PRIMARY KEY identity(1,1))"));
    for (int first = 1; first <= rows; first += rowsPerBatch) {
        QStringList values;
        for (int i = first; i < first + rowsPerBatch && i <= rows; ++i)
            values.append(QStringLiteral("(N'记录%1', N'北京市海淀区', '2024-%2-%3', %4)")
                              .arg(i)
                              .arg(1 + i % 12, 2, 10, QLatin1Char('0'))
                              .arg(1 + i % 28, 2, 10, QLatin1Char('0'))
                              .arg((i % 10000) / 100.0, 0, 'f', 2));
        send(connection,
            QStringLiteral("INSERT INTO inquiry (d1, d2, d16, d26) VALUES ") + values.join(QLatin1Char(',')));
    }
    const QStringList files
        = QDir(dataDirectory).entryList({ QStringLiteral("bench*.sqlite") }, QDir::Files, QDir::Name);
    return files.isEmpty() ? QString() : QDir(dataDirectory).filePath(files.first());
}

// The baseline: the first `rows` rows read with SQLite, every value turned into text.
qint64 readFirstPageDirectly(const QString& path, int rows, std::vector<QStringList>& page, long& heapKb)
{
    const long heapBefore = heapInUseKb();
    QElapsedTimer timer;
    timer.start();
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* select = nullptr;
    sqlite3_prepare_v2(db, statement, -1, &select, nullptr);
    page.clear();
    while (int(page.size()) < rows && sqlite3_step(select) == SQLITE_ROW) {
        QStringList values;
        for (int column = 0; column < sqlite3_column_count(select); ++column)
            values.append(
                QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(select, column))));
        page.push_back(values);
    }
    const qint64 elapsed = timer.nsecsElapsed();
    heapKb = heapInUseKb() - heapBefore;
    sqlite3_finalize(select);
    sqlite3_close(db);
    return elapsed;
}

struct GridRun
{
    qint64 nanoseconds = 0;
    qint64 refreshNanoseconds = 0;
    qint64 bindNanoseconds = 0; // binding reads the first rows
    long heapKb = 0;
    long fetched = 0;
    int visibleRows = 0;
};

// Data control, grid, first paint: what a screen does to show the records.
GridRun openGrid(const QString& connectionString)
{
    const long heapBefore = heapInUseKb();
    QElapsedTimer timer;
    timer.start();
    components::CAdodc control;
    control.SetConnectionString(connectionString);
    control.SetRecordSource(QString::fromLatin1(statement));
    control.Refresh();
    const qint64 refreshed = timer.nsecsElapsed();
    components::CDataGrid grid;
    grid.resize(1000, 700);
    grid.SetDataSource(control.Recordset());
    const qint64 bound = timer.nsecsElapsed();
    grid.show();
    QApplication::processEvents();
    grid.grab(); // paints every visible cell now
    GridRun run;
    run.nanoseconds = timer.nsecsElapsed();
    run.refreshNanoseconds = refreshed;
    run.bindNanoseconds = bound - refreshed;
    run.heapKb = heapInUseKb() - heapBefore;
    run.fetched = control.Recordset().fetchedRecordCount();
    run.visibleRows = grid.viewport()->height() / grid.verticalHeader()->defaultSectionSize() + 1;
    return run;
}

// Scrolls to the bottom of what the grid has read, again and again, as a person dragging the
// scroll bar down would; each step reads the next rows and paints. Returns the mean step.
qint64 scrollDown(const QString& connectionString, int steps, long& fetched)
{
    components::CAdodc control;
    control.SetConnectionString(connectionString);
    control.SetRecordSource(QString::fromLatin1(statement));
    control.Refresh();
    components::CDataGrid grid;
    grid.resize(1000, 700);
    grid.SetDataSource(control.Recordset());
    grid.show();
    QApplication::processEvents();
    grid.grab();
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < steps; ++i) {
        grid.verticalScrollBar()->setValue(grid.verticalScrollBar()->maximum());
        QApplication::processEvents();
        grid.grab();
    }
    fetched = control.Recordset().fetchedRecordCount();
    return timer.nsecsElapsed() / steps;
}

struct EditRun
{
    qint64 nanoseconds = 0;
    long heapKb = 0; // heap in use after the edit, beyond what the shown grid took
    long fetchedBefore = 0;
    long fetchedAfter = 0;
};

// The first edit of a grid freshly opened: a cell of the second row typed over and committed.
EditRun firstEdit(const QString& connectionString, int run)
{
    components::CAdodc control;
    control.SetConnectionString(connectionString);
    control.SetRecordSource(QString::fromLatin1(statement));
    control.Refresh();
    components::CDataGrid grid;
    grid.resize(1000, 700);
    grid.SetDataSource(control.Recordset());
    grid.show();
    QApplication::processEvents();
    grid.grab();
    EditRun result;
    result.fetchedBefore = control.Recordset().fetchedRecordCount();
    const long heapBefore = heapInUseKb();
    QElapsedTimer timer;
    timer.start();
    grid.model()->setData(grid.model()->index(1, 1), QStringLiteral("改过%1").arg(run), Qt::EditRole);
    QApplication::processEvents();
    result.nanoseconds = timer.nsecsElapsed();
    result.heapKb = heapInUseKb() - heapBefore;
    result.fetchedAfter = control.Recordset().fetchedRecordCount();
    return result;
}

// The baseline: the same one-row UPDATE through SQLite on the same file.
qint64 updateDirectly(const QString& path, int run)
{
    QElapsedTimer timer;
    timer.start();
    sqlite3* db = nullptr;
    sqlite3_open(path.toUtf8().constData(), &db);
    const QByteArray sql
        = QStringLiteral("UPDATE inquiry SET d1 = '直接%1' WHERE rowid = 2").arg(run).toUtf8();
    check(sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr), db, "update");
    sqlite3_close(db);
    return timer.nsecsElapsed();
}

// A record added to a grid freshly opened, as 新增 does: stored, made current after every
// record of the result, and painted there.
EditRun newRecordAtOpen(const QString& connectionString, int run)
{
    components::CAdodc control;
    control.SetConnectionString(connectionString);
    control.SetRecordSource(QString::fromLatin1(statement));
    control.Refresh();
    components::CDataGrid grid;
    grid.resize(1000, 700);
    grid.SetDataSource(control.Recordset());
    grid.show();
    QApplication::processEvents();
    grid.grab();
    EditRun result;
    result.fetchedBefore = control.Recordset().fetchedRecordCount();
    const long heapBefore = heapInUseKb();
    QElapsedTimer timer;
    timer.start();
    data::Recordset recordset = control.Recordset();
    recordset.AddNew(QStringLiteral("d1"), data::Variant::fromString(QStringLiteral("新%1").arg(run)));
    QApplication::processEvents();
    grid.scrollTo(grid.currentIndex());
    grid.grab();
    result.nanoseconds = timer.nsecsElapsed();
    result.heapKb = heapInUseKb() - heapBefore;
    result.fetchedAfter = control.Recordset().fetchedRecordCount();
    if (grid.currentIndex().row() != grid.model()->rowCount() - 1)
        std::fprintf(stderr, "the new record is row %d of %d\n", grid.currentIndex().row() + 1,
            grid.model()->rowCount());
    return result;
}

// The baseline: the same one-row INSERT through SQLite on the same file.
qint64 insertDirectly(const QString& path, int run)
{
    QElapsedTimer timer;
    timer.start();
    sqlite3* db = nullptr;
    sqlite3_open(path.toUtf8().constData(), &db);
    const QByteArray sql = QStringLiteral("INSERT INTO inquiry (d1) VALUES ('直新%1')").arg(run).toUtf8();
    check(sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr), db, "insert");
    sqlite3_close(db);
    return timer.nsecsElapsed();
}

// One step of a journey: its time, how far the peak resident size rose above the resident
// size before it, and the heap in use after it beyond what was in use at the start.
struct Step
{
    qint64 nanoseconds = 0;
    long peakGrowthKb = 0;
    long heapKb = 0;
};

class StepMeter
{
public:
    explicit StepMeter(long heapAtStart)
        : m_heapAtStart(heapAtStart)
    {
        malloc_trim(0);
        resetPeakResident();
        m_residentBefore = statusKb("VmRSS");
        m_timer.start();
    }
    Step done() const
    {
        Step step;
        step.nanoseconds = m_timer.nsecsElapsed();
        step.peakGrowthKb = statusKb("VmHWM") - m_residentBefore;
        step.heapKb = heapInUseKb() - m_heapAtStart;
        return step;
    }

private:
    long m_heapAtStart;
    long m_residentBefore = 0;
    QElapsedTimer m_timer;
};

struct Journey
{
    Step open;
    Step firstEdit;
    Step toEnd;
    Step lastEdit;
    long fetched = 0;
    long held = 0;
};

// A person's way through the grid: open it, change a cell of the second row, Ctrl+End to the
// last record, change a cell there. Each step ends with the grid painted.
Journey gridJourney(const QString& connectionString, int run, bool holdAll)
{
    Journey journey;
    const long heapAtStart = heapInUseKb();
    components::CAdodc control;
    components::CDataGrid grid;
    grid.resize(1000, 700);
    {
        StepMeter meter(heapAtStart);
        control.SetConnectionString(connectionString);
        control.SetRecordSource(QString::fromLatin1(statement));
        control.Refresh();
        control.Recordset().setHoldAllRecords(holdAll);
        grid.SetDataSource(control.Recordset());
        grid.show();
        QApplication::processEvents();
        grid.grab();
        journey.open = meter.done();
    }
    {
        StepMeter meter(heapAtStart);
        grid.model()->setData(grid.model()->index(1, 1), QStringLiteral("首改%1").arg(run), Qt::EditRole);
        QApplication::processEvents();
        grid.grab();
        journey.firstEdit = meter.done();
    }
    {
        StepMeter meter(heapAtStart);
        grid.setFocus();
        QKeyEvent press(QEvent::KeyPress, Qt::Key_End, Qt::ControlModifier);
        QApplication::sendEvent(&grid, &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_End, Qt::ControlModifier);
        QApplication::sendEvent(&grid, &release);
        QApplication::processEvents();
        grid.grab();
        QApplication::processEvents();
        grid.grab();
        journey.toEnd = meter.done();
    }
    const int last = grid.model()->rowCount() - 1;
    if (grid.currentIndex().row() != last)
        std::fprintf(stderr, "Ctrl+End stopped at row %d of %d\n", grid.currentIndex().row(), last);
    {
        StepMeter meter(heapAtStart);
        grid.model()->setData(grid.model()->index(last, 1), QStringLiteral("末改%1").arg(run), Qt::EditRole);
        QApplication::processEvents();
        grid.grab();
        journey.lastEdit = meter.done();
    }
    journey.fetched = control.Recordset().fetchedRecordCount();
    journey.held = control.Recordset().heldRecordCount();
    return journey;
}

// The same way with SQLite directly: the first page read, an UPDATE of the second row, every
// row stepped through to the last page (each value turned into text, the last page kept),
// an UPDATE of the last row.
Journey directJourney(const QString& path, int rows, int run)
{
    Journey journey;
    const long heapAtStart = heapInUseKb();
    sqlite3* db = nullptr;
    sqlite3_stmt* select = nullptr;
    const int pageRows = 40;
    std::vector<QStringList> page;
    const auto readRow = [&]() {
        QStringList values;
        for (int column = 0; column < sqlite3_column_count(select); ++column)
            values.append(
                QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(select, column))));
        return values;
    };
    {
        StepMeter meter(heapAtStart);
        sqlite3_open(path.toUtf8().constData(), &db);
        sqlite3_prepare_v2(db, statement, -1, &select, nullptr);
        while (int(page.size()) < pageRows && sqlite3_step(select) == SQLITE_ROW)
            page.push_back(readRow());
        journey.open = meter.done();
    }
    const auto update = [&](int rowid, const QString& text) {
        const QByteArray sql
            = QStringLiteral("UPDATE inquiry SET d1 = '%1' WHERE rowid = %2").arg(text).arg(rowid).toUtf8();
        check(sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr), db, "update");
    };
    {
        StepMeter meter(heapAtStart);
        update(2, QStringLiteral("直首%1").arg(run));
        journey.firstEdit = meter.done();
    }
    {
        StepMeter meter(heapAtStart);
        long stepped = long(page.size());
        while (sqlite3_step(select) == SQLITE_ROW) {
            if (int(page.size()) == pageRows)
                page.erase(page.begin());
            page.push_back(readRow());
            ++stepped;
        }
        journey.fetched = stepped;
        journey.held = long(page.size());
        journey.toEnd = meter.done();
    }
    sqlite3_finalize(select);
    {
        StepMeter meter(heapAtStart);
        update(rows, QStringLiteral("直末%1").arg(run));
        journey.lastEdit = meter.done();
    }
    sqlite3_close(db);
    return journey;
}

void printJourneys(const char* name, const std::vector<Journey>& grid, const std::vector<Journey>& direct)
{
    const auto column = [](const std::vector<Journey>& runs, Step Journey::*step) {
        std::vector<qint64> times;
        long peak = 0;
        long heap = 0;
        for (const Journey& run : runs) {
            times.push_back((run.*step).nanoseconds);
            peak = std::max(peak, (run.*step).peakGrowthKb);
            heap = std::max(heap, (run.*step).heapKb);
        }
        std::sort(times.begin(), times.end());
        struct
        {
            double low, high;
            long peak, heap;
        } figures { times.front() / 1e6, times.back() / 1e6, peak, heap };
        return figures;
    };
    const std::pair<const char*, Step Journey::*> steps[]
        = { { "open", &Journey::open }, { "first edit", &Journey::firstEdit },
              { "Ctrl+End", &Journey::toEnd }, { "edit at the end", &Journey::lastEdit } };
    std::printf("journey (%s, %zu runs): grid against SQLite directly; time min..max, peak resident "
                "growth and heap left in use at most\n",
        name, grid.size());
    for (const auto& [label, step] : steps) {
        const auto g = column(grid, step);
        const auto d = column(direct, step);
        std::printf("  %-16s grid %9.2f..%9.2f ms, peak +%7ld KB, heap %7ld KB | SQLite %8.2f..%8.2f ms, "
                    "peak +%6ld KB, heap %6ld KB | time ratio %.1f\n",
            label, g.low, g.high, g.peak, g.heap, d.low, d.high, d.peak, d.heap,
            d.low > 0 ? g.low / d.low : 0.0);
    }
    std::printf("  rows read by the grid %ld, rows it holds at the end %ld (SQLite: %ld stepped, %ld kept)\n",
        grid.back().fetched, grid.back().held, direct.back().fetched, direct.back().held);
}

qint64 median(std::vector<qint64> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList arguments = QApplication::arguments();
    const bool odbc = arguments.contains(QStringLiteral("--odbc"));
    int rows = 1000000;
    if (arguments.size() > 1 && arguments[1].toInt() > 0)
        rows = arguments[1].toInt();

    QTemporaryDir directory;
    try {
        QElapsedTimer creation;
        creation.start();
        QString path;
        QString connectionString;
        if (odbc) {
            path = directory.filePath(QStringLiteral("bench.db"));
            if (!createRows(path, rows))
                return 1;
            connectionString = QStringLiteral("Driver={SQLite3};Database=") + path;
        } else {
            path = createRowsOnEmbeddedServer(directory.filePath(QStringLiteral("sqldata")), rows);
            connectionString = embeddedLogin.arg(QStringLiteral("bench"));
        }
        std::printf("%d rows created in %.1f s, read through %s\n", rows, creation.elapsed() / 1000.0,
            odbc ? "the SQLite ODBC driver" : "the embedded server");

        // First, while the process is still small, so that peaks are its own.
        std::vector<Journey> gridJourneys;
        std::vector<Journey> holdingJourneys;
        std::vector<Journey> directJourneys;
        for (int i = 0; i < 3; ++i) {
            gridJourneys.push_back(gridJourney(connectionString, i, false));
            directJourneys.push_back(directJourney(path, rows, i));
        }
        for (int i = 0; i < 3; ++i)
            holdingJourneys.push_back(gridJourney(connectionString, 10 + i, true));
        printJourneys("the grid as it is: records far from those shown let go", gridJourneys, directJourneys);
        printJourneys("the grid as it was: every record read held", holdingJourneys, directJourneys);

        std::vector<QStringList> page;
        const int pageRows = 40;
        long directHeapKb = 0;
        std::vector<qint64> directTimes;
        for (int i = 0; i < 5; ++i)
            directTimes.push_back(readFirstPageDirectly(path, pageRows, page, directHeapKb));

        const GridRun first = openGrid(connectionString);
        std::vector<qint64> gridTimes { first.nanoseconds };
        std::vector<qint64> refreshTimes { first.refreshNanoseconds };
        std::vector<qint64> bindTimes { first.bindNanoseconds };
        for (int i = 0; i < 4; ++i) {
            const GridRun run = openGrid(connectionString);
            gridTimes.push_back(run.nanoseconds);
            refreshTimes.push_back(run.refreshNanoseconds);
            bindTimes.push_back(run.bindNanoseconds);
        }

        long fetchedAfterScrolling = 0;
        const qint64 scrollStep = scrollDown(connectionString, 50, fetchedAfterScrolling);

        const double gridMs = median(gridTimes) / 1e6;
        const double directMs = median(directTimes) / 1e6;
        std::printf(
            "first page: %d rows shown, %ld rows fetched by the grid\n", first.visibleRows, first.fetched);
        std::printf("open and first paint, grid: %.2f ms (median of 5), of which connecting and opening the "
                    "record set %.2f ms, binding and reading the first rows %.2f ms\n",
            gridMs, median(refreshTimes) / 1e6, median(bindTimes) / 1e6);
        std::printf("first %d rows, SQLite directly: %.3f ms (median of 5)\n", pageRows, directMs);
        std::printf("time ratio grid/direct: %.1f\n", directMs > 0 ? gridMs / directMs : 0.0);
        std::printf(
            "scrolling to the bottom of the rows read: %.2f ms a step (mean of 50), %ld rows read after "
            "them\n",
            scrollStep / 1e6, fetchedAfterScrolling);
        std::printf("heap in use, grid shown: %ld KB; first page read with SQLite: %ld KB; ratio %.1f\n",
            first.heapKb, directHeapKb, directHeapKb > 0 ? double(first.heapKb) / directHeapKb : 0.0);

        std::vector<qint64> editTimes;
        std::vector<qint64> updateTimes;
        EditRun edit;
        long largestEditHeapKb = 0;
        for (int i = 0; i < 5; ++i) {
            edit = firstEdit(connectionString, i);
            editTimes.push_back(edit.nanoseconds);
            largestEditHeapKb = std::max(largestEditHeapKb, edit.heapKb);
            updateTimes.push_back(updateDirectly(path, i));
        }
        const double editMs = median(editTimes) / 1e6;
        const double updateMs = median(updateTimes) / 1e6;
        std::printf(
            "first edit of an open grid: %.2f ms (median of 5), rows read %ld before it and %ld after; "
            "heap it left in use: %ld KB at most\n",
            editMs, edit.fetchedBefore, edit.fetchedAfter, largestEditHeapKb);
        std::printf(
            "the same UPDATE with SQLite directly: %.3f ms (median of 5); time ratio edit/direct: %.1f\n",
            updateMs, updateMs > 0 ? editMs / updateMs : 0.0);

        std::vector<qint64> addTimes;
        std::vector<qint64> insertTimes;
        EditRun added;
        for (int i = 0; i < 3; ++i) {
            added = newRecordAtOpen(connectionString, i);
            addTimes.push_back(added.nanoseconds);
            insertTimes.push_back(insertDirectly(path, i));
        }
        const double addMs = median(addTimes) / 1e6;
        const double insertMs = median(insertTimes) / 1e6;
        std::printf("a new record on a grid just opened, shown last: %.2f ms (median of 3), rows read %ld "
                    "before it and %ld after; heap it left in use: %ld KB\n",
            addMs, added.fetchedBefore, added.fetchedAfter, added.heapKb);
        std::printf(
            "the same INSERT with SQLite directly: %.3f ms (median of 3); time ratio new record/direct: "
            "%.1f\n",
            insertMs, insertMs > 0 ? addMs / insertMs : 0.0);
    } catch (const data::DbError& error) {
        std::fprintf(stderr, "database error: %s\n", qPrintable(error.description()));
        return 1;
    }
    return 0;
}

// Opening a result of a million rows and reading its first page through the data layer
// must cost about what reading that page from SQLite directly costs, in time and in heap.
// Both read the same SQLite file; the data layer goes through unixODBC and the SQLite
// ODBC driver. Prints each cost and its ratio against the direct read of the same run.

#include "data/Command.h"
#include "data/Connection.h"
#include "data/OdbcBackend.h"
#include "data/Recordset.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <malloc.h>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <sqlite3.h>
#include <vector>

using namespace glimora::data;

namespace {

constexpr int RowCount = 1000000;
constexpr int PageRows = 30;
constexpr int Rounds = 15;
const char* const PageQuery = "select d1, d21, d60 from inquiry order by d60";

void createTable(const QString& path)
{
    sqlite3* db = nullptr;
    sqlite3_open(path.toUtf8().constData(), &db);
    sqlite3_exec(db,
        "create table inquiry (d1 nvarchar(255), d21 numeric(18,0), d60 integer primary key);"
        "begin;"
        "with recursive c(x) as (select 1 union all select x + 1 from c where x < 1000000) "
        "insert into inquiry select 'record ' || x, x % 977, x from c;"
        "commit;",
        nullptr, nullptr, nullptr);
    sqlite3_close(db);
}

size_t heapInUse()
{
    return mallinfo2().uordblks;
}

struct Cost
{
    double microseconds;
    double heapBytes;
};

// Runs `open` (which keeps the first page readable until `close`) several times; the
// medians of time and of the heap held while the page is open.
Cost measure(const std::function<void()>& open, const std::function<void()>& close)
{
    std::vector<double> times;
    std::vector<double> heaps;
    for (int round = 0; round < Rounds; ++round) {
        const size_t before = heapInUse();
        QElapsedTimer timer;
        timer.start();
        open();
        times.push_back(double(timer.nsecsElapsed()) / 1000.0);
        heaps.push_back(double(heapInUse()) - double(before));
        close();
    }
    std::sort(times.begin(), times.end());
    std::sort(heaps.begin(), heaps.end());
    return { times[times.size() / 2], heaps[heaps.size() / 2] };
}

} // namespace

int main()
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("large.db"));
    createTable(path);

    // SQLite directly: prepare, step through one page reading every column.
    sqlite3* db = nullptr;
    sqlite3_open(path.toUtf8().constData(), &db);
    sqlite3_stmt* statement = nullptr;
    long long checksum = 0;
    const Cost direct = measure(
        [&] {
            sqlite3_prepare_v2(db, PageQuery, -1, &statement, nullptr);
            for (int row = 0; row < PageRows && sqlite3_step(statement) == SQLITE_ROW; ++row) {
                checksum += sqlite3_column_bytes16(statement, 0);
                checksum += sqlite3_column_int64(statement, 1) + sqlite3_column_int64(statement, 2);
            }
        },
        [&] { sqlite3_finalize(statement); });
    sqlite3_close(db);

    // StepAPI makes the SQLite driver step through the result instead of reading it whole
    // at execute, as a server's driver would.
    const QString connectionString = QStringLiteral("Driver={SQLite3};StepAPI=1;Database=") + path;

    // The ODBC backend alone, to tell the driver's share from the record set's.
    std::shared_ptr<Backend> backend = OdbcBackend::create();
    std::unique_ptr<BackendSession> session = backend->open(connectionString, 5);
    std::unique_ptr<BackendCursor> cursor;
    const Cost odbc = measure(
        [&] {
            cursor = session->execute(QString::fromLatin1(PageQuery), 0).cursor;
            QList<Variant> row;
            for (int i = 0; i < PageRows && cursor->fetchRow(row); ++i)
                checksum += row[0].toString().size() + qint64(row[1].toDouble()) + row[2].toInt64();
        },
        [&] { cursor.reset(); });
    session.reset();

    // The data layer: a command over a connection, the record set moved through one page.
    Connection connection = Connection::create();
    connection.Open(connectionString, backend);
    Command command = Command::create();
    command.SetActiveConnection(connection);
    command.SetCommandText(QString::fromLatin1(PageQuery));
    Recordset recordset;
    const Cost layered = measure(
        [&] {
            recordset = command.Execute();
            for (int row = 0; row < PageRows && !recordset.EndOfFile(); ++row) {
                checksum += recordset.Item(0).Value().toString().size();
                checksum
                    += qint64(recordset.Item(1).Value().toDouble()) + recordset.Item(2).Value().toInt64();
                recordset.MoveNext();
            }
        },
        [&] {
            recordset.Close();
            recordset = Recordset();
        });

    std::printf("first page (%d rows) of a %d-row result, median of %d rounds\n", PageRows, RowCount, Rounds);
    std::printf("  sqlite3 directly:        %10.1f us  %10.0f bytes of heap\n", direct.microseconds,
        direct.heapBytes);
    std::printf(
        "  ODBC backend alone:      %10.1f us  %10.0f bytes of heap\n", odbc.microseconds, odbc.heapBytes);
    std::printf("  data layer through ODBC: %10.1f us  %10.0f bytes of heap\n", layered.microseconds,
        layered.heapBytes);
    std::printf("  ratio (data layer / direct): time %.2f, heap %.2f\n",
        layered.microseconds / direct.microseconds, layered.heapBytes / std::max(1.0, direct.heapBytes));
    std::printf("  (checksum %lld)\n", checksum);
    return 0;
}

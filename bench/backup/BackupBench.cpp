// Times BACKUP DATABASE and RESTORE DATABASE of the embedded server against copying the
// database file (with the same flush to disk), and prints the times and their ratios.
//
//   glimora_backup_bench [rows...]        (default: 20000 200000)
#include "data/DbError.h"
#include "engine/EmbeddedBackend.h"

#include <cstdio>
#include <fcntl.h>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
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

void measure(int rows)
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

    const QString device = directory.filePath("nivo.dbk");
    QElapsedTimer timer;
    constexpr int Repeat = 3;
    double backup = 0, restore = 0, copy = 0;
    for (int i = 0; i < Repeat; ++i) {
        timer.start();
        session->execute("backup   database   nivo  to   disk='" + device + "' with init", 0);
        backup += milliseconds(timer);
        timer.start();
        session->execute(" restore   database   nivo   from   disk='" + device + "' ", 0);
        restore += milliseconds(timer);
        copy += copyMilliseconds(file, directory.filePath("copy.sqlite"));
    }
    backup /= Repeat;
    restore /= Repeat;
    copy /= Repeat;
    std::printf(
        "%8d rows, %6.1f MB: file copy %7.1f ms | backup %7.1f ms (x%.1f) | restore %7.1f ms (x%.1f)\n", rows,
        double(QFileInfo(file).size()) / 1e6, copy, backup, backup / copy, restore, restore / copy);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    QList<int> sizes;
    for (int i = 1; i < argc; ++i)
        sizes.append(QString::fromLocal8Bit(argv[i]).toInt());
    if (sizes.isEmpty())
        sizes = { 20000, 200000 };
    try {
        for (int rows : sizes)
            measure(rows);
    } catch (const data::DbError& error) {
        std::fprintf(stderr, "%s\n", error.description().toUtf8().constData());
        return 1;
    }
    return 0;
}

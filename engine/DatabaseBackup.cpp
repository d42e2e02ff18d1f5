#include "engine/DatabaseBackup.h"

#include "engine/FaultPoint.h"
#include "engine/ProcessProbe.h"
#include "engine/ServerError.h"
#include "engine/SqlFunctions.h"

#include <atomic>
#include <fcntl.h>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <sqlite3.h>
#include <unistd.h>

namespace glimora::engine {

namespace {

// Bytes 18 and 19 of an SQLite file: 1 for a rollback journal, 2 for write-ahead logging.
constexpr int journalFormatOffset = 18;

// Tells apart the extracted copies of restores running side by side in one process.
std::atomic<int> extractions = 0;

// An SQLite handle that closes itself.
class Handle
{
public:
    Handle() = default;
    ~Handle() { sqlite3_close_v2(m_db); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    sqlite3** out() { return &m_db; }
    sqlite3* get() const { return m_db; }

private:
    sqlite3* m_db = nullptr;
};

ServerError inUse()
{
    return ServerError(3101,
        QStringLiteral("Exclusive access could not be obtained because the database is in use."), 16, 1);
}

ServerError damaged(const QString& device, const QString& detail)
{
    return ServerError(3189,
        QStringLiteral("Damage to the backup set was detected. The database in the backup on device '%1' is "
                       "damaged: %2")
            .arg(device, detail),
        16, 1);
}

void removeDatabaseSideFiles(const QString& path)
{
    QFile::remove(path + QStringLiteral("-wal"));
    QFile::remove(path + QStringLiteral("-shm"));
    QFile::remove(path + QStringLiteral("-journal"));
}

} // namespace

DatabaseBackup::DatabaseBackup(Catalogue& catalogue)
    : m_catalogue(catalogue)
{
}

QString DatabaseBackup::devicePath(const QString& device) const
{
    if (QDir::isAbsolutePath(device))
        return device;
    const QString folder = QDir(m_catalogue.dataDirectory()).absoluteFilePath(QStringLiteral("backup"));
    QDir().mkpath(folder);
    return QDir(folder).absoluteFilePath(device);
}

void DatabaseBackup::backup(const QString& database, const QString& device, bool init)
{
    const std::optional<Catalogue::DatabaseEntry> entry = m_catalogue.database(database);
    if (!entry)
        throw ServerError::databaseMissing(database);
    const QString path = devicePath(device);
    refuseServerFile(path);
    BackupFile::Set set { entry->name, QDateTime::currentDateTimeUtc(), snapshot(*entry) };
    QByteArray bytes;
    // Without INIT the new set goes after those already on the device.
    if (!init && QFile::exists(path)) {
        bytes = BackupFile::readDevice(path);
        BackupFile::decode(bytes, path);
    }
    bytes += BackupFile::encode(set);
    BackupFile::writeDevice(path, bytes);
}

void DatabaseBackup::refuseServerFile(const QString& path)
{
    // Writing a backup over a file of the server itself would destroy what it saves.
    const QString target = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    QStringList files {
        QDir(m_catalogue.dataDirectory()).absoluteFilePath(QStringLiteral("catalogue.sqlite"))
    };
    for (const QString& name : m_catalogue.databaseNames()) {
        if (const std::optional<Catalogue::DatabaseEntry> entry = m_catalogue.database(name))
            files.append(entry->path);
    }
    for (const QString& file : std::as_const(files)) {
        for (const QString& suffix : { QString(), QStringLiteral("-wal"), QStringLiteral("-shm") }) {
            const QString serverFile = QFileInfo(file + suffix).absoluteFilePath();
            if (target == serverFile
                || (QFileInfo::exists(target)
                    && QFileInfo(target).canonicalFilePath() == QFileInfo(serverFile).canonicalFilePath()))
                throw ServerError(3201,
                    QStringLiteral(
                        "Cannot open backup device '%1'. Operating system error 32(The process cannot "
                        "access the file because it is being used by another process.).")
                        .arg(path),
                    16, 1);
        }
    }
}

QByteArray DatabaseBackup::snapshot(const Catalogue::DatabaseEntry& entry)
{
    Handle source;
    if (sqlite3_open_v2(
            QFile::encodeName(entry.path).constData(), source.out(), SQLITE_OPEN_READWRITE, nullptr)
        != SQLITE_OK)
        throw ServerError(3201,
            QStringLiteral("Cannot open the file of database '%1' to back it up.").arg(entry.name), 16, 1);
    Handle memory;
    sqlite3_open(":memory:", memory.out());
    // One step copies every page under a single read transaction: a consistent snapshot
    // while other connections keep writing to the write-ahead log.
    sqlite3_backup* copy = sqlite3_backup_init(memory.get(), "main", source.get(), "main");
    if (!copy)
        throw ServerError(3013, QStringLiteral("BACKUP DATABASE is terminating abnormally."), 16, 1);
    int rc = SQLITE_OK;
    for (int attempt = 0; attempt < 1000; ++attempt) {
        rc = sqlite3_backup_step(copy, -1);
        if (rc != SQLITE_BUSY && rc != SQLITE_LOCKED)
            break;
        sqlite3_sleep(10);
    }
    sqlite3_backup_finish(copy);
    if (rc != SQLITE_DONE)
        throw ServerError(3013,
            QStringLiteral("BACKUP DATABASE is terminating abnormally. %1")
                .arg(QString::fromUtf8(sqlite3_errstr(rc))),
            16, 1);
    sqlite3_int64 size = 0;
    unsigned char* data = sqlite3_serialize(memory.get(), "main", &size, 0);
    if (!data)
        throw ServerError(3013, QStringLiteral("BACKUP DATABASE is terminating abnormally."), 16, 1);
    QByteArray image(reinterpret_cast<const char*>(data), qsizetype(size));
    sqlite3_free(data);
    // The image is stored with a rollback journal, so a copy of it opens without side files.
    if (image.size() > journalFormatOffset + 1) {
        image[journalFormatOffset] = 1;
        image[journalFormatOffset + 1] = 1;
    }
    return image;
}

BackupFile::Set DatabaseBackup::readSet(const QString& path, int fileNumber)
{
    const QList<BackupFile::Set> sets = BackupFile::decode(BackupFile::readDevice(path), path);
    if (fileNumber < 1 || fileNumber > sets.size())
        throw ServerError(
            4038, QStringLiteral("Cannot find file ID %1 on device '%2'.").arg(fileNumber).arg(path), 16, 1);
    return sets[fileNumber - 1];
}

QString DatabaseBackup::extract(const BackupFile::Set& set, const QString& livePath, const QString& device)
{
    const QString temporary = QFileInfo(livePath).absoluteDir().absoluteFilePath(
        QStringLiteral("restore-%1-%2.tmp").arg(QCoreApplication::applicationPid()).arg(++extractions));
    QFile::remove(temporary);
    const int descriptor
        = ::open(QFile::encodeName(temporary).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (descriptor < 0)
        throw ServerError(
            3201, QStringLiteral("Cannot write the restored database beside '%1'.").arg(livePath), 16, 1);
    qsizetype written = 0;
    while (written < set.image.size()) {
        const ssize_t n
            = ::write(descriptor, set.image.constData() + written, size_t(set.image.size() - written));
        if (n <= 0) {
            ::close(descriptor);
            QFile::remove(temporary);
            throw ServerError(
                3201, QStringLiteral("Cannot write the restored database beside '%1'.").arg(livePath), 16, 1);
        }
        written += n;
    }
    BackupFile::syncFile(descriptor);
    ::close(descriptor);

    // SQLite's own check on the copy: the checksum says the bytes are those written, this
    // says they were a sound database of this server when written.
    QString problem;
    {
        Handle copy;
        if (sqlite3_open_v2(
                QFile::encodeName(temporary).constData(), copy.out(), SQLITE_OPEN_READONLY, nullptr)
            != SQLITE_OK) {
            problem = QString::fromUtf8(sqlite3_errmsg(copy.get()));
        } else {
            SqlFunctions::install(copy.get());
            sqlite3_stmt* check = nullptr;
            sqlite3_prepare_v2(copy.get(), "PRAGMA integrity_check", -1, &check, nullptr);
            QStringList findings;
            int rc = SQLITE_ERROR;
            while (check && (rc = sqlite3_step(check)) == SQLITE_ROW)
                findings.append(
                    QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(check, 0))));
            sqlite3_finalize(check);
            if (rc != SQLITE_DONE)
                problem = QString::fromUtf8(sqlite3_errmsg(copy.get()));
            else if (findings != QStringList { QStringLiteral("ok") })
                problem = findings.mid(0, 3).join(QStringLiteral("; "));
            else if (sqlite3_table_column_metadata(copy.get(), "main", "__glimora_users", nullptr, nullptr,
                         nullptr, nullptr, nullptr, nullptr)
                != SQLITE_OK)
                problem = QStringLiteral("it is not a database of this server");
        }
    }
    if (!problem.isEmpty()) {
        QFile::remove(temporary);
        throw damaged(device, problem);
    }

    // The live database runs with write-ahead logging; the copy takes that mode in place.
    QFile file(temporary);
    if (file.open(QIODevice::ReadWrite) && file.seek(journalFormatOffset)) {
        file.write(QByteArray(2, '\2'));
        file.flush();
        BackupFile::syncFile(file.handle());
    }
    return temporary;
}

void DatabaseBackup::takeOver(const QString& livePath)
{
    // Leaving write-ahead logging needs the only connection to the file: it fails while any
    // other connection, of any process, is open, and folds the log into the file.
    Handle live;
    if (sqlite3_open_v2(QFile::encodeName(livePath).constData(), live.out(), SQLITE_OPEN_READWRITE, nullptr)
        != SQLITE_OK)
        return; // no readable file to save: it is replaced as it stands
    sqlite3_busy_timeout(live.get(), 100);
    // Sessions killed just before let go of the file within a moment; give them two seconds.
    for (int attempt = 0;; ++attempt) {
        if (sqlite3_exec(live.get(), "PRAGMA journal_mode=DELETE", nullptr, nullptr, nullptr) == SQLITE_OK)
            return;
        const int rc = sqlite3_errcode(live.get()) & 0xff;
        if ((rc != SQLITE_BUSY && rc != SQLITE_LOCKED) || attempt >= 20)
            throw inUse();
        sqlite3_sleep(100);
    }
}

void DatabaseBackup::restore(
    const QString& database, const QString& device, int fileNumber, bool replace, const QString& ownerLogin)
{
    const QString path = devicePath(device);
    const BackupFile::Set set = readSet(path, fileNumber);
    std::optional<Catalogue::DatabaseEntry> entry = m_catalogue.database(database);
    if (entry && !replace && set.database.compare(entry->name, Qt::CaseInsensitive) != 0)
        throw ServerError(3154,
            QStringLiteral(
                "The backup set holds a backup of a database other than the existing '%1' database.")
                .arg(entry->name),
            16, 1);
    if (entry && !m_catalogue.sessionsUsing(entry->name).isEmpty())
        throw inUse();

    const QString dataFolderFile = QDir(m_catalogue.dataDirectory()).absoluteFilePath(QStringLiteral("x"));
    const QString temporary = extract(set, entry ? entry->path : dataFolderFile, path);
    FaultPoint::reach("restore-extracted");
    try {
        if (!entry) {
            m_catalogue.createDatabase(database, ownerLogin);
            entry = m_catalogue.database(database);
        }
        takeOver(entry->path);
    } catch (...) {
        QFile::remove(temporary);
        throw;
    }
    removeDatabaseSideFiles(entry->path);
    FaultPoint::reach("restore-before-rename");
    if (::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(entry->path).constData()) != 0) {
        QFile::remove(temporary);
        throw ServerError(3013, QStringLiteral("RESTORE DATABASE is terminating abnormally."), 16, 1);
    }
    BackupFile::syncDirectoryOf(entry->path);
    FaultPoint::reach("restore-after-rename");
    removeDatabaseSideFiles(entry->path);
}

void DatabaseBackup::verify(const QString& device, int fileNumber)
{
    const QString path = devicePath(device);
    const BackupFile::Set set = readSet(path, fileNumber);
    const QString dataFolderFile = QDir(m_catalogue.dataDirectory()).absoluteFilePath(QStringLiteral("x"));
    QDir().mkpath(m_catalogue.dataDirectory());
    QFile::remove(extract(set, dataFolderFile, path));
}

void DatabaseBackup::removeLeftovers(const QString& dataDirectory)
{
    static const QRegularExpression owner(QStringLiteral("(?:^restore-(\\d+)-\\d+\\.tmp|\\.part-(\\d+))$"));
    const QStringList folders { dataDirectory,
        QDir(dataDirectory).absoluteFilePath(QStringLiteral("backup")) };
    for (const QString& folder : folders) {
        const QDir dir(folder);
        const QStringList names
            = dir.entryList({ QStringLiteral("restore-*.tmp"), QStringLiteral("*.part-*") }, QDir::Files);
        for (const QString& name : names) {
            const QRegularExpressionMatch match = owner.match(name);
            if (match.hasMatch()
                && !ProcessProbe::isRunning((match.captured(1) + match.captured(2)).toLongLong()))
                QFile::remove(dir.absoluteFilePath(name));
        }
    }
}

} // namespace glimora::engine

#include "engine/backup/DatabaseBackup.h"

#include "engine/backup/ImageFileVfs.h"
#include "engine/backup/ImageStreamWriter.h"
#include "engine/server/FaultPoint.h"
#include "engine/server/ServerError.h"
#include "engine/values/SqlFunctions.h"
#include "platform/ProcessProbe.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QThread>
#include <sodium.h>
#include <sqlite3.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace glimora::engine {

namespace {

// Bytes 18 and 19 of an SQLite file: 1 for a rollback journal, 2 for write-ahead logging.
constexpr int journalFormatOffset = 18;

// Tells apart the extracted copies of restores running side by side in one process.
std::atomic<int> extractions = 0;

constexpr uint checkStackSize = 1 << 20;

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

ServerError cannotExtract()
{
    return ServerError(3201,
        QStringLiteral("Cannot write the restored database in the data folder: %1.")
            .arg(QString::fromLocal8Bit(std::strerror(errno))),
        16, 1);
}

void removeDatabaseSideFiles(const QString& path)
{
    QFile::remove(path + QStringLiteral("-wal"));
    QFile::remove(path + QStringLiteral("-shm"));
    QFile::remove(path + QStringLiteral("-journal"));
}

ServerError outOfMemory()
{
    return ServerError(701, QStringLiteral("There is insufficient system memory to run this query."), 17);
}

// SQLite's own check of an image: the checksum says the bytes are those the backup wrote,
// this that they are a sound database of this server. The quick check reads every page and
// record; what the full check adds, that each index agrees with its table, the image holds
// as the live database held it when the backup read it, and takes far longer.
struct CheckOutcome
{
    QString problem; // empty when all is well
    bool outOfMemory = false;
    bool done = false;
};

CheckOutcome checkImage(sqlite3* db)
{
    if (!db)
        return { QStringLiteral("it cannot be opened") };
    SqlFunctions::install(db);
    sqlite3_stmt* check = nullptr;
    sqlite3_prepare_v2(db, "PRAGMA quick_check", -1, &check, nullptr);
    QStringList findings;
    int rc = SQLITE_ERROR;
    while (check && (rc = sqlite3_step(check)) == SQLITE_ROW)
        findings.append(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(check, 0))));
    sqlite3_finalize(check);
    // A check that ran out of memory has found nothing either way.
    if ((sqlite3_errcode(db) & 0xff) == SQLITE_NOMEM)
        return { QString(), true };
    if (rc != SQLITE_DONE)
        return { QString::fromUtf8(sqlite3_errmsg(db)) };
    if (findings != QStringList { QStringLiteral("ok") })
        return { findings.mid(0, 3).join(QStringLiteral("; ")) };
    if (sqlite3_table_column_metadata(
            db, "main", "__glimora_users", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr)
        != SQLITE_OK)
        return { QStringLiteral("it is not a database of this server") };
    return {};
}

// Copies the image of `set` to `out` (or only reads it when `out` is negative) and checks it
// against its checksum, while SQLite checks the same image where it lies on the device: the
// two reads run side by side, and `afterCopy` runs while the check may still go on. Throws
// when either finds a fault, the checksum's first.
void copyAndCheck(int device, const BackupFile::Set& set, int out, const QString& devicePath,
    const std::function<void()>& afterCopy = {})
{
    // Handed over under a mutex of the C++ library as well as by the thread's end: a thread
    // checker sees this hand-over, which it cannot see inside Qt.
    CheckOutcome outcome;
    std::mutex outcomeMutex;
    std::unique_ptr<QThread> check(QThread::create([&] {
        Handle image;
        *image.out() = ImageFileVfs::open(device, set.imageOffset, set.imageSize, true);
        CheckOutcome checked = checkImage(image.get());
        checked.done = true;
        const std::lock_guard<std::mutex> lock(outcomeMutex);
        outcome = std::move(checked);
    }));
    // SQLite's check needs little stack: the depth of a b-tree.
    check->setStackSize(checkStackSize);
    check->start();
    try {
        BackupFile::copyImage(device, set, out, 0, devicePath);
        if (afterCopy)
            afterCopy();
    } catch (...) {
        check->wait();
        const std::lock_guard<std::mutex> lock(outcomeMutex); // the outcome is ours to drop
        throw;
    }
    check->wait();
    const std::lock_guard<std::mutex> lock(outcomeMutex);
    // A thread the system could not start has checked nothing.
    if (outcome.outOfMemory || !outcome.done)
        throw outOfMemory();
    if (!outcome.problem.isEmpty())
        throw damaged(devicePath, outcome.problem);
}

ServerError backupAborted(const QString& reason)
{
    return ServerError(
        3013, QStringLiteral("BACKUP DATABASE is terminating abnormally. %1").arg(reason).trimmed(), 16, 1);
}

// The first value of a statement's first row, as text; empty when there is none.
QByteArray firstValue(sqlite3* db, const char* sql)
{
    sqlite3_stmt* statement = nullptr;
    QByteArray value;
    if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) == SQLITE_OK
        && sqlite3_step(statement) == SQLITE_ROW)
        value = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
    sqlite3_finalize(statement);
    return value;
}

// Whether the file itself holds the snapshot that `source` reads, and keeps holding it
// while that read transaction lasts. With a rollback journal it does: the read lock keeps
// writers out. With write-ahead logging it does once every frame up to the snapshot is
// copied into the file, which this checkpoint tries: no checkpoint copies frames past the
// snapshot of a reader, so when nothing of the log is left the file is the snapshot. An
// older reader still in the log, or a writer ahead of the snapshot, leaves frames behind.
bool fileHoldsSnapshot(sqlite3* source, const QString& path)
{
    const QByteArray mode = firstValue(source, "PRAGMA journal_mode");
    if (mode == "delete" || mode == "truncate" || mode == "persist")
        return true;
    if (mode != "wal")
        return false;
    Handle checkpointer;
    if (sqlite3_open_v2(
            QFile::encodeName(path).constData(), checkpointer.out(), SQLITE_OPEN_READWRITE, nullptr)
        != SQLITE_OK)
        return false;
    // A connection sees the log only once it has read the file.
    if (sqlite3_exec(checkpointer.get(), "SELECT 1 FROM sqlite_schema LIMIT 1", nullptr, nullptr, nullptr)
        != SQLITE_OK)
        return false;
    int logFrames = -1;
    int copiedFrames = -1;
    return sqlite3_wal_checkpoint_v2(
               checkpointer.get(), "main", SQLITE_CHECKPOINT_PASSIVE, &logFrames, &copiedFrames)
        == SQLITE_OK
        && logFrames >= 0 && logFrames == copiedFrames;
}

// Copies the first `size` bytes of the database file into the image, read straight into
// the writer's blocks. Read through SQLite's own handle on the file: a second descriptor
// of this process, once closed, would drop the locks that SQLite holds on it.
void copyFile(sqlite3_file* file, qint64 size, ImageStreamWriter& writer, const QString& device)
{
    for (qint64 done = 0; done < size;) {
        qint64 room = 0;
        char* into = writer.room(&room);
        const qint64 amount = qMin(room, size - done);
        const int rc = file->pMethods->xRead(file, into, int(amount), done);
        if (rc != SQLITE_OK)
            throw backupAborted(QString::fromUtf8(sqlite3_errstr(rc)));
        if (!writer.appended(amount))
            BackupFile::failDevice(device, writer.error());
        done += amount;
    }
}

// Copies the database page by page through SQLite, which reads each page from the log or
// the file as the snapshot of `source` has it.
void copyPages(sqlite3* source, ImageStreamWriter& writer, const QString& device)
{
    Handle image;
    *image.out() = ImageFileVfs::open(writer);
    sqlite3_backup* copy = image.get() ? sqlite3_backup_init(image.get(), "main", source, "main") : nullptr;
    if (!copy)
        throw backupAborted(QString());
    int rc = SQLITE_OK;
    for (int attempt = 0; attempt < 1000; ++attempt) {
        rc = sqlite3_backup_step(copy, -1);
        if (rc != SQLITE_BUSY && rc != SQLITE_LOCKED)
            break;
        sqlite3_sleep(10);
    }
    sqlite3_backup_finish(copy);
    if (rc == SQLITE_FULL || (rc & 0xff) == SQLITE_IOERR)
        BackupFile::failDevice(device, writer.error() ? writer.error() : rc == SQLITE_FULL ? ENOSPC : EIO);
    if (rc != SQLITE_DONE)
        throw backupAborted(QString::fromUtf8(sqlite3_errstr(rc)));
}

// Copies the database into the image that `writer` takes under a single read transaction:
// a consistent snapshot while other connections keep writing to the write-ahead log. The
// file is copied as it is when it holds that snapshot, else SQLite copies its pages.
void snapshot(const Catalogue::DatabaseEntry& entry, ImageStreamWriter& writer, const QString& device)
{
    {
        Handle source;
        if (sqlite3_open_v2(
                QFile::encodeName(entry.path).constData(), source.out(), SQLITE_OPEN_READWRITE, nullptr)
            != SQLITE_OK)
            throw ServerError(3201,
                QStringLiteral("Cannot open the file of database '%1' to back it up.").arg(entry.name), 16,
                1);
        const qint64 pages = sqlite3_exec(source.get(), "BEGIN", nullptr, nullptr, nullptr) == SQLITE_OK
            ? firstValue(source.get(), "PRAGMA page_count").toLongLong()
            : 0;
        const qint64 size = pages * firstValue(source.get(), "PRAGMA page_size").toLongLong();
        sqlite3_file* file = nullptr;
        sqlite3_int64 fileSize = 0;
        if (pages > 0 && size > 0
            && sqlite3_file_control(source.get(), "main", SQLITE_FCNTL_FILE_POINTER, &file) == SQLITE_OK
            && file && file->pMethods && file->pMethods->xFileSize(file, &fileSize) == SQLITE_OK
            && fileSize >= size && fileHoldsSnapshot(source.get(), entry.path))
            copyFile(file, size, writer, device);
        else
            copyPages(source.get(), writer, device);
        sqlite3_exec(source.get(), "COMMIT", nullptr, nullptr, nullptr);
    }
    // The image is stored with a rollback journal, so a copy of it opens without side files.
    if (writer.size() > journalFormatOffset + 1 && !writer.write("\1\1", 2, journalFormatOffset))
        BackupFile::failDevice(device, writer.error());
}

// Keeps every other connection, of any process, away from the live file until the restored
// file has taken its name. Null when there is no sound file to keep: missing or damaged.
std::unique_ptr<Handle> takeOver(const QString& livePath)
{
    auto live = std::make_unique<Handle>();
    if (sqlite3_open_v2(QFile::encodeName(livePath).constData(), live->out(), SQLITE_OPEN_READWRITE, nullptr)
        != SQLITE_OK)
        return nullptr;
    sqlite3_busy_timeout(live->get(), 100);
    // Leaving write-ahead logging needs the only connection to the file: it fails while any
    // other connection, of any process, is open, and folds the log into the file. In
    // exclusive locking mode the lock it takes is kept, and the transaction keeps it too.
    sqlite3_exec(live->get(), "PRAGMA locking_mode=EXCLUSIVE", nullptr, nullptr, nullptr);
    // Sessions killed just before let go of the file within a moment; give them two seconds.
    for (int attempt = 0;; ++attempt) {
        if (sqlite3_exec(live->get(), "PRAGMA journal_mode=DELETE", nullptr, nullptr, nullptr) == SQLITE_OK
            && sqlite3_exec(live->get(), "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr) == SQLITE_OK)
            return live;
        const int rc = sqlite3_errcode(live->get()) & 0xff;
        // Nobody can use a damaged file, and there is nothing in it to keep.
        if (rc == SQLITE_NOTADB || rc == SQLITE_CORRUPT)
            return nullptr;
        if ((rc != SQLITE_BUSY && rc != SQLITE_LOCKED) || attempt >= 20)
            throw inUse();
        sqlite3_sleep(100);
    }
}

// A restore's hold on the live database for as long as the restore runs (see Catalogue).
class RestoreHold
{
public:
    RestoreHold(Catalogue& catalogue, QString database)
        : m_catalogue(catalogue)
        , m_database(std::move(database))
    {
        m_catalogue.beginRestore(m_database);
    }
    ~RestoreHold()
    {
        try {
            m_catalogue.endRestore(m_database);
        } catch (const std::exception& error) {
            // Left behind, the hold ends with this process; until then logins to it get 927.
            qWarning("restore of %s: its hold on the database was not released: %s", qPrintable(m_database),
                error.what());
        }
    }
    RestoreHold(const RestoreHold&) = delete;
    RestoreHold& operator=(const RestoreHold&) = delete;

private:
    Catalogue& m_catalogue;
    QString m_database;
};

// Removes the temporary file of a backup unless the backup got as far as its rename.
class TemporaryFile
{
public:
    TemporaryFile(int folder, QByteArray name)
        : m_folder(folder)
        , m_name(std::move(name))
    {
    }
    ~TemporaryFile()
    {
        if (!m_name.isEmpty())
            ::unlinkat(m_folder, m_name.constData(), 0);
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    void keep() { m_name.clear(); }

private:
    int m_folder;
    QByteArray m_name;
};

QByteArray randomHex(int bytes)
{
    QByteArray random(bytes, '\0');
    randombytes_buf(random.data(), size_t(random.size()));
    return random.toHex();
}

} // namespace

DatabaseBackup::DatabaseBackup(Catalogue& catalogue)
    : m_catalogue(catalogue)
{
}

QString DatabaseBackup::devicePath(const QString& device) const
{
    // The system would take the name only up to the NUL, and so some other file.
    if (device.contains(QChar(u'\0')))
        throw ServerError(3201,
            QStringLiteral(
                "Cannot open backup device '%1'. Operating system error 123(The filename, directory "
                "name, or volume label syntax is incorrect.).")
                .arg(QString(device).replace(QChar(u'\0'), QLatin1String("\\0"))),
            16, 1);
    if (QDir::isAbsolutePath(device))
        return device;
    const QString folder = QDir(m_catalogue.dataDirectory()).absoluteFilePath(QStringLiteral("backup"));
    QDir().mkpath(folder);
    return QDir(folder).absoluteFilePath(device);
}

void DatabaseBackup::backup(const QString& database, const QString& device, bool init, bool format)
{
    const std::optional<Catalogue::DatabaseEntry> entry = m_catalogue.database(database);
    if (!entry)
        throw ServerError::databaseMissing(database);
    const QString path = devicePath(device);
    refuseServerFile(path);
    const QFileInfo info(path);
    const QByteArray deviceName = QFile::encodeName(info.fileName());
    FileDescriptor folder(
        ::open(QFile::encodeName(info.absolutePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folder.isOpen())
        BackupFile::failDevice(path, errno);
    // Writers of a device take turns, in every process: each one reads the sets already
    // there and renames its new file over the device.
    while (::flock(folder.get(), LOCK_EX) != 0) {
        if (errno != EINTR)
            BackupFile::failDevice(path, errno);
    }
    struct stat status;
    const bool exists = ::fstatat(folder.get(), deviceName.constData(), &status, 0) == 0;
    if (exists && !S_ISREG(status.st_mode))
        BackupFile::openDevice(path); // names the fault
    // INIT replaces the sets of a backup device; a file that holds something else is
    // overwritten only WITH FORMAT, so that a mistyped path never destroys a file.
    if (exists && init && !format && status.st_size > 0)
        BackupFile::checkMedium(BackupFile::openDevice(path).get(), path);
    // Made afresh, never through a planted file or link, under a name nobody can guess.
    const QByteArray temporaryName
        = deviceName + ".part-" + QByteArray::number(QCoreApplication::applicationPid()) + '-' + randomHex(8);
    FileDescriptor out(::openat(
        folder.get(), temporaryName.constData(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!out.isOpen())
        BackupFile::failDevice(path, errno);
    TemporaryFile temporary(folder.get(), temporaryName);

    qint64 end = 0;
    // Without INIT the new set goes after those already on the device, each checked on its way.
    if (!init && !format && exists) {
        FileDescriptor in = BackupFile::openDevice(path);
        for (const BackupFile::Set& set : BackupFile::scan(in.get(), path)) {
            QByteArray lead(set.imageOffset - set.start, '\0');
            BackupFile::readAt(in.get(), lead.data(), lead.size(), set.start, path);
            BackupFile::writeAt(out.get(), lead.constData(), lead.size(), set.start, path);
            BackupFile::copyImage(in.get(), set, out.get(), set.imageOffset, path);
            end = set.imageOffset + set.imageSize;
        }
    }
    BackupFile::Set set
        = BackupFile::beginSet(out.get(), end, entry->name, QDateTime::currentDateTimeUtc(), path);
    ImageStreamWriter writer(out.get(), set.imageOffset);
    snapshot(*entry, writer, path);
    const qint64 imageSize = writer.complete(path);
    BackupFile::finishSet(
        out.get(), set, imageSize, writer.checksum(BackupFile::headerOf(set, imageSize), path), path);
    BackupFile::syncAndClose(out, path);
    FaultPoint::reach("backup-before-rename");
    if (::renameat(folder.get(), temporaryName.constData(), folder.get(), deviceName.constData()) != 0)
        BackupFile::failDevice(path, errno);
    temporary.keep();
    BackupFile::syncDirectory(folder.get(), path);
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

BackupFile::Set DatabaseBackup::chooseSet(int descriptor, const QString& path, int fileNumber)
{
    const QList<BackupFile::Set> sets = BackupFile::scan(descriptor, path);
    if (fileNumber < 1 || fileNumber > sets.size())
        throw ServerError(
            4038, QStringLiteral("Cannot find file ID %1 on device '%2'.").arg(fileNumber).arg(path), 16, 1);
    return sets[fileNumber - 1];
}

QString DatabaseBackup::extract(int device, const BackupFile::Set& set, const QString& devicePath)
{
    const QDir folder(m_catalogue.dataDirectory());
    QDir().mkpath(folder.absolutePath());
    QString temporary;
    FileDescriptor out;
    for (int attempt = 0; !out.isOpen(); ++attempt) {
        temporary = folder.absoluteFilePath(
            QStringLiteral("restore-%1-%2.tmp").arg(QCoreApplication::applicationPid()).arg(++extractions));
        out = FileDescriptor(::open(QFile::encodeName(temporary).constData(),
            O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (!out.isOpen() && (errno != EEXIST || attempt > 100))
            throw cannotExtract();
    }
    try {
        // Flushed while the check still runs, so that the disk and the check work at once.
        copyAndCheck(device, set, out.get(), devicePath, [&] {
            // The live database runs with write-ahead logging; the copy takes that mode in place.
            if (set.imageSize > journalFormatOffset + 1)
                BackupFile::writeAt(out.get(), "\2\2", 2, journalFormatOffset, temporary);
            BackupFile::syncFile(out.get(), temporary);
        });
        if (!out.close())
            throw cannotExtract();
    } catch (...) {
        out.close();
        QFile::remove(temporary);
        throw;
    }
    return temporary;
}

void DatabaseBackup::placeNew(const QString& temporary, const QString& database, const QString& ownerLogin)
{
    const QDir folder(m_catalogue.dataDirectory());
    const QString base = Catalogue::fileBaseOf(database);
    // A second name for the complete file, never over an existing one. Until the database is
    // registered the temporary name tells a dead restore's leftovers (see removeLeftovers).
    QString file;
    for (int n = 1;; ++n) {
        file = n == 1 ? base + QStringLiteral(".sqlite") : QStringLiteral("%1_%2.sqlite").arg(base).arg(n);
        if (::link(QFile::encodeName(temporary).constData(),
                QFile::encodeName(folder.absoluteFilePath(file)).constData())
            == 0)
            break;
        if (errno != EEXIST) {
            const ServerError error = cannotExtract();
            QFile::remove(temporary);
            throw error;
        }
    }
    FaultPoint::reach("restore-linked");
    try {
        m_catalogue.addDatabase(database, file, ownerLogin);
    } catch (...) {
        QFile::remove(folder.absoluteFilePath(file));
        QFile::remove(temporary);
        throw;
    }
    QFile::remove(temporary);
    BackupFile::syncDirectoryOf(temporary);
}

void DatabaseBackup::restore(
    const QString& database, const QString& device, int fileNumber, bool replace, const QString& ownerLogin)
{
    const QString path = devicePath(device);
    FileDescriptor in = BackupFile::openDevice(path);
    const BackupFile::Set set = chooseSet(in.get(), path, fileNumber);
    const std::optional<Catalogue::DatabaseEntry> entry = m_catalogue.database(database);
    // Exclusive use first, as SQL Server takes it, and kept to the end: sessions killed for the
    // restore log in again at once, and the checks below take long on a large database.
    std::optional<RestoreHold> hold;
    if (entry)
        hold.emplace(m_catalogue, entry->name);
    // The whole set is checked first: a damaged header must not pass for another database's.
    const QString temporary = extract(in.get(), set, path);
    in.close();
    if (entry && !replace && set.database.compare(entry->name, Qt::CaseInsensitive) != 0) {
        QFile::remove(temporary);
        throw ServerError(3154,
            QStringLiteral(
                "The backup set holds a backup of a database other than the existing '%1' database.")
                .arg(entry->name),
            16, 1);
    }
    FaultPoint::reach("restore-extracted");
    if (!entry)
        return placeNew(temporary, database, ownerLogin);
    std::unique_ptr<Handle> lock;
    try {
        lock = takeOver(entry->path);
    } catch (...) {
        QFile::remove(temporary);
        throw;
    }
    // Under the lock nobody has the old file open in write-ahead mode: its side files are
    // its own, and none of them may be taken for the new file's.
    removeDatabaseSideFiles(entry->path);
    FaultPoint::reach("restore-before-rename");
    if (::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(entry->path).constData()) != 0) {
        QFile::remove(temporary);
        throw ServerError(3013, QStringLiteral("RESTORE DATABASE is terminating abnormally."), 16, 1);
    }
    BackupFile::syncDirectoryOf(entry->path);
    FaultPoint::reach("restore-after-rename");
}

void DatabaseBackup::verify(const QString& device, int fileNumber)
{
    const QString path = devicePath(device);
    FileDescriptor in = BackupFile::openDevice(path);
    const BackupFile::Set set = chooseSet(in.get(), path, fileNumber);
    // Checked where it lies, without a copy.
    copyAndCheck(in.get(), set, -1, path);
}

void DatabaseBackup::removeLeftovers(Catalogue& catalogue)
{
    static const QRegularExpression owner(
        QStringLiteral("(?:^restore-(\\d+)-\\d+\\.tmp|\\.part-(\\d+)(?:-[0-9a-f]+)?)$"));
    const QString dataDirectory = catalogue.dataDirectory();
    QSet<QString> registered;
    for (const QString& name : catalogue.databaseNames()) {
        if (const std::optional<Catalogue::DatabaseEntry> entry = catalogue.database(name))
            registered.insert(QFileInfo(entry->path).absoluteFilePath());
    }
    const QStringList folders { dataDirectory,
        QDir(dataDirectory).absoluteFilePath(QStringLiteral("backup")) };
    for (const QString& folder : folders) {
        const QDir dir(folder);
        const QStringList names
            = dir.entryList({ QStringLiteral("restore-*.tmp"), QStringLiteral("*.part-*") }, QDir::Files);
        for (const QString& name : names) {
            const QRegularExpressionMatch match = owner.match(name);
            if (!match.hasMatch()
                || platform::ProcessProbe::isRunning((match.captured(1) + match.captured(2)).toLongLong()))
                continue;
            const QString path = dir.absoluteFilePath(name);
            // A restore to a new name that died before registering it left a second name.
            struct stat leftover;
            if (::lstat(QFile::encodeName(path).constData(), &leftover) == 0 && leftover.st_nlink > 1) {
                for (const QString& other : dir.entryList({ QStringLiteral("*.sqlite") }, QDir::Files)) {
                    const QString otherPath = dir.absoluteFilePath(other);
                    struct stat status;
                    if (!registered.contains(otherPath)
                        && ::lstat(QFile::encodeName(otherPath).constData(), &status) == 0
                        && status.st_ino == leftover.st_ino && status.st_dev == leftover.st_dev)
                        QFile::remove(otherPath);
                }
            }
            QFile::remove(path);
        }
    }
}

} // namespace glimora::engine

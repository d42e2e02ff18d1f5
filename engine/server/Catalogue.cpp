#include "engine/server/Catalogue.h"

#include "engine/storage/SqliteStatement.h"
#include "engine/storage/WriteScope.h"

#include <cstdio>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <sodium.h>
#include <sqlite3.h>

namespace glimora::engine {

namespace {

// The catalogue's tables, made when missing, in one write.
void createTables(DatabaseConnection& connection)
{
    connection.execute(QStringLiteral("PRAGMA journal_mode=WAL"));
    connection.execute(QStringLiteral(
        "BEGIN IMMEDIATE;"
        "CREATE TABLE IF NOT EXISTS logins(name TEXT COLLATE NOCASE PRIMARY KEY, password_hash TEXT NOT NULL,"
        " default_database TEXT, created TEXT, sid TEXT);"
        "CREATE TABLE IF NOT EXISTS server_role_members(role TEXT COLLATE NOCASE, login TEXT COLLATE NOCASE,"
        " PRIMARY KEY(role, login));"
        "CREATE TABLE IF NOT EXISTS databases(name TEXT COLLATE NOCASE PRIMARY KEY, file TEXT NOT NULL,"
        " owner TEXT, created TEXT);"
        "CREATE TABLE IF NOT EXISTS sessions(spid INTEGER PRIMARY KEY AUTOINCREMENT, pid INTEGER, login TEXT,"
        " host TEXT, database TEXT, status TEXT, started TEXT, killed INTEGER DEFAULT 0);"
        "CREATE TABLE IF NOT EXISTS restoring(database TEXT COLLATE NOCASE PRIMARY KEY, pid INTEGER);"
        "INSERT INTO sqlite_sequence(name, seq) SELECT 'sessions', 50"
        " WHERE NOT EXISTS (SELECT 1 FROM sqlite_sequence WHERE name='sessions');"
        "COMMIT;"));
}

const QString SaSid = QStringLiteral("01");

} // namespace

Catalogue::Catalogue(const QString& dataDirectory)
    : m_directory(QDir(dataDirectory).absolutePath())
    , m_path(QDir(dataDirectory).absoluteFilePath(QStringLiteral("catalogue.sqlite")))
{
    if (sodium_init() < 0)
        throw ServerError(17000, QStringLiteral("The server cannot start its cryptography library."), 16);
    m_digestKey.resize(crypto_generichash_KEYBYTES);
    randombytes_buf(m_digestKey.data(), size_t(m_digestKey.size()));
}

Catalogue::~Catalogue() = default;

void Catalogue::openFile(bool create)
{
    if (m_connection)
        return;
    if (!QFile::exists(m_path)) {
        if (!create)
            return;
        QDir().mkpath(m_directory);
        QFile::setPermissions(
            m_directory, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        QFile file(m_path);
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }
    m_connection = DatabaseConnection::open(QStringLiteral("master"), m_path, 30000);
    // Another process making the same new catalogue at this moment can refuse us at once, not
    // only through the busy wait (while it turns the new file to write-ahead logging): try
    // again for as long as the busy wait would have allowed.
    for (int attempt = 0;; ++attempt) {
        try {
            createTables(*m_connection);
            break;
        } catch (const ServerError& error) {
            if (!sqlite3_get_autocommit(m_connection->handle()))
                sqlite3_exec(m_connection->handle(), "ROLLBACK", nullptr, nullptr, nullptr);
            if (error.number() != 1222 || attempt >= 3000) {
                m_connection.reset();
                throw;
            }
            sqlite3_sleep(10);
        }
    }
    // Catalogues made before logins carried identifiers get theirs now; sa's is fixed.
    bool hasSid = false;
    {
        SqliteStatement columns(*m_connection, QStringLiteral("PRAGMA table_info(logins)"));
        while (columns.step())
            hasSid = hasSid || columns.textColumn(1) == QLatin1String("sid");
    }
    if (!hasSid) {
        WriteScope write(*m_connection);
        bool added = false;
        {
            SqliteStatement columns(*m_connection, QStringLiteral("PRAGMA table_info(logins)"));
            while (columns.step())
                added = added || columns.textColumn(1) == QLatin1String("sid");
        }
        if (!added) {
            m_connection->execute(QStringLiteral("ALTER TABLE logins ADD COLUMN sid TEXT"));
            m_connection->execute(QStringLiteral("UPDATE logins SET sid = CASE WHEN name = 'sa' THEN "
                                                 "'01' ELSE lower(hex(randomblob(16))) END"));
        }
        write.commit();
    }
}

bool Catalogue::hasLogins()
{
    openFile(false);
    if (!m_connection)
        return false;
    SqliteStatement count(*m_connection, QStringLiteral("SELECT count(*) FROM logins"));
    count.step();
    return count.intColumn(0) > 0;
}

bool Catalogue::folderHoldsData()
{
    const QDir folder(m_directory);
    for (const QString& name :
        folder.entryList({ QStringLiteral("*.sqlite"), QStringLiteral("*.dbk") }, QDir::Files)) {
        if (name != QLatin1String("catalogue.sqlite"))
            return true;
    }
    const QDir backups(folder.absoluteFilePath(QStringLiteral("backup")));
    if (backups.exists() && !backups.entryList(QDir::Files | QDir::NoDotAndDotDot).isEmpty())
        return true;
    if (m_connection) {
        SqliteStatement count(*m_connection, QStringLiteral("SELECT count(*) FROM databases"));
        count.step();
        return count.intColumn(0) > 0;
    }
    return false;
}

ServerError Catalogue::unusableCatalogue() const
{
    return ServerError(17204,
        QStringLiteral(
            "The server in '%1' does not start: its catalogue (catalogue.sqlite) is missing, unreadable "
            "or holds no logins, but the folder holds databases or backups. Put the catalogue back, or "
            "rebuild it with: glimora-sql --data-dir '%1' --recover-catalogue -P <new sa password>")
            .arg(QDir::toNativeSeparators(m_directory)),
        16);
}

void Catalogue::createFirstEntries(const QString& password, bool createMaster)
{
    const QString now = QDateTime::currentDateTime().toString(Qt::ISODate);
    SqliteStatement insert(*m_connection,
        QStringLiteral("INSERT INTO logins(name, password_hash, default_database, created, sid) "
                       "VALUES('sa', ?, 'master', ?, ?)"));
    insert.bindText(1, hashPassword(password));
    insert.bindText(2, now);
    insert.bindText(3, SaSid);
    insert.step();
    m_connection->execute(
        QStringLiteral("INSERT OR IGNORE INTO server_role_members VALUES('sysadmin', 'sa')"));
    if (!createMaster)
        return;
    SqliteStatement master(*m_connection,
        QStringLiteral(
            "INSERT INTO databases(name, file, owner, created) VALUES('master', 'master.sqlite', 'sa', ?)"));
    master.bindText(1, now);
    master.step();
}

void Catalogue::bootstrap(const QString& password)
{
    // One write transaction decides among first logins of every process: the first one in
    // finds no login and makes sa and master, the others find sa and check its password.
    const QString masterPath = QDir(m_directory).absoluteFilePath(QStringLiteral("master.sqlite"));
    const QString temporary = QDir(m_directory).absoluteFilePath(QStringLiteral(".master-bootstrap.tmp"));
    bool renamed = false;
    m_connection->beginWrite();
    try {
        SqliteStatement count(*m_connection, QStringLiteral("SELECT count(*) FROM logins"));
        count.step();
        if (count.intColumn(0) > 0) {
            m_connection->commitWrite();
            return;
        }
        if (folderHoldsData())
            throw unusableCatalogue();
        // Left by a first login that died before it committed.
        for (const QString& suffix : { QString(), QStringLiteral("-wal"), QStringLiteral("-shm") })
            QFile::remove(temporary + suffix);
        DatabaseConnection::createFile(temporary, QStringLiteral("sa"), SaSid);
        createFirstEntries(password, true);
        if (::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(masterPath).constData())
            != 0)
            throw ServerError(5123,
                QStringLiteral("CREATE FILE encountered operating system error while attempting to open or "
                               "create the physical file '%1'.")
                    .arg(masterPath),
                16);
        renamed = true;
        m_connection->commitWrite();
    } catch (...) {
        m_connection->rollbackWrite();
        QFile::remove(temporary);
        if (renamed)
            QFile::remove(masterPath);
        throw;
    }
}

QStringList Catalogue::recover(const QString& saPassword)
{
    QMutexLocker locker(&m_mutex);
    if (saPassword.isEmpty())
        throw ServerError(15118, QStringLiteral("Password validation failed: sa needs a password."), 16);
    bool usable = false;
    try {
        usable = hasLogins();
    } catch (const ServerError&) {
    }
    if (usable)
        throw ServerError(17204,
            QStringLiteral("The catalogue of '%1' holds logins: there is nothing to recover.")
                .arg(QDir::toNativeSeparators(m_directory)),
            16);
    // The unusable catalogue is kept beside, for whoever wants to look into it.
    m_connection.reset();
    const QString kept = m_path + QStringLiteral(".lost-")
        + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMddHHmmss"));
    for (const QString& suffix : { QString(), QStringLiteral("-wal"), QStringLiteral("-shm") }) {
        if (QFile::exists(m_path + suffix) && !QFile::rename(m_path + suffix, kept + suffix))
            throw ServerError(5123, QStringLiteral("Cannot move '%1' aside.").arg(m_path + suffix), 16);
    }
    openFile(true);

    QStringList files = QDir(m_directory).entryList({ QStringLiteral("*.sqlite") }, QDir::Files, QDir::Name);
    files.removeAll(QStringLiteral("catalogue.sqlite"));
    QStringList names;
    {
        WriteScope write(*m_connection);
        const bool hasMaster = files.contains(QStringLiteral("master.sqlite"));
        if (!hasMaster)
            DatabaseConnection::createFile(
                QDir(m_directory).absoluteFilePath(QStringLiteral("master.sqlite")), QStringLiteral("sa"),
                SaSid);
        createFirstEntries(saPassword, true);
        names.append(QStringLiteral("master"));
        const QString now = QDateTime::currentDateTime().toString(Qt::ISODate);
        for (const QString& file : std::as_const(files)) {
            if (file == QLatin1String("master.sqlite"))
                continue;
            // Only files of this server: they carry its users table.
            std::shared_ptr<DatabaseConnection> probe;
            try {
                probe = DatabaseConnection::open(QString(), QDir(m_directory).absoluteFilePath(file), 5000);
                SqliteStatement users(*probe,
                    QStringLiteral(
                        "SELECT 1 FROM sqlite_master WHERE type='table' AND name='__glimora_users'"));
                if (!users.step())
                    continue;
            } catch (const ServerError&) {
                continue;
            }
            const QString name = file.chopped(int(QStringLiteral(".sqlite").size()));
            SqliteStatement insert(*m_connection,
                QStringLiteral(
                    "INSERT OR IGNORE INTO databases(name, file, owner, created) VALUES(?, ?, 'sa', ?)"));
            insert.bindText(1, name);
            insert.bindText(2, file);
            insert.bindText(3, now);
            insert.step();
            names.append(name);
        }
        write.commit();
    }
    m_verified.clear();
    return names;
}

} // namespace glimora::engine

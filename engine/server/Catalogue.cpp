#include "engine/server/Catalogue.h"
#include "engine/storage/WriteScope.h"

#include "engine/storage/SqliteStatement.h"
#include "platform/ProcessProbe.h"

#include <cstdio>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <sodium.h>
#include <sqlite3.h>

namespace glimora::engine {

namespace {

ServerError loginFailed(const QString& login)
{
    return ServerError(18456, QStringLiteral("Login failed for user '%1'.").arg(login), 14, 1);
}

QByteArray digest(const QByteArray& key, const QString& password)
{
    const QByteArray utf8 = password.toUtf8();
    QByteArray out(crypto_generichash_BYTES, '\0');
    crypto_generichash(reinterpret_cast<unsigned char*>(out.data()), size_t(out.size()),
        reinterpret_cast<const unsigned char*>(utf8.constData()), size_t(utf8.size()),
        reinterpret_cast<const unsigned char*>(key.constData()), size_t(key.size()));
    return out;
}

// SQL Server compares principal names without their trailing blanks: 'sa ' is sa.
QString principalName(const QString& name)
{
    qsizetype end = name.size();
    while (end > 0 && name.at(end - 1) == QLatin1Char(' '))
        --end;
    return name.left(end);
}

// A hash of a password nobody knows, made with the same parameters as every stored one:
// an unknown login costs what a wrong password costs, from the first try on.
const char* const DummyHash
    = "$argon2id$v=19$m=65536,t=2,p=1$dnJHD2ZF1Pagmfody/lsDA$YY73aIZj+h9MqNlGUVlpBBbrLmMnlqaf40Cv276LbXw";

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

QString newSid()
{
    QByteArray bytes(16, '\0');
    randombytes_buf(bytes.data(), size_t(bytes.size()));
    return QString::fromLatin1(bytes.toHex());
}

const QStringList& serverRoles()
{
    static const QStringList roles = { "sysadmin", "securityadmin", "serveradmin", "setupadmin",
        "processadmin", "diskadmin", "dbcreator", "bulkadmin" };
    return roles;
}

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

QString Catalogue::hashPassword(const QString& password) const
{
    const QByteArray utf8 = password.toUtf8();
    char hash[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str(hash, utf8.constData(), size_t(utf8.size()), crypto_pwhash_OPSLIMIT_INTERACTIVE,
            crypto_pwhash_MEMLIMIT_INTERACTIVE)
        != 0)
        throw ServerError(701, QStringLiteral("There is insufficient system memory to run this query."), 17);
    return QString::fromLatin1(hash);
}

bool Catalogue::checkHash(const QString& login, const QString& hash, const QString& password)
{
    const QString key = login.toLower();
    const QByteArray passwordDigest = digest(m_digestKey, password);
    auto cached = m_verified.constFind(key);
    if (cached != m_verified.constEnd() && cached->first == hash
        && sodium_memcmp(
               cached->second.constData(), passwordDigest.constData(), size_t(passwordDigest.size()))
            == 0)
        return true;
    const QByteArray utf8 = password.toUtf8();
    const QByteArray stored = hash.toLatin1();
    if (crypto_pwhash_str_verify(stored.constData(), utf8.constData(), size_t(utf8.size())) != 0)
        return false;
    m_verified.insert(key, { hash, passwordDigest });
    return true;
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

LoginInfo Catalogue::authenticate(const QString& login, const QString& password)
{
    QMutexLocker locker(&m_mutex);
    const QString name = principalName(login);
    bool usable = false;
    try {
        usable = hasLogins();
    } catch (const ServerError&) {
        // An unreadable catalogue is never a fresh server.
        m_connection.reset();
        throw unusableCatalogue();
    }
    if (!usable) {
        if (name.compare(QLatin1String("sa"), Qt::CaseInsensitive) != 0 || password.isEmpty()) {
            if (folderHoldsData())
                throw unusableCatalogue();
            throw loginFailed(login);
        }
        // Whether the folder is fresh is decided under the catalogue's write lock, where
        // another process's first login cannot be half done.
        openFile(true);
        bootstrap(password);
    }

    SqliteStatement lookup(*m_connection,
        QStringLiteral("SELECT name, password_hash, default_database, sid FROM logins WHERE name=?"));
    lookup.bindText(1, name);
    if (!lookup.step()) {
        // The same work as for a known login, so that timing does not tell them apart.
        checkHash(QString(), QString::fromLatin1(DummyHash), password);
        throw loginFailed(login);
    }
    LoginInfo info;
    info.name = lookup.textColumn(0);
    const QString hash = lookup.textColumn(1);
    info.defaultDatabase = lookup.textColumn(2);
    info.sid = lookup.textColumn(3);
    if (!checkHash(info.name, hash, password))
        throw loginFailed(login);
    SqliteStatement role(
        *m_connection, QStringLiteral("SELECT 1 FROM server_role_members WHERE role='sysadmin' AND login=?"));
    role.bindText(1, info.name);
    info.sysadmin = role.step();
    return info;
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

std::optional<LoginInfo> Catalogue::login(const QString& name)
{
    QMutexLocker locker(&m_mutex);
    openFile(false);
    if (!m_connection)
        return std::nullopt;
    SqliteStatement lookup(
        *m_connection, QStringLiteral("SELECT name, default_database, sid FROM logins WHERE name=?"));
    lookup.bindText(1, principalName(name));
    if (!lookup.step())
        return std::nullopt;
    LoginInfo info;
    info.name = lookup.textColumn(0);
    info.defaultDatabase = lookup.textColumn(1);
    info.sid = lookup.textColumn(2);
    SqliteStatement role(
        *m_connection, QStringLiteral("SELECT 1 FROM server_role_members WHERE role='sysadmin' AND login=?"));
    role.bindText(1, info.name);
    info.sysadmin = role.step();
    return info;
}

void Catalogue::createLogin(const QString& login, const QString& password, const QString& defaultDatabase)
{
    const QString name = principalName(login);
    const QString hash = hashPassword(password);
    QMutexLocker locker(&m_mutex);
    openFile(true);
    SqliteStatement exists(*m_connection, QStringLiteral("SELECT 1 FROM logins WHERE name=?"));
    exists.bindText(1, name);
    if (exists.step())
        throw ServerError(15025, QStringLiteral("The server principal '%1' already exists.").arg(login), 16);
    SqliteStatement insert(*m_connection,
        QStringLiteral(
            "INSERT INTO logins(name, password_hash, default_database, created, sid) VALUES(?, ?, ?, ?, ?)"));
    insert.bindText(1, name);
    insert.bindText(2, hash);
    insert.bindText(3, defaultDatabase);
    insert.bindText(4, QDateTime::currentDateTime().toString(Qt::ISODate));
    insert.bindText(5, newSid());
    insert.step();
}

void Catalogue::dropLogin(const QString& login)
{
    QMutexLocker locker(&m_mutex);
    const std::optional<LoginInfo> info = this->login(login);
    if (!info)
        return;
    const QString name = info->name;
    for (const SessionEntry& session : liveSessions()) {
        if (session.login.compare(name, Qt::CaseInsensitive) == 0)
            throw ServerError(15434,
                QStringLiteral("Could not drop login '%1' as the user is currently logged in.").arg(name),
                16);
    }
    QStringList owned;
    QStringList mapped;
    for (const QString& databaseName : databaseNames()) {
        const std::optional<DatabaseEntry> entry = database(databaseName);
        try {
            const std::optional<QString> user = openDatabase(*entry, 30000)->userOfLogin(info->sid);
            if (user && user->compare(QLatin1String("dbo"), Qt::CaseInsensitive) == 0)
                owned.append(entry->name);
            else if (user)
                mapped.append(entry->name);
        } catch (const ServerError&) {
            // A database that cannot be opened cannot be checked: keep the login.
            mapped.append(entry->name);
        }
    }
    if (!owned.isEmpty())
        throw ServerError(15174,
            QStringLiteral("Login '%1' owns one or more database(s). Change the owner of the following "
                           "database(s) before dropping login: %2")
                .arg(name, owned.join(QStringLiteral(", "))),
            16);
    if (!mapped.isEmpty())
        throw ServerError(15175,
            QStringLiteral(
                "Login '%1' is aliased or mapped to a user in one or more database(s). Drop the user "
                "or alias before dropping the login.")
                .arg(name),
            16);
    {
        WriteScope write(*m_connection);
        SqliteStatement roles(*m_connection, QStringLiteral("DELETE FROM server_role_members WHERE login=?"));
        roles.bindText(1, name);
        roles.step();
        SqliteStatement remove(*m_connection, QStringLiteral("DELETE FROM logins WHERE name=?"));
        remove.bindText(1, name);
        remove.step();
        write.commit();
    }
    m_verified.remove(name.toLower());
}

bool Catalogue::verifyPassword(const QString& name, const QString& password)
{
    QMutexLocker locker(&m_mutex);
    openFile(true);
    SqliteStatement lookup(
        *m_connection, QStringLiteral("SELECT name, password_hash FROM logins WHERE name=?"));
    lookup.bindText(1, principalName(name));
    if (!lookup.step())
        return false;
    return checkHash(lookup.textColumn(0), lookup.textColumn(1), password);
}

void Catalogue::setPassword(const QString& name, const QString& password)
{
    const QString hash = hashPassword(password);
    QMutexLocker locker(&m_mutex);
    openFile(true);
    SqliteStatement update(*m_connection, QStringLiteral("UPDATE logins SET password_hash=? WHERE name=?"));
    update.bindText(1, hash);
    update.bindText(2, principalName(name));
    update.step();
    m_verified.remove(principalName(name).toLower());
}

bool Catalogue::isServerRole(const QString& role)
{
    return serverRoles().contains(role, Qt::CaseInsensitive);
}

bool Catalogue::isServerRoleMember(const QString& login, const QString& role)
{
    QMutexLocker locker(&m_mutex);
    openFile(true);
    SqliteStatement lookup(
        *m_connection, QStringLiteral("SELECT 1 FROM server_role_members WHERE role=? AND login=?"));
    lookup.bindText(1, role);
    lookup.bindText(2, login);
    return lookup.step();
}

void Catalogue::addServerRoleMember(const QString& login, const QString& role)
{
    QMutexLocker locker(&m_mutex);
    openFile(true);
    SqliteStatement insert(
        *m_connection, QStringLiteral("INSERT OR IGNORE INTO server_role_members VALUES(?, ?)"));
    insert.bindText(1, role.toLower());
    insert.bindText(2, login);
    insert.step();
}

void Catalogue::dropServerRoleMember(const QString& login, const QString& role)
{
    QMutexLocker locker(&m_mutex);
    openFile(true);
    SqliteStatement remove(
        *m_connection, QStringLiteral("DELETE FROM server_role_members WHERE role=? AND login=?"));
    remove.bindText(1, role);
    remove.bindText(2, login);
    remove.step();
}

std::optional<Catalogue::DatabaseEntry> Catalogue::database(const QString& name)
{
    QMutexLocker locker(&m_mutex);
    openFile(false);
    if (!m_connection)
        return std::nullopt;
    SqliteStatement lookup(*m_connection, QStringLiteral("SELECT name, file FROM databases WHERE name=?"));
    lookup.bindText(1, name);
    if (!lookup.step())
        return std::nullopt;
    return DatabaseEntry { lookup.textColumn(0), QDir(m_directory).absoluteFilePath(lookup.textColumn(1)) };
}

std::shared_ptr<DatabaseConnection> Catalogue::openDatabase(const DatabaseEntry& entry, int busyTimeoutMs)
{
    std::shared_ptr<DatabaseConnection> connection
        = DatabaseConnection::open(entry.name, entry.path, busyTimeoutMs);
    connection->adoptUserIdentifiers([this](const QString& name) -> std::optional<QString> {
        const std::optional<LoginInfo> info = login(name);
        return info ? std::optional<QString>(info->sid) : std::nullopt;
    });
    return connection;
}

void Catalogue::createDatabase(const QString& name, const QString& ownerLogin)
{
    QMutexLocker locker(&m_mutex);
    openFile(true);
    if (database(name))
        throw ServerError(1801,
            QStringLiteral("Database '%1' already exists. Choose a different database name.").arg(name), 16,
            3);
    const QString base = fileBaseOf(name);
    QString file = base + QStringLiteral(".sqlite");
    for (int n = 2; QFile::exists(QDir(m_directory).absoluteFilePath(file)); ++n)
        file = QStringLiteral("%1_%2.sqlite").arg(base).arg(n);
    const QString path = QDir(m_directory).absoluteFilePath(file);
    const std::optional<LoginInfo> owner = login(ownerLogin);
    DatabaseConnection::createFile(path, ownerLogin, owner ? owner->sid : QString());
    try {
        SqliteStatement insert(*m_connection,
            QStringLiteral("INSERT INTO databases(name, file, owner, created) VALUES(?, ?, ?, ?)"));
        insert.bindText(1, name);
        insert.bindText(2, file);
        insert.bindText(3, ownerLogin);
        insert.bindText(4, QDateTime::currentDateTime().toString(Qt::ISODate));
        insert.step();
    } catch (const ServerError& error) {
        // Another process created the same database first.
        QFile::remove(path);
        if (error.number() == 2627)
            throw ServerError(1801,
                QStringLiteral("Database '%1' already exists. Choose a different database name.").arg(name),
                16, 3);
        throw;
    }
}

QString Catalogue::fileBaseOf(const QString& name)
{
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_]+$"));
    return plain.match(name).hasMatch() ? name.toLower() : QStringLiteral("database");
}

void Catalogue::addDatabase(const QString& name, const QString& file, const QString& ownerLogin)
{
    QMutexLocker locker(&m_mutex);
    openFile(true);
    SqliteStatement insert(*m_connection, QStringLiteral("INSERT INTO databases VALUES(?, ?, ?, ?)"));
    insert.bindText(1, name);
    insert.bindText(2, file);
    insert.bindText(3, ownerLogin);
    insert.bindText(4, QDateTime::currentDateTime().toString(Qt::ISODate));
    try {
        insert.step();
    } catch (const ServerError& error) {
        if (error.number() == 2627)
            throw ServerError(1801,
                QStringLiteral("Database '%1' already exists. Choose a different database name.").arg(name),
                16, 3);
        throw;
    }
}

void Catalogue::dropDatabase(const QString& name)
{
    QMutexLocker locker(&m_mutex);
    const std::optional<DatabaseEntry> entry = database(name);
    if (!entry)
        throw ServerError(3701,
            QStringLiteral(
                "Cannot drop the database '%1', because it does not exist or you do not have permission.")
                .arg(name),
            11);
    if (entry->name.compare(QLatin1String("master"), Qt::CaseInsensitive) == 0)
        throw ServerError(
            3708, QStringLiteral("Cannot drop the database 'master' because it is a system database."), 16);
    SqliteStatement remove(*m_connection, QStringLiteral("DELETE FROM databases WHERE name=?"));
    remove.bindText(1, entry->name);
    remove.step();
    for (const QString& suffix : { QString(), QStringLiteral("-wal"), QStringLiteral("-shm") })
        QFile::remove(entry->path + suffix);
}

QStringList Catalogue::databaseNames()
{
    QMutexLocker locker(&m_mutex);
    openFile(false);
    QStringList names;
    if (!m_connection)
        return names;
    SqliteStatement list(*m_connection, QStringLiteral("SELECT name FROM databases ORDER BY name"));
    while (list.step())
        names.append(list.textColumn(0));
    return names;
}

int Catalogue::registerSession(const QString& login, const QString& host, const QString& database)
{
    QMutexLocker locker(&m_mutex);
    openFile(true);
    // One write transaction with the restore's hold: a session starts in the database or the
    // restore finds it there, never both.
    WriteScope write(*m_connection);
    refuseWhileRestoring(database);
    SqliteStatement insert(*m_connection,
        QStringLiteral("INSERT INTO sessions(pid, login, host, database, status, started) VALUES(?, ?, ?, "
                       "?, 'sleeping', ?)"));
    insert.bindInt(1, QCoreApplication::applicationPid());
    insert.bindText(2, login);
    insert.bindText(3, host);
    insert.bindText(4, database);
    insert.bindText(5, QDateTime::currentDateTime().toString(Qt::ISODate));
    insert.step();
    const int spid = int(sqlite3_last_insert_rowid(m_connection->handle()));
    write.commit();
    return spid;
}

void Catalogue::updateSession(int spid, const QString& database)
{
    QMutexLocker locker(&m_mutex);
    openFile(true);
    WriteScope write(*m_connection);
    refuseWhileRestoring(database);
    SqliteStatement update(*m_connection, QStringLiteral("UPDATE sessions SET database=? WHERE spid=?"));
    update.bindText(1, database);
    update.bindInt(2, spid);
    update.step();
    write.commit();
}

void Catalogue::beginRestore(const QString& database)
{
    QMutexLocker locker(&m_mutex);
    openFile(true);
    WriteScope write(*m_connection);
    if (!sessionsUsing(database).isEmpty() || isRestoring(database))
        throw ServerError(3101,
            QStringLiteral("Exclusive access could not be obtained because the database is in use."), 16, 1);
    SqliteStatement hold(
        *m_connection, QStringLiteral("INSERT OR REPLACE INTO restoring(database, pid) VALUES(?, ?)"));
    hold.bindText(1, database);
    hold.bindInt(2, QCoreApplication::applicationPid());
    hold.step();
    write.commit();
}

void Catalogue::endRestore(const QString& database)
{
    QMutexLocker locker(&m_mutex);
    openFile(true);
    SqliteStatement release(*m_connection, QStringLiteral("DELETE FROM restoring WHERE database=?"));
    release.bindText(1, database);
    release.step();
}

bool Catalogue::isRestoring(const QString& database)
{
    QMutexLocker locker(&m_mutex);
    openFile(true);
    qint64 pid = 0;
    {
        SqliteStatement lookup(*m_connection, QStringLiteral("SELECT pid FROM restoring WHERE database=?"));
        lookup.bindText(1, database);
        if (!lookup.step())
            return false;
        pid = lookup.intColumn(0);
    }
    if (platform::ProcessProbe::isRunning(pid))
        return true;
    // A restore whose process died holds nothing; its file swap was all or nothing.
    endRestore(database);
    return false;
}

void Catalogue::refuseWhileRestoring(const QString& database)
{
    if (isRestoring(database))
        throw ServerError(927,
            QStringLiteral("Database '%1' cannot be opened. It is in the middle of a restore.").arg(database),
            14, 2)
            .setAbortsBatch();
}

void Catalogue::removeSession(int spid)
{
    QMutexLocker locker(&m_mutex);
    openFile(true);
    SqliteStatement remove(*m_connection, QStringLiteral("DELETE FROM sessions WHERE spid=?"));
    remove.bindInt(1, spid);
    remove.step();
}

QList<int> Catalogue::sessionsUsing(const QString& database)
{
    QMutexLocker locker(&m_mutex);
    openFile(true);
    QList<int> spids;
    QList<int> dead;
    SqliteStatement list(
        *m_connection, QStringLiteral("SELECT spid, pid FROM sessions WHERE database=? COLLATE NOCASE"));
    list.bindText(1, database);
    while (list.step()) {
        if (platform::ProcessProbe::isRunning(list.intColumn(1)))
            spids.append(int(list.intColumn(0)));
        else
            dead.append(int(list.intColumn(0)));
    }
    // Sessions of a process that died hold nothing; they go from the list.
    for (int spid : dead) {
        SqliteStatement remove(*m_connection, QStringLiteral("DELETE FROM sessions WHERE spid=?"));
        remove.bindInt(1, spid);
        remove.step();
    }
    return spids;
}

QList<Catalogue::SessionEntry> Catalogue::liveSessions()
{
    QMutexLocker locker(&m_mutex);
    openFile(true);
    QList<SessionEntry> sessions;
    QList<int> dead;
    SqliteStatement list(*m_connection,
        QStringLiteral("SELECT spid, pid, login, host, database, status FROM sessions ORDER BY spid"));
    while (list.step()) {
        if (!platform::ProcessProbe::isRunning(list.intColumn(1))) {
            dead.append(int(list.intColumn(0)));
            continue;
        }
        sessions.append({ int(list.intColumn(0)), list.textColumn(2), list.textColumn(3), list.textColumn(4),
            list.textColumn(5) });
    }
    for (int spid : dead)
        removeSession(spid);
    return sessions;
}

bool Catalogue::sessionExists(int spid)
{
    QMutexLocker locker(&m_mutex);
    openFile(true);
    SqliteStatement lookup(*m_connection, QStringLiteral("SELECT 1 FROM sessions WHERE spid=?"));
    lookup.bindInt(1, spid);
    return lookup.step();
}

bool Catalogue::killSession(int spid)
{
    QMutexLocker locker(&m_mutex);
    for (const SessionEntry& session : liveSessions()) {
        if (session.spid == spid) {
            removeSession(spid);
            return true;
        }
    }
    return false;
}

} // namespace glimora::engine

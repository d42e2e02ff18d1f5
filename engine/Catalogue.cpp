#include "engine/Catalogue.h"

#include "engine/ProcessProbe.h"
#include "engine/SqliteStatement.h"

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
    m_connection->execute(QStringLiteral("PRAGMA journal_mode=WAL"));
    m_connection->execute(QStringLiteral(
        "BEGIN IMMEDIATE;"
        "CREATE TABLE IF NOT EXISTS logins(name TEXT COLLATE NOCASE PRIMARY KEY, password_hash TEXT NOT NULL,"
        " default_database TEXT, created TEXT);"
        "CREATE TABLE IF NOT EXISTS server_role_members(role TEXT COLLATE NOCASE, login TEXT COLLATE NOCASE,"
        " PRIMARY KEY(role, login));"
        "CREATE TABLE IF NOT EXISTS databases(name TEXT COLLATE NOCASE PRIMARY KEY, file TEXT NOT NULL,"
        " owner TEXT, created TEXT);"
        "CREATE TABLE IF NOT EXISTS sessions(spid INTEGER PRIMARY KEY AUTOINCREMENT, pid INTEGER, login TEXT,"
        " host TEXT, database TEXT, status TEXT, started TEXT, killed INTEGER DEFAULT 0);"
        "INSERT INTO sqlite_sequence(name, seq) SELECT 'sessions', 50"
        " WHERE NOT EXISTS (SELECT 1 FROM sqlite_sequence WHERE name='sessions');"
        "COMMIT;"));
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

void Catalogue::bootstrap(const QString& password)
{
    const QString now = QDateTime::currentDateTime().toString(Qt::ISODate);
    m_connection->beginWrite();
    try {
        SqliteStatement count(*m_connection, QStringLiteral("SELECT count(*) FROM logins"));
        count.step();
        if (count.intColumn(0) == 0) {
            SqliteStatement insert(
                *m_connection, QStringLiteral("INSERT INTO logins VALUES('sa', ?, 'master', ?)"));
            insert.bindText(1, hashPassword(password));
            insert.bindText(2, now);
            insert.step();
            m_connection->execute(
                QStringLiteral("INSERT OR IGNORE INTO server_role_members VALUES('sysadmin', 'sa')"));
        }
        m_connection->commitWrite();
    } catch (...) {
        m_connection->rollbackWrite();
        throw;
    }
}

LoginInfo Catalogue::authenticate(const QString& login, const QString& password)
{
    QMutexLocker locker(&m_mutex);
    openFile(false);
    bool fresh = !m_connection;
    if (!fresh) {
        SqliteStatement count(*m_connection, QStringLiteral("SELECT count(*) FROM logins"));
        count.step();
        fresh = count.intColumn(0) == 0;
    }
    if (fresh) {
        if (login.compare(QLatin1String("sa"), Qt::CaseInsensitive) != 0 || password.isEmpty())
            throw loginFailed(login);
        openFile(true);
        bootstrap(password);
    }
    if (!database(QStringLiteral("master")))
        createDatabase(QStringLiteral("master"), QStringLiteral("sa"));

    SqliteStatement lookup(*m_connection,
        QStringLiteral("SELECT name, password_hash, default_database FROM logins WHERE name=?"));
    lookup.bindText(1, login);
    if (!lookup.step()) {
        // The same work as for a known login, so that timing does not tell them apart.
        static const QString dummy = hashPassword(QStringLiteral("not a password"));
        checkHash(QString(), dummy, password);
        throw loginFailed(login);
    }
    LoginInfo info;
    info.name = lookup.textColumn(0);
    const QString hash = lookup.textColumn(1);
    info.defaultDatabase = lookup.textColumn(2);
    if (!checkHash(info.name, hash, password))
        throw loginFailed(login);
    SqliteStatement role(
        *m_connection, QStringLiteral("SELECT 1 FROM server_role_members WHERE role='sysadmin' AND login=?"));
    role.bindText(1, info.name);
    info.sysadmin = role.step();
    return info;
}

std::optional<LoginInfo> Catalogue::login(const QString& name)
{
    QMutexLocker locker(&m_mutex);
    openFile(false);
    if (!m_connection)
        return std::nullopt;
    SqliteStatement lookup(
        *m_connection, QStringLiteral("SELECT name, default_database FROM logins WHERE name=?"));
    lookup.bindText(1, name);
    if (!lookup.step())
        return std::nullopt;
    LoginInfo info;
    info.name = lookup.textColumn(0);
    info.defaultDatabase = lookup.textColumn(1);
    SqliteStatement role(
        *m_connection, QStringLiteral("SELECT 1 FROM server_role_members WHERE role='sysadmin' AND login=?"));
    role.bindText(1, info.name);
    info.sysadmin = role.step();
    return info;
}

void Catalogue::createLogin(const QString& name, const QString& password, const QString& defaultDatabase)
{
    const QString hash = hashPassword(password);
    QMutexLocker locker(&m_mutex);
    openFile(true);
    SqliteStatement exists(*m_connection, QStringLiteral("SELECT 1 FROM logins WHERE name=?"));
    exists.bindText(1, name);
    if (exists.step())
        throw ServerError(15025, QStringLiteral("The server principal '%1' already exists.").arg(name), 16);
    SqliteStatement insert(*m_connection, QStringLiteral("INSERT INTO logins VALUES(?, ?, ?, ?)"));
    insert.bindText(1, name);
    insert.bindText(2, hash);
    insert.bindText(3, defaultDatabase);
    insert.bindText(4, QDateTime::currentDateTime().toString(Qt::ISODate));
    insert.step();
}

void Catalogue::dropLogin(const QString& name)
{
    QMutexLocker locker(&m_mutex);
    openFile(true);
    m_connection->beginWrite();
    try {
        SqliteStatement roles(*m_connection, QStringLiteral("DELETE FROM server_role_members WHERE login=?"));
        roles.bindText(1, name);
        roles.step();
        SqliteStatement remove(*m_connection, QStringLiteral("DELETE FROM logins WHERE name=?"));
        remove.bindText(1, name);
        remove.step();
        m_connection->commitWrite();
    } catch (...) {
        m_connection->rollbackWrite();
        throw;
    }
    m_verified.remove(name.toLower());
}

bool Catalogue::verifyPassword(const QString& name, const QString& password)
{
    QMutexLocker locker(&m_mutex);
    openFile(true);
    SqliteStatement lookup(
        *m_connection, QStringLiteral("SELECT name, password_hash FROM logins WHERE name=?"));
    lookup.bindText(1, name);
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
    update.bindText(2, name);
    update.step();
    m_verified.remove(name.toLower());
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
    DatabaseConnection::createFile(path, ownerLogin);
    try {
        SqliteStatement insert(*m_connection, QStringLiteral("INSERT INTO databases VALUES(?, ?, ?, ?)"));
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
    SqliteStatement insert(*m_connection,
        QStringLiteral("INSERT INTO sessions(pid, login, host, database, status, started) VALUES(?, ?, ?, ?, "
                       "'sleeping', ?)"));
    insert.bindInt(1, QCoreApplication::applicationPid());
    insert.bindText(2, login);
    insert.bindText(3, host);
    insert.bindText(4, database);
    insert.bindText(5, QDateTime::currentDateTime().toString(Qt::ISODate));
    insert.step();
    return int(sqlite3_last_insert_rowid(m_connection->handle()));
}

void Catalogue::updateSession(int spid, const QString& database)
{
    QMutexLocker locker(&m_mutex);
    openFile(true);
    SqliteStatement update(*m_connection, QStringLiteral("UPDATE sessions SET database=? WHERE spid=?"));
    update.bindText(1, database);
    update.bindInt(2, spid);
    update.step();
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
        if (ProcessProbe::isRunning(list.intColumn(1)))
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
        if (!ProcessProbe::isRunning(list.intColumn(1))) {
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

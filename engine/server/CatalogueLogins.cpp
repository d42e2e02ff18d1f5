// Logins: their passwords (Argon2id), their sids, and the server roles they hold.
#include "engine/server/Catalogue.h"

#include "engine/storage/SqliteStatement.h"
#include "engine/storage/WriteScope.h"

#include <QDateTime>
#include <sodium.h>

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

} // namespace glimora::engine

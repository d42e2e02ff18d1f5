// The list of databases: their files, owners, creation and removal.
#include "engine/server/Catalogue.h"

#include "engine/storage/SqliteStatement.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QRegularExpression>

namespace glimora::engine {

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

} // namespace glimora::engine

// Sessions of every process on the data folder, kills, and databases being restored.
#include "engine/server/Catalogue.h"

#include "engine/storage/SqliteStatement.h"
#include "engine/storage/WriteScope.h"
#include "platform/ProcessProbe.h"

#include <QCoreApplication>
#include <QDateTime>
#include <sqlite3.h>

namespace glimora::engine {

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

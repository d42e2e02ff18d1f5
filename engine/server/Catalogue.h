#pragma once

#include "engine/server/KillWatcher.h"
#include "engine/storage/DatabaseConnection.h"

#include <memory>
#include <optional>
#include <QHash>
#include <QRecursiveMutex>
#include <QString>
#include <QStringList>

namespace glimora::engine {

struct LoginInfo
{
    QString name; // as created
    QString defaultDatabase;
    bool sysadmin = false;
    // The login's security identifier: database users are mapped to it, never to the name.
    QString sid;
};

// The server's catalogue file: logins with their Argon2id password hashes, server role
// members, databases and their files, and the live sessions. Shared by every session of
// a process (thread-safe) and by every process through SQLite's locking.
class Catalogue
{
public:
    explicit Catalogue(const QString& dataDirectory);
    ~Catalogue();

    QString dataDirectory() const { return m_directory; }

    // Checks a login. On a fresh server the first login must be "sa" with a non-empty
    // password, which becomes sa's password; exactly one of several first logins at once
    // wins. Every refusal is the same error 18456. A folder that holds databases or backups
    // but no usable catalogue is no fresh server: every login is refused with 17204.
    LoginInfo authenticate(const QString& login, const QString& password);
    // The administrator's way out of a lost catalogue: a new one with sa's password, and
    // every database file of the folder registered under its file's name, owned by sa.
    // Refused while the catalogue is usable. Returns the names of the databases.
    QStringList recover(const QString& saPassword);
    std::optional<LoginInfo> login(const QString& name);
    void createLogin(const QString& name, const QString& password, const QString& defaultDatabase);
    // Refused while the login is logged in, owns a database or is mapped to a user.
    void dropLogin(const QString& name);
    bool verifyPassword(const QString& name, const QString& password);
    void setPassword(const QString& name, const QString& password);

    static bool isServerRole(const QString& role);
    bool isServerRoleMember(const QString& login, const QString& role);
    void addServerRoleMember(const QString& login, const QString& role);
    void dropServerRoleMember(const QString& login, const QString& role);

    struct DatabaseEntry
    {
        QString name;
        QString path;
    };
    std::optional<DatabaseEntry> database(const QString& name);
    // A connection to a database, its users mapped to this catalogue's logins.
    std::shared_ptr<DatabaseConnection> openDatabase(const DatabaseEntry& entry, int busyTimeoutMs);
    void createDatabase(const QString& name, const QString& ownerLogin);
    // Registers a database whose file (a name in the data folder) is already complete; 1801
    // when the name is taken.
    void addDatabase(const QString& name, const QString& file, const QString& ownerLogin);
    // The start of the file name of a new database, before any number and ".sqlite".
    static QString fileBaseOf(const QString& name);
    void dropDatabase(const QString& name);
    QStringList databaseNames();

    // Sessions, numbered from 51 as SQL Server numbers its user sessions.
    int registerSession(const QString& login, const QString& host, const QString& database);
    void updateSession(int spid, const QString& database);
    void removeSession(int spid);
    QList<int> sessionsUsing(const QString& database);
    // A restore's hold on a database, seen by every process: taken only while no session
    // uses the database (3101 otherwise), it refuses every session that would start to use
    // it (927) until released, so that sessions killed for the restore cannot come back
    // before it ends. The hold of a process that died counts for nothing.
    void beginRestore(const QString& database);
    void endRestore(const QString& database);
    bool isRestoring(const QString& database);
    // 927 while a restore holds the database.
    void refuseWhileRestoring(const QString& database);
    struct SessionEntry
    {
        int spid = 0;
        QString login;
        QString host;
        QString database;
        QString status;
    };
    // The sessions of every live process, by spid; those of dead processes are removed.
    QList<SessionEntry> liveSessions();
    // A live session whose entry is gone was killed.
    bool sessionExists(int spid);
    // False when no live session has that spid.
    bool killSession(int spid);
    KillWatcher& killWatcher() { return m_killWatcher; }

private:
    void openFile(bool create);
    bool hasLogins();
    bool folderHoldsData();
    ServerError unusableCatalogue() const;
    void bootstrap(const QString& password);
    // Writes sa and master into an empty catalogue; inside a write transaction.
    void createFirstEntries(const QString& password, bool createMaster);
    QString hashPassword(const QString& password) const;
    bool checkHash(const QString& login, const QString& hash, const QString& password);

    QString m_directory;
    QString m_path;
    std::shared_ptr<DatabaseConnection> m_connection;
    QRecursiveMutex m_mutex;
    // Verified passwords of this process, as keyed digests, so that repeated logins do not
    // pay for Argon2id every time.
    QHash<QString, std::pair<QString, QByteArray>> m_verified;
    QByteArray m_digestKey;
    // Last member: its thread stops before anything it reads goes away.
    KillWatcher m_killWatcher { *this };
};

} // namespace glimora::engine

#pragma once

#include "engine/server/ServerError.h"
#include "engine/storage/TableInfo.h"
#include "engine/tsql/Ast.h"

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <QElapsedTimer>
#include <QHash>
#include <QString>
#include <QStringList>

struct sqlite3;

namespace glimora::engine {

// One session's connection to one database file: the SQLite handle with the engine's
// collation and functions, the T-SQL types of the tables, and the database's users
// and roles, which live in the file so that they travel with its backups.
class DatabaseConnection
{
public:
    // Creates a new database file, readable by its owner only, owned by `ownerLogin`, whose
    // security identifier is `ownerSid`.
    static void createFile(const QString& path, const QString& ownerLogin, const QString& ownerSid);
    static std::shared_ptr<DatabaseConnection> open(
        const QString& name, const QString& path, int busyTimeoutMs);
    ~DatabaseConnection();
    DatabaseConnection(const DatabaseConnection&) = delete;
    DatabaseConnection& operator=(const DatabaseConnection&) = delete;

    sqlite3* handle() const { return m_db; }
    QString name() const { return m_name; }
    QString path() const { return m_path; }
    void setBusyTimeout(int milliseconds);
    int busyTimeout() const { return m_busyTimeoutMs; }
    // While `flag` is set, waiting for another connection's lock gives up at once.
    void setInterruptFlag(const std::atomic<bool>* flag) { m_interrupt = flag; }

    void execute(const QString& sql);
    // SQLite's failure `rc`, in SQL Server's words.
    ServerError error(int rc) const;
    // The verb that a NOT NULL failure names ("INSERT", "UPDATE").
    void setStatementVerb(const QString& verb) { m_verb = verb; }

    // Writes run in one transaction each, begun immediately, or in a savepoint inside
    // an explicit transaction.
    void beginWrite();
    void commitWrite();
    void rollbackWrite();
    void beginTransaction();
    void commitTransaction();
    void rollbackTransaction();
    bool inTransaction() const { return m_transactionDepth > 0; }
    // True while a statement of this connection has rows left to read.
    bool isReading() const;

    // Forgets the cached table descriptions when another connection changed the schema.
    void refreshSchema();
    std::optional<TableInfo> table(const QString& name);
    // The indexes of a table, each with the columns its key begins with.
    struct IndexKey
    {
        QString name;
        QStringList columns;
    };
    const QList<IndexKey>& indexes(const QString& table);
    // Forgets the cached tables and indexes after this connection changed the schema.
    void forgetSchema();
    QStringList tableNames();
    void createTable(const ast::Statement& statement);
    void dropTable(const QString& name);

    // Database users and roles.
    // Users are mapped to logins by the login's security identifier, never by its name: a
    // login dropped and created again under the same name is a stranger to the database.
    static bool isFixedRole(const QString& role);
    std::optional<QString> userOfLogin(const QString& sid);
    std::optional<QString> loginOfUser(const QString& user);
    bool userExists(const QString& user);
    void addUser(const QString& user, const QString& login, const QString& sid);
    // Files made before users carried identifiers map each user once to the login of its
    // name that exists when the file is first opened; `sidOfLogin` gives that login's.
    void adoptUserIdentifiers(const std::function<std::optional<QString>(const QString&)>& sidOfLogin);
    void dropUser(const QString& user);
    QStringList rolesOf(const QString& user);
    void addRoleMember(const QString& role, const QString& member);
    void dropRoleMember(const QString& role, const QString& member);

private:
    DatabaseConnection(const QString& name, const QString& path);
    static std::shared_ptr<DatabaseConnection> openOnce(
        const QString& name, const QString& path, int busyTimeoutMs);
    static bool isReservedName(const QString& name);

    sqlite3* m_db = nullptr;
    QString m_name;
    QString m_path;
    QString m_verb = QStringLiteral("INSERT");
    qint64 m_schemaVersion = -1;
    QHash<QString, TableInfo> m_tables;
    QHash<QString, QList<IndexKey>> m_indexes;
    int m_transactionDepth = 0;
    int m_busyTimeoutMs = 0;
    const std::atomic<bool>* m_interrupt = nullptr;
    QElapsedTimer m_busySince;

    static int busyHandler(void* connection, int attempt);
};

} // namespace glimora::engine

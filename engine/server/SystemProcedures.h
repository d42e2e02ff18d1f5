#pragma once

#include "engine/server/Catalogue.h"
#include "engine/server/DatabasePermissions.h"
#include "engine/storage/DatabaseConnection.h"

#include <optional>
#include <QList>
#include <QString>

namespace glimora::engine {

// The system procedures for logins, users, roles and passwords, with SQL Server's
// effects, permissions and messages.
class SystemProcedures
{
public:
    struct Argument
    {
        QString parameter; // @name when given by name
        std::optional<QString> value; // nullopt for NULL or DEFAULT
    };

    SystemProcedures(Catalogue& catalogue, DatabaseConnection& database, const LoginInfo& caller,
        const DatabasePermissions& callerPermissions);

    static bool exists(const QString& name);
    void run(const QString& name, const QList<Argument>& arguments);

private:
    QList<std::optional<QString>> bind(
        const QString& procedure, const QList<Argument>& arguments, const QStringList& parameters);
    void requireSecurityAdmin();
    void requireUserAdmin();
    void requireRoleAdmin(const QString& refusal);
    QString existingLogin(const std::optional<QString>& name);

    void addLogin(const QList<std::optional<QString>>& args);
    void dropLogin(const QList<std::optional<QString>>& args);
    void addUser(const QList<std::optional<QString>>& args);
    void dropUser(const QList<std::optional<QString>>& args);
    void addRoleMember(const QList<std::optional<QString>>& args);
    void dropRoleMember(const QList<std::optional<QString>>& args);
    void addServerRoleMember(const QList<std::optional<QString>>& args);
    void dropServerRoleMember(const QList<std::optional<QString>>& args);
    void password(const QList<std::optional<QString>>& args);

    Catalogue& m_catalogue;
    DatabaseConnection& m_database;
    LoginInfo m_caller;
    DatabasePermissions m_permissions;
};

} // namespace glimora::engine

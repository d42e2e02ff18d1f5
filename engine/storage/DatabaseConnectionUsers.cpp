// The users of a database, the logins they map to, and the roles they are members of.
#include "engine/storage/DatabaseConnection.h"

#include "engine/storage/SqliteStatement.h"

#include <functional>

namespace glimora::engine {

namespace {

const QStringList& fixedRoles()
{
    static const QStringList roles
        = { "db_owner", "db_accessadmin", "db_securityadmin", "db_ddladmin", "db_backupoperator",
              "db_datareader", "db_datawriter", "db_denydatareader", "db_denydatawriter", "public" };
    return roles;
}

} // namespace

bool DatabaseConnection::isFixedRole(const QString& role)
{
    return fixedRoles().contains(role, Qt::CaseInsensitive);
}

std::optional<QString> DatabaseConnection::userOfLogin(const QString& sid)
{
    if (sid.isEmpty())
        return std::nullopt;
    SqliteStatement statement(*this, QStringLiteral("SELECT name FROM __glimora_users WHERE sid=?"));
    statement.bindText(1, sid);
    if (!statement.step())
        return std::nullopt;
    return statement.textColumn(0);
}

void DatabaseConnection::adoptUserIdentifiers(
    const std::function<std::optional<QString>(const QString&)>& sidOfLogin)
{
    {
        SqliteStatement columns(*this, QStringLiteral("PRAGMA table_info(__glimora_users)"));
        while (columns.step()) {
            if (columns.textColumn(1).compare(QLatin1String("sid"), Qt::CaseInsensitive) == 0)
                return;
        }
    }
    beginWrite();
    try {
        // Another process may have done it while this one waited for the write lock.
        bool done = false;
        {
            SqliteStatement columns(*this, QStringLiteral("PRAGMA table_info(__glimora_users)"));
            while (columns.step())
                done = done || columns.textColumn(1).compare(QLatin1String("sid"), Qt::CaseInsensitive) == 0;
        }
        if (!done) {
            execute(QStringLiteral("ALTER TABLE __glimora_users ADD COLUMN sid TEXT"));
            QList<std::pair<QString, QString>> users;
            {
                SqliteStatement list(*this, QStringLiteral("SELECT name, login FROM __glimora_users"));
                while (list.step())
                    users.append({ list.textColumn(0), list.textColumn(1) });
            }
            for (const auto& [user, login] : users) {
                const std::optional<QString> sid = sidOfLogin(login);
                if (!sid)
                    continue; // its login is gone: the user stays orphaned
                SqliteStatement update(
                    *this, QStringLiteral("UPDATE __glimora_users SET sid=? WHERE name=?"));
                update.bindText(1, *sid);
                update.bindText(2, user);
                update.step();
            }
        }
        commitWrite();
    } catch (...) {
        rollbackWrite();
        throw;
    }
}

std::optional<QString> DatabaseConnection::loginOfUser(const QString& user)
{
    SqliteStatement statement(*this, QStringLiteral("SELECT login FROM __glimora_users WHERE name=?"));
    statement.bindText(1, user);
    if (!statement.step())
        return std::nullopt;
    return statement.textColumn(0);
}

bool DatabaseConnection::userExists(const QString& user)
{
    return loginOfUser(user).has_value();
}

void DatabaseConnection::addUser(const QString& user, const QString& login, const QString& sid)
{
    SqliteStatement statement(
        *this, QStringLiteral("INSERT INTO __glimora_users(name, login, sid) VALUES(?, ?, ?)"));
    statement.bindText(1, user);
    statement.bindText(2, login);
    statement.bindText(3, sid);
    statement.step();
}

void DatabaseConnection::dropUser(const QString& user)
{
    SqliteStatement roles(*this, QStringLiteral("DELETE FROM __glimora_role_members WHERE member=?"));
    roles.bindText(1, user);
    roles.step();
    SqliteStatement statement(*this, QStringLiteral("DELETE FROM __glimora_users WHERE name=?"));
    statement.bindText(1, user);
    statement.step();
}

QStringList DatabaseConnection::rolesOf(const QString& user)
{
    QStringList roles { QStringLiteral("public") };
    if (user.compare(QLatin1String("dbo"), Qt::CaseInsensitive) == 0)
        roles.append(QStringLiteral("db_owner"));
    SqliteStatement statement(
        *this, QStringLiteral("SELECT role FROM __glimora_role_members WHERE member=?"));
    statement.bindText(1, user);
    while (statement.step())
        roles.append(statement.textColumn(0).toLower());
    return roles;
}

void DatabaseConnection::addRoleMember(const QString& role, const QString& member)
{
    SqliteStatement statement(
        *this, QStringLiteral("INSERT OR IGNORE INTO __glimora_role_members(role, member) VALUES(?, ?)"));
    statement.bindText(1, role.toLower());
    statement.bindText(2, member);
    statement.step();
}

void DatabaseConnection::dropRoleMember(const QString& role, const QString& member)
{
    SqliteStatement statement(
        *this, QStringLiteral("DELETE FROM __glimora_role_members WHERE role=? AND member=?"));
    statement.bindText(1, role);
    statement.bindText(2, member);
    statement.step();
}

} // namespace glimora::engine

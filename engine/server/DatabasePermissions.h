#pragma once

#include <QString>
#include <QStringList>

namespace glimora::engine {

// What one session may do in its current database, from its server role and the fixed
// database roles of its user. Every read, write and schema change of a statement is
// checked here, whatever the statement's shape. As in SQL Server, a deny role wins over
// every grant except sysadmin's and the database owner's own (dbo).
class DatabasePermissions
{
public:
    DatabasePermissions() = default;
    DatabasePermissions(
        bool sysadmin, const QString& user, const QStringList& roles, const QString& database);

    QString user() const { return m_user; }
    const QStringList& roles() const { return m_roles; }
    bool isMember(const QString& role) const;
    // sysadmin, dbo or a member of db_owner.
    bool isOwner() const;

    bool canRead() const;
    bool canWrite() const;
    bool canChangeSchema() const;
    // Some right on the tables, which makes their names visible (OBJECT_ID).
    bool canSeeObjects() const { return canRead() || canWrite() || canChangeSchema(); }
    // Fixed database role membership: db_owner's alone.
    bool canChangeFixedRoles() const { return isOwner(); }
    // Adding and dropping users: db_owner and db_accessadmin.
    bool canManageUsers() const;

    // 229 naming the object when the session may not read or write it.
    void requireRead(const QString& object) const;
    void requireWrite(const QString& verb, const QString& object) const;

private:
    bool m_sysadmin = false;
    QString m_user;
    QStringList m_roles;
    QString m_database;
};

} // namespace glimora::engine

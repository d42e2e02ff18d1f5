#include "engine/server/DatabasePermissions.h"

#include "engine/server/ServerError.h"

namespace glimora::engine {

namespace {

ServerError denied(const QString& verb, const QString& object, const QString& database)
{
    return ServerError(229,
        QStringLiteral("The %1 permission was denied on the object '%2', database '%3', schema 'dbo'.")
            .arg(verb, object, database),
        14, 5);
}

} // namespace

DatabasePermissions::DatabasePermissions(
    bool sysadmin, const QString& user, const QStringList& roles, const QString& database)
    : m_sysadmin(sysadmin)
    , m_user(user)
    , m_roles(roles)
    , m_database(database)
{
}

bool DatabasePermissions::isMember(const QString& role) const
{
    return m_roles.contains(role, Qt::CaseInsensitive);
}

bool DatabasePermissions::isOwner() const
{
    return m_sysadmin || m_user.compare(QLatin1String("dbo"), Qt::CaseInsensitive) == 0
        || isMember(QStringLiteral("db_owner"));
}

bool DatabasePermissions::canRead() const
{
    // Neither sysadmin nor dbo can be denied anything; everyone else is, by the deny role.
    if (m_sysadmin || m_user.compare(QLatin1String("dbo"), Qt::CaseInsensitive) == 0)
        return true;
    if (isMember(QStringLiteral("db_denydatareader")))
        return false;
    return isMember(QStringLiteral("db_owner")) || isMember(QStringLiteral("db_datareader"));
}

bool DatabasePermissions::canWrite() const
{
    if (m_sysadmin || m_user.compare(QLatin1String("dbo"), Qt::CaseInsensitive) == 0)
        return true;
    if (isMember(QStringLiteral("db_denydatawriter")))
        return false;
    return isMember(QStringLiteral("db_owner")) || isMember(QStringLiteral("db_datawriter"));
}

bool DatabasePermissions::canChangeSchema() const
{
    return isOwner() || isMember(QStringLiteral("db_ddladmin"));
}

bool DatabasePermissions::canManageUsers() const
{
    return isOwner() || isMember(QStringLiteral("db_accessadmin"));
}

void DatabasePermissions::requireRead(const QString& object) const
{
    if (!canRead())
        throw denied(QStringLiteral("SELECT"), object, m_database);
}

void DatabasePermissions::requireWrite(const QString& verb, const QString& object) const
{
    if (!canWrite())
        throw denied(verb, object, m_database);
}

} // namespace glimora::engine

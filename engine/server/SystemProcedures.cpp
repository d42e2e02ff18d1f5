#include "engine/server/SystemProcedures.h"

#include "engine/server/ServerError.h"

#include <QHash>

namespace glimora::engine {

namespace {

using Parameters = QHash<QString, QStringList>;

const Parameters& procedureParameters()
{
    static const Parameters parameters = {
        { "sp_addlogin", { "@loginame", "@passwd", "@defdb", "@deflanguage", "@sid", "@encryptopt" } },
        { "sp_droplogin", { "@loginame" } },
        { "sp_adduser", { "@loginame", "@name_in_db", "@grpname" } },
        { "sp_dropuser", { "@name_in_db" } },
        { "sp_addrolemember", { "@rolename", "@membername" } },
        { "sp_droprolemember", { "@rolename", "@membername" } },
        { "sp_addsrvrolemember", { "@loginame", "@rolename" } },
        { "sp_dropsrvrolemember", { "@loginame", "@rolename" } },
        { "sp_password", { "@old", "@new", "@loginame" } },
    };
    return parameters;
}

ServerError noPermission()
{
    return ServerError(15247, QStringLiteral("User does not have permission to perform this action."), 16);
}

ServerError invalidLogin(const QString& name)
{
    return ServerError(
        15007, QStringLiteral("'%1' is not a valid login or you do not have permission.").arg(name), 16);
}

ServerError specialPrincipal(const QString& name)
{
    return ServerError(15405, QStringLiteral("Cannot use the special principal '%1'.").arg(name), 11);
}

} // namespace

SystemProcedures::SystemProcedures(Catalogue& catalogue, DatabaseConnection& database,
    const LoginInfo& caller, const DatabasePermissions& callerPermissions)
    : m_catalogue(catalogue)
    , m_database(database)
    , m_caller(caller)
    , m_permissions(callerPermissions)
{
}

bool SystemProcedures::exists(const QString& name)
{
    return procedureParameters().contains(name.toLower());
}

void SystemProcedures::run(const QString& name, const QList<Argument>& arguments)
{
    const QString procedure = name.toLower();
    const QList<std::optional<QString>> args
        = bind(procedure, arguments, procedureParameters().value(procedure));
    if (procedure == QLatin1String("sp_addlogin"))
        addLogin(args);
    else if (procedure == QLatin1String("sp_droplogin"))
        dropLogin(args);
    else if (procedure == QLatin1String("sp_adduser"))
        addUser(args);
    else if (procedure == QLatin1String("sp_dropuser"))
        dropUser(args);
    else if (procedure == QLatin1String("sp_addrolemember"))
        addRoleMember(args);
    else if (procedure == QLatin1String("sp_droprolemember"))
        dropRoleMember(args);
    else if (procedure == QLatin1String("sp_addsrvrolemember"))
        addServerRoleMember(args);
    else if (procedure == QLatin1String("sp_dropsrvrolemember"))
        dropServerRoleMember(args);
    else if (procedure == QLatin1String("sp_password"))
        password(args);
    else
        throw ServerError(2812, QStringLiteral("Could not find stored procedure '%1'.").arg(name), 16, 62);
}

QList<std::optional<QString>> SystemProcedures::bind(
    const QString& procedure, const QList<Argument>& arguments, const QStringList& parameters)
{
    QList<std::optional<QString>> values(parameters.size());
    bool named = false;
    for (int i = 0; i < arguments.size(); ++i) {
        const Argument& argument = arguments[i];
        int index = i;
        if (!argument.parameter.isEmpty()) {
            named = true;
            index = int(parameters.indexOf(argument.parameter.toLower()));
            if (index < 0)
                throw ServerError(8145,
                    QStringLiteral("%1 is not a parameter for procedure %2.")
                        .arg(argument.parameter, procedure),
                    16);
        } else if (named) {
            throw ServerError(119,
                QStringLiteral("Must pass parameter number %1 and subsequent parameters as '@name = value'. "
                               "After the form '@name = value' has been used, all subsequent parameters must "
                               "be passed in the form '@name = value'.")
                    .arg(i + 1),
                15);
        }
        if (index >= parameters.size())
            throw ServerError(8144,
                QStringLiteral("Procedure or function %1 has too many arguments specified.").arg(procedure),
                16);
        values[index] = argument.value;
    }
    return values;
}

void SystemProcedures::requireSecurityAdmin()
{
    if (!m_caller.sysadmin && !m_catalogue.isServerRoleMember(m_caller.name, QStringLiteral("securityadmin")))
        throw noPermission();
}

void SystemProcedures::requireUserAdmin()
{
    if (!m_permissions.canManageUsers())
        throw noPermission();
}

void SystemProcedures::requireRoleAdmin(const QString& refusal)
{
    // Whoever may change a fixed role's members may make himself db_owner: db_owner's alone.
    if (!m_permissions.canChangeFixedRoles()) {
        if (refusal.isEmpty())
            throw noPermission();
        throw ServerError(15151,
            QStringLiteral(
                "Cannot alter the role '%1', because it does not exist or you do not have permission.")
                .arg(refusal),
            16);
    }
}

QString SystemProcedures::existingLogin(const std::optional<QString>& name)
{
    if (!name || name->isEmpty())
        throw invalidLogin(name.value_or(QString()));
    const std::optional<LoginInfo> login = m_catalogue.login(*name);
    if (!login)
        throw invalidLogin(*name);
    return login->name;
}

void SystemProcedures::addLogin(const QList<std::optional<QString>>& args)
{
    requireSecurityAdmin();
    const QString name = args[0].value_or(QString());
    if (name.isEmpty() || name.contains(QLatin1Char('\\')))
        throw ServerError(15006,
            QStringLiteral("'%1' is not a valid name because it contains invalid characters.").arg(name), 16);
    QString defaultDatabase = args[2].value_or(QStringLiteral("master"));
    const std::optional<Catalogue::DatabaseEntry> database = m_catalogue.database(defaultDatabase);
    if (!database)
        throw ServerError(15010,
            QStringLiteral("The database '%1' does not exist. Supply a valid database name. To see available "
                           "databases, use sys.databases.")
                .arg(defaultDatabase),
            16);
    m_catalogue.createLogin(name, args[1].value_or(QString()), database->name);
}

void SystemProcedures::dropLogin(const QList<std::optional<QString>>& args)
{
    requireSecurityAdmin();
    const QString name = existingLogin(args[0]);
    if (name.compare(QLatin1String("sa"), Qt::CaseInsensitive) == 0)
        throw specialPrincipal(name);
    // A sysadmin goes only by another sysadmin's hand, as his password changes only so.
    if (!m_caller.sysadmin && m_catalogue.login(name)->sysadmin)
        throw ServerError(15151,
            QStringLiteral(
                "Cannot drop the login '%1', because it does not exist or you do not have permission.")
                .arg(name),
            16);
    if (name.compare(m_caller.name, Qt::CaseInsensitive) == 0)
        throw ServerError(15434,
            QStringLiteral("Could not drop login '%1' as the user is currently logged in.").arg(name), 16);
    m_catalogue.dropLogin(name);
}

void SystemProcedures::addUser(const QList<std::optional<QString>>& args)
{
    requireUserAdmin();
    const QString role = args[2].value_or(QString());
    if (!role.isEmpty() && role.compare(QLatin1String("public"), Qt::CaseInsensitive) != 0)
        requireRoleAdmin(QString());
    const QString login = existingLogin(args[0]);
    const QString sid = m_catalogue.login(login)->sid;
    const QString user = args[1] && !args[1]->isEmpty() ? *args[1] : login;
    if (m_database.userExists(user))
        throw ServerError(15023,
            QStringLiteral("User, group, or role '%1' already exists in the current database.").arg(user),
            16);
    if (m_database.userOfLogin(sid))
        throw ServerError(
            15063, QStringLiteral("The login already has an account under a different user name."), 16);
    if (!role.isEmpty() && !DatabaseConnection::isFixedRole(role))
        throw ServerError(
            15014, QStringLiteral("The role '%1' does not exist in the current database.").arg(role), 16);
    m_database.beginWrite();
    try {
        m_database.addUser(user, login, sid);
        if (!role.isEmpty() && role.compare(QLatin1String("public"), Qt::CaseInsensitive) != 0)
            m_database.addRoleMember(role, user);
        m_database.commitWrite();
    } catch (...) {
        m_database.rollbackWrite();
        throw;
    }
}

void SystemProcedures::dropUser(const QList<std::optional<QString>>& args)
{
    requireUserAdmin();
    const QString user = args[0].value_or(QString());
    if (user.compare(QLatin1String("dbo"), Qt::CaseInsensitive) == 0)
        throw ServerError(15150, QStringLiteral("Cannot drop the user 'dbo'."), 16);
    if (!m_database.userExists(user))
        throw ServerError(
            15008, QStringLiteral("User '%1' does not exist in the current database.").arg(user), 16);
    m_database.beginWrite();
    try {
        m_database.dropUser(user);
        m_database.commitWrite();
    } catch (...) {
        m_database.rollbackWrite();
        throw;
    }
}

void SystemProcedures::addRoleMember(const QList<std::optional<QString>>& args)
{
    const QString role = args[0].value_or(QString());
    const QString member = args[1].value_or(QString());
    requireRoleAdmin(QString());
    if (!DatabaseConnection::isFixedRole(role))
        throw ServerError(
            15014, QStringLiteral("The role '%1' does not exist in the current database.").arg(role), 16);
    if (!m_database.userExists(member))
        throw ServerError(
            15410, QStringLiteral("User or role '%1' does not exist in this database.").arg(member), 11);
    if (member.compare(QLatin1String("dbo"), Qt::CaseInsensitive) == 0)
        throw specialPrincipal(member);
    if (role.compare(QLatin1String("public"), Qt::CaseInsensitive) != 0)
        m_database.addRoleMember(role, member);
}

void SystemProcedures::dropRoleMember(const QList<std::optional<QString>>& args)
{
    const QString role = args[0].value_or(QString());
    const QString member = args[1].value_or(QString());
    requireRoleAdmin(role);
    if (!DatabaseConnection::isFixedRole(role))
        throw ServerError(
            15014, QStringLiteral("The role '%1' does not exist in the current database.").arg(role), 16);
    if (!m_database.userExists(member))
        throw ServerError(15151,
            QStringLiteral(
                "Cannot drop the user '%1', because it does not exist or you do not have permission.")
                .arg(member),
            16);
    if (member.compare(QLatin1String("dbo"), Qt::CaseInsensitive) == 0
        && role.compare(QLatin1String("db_owner"), Qt::CaseInsensitive) == 0)
        throw specialPrincipal(member);
    m_database.dropRoleMember(role, member);
}

void SystemProcedures::addServerRoleMember(const QList<std::optional<QString>>& args)
{
    if (!m_caller.sysadmin)
        throw noPermission();
    const QString login = existingLogin(args[0]);
    const QString role = args[1].value_or(QString());
    if (!Catalogue::isServerRole(role))
        throw ServerError(15402, QStringLiteral("'%1' is not a fixed server role.").arg(role), 16);
    m_catalogue.addServerRoleMember(login, role);
}

void SystemProcedures::dropServerRoleMember(const QList<std::optional<QString>>& args)
{
    if (!m_caller.sysadmin)
        throw noPermission();
    const QString login = existingLogin(args[0]);
    const QString role = args[1].value_or(QString());
    if (!Catalogue::isServerRole(role))
        throw ServerError(15402, QStringLiteral("'%1' is not a fixed server role.").arg(role), 16);
    if (login.compare(QLatin1String("sa"), Qt::CaseInsensitive) == 0)
        throw specialPrincipal(login);
    m_catalogue.dropServerRoleMember(login, role);
}

void SystemProcedures::password(const QList<std::optional<QString>>& args)
{
    const QString target = args[2] && !args[2]->isEmpty() ? *args[2] : m_caller.name;
    const bool self = target.compare(m_caller.name, Qt::CaseInsensitive) == 0;
    const ServerError refused(15151,
        QStringLiteral(
            "Cannot alter the login '%1', because it does not exist or you do not have permission.")
            .arg(target),
        16);
    if (!self && !m_caller.sysadmin
        && !m_catalogue.isServerRoleMember(m_caller.name, QStringLiteral("securityadmin")))
        throw refused;
    const QString login = existingLogin(target);
    // A password set without the old one, and any password of a sysadmin, need sysadmin:
    // otherwise a security administrator could take over sa.
    if (!self && !m_caller.sysadmin && (!args[0] || m_catalogue.login(login)->sysadmin))
        throw refused;
    const bool reset = m_caller.sysadmin && !args[0];
    // NULL as the old password stands for an empty one, as a login without a password uses it.
    if (!reset && !(m_caller.sysadmin && !self)
        && !m_catalogue.verifyPassword(login, args[0].value_or(QString())))
        throw ServerError(15211,
            QStringLiteral("Old (current) password incorrect for user. The password was not changed."), 16);
    m_catalogue.setPassword(login, args[1].value_or(QString()));
}

} // namespace glimora::engine

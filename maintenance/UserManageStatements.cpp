#include "maintenance/UserManageStatements.h"

#include "data/SqlLiteral.h"

namespace glimora::maintenance::UserManageStatements {

namespace {

QString q(const QString& text)
{
    return data::SqlLiteral::quotesDoubled(text);
}

} // namespace

QString listUsers()
{
    return QStringLiteral("select uname from username where (uname<>'sa' and uname<>'admin') ");
}

QString rightsOf(const QString& name)
{
    return QStringLiteral("select uname,acc1,acc2,acc3,acc4,acc5,acc6,acc7,acc8,acc9,acc10,acc11,acc12,acc13,"
                          "acc14,acc15 from username where uname='")
        + q(name) + QStringLiteral("'");
}

QString dropLogin(const QString& name)
{
    return QStringLiteral(" Exec sp_dropsrvrolemember '") + q(name)
        + QStringLiteral("',sysadmin  Exec sp_droprolemember db_datawriter,'") + q(name)
        + QStringLiteral("' Exec sp_dropuser '") + q(name) + QStringLiteral("' Exec sp_droplogin '") + q(name)
        + QStringLiteral("'");
}

QString dropLoginForRename(const QString& name)
{
    return dropLogin(name) + QStringLiteral(" ");
}

QString dropLoginOnly(const QString& name)
{
    return QStringLiteral("Exec sp_droplogin '") + q(name) + QStringLiteral("'");
}

QString sessions()
{
    return QStringLiteral("exec sp_who");
}

QString createLogin(const QString& name, const QString& database)
{
    return QStringLiteral("Exec sp_addlogin '") + q(name) + QStringLiteral("','hqvxnd',") + database
        + QStringLiteral(",NULL");
}

QString completeLogin(const QString& name, const QString& password)
{
    return QStringLiteral(" Exec sp_adduser '") + q(name)
        + QStringLiteral("',NULL,db_owner Exec sp_addrolemember db_datawriter,'") + q(name)
        + QStringLiteral("' Exec sp_addsrvrolemember '") + q(name)
        + QStringLiteral("',sysadmin Exec sp_password  'hqvxnd','") + q(password) + QStringLiteral("','")
        + q(name) + QStringLiteral("'");
}

QString insertRights(const QString& name, const QStringList& rights)
{
    return QStringLiteral(
               "insert username(uname,acc1,acc2,acc3,acc4,acc5,acc6,acc7,acc8,acc9,acc10,acc11,acc12,"
               "acc13,acc14,acc15) values('")
        + q(name) + QStringLiteral("',") + rights.join(QLatin1Char(','))
        + QStringLiteral(",NULL,NULL,NULL,NULL,NULL)");
}

QString deleteRights(const QString& name)
{
    return QStringLiteral("delete username where uname='") + q(name) + QStringLiteral("'");
}

QString renameRights(const QString& newName, const QString& oldName)
{
    return QStringLiteral("update username set uname='") + q(newName) + QStringLiteral("' where uname='")
        + q(oldName) + QStringLiteral("'");
}

QString updateRights(const QString& name, const QStringList& rights)
{
    QString text = QStringLiteral("update username set ");
    for (int i = 0; i < rights.size(); ++i) {
        if (i > 0)
            text += QLatin1Char(',');
        text += QStringLiteral("acc%1='").arg(i + 1) + rights[i] + QLatin1Char('\'');
    }
    return text + QStringLiteral(" where uname='") + q(name) + QStringLiteral("'");
}

} // namespace glimora::maintenance::UserManageStatements

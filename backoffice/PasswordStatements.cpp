#include "backoffice/PasswordStatements.h"

#include "data/SqlLiteral.h"

namespace glimora::backoffice::PasswordStatements {

namespace {

// A name that can stand unquoted as a procedure argument: a letter or "_" first, then
// letters, digits and "_@#$".
bool isPlainName(const QString& name)
{
    if (name.isEmpty() || !(name.front().isLetter() || name.front() == QLatin1Char('_')))
        return false;
    for (const QChar c : name) {
        if (!c.isLetterOrNumber() && !QStringLiteral("_@#$").contains(c))
            return false;
    }
    return true;
}

} // namespace

QString change(const QString& oldPassword, const QString& newPassword, const QString& userName)
{
    const QString old = oldPassword.isEmpty()
        ? QStringLiteral("NULL")
        : QLatin1Char('\'') + data::SqlLiteral::quotesDoubled(oldPassword) + QLatin1Char('\'');
    const QString user = isPlainName(userName)
        ? userName
        : QStringLiteral("N'") + data::SqlLiteral::quotesDoubled(userName) + QLatin1Char('\'');
    return QStringLiteral("Exec sp_password ") + old + QStringLiteral(",'")
        + data::SqlLiteral::quotesDoubled(newPassword) + QStringLiteral("',") + user;
}

} // namespace glimora::backoffice::PasswordStatements

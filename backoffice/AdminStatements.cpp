#include "backoffice/AdminStatements.h"

#include "data/SqlLiteral.h"

namespace glimora::backoffice::AdminStatements {

QString rights(const QString& userName)
{
    return QStringLiteral(
               "select uname,acc1,acc2,acc3,acc4,acc5,acc6,acc7,acc8,acc9,acc10 from username where "
               "uname='")
        + data::SqlLiteral::quotesDoubled(userName) + QLatin1Char('\'');
}

} // namespace glimora::backoffice::AdminStatements

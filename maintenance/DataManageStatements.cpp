#include "maintenance/DataManageStatements.h"

namespace glimora::maintenance::DataManageStatements {

QString catalogue()
{
    return QStringLiteral("select engl,chna,withe,sort from contrast where right(chna,1)<>'h' order by sort");
}

QString records(const QString& columnList, const QString& filter)
{
    return QStringLiteral("select ") + columnList + QStringLiteral(" from inquiry where ") + filter;
}

QString recordFilter()
{
    return QStringLiteral("d1 like '%'");
}

} // namespace glimora::maintenance::DataManageStatements

#include "maintenance/ConfigStatements.h"

#include "data/SqlLiteral.h"

namespace glimora::maintenance::ConfigStatements {

QString catalogueRows()
{
    return QStringLiteral("select sort,chna,withe,engl,nober from contrast where nober<52");
}

QString updateCaption(int nober, const QString& text)
{
    return QStringLiteral("update contrast set chna='") + data::SqlLiteral::quotesDoubled(text)
        + QStringLiteral("' where nober=") + QString::number(nober);
}

} // namespace glimora::maintenance::ConfigStatements

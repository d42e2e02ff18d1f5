#include "data/CatalogueCaptions.h"

#include "data/SharedDatabase.h"
#include "data/ValueReaders.h"

namespace glimora::data {

const QString& CatalogueCaptions::statement()
{
    static const QString text
        = QStringLiteral("select chna from contrast where nober>=100 and nober<=101 order by nober asc");
    return text;
}

CatalogueCaptions CatalogueCaptions::read()
{
    Command& command = SharedDatabase::command();
    command.SetCommandText(statement());
    SharedDatabase::setRecordset(command.Execute());
    Recordset& rows = SharedDatabase::recordset();
    CatalogueCaptions captions;
    if (rows.BOF() && rows.EndOfFile())
        return captions;
    rows.MoveFirst();
    captions.companyName = ValueText(0);
    rows.MoveNext();
    if (!rows.EndOfFile())
        captions.reportTitle = ValueText(0);
    return captions;
}

} // namespace glimora::data

#include "engine/workbook/WorkbookReader.h"

#include "engine/workbook/SheetTableBuilder.h"
#include "engine/workbook/XlsReader.h"
#include "engine/workbook/XlsxReader.h"

#include <QFile>
#include <QFileInfo>

namespace glimora::engine {

namespace {

const QByteArray compoundFileSignature = QByteArrayLiteral("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1");
const QByteArray zipSignature = QByteArrayLiteral("PK\x03\x04");

} // namespace

WorkbookTable readWorkbookSheet(const QString& path, const QString& sheetName, bool headerRow)
{
    SheetTableBuilder builder(path);
    readWorkbookSheet(path, sheetName, builder);
    return builder.finish(headerRow);
}

void readWorkbookSheet(const QString& path, const QString& sheetName, SheetCells& cells)
{
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        throw WorkbookError::missingFile(path);
    const QByteArray signature = file.read(compoundFileSignature.size());
    file.close();

    if (signature.startsWith(compoundFileSignature))
        return XlsReader(path).read(sheetName, cells);
    if (signature.startsWith(zipSignature))
        return XlsxReader(path).read(sheetName, cells);
    if (signature.size() < compoundFileSignature.size())
        throw WorkbookError::damaged(path, QStringLiteral("the file is empty or too short"));
    throw WorkbookError::notAWorkbook(path);
}

} // namespace glimora::engine

#pragma once

#include "data/Variant.h"
#include "engine/workbook/WorkbookError.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace glimora::engine {

// One worksheet as the Jet provider hands it out: every row has columnNames.size() cells.
struct WorkbookTable
{
    QStringList columnNames;
    QList<QList<glimora::data::Variant>> rows;
};

// Reads one worksheet of an .xls (BIFF5 or BIFF8) or .xlsx workbook; the format is told by
// the file's content, never by its name. The sheet name is matched case-insensitively.
// Columns are F1..Fn, or the first row's texts when headerRow is set (that row is then not
// among the rows). Numbers come as doubles, texts as strings, date cells as date-times,
// empty cells as NULL. Throws WorkbookError for a missing file or sheet, a damaged or
// password-protected workbook, or one beyond the reader's size limits.
WorkbookTable readWorkbookSheet(const QString& path, const QString& sheetName, bool headerRow);

class SheetCells;
// The same without building the table: hands every cell to cells as it is read, the heading
// row among them, so that memory does not grow with the sheet.
void readWorkbookSheet(const QString& path, const QString& sheetName, SheetCells& cells);

} // namespace glimora::engine

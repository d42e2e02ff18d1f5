#include "engine/rowset/WorkbookRowset.h"

#include "engine/workbook/WorkbookReader.h"

namespace glimora::engine {

void WorkbookRowset::read(const QString& path, const QString& sheet, bool, SheetCells& cells)
{
    readWorkbookSheet(path, sheet, cells);
}

} // namespace glimora::engine

#include "engine/WorkbookRowset.h"

#include "engine/workbook/WorkbookReader.h"

namespace glimora::engine {

RowsetTable WorkbookRowset::read(const QString& path, const QString& sheet, bool headerRow)
{
    WorkbookTable table = readWorkbookSheet(path, sheet, headerRow);
    return RowsetTable { std::move(table.columnNames), std::move(table.rows) };
}

} // namespace glimora::engine

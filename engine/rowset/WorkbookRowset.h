#pragma once

#include "engine/rowset/RowsetTable.h"
#include "engine/workbook/SheetCells.h"

namespace glimora::engine {

// The server's way to the worksheets that OPENROWSET names: the workbook reader when it
// is built, otherwise a stand-in that refuses with a clear message.
class WorkbookRowset
{
public:
    static void read(const QString& path, const QString& sheet, bool headerRow, SheetCells& cells);
};

} // namespace glimora::engine

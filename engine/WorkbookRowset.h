#pragma once

#include "engine/RowsetTable.h"

namespace glimora::engine {

// The server's way to the worksheets that OPENROWSET names: the workbook reader when it
// is built, otherwise a stand-in that refuses with a clear message.
class WorkbookRowset
{
public:
    static RowsetTable read(const QString& path, const QString& sheet, bool headerRow);
};

} // namespace glimora::engine

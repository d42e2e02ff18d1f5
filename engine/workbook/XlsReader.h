#pragma once

#include "engine/workbook/WorkbookReader.h"

#include <QString>

namespace glimora::engine {

class SheetCells;

// Reads a worksheet of a BIFF5 or BIFF8 workbook (.xls). The workbooks come from wherever
// an administrator found them, so the reader (CompoundFile and BiffReader) runs by default
// in a child process with limits on memory, processor time and file writes: even a fault
// of ours that a hostile file finds can kill the child, never the server. The child
// streams the cells back through a pipe.
class XlsReader
{
public:
    enum class Isolation { ChildProcess, InProcess };

    explicit XlsReader(const QString& path, Isolation isolation = Isolation::ChildProcess);

    WorkbookTable read(const QString& sheetName, bool headerRow);
    // Hands the sheet's cells to cells as they arrive from the child; throws WorkbookError.
    void read(const QString& sheetName, SheetCells& cells);

    // Runs in the child just before it reads; tests put a crash or an abort there to stand
    // in for a failing reader. Null (the default) runs nothing.
    using ChildHook = void (*)();
    static void setChildHookForTesting(ChildHook hook);

private:
    QString m_path;
    Isolation m_isolation;
};

} // namespace glimora::engine

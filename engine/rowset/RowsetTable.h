#pragma once

#include "data/Variant.h"

#include <functional>
#include <QList>
#include <QStringList>

namespace glimora::engine {

class SheetCells;

// The rows of an OPENROWSET source: column names and one value per column in each row.
struct RowsetTable
{
    QStringList columnNames;
    QList<QList<data::Variant>> rows;
};

// Reads one worksheet: path, sheet name, whether the first row holds the column names.
// Throws std::exception with a message that names the file.
using RowsetReader = std::function<RowsetTable(const QString& path, const QString& sheet, bool headerRow)>;

// Reads one worksheet and hands its cells, the heading row among them, to cells as they are
// read, so that no sheet is ever held whole. headerRow is for readers that shape the table
// themselves (a RowsetReader). Throws std::exception with a message that names the file.
using RowsetCellReader
    = std::function<void(const QString& path, const QString& sheet, bool headerRow, SheetCells& cells)>;

} // namespace glimora::engine

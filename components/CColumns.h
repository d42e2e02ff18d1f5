#pragma once

#include "components/CColumn.h"

#include <QPointer>

namespace glimora::components {

class CDataGrid;

// The columns of a data grid, one per field of the bound record set.
class CColumns
{
public:
    explicit CColumns(CDataGrid* grid);

    int Count() const;
    // Raises the item-not-found error for an index outside 0 .. Count() - 1.
    CColumn Item(int index) const;

private:
    CDataGrid& grid() const;

    QPointer<CDataGrid> m_grid;
};

} // namespace glimora::components

#include "components/CColumns.h"

#include "components/CDataGrid.h"
#include "components/RecordsetTableModel.h"
#include "data/DbError.h"

namespace glimora::components {

CColumns::CColumns(CDataGrid* grid)
    : m_grid(grid)
{
}

CDataGrid& CColumns::grid() const
{
    if (!m_grid)
        throw data::DbError::invalidPointer();
    return *m_grid;
}

int CColumns::Count() const
{
    return grid().recordsetModel()->columnCount();
}

CColumn CColumns::Item(int index) const
{
    if (index < 0 || index >= Count())
        throw data::DbError::itemNotFound();
    return CColumn(m_grid, index);
}

} // namespace glimora::components

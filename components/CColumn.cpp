#include "components/CColumn.h"

#include "components/CDataGrid.h"
#include "components/RecordsetTableModel.h"
#include "data/DbError.h"

#include <cmath>

namespace glimora::components {

CColumn::CColumn(CDataGrid* grid, int index)
    : m_grid(grid)
    , m_index(index)
{
}

CDataGrid& CColumn::grid() const
{
    if (!m_grid)
        throw data::DbError::invalidPointer();
    return *m_grid;
}

QString CColumn::Caption() const
{
    return grid().recordsetModel()->headerData(m_index, Qt::Horizontal).toString();
}

void CColumn::SetCaption(const QString& caption)
{
    grid().recordsetModel()->setHeaderData(m_index, Qt::Horizontal, caption);
}

float CColumn::Width() const
{
    return float(grid().columnWidth(m_index));
}

void CColumn::SetWidth(float width)
{
    // Bound before converting: a catalogue width of 2^31 or more would wrap to nothing.
    const int pixels
        = std::isfinite(width) ? int(std::lround(qBound(0.0, double(width), double(1 << 16)))) : 0;
    grid().setColumnWidth(m_index, pixels);
}

bool CColumn::Locked() const
{
    return grid().recordsetModel()->isLocked(m_index);
}

void CColumn::SetLocked(bool locked)
{
    grid().recordsetModel()->setLocked(m_index, locked);
}

bool CColumn::Visible() const
{
    return !grid().isColumnHidden(m_index);
}

void CColumn::SetVisible(bool visible)
{
    grid().setColumnHidden(m_index, !visible);
}

} // namespace glimora::components

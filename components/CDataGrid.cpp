#include "components/CDataGrid.h"

#include "components/RecordsetTableModel.h"
#include "data/DbError.h"
#include "ui/OkMessageBox.h"

#include <QHeaderView>
#include <QMouseEvent>

namespace glimora::components {

using data::DbError;

CDataGrid::CDataGrid(QWidget* parent)
    : QTableView(parent)
    , m_model(new RecordsetTableModel(this))
{
    setModel(m_model);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setSelectionMode(QAbstractItemView::SingleSelection);
    // A double click belongs to the screen (data management deletes the record), so it
    // must not open an editor on a row that is about to go.
    setEditTriggers(QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed
        | QAbstractItemView::AnyKeyPressed);
    setWordWrap(false);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 8);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setHighlightSections(false);

    connect(selectionModel(), &QItemSelectionModel::currentChanged, this, &CDataGrid::moveRecordsetTo);
    // Queued: the message box must not open while the delegate is still committing.
    connect(
        m_model, &RecordsetTableModel::writeFailed, this, &CDataGrid::showWriteError, Qt::QueuedConnection);

    m_syncTimer.setInterval(SyncIntervalMs);
    connect(&m_syncTimer, &QTimer::timeout, this, &CDataGrid::syncWithRecordset);
}

void CDataGrid::SetDataSource(const data::Recordset& recordset)
{
    m_following = true;
    m_model->setRecordset(recordset);
    // The first rows now, so that the first paint shows them; the view asks for the rest.
    if (m_model->canFetchMore(QModelIndex()))
        m_model->fetchMore(QModelIndex());
    for (int column = 0; column < m_model->columnCount(); ++column)
        setColumnHidden(column, false);
    m_following = false;
    followRecordset();
}

data::Recordset CDataGrid::DataSource() const
{
    return m_model->recordset();
}

CColumns CDataGrid::Columns()
{
    return CColumns(this);
}

void CDataGrid::Refresh()
{
    syncWithRecordset();
    viewport()->update();
}

void CDataGrid::syncWithRecordset()
{
    if (state() == QAbstractItemView::EditingState)
        return; // a row laid out anew would close the editor under the person's hands
    m_model->syncWithRecordset();
    followRecordset();
}

// Makes the grid's current row the record set's current record.
void CDataGrid::followRecordset()
{
    const data::Recordset recordset = m_model->recordset();
    long position = -1;
    try {
        if (recordset.isNull() || recordset.State() != data::Recordset::StateOpen)
            return;
        position = recordset.AbsolutePosition();
    } catch (const DbError&) {
        return;
    }
    const QModelIndex current = currentIndex();
    if (position < 1 || position > m_model->rowCount()) {
        if (current.isValid()) {
            // At BOF or EOF the grid has no current row.
            m_following = true;
            selectionModel()->clearCurrentIndex();
            selectionModel()->clearSelection();
            m_following = false;
        }
        return;
    }
    const int row = int(position - 1);
    if (current.isValid() && current.row() == row)
        return;
    int column = current.isValid() ? current.column() : 0;
    while (column < m_model->columnCount() - 1 && isColumnHidden(column))
        ++column;
    m_following = true;
    setCurrentIndex(m_model->index(row, column));
    m_following = false;
}

// Makes the record set's current record the grid's current row.
void CDataGrid::moveRecordsetTo(const QModelIndex& current)
{
    if (m_following || !current.isValid())
        return;
    data::Recordset recordset = m_model->recordset();
    try {
        if (recordset.isNull() || recordset.State() != data::Recordset::StateOpen
            || recordset.AbsolutePosition() == current.row() + 1)
            return;
        recordset.SetAbsolutePosition(current.row() + 1);
    } catch (const DbError& error) {
        showWriteError(error.description());
    }
}

void CDataGrid::showWriteError(const QString& description)
{
    viewport()->update();
    ui::OkMessageBox::show(this, description);
}

void CDataGrid::mouseDoubleClickEvent(QMouseEvent* event)
{
    QTableView::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton)
        emit DblClick();
}

void CDataGrid::showEvent(QShowEvent* event)
{
    QTableView::showEvent(event);
    syncWithRecordset();
    m_syncTimer.start();
}

void CDataGrid::hideEvent(QHideEvent* event)
{
    m_syncTimer.stop();
    QTableView::hideEvent(event);
}

} // namespace glimora::components

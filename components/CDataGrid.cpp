#include "components/CDataGrid.h"

#include "components/GridItemDelegate.h"
#include "components/RecordsetTableModel.h"
#include "data/DbError.h"
#include "data/ErrorHints.h"
#include "ui/OkMessageBox.h"

#include <QHeaderView>
#include <QMouseEvent>
#include <QTimer>

namespace glimora::components {

using data::DbError;

CDataGrid::CDataGrid(QWidget* parent)
    : QTableView(parent)
    , m_model(new RecordsetTableModel(this))
    , m_delegate(new GridItemDelegate(this))
{
    setModel(m_model);
    setItemDelegate(m_delegate);
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
    connect(m_model, &RecordsetTableModel::writeFailed, this, &CDataGrid::writeFailed);
    connect(m_model, &RecordsetTableModel::readFailed, this, &CDataGrid::writeFailed);
    connect(m_model, &RecordsetTableModel::aboutToClose, this, &CDataGrid::commitOpenEditor);
    connect(m_model, &RecordsetTableModel::aboutToDelete, this, [this](int row) {
        if (m_delegate->openEditor() && m_delegate->openEditorIndex().row() == row)
            commitOpenEditor();
    });
    connect(m_model, &RecordsetTableModel::currentRecordMoved, this, &CDataGrid::followRecordset);
    // While rows go, the view moves its current row off them: that is no move of the person's.
    connect(m_model, &QAbstractItemModel::rowsAboutToBeRemoved, this, [this]() { m_following = true; });
    connect(m_model, &QAbstractItemModel::rowsRemoved, this, [this]() { m_following = false; });
    // A record set opened again has new fields: every column starts shown.
    connect(m_model, &QAbstractItemModel::modelReset, this, [this]() {
        for (int column = 0; column < m_model->columnCount(); ++column)
            setColumnHidden(column, false);
    });
}

CDataGrid::~CDataGrid()
{
    commitOpenEditor();
    showPendingWriteErrors();
}

void CDataGrid::SetDataSource(const data::Recordset& recordset)
{
    commitOpenEditor();
    m_following = true;
    m_model->setRecordset(recordset);
    // The first rows now, so that the first paint shows them; the view asks for the rest.
    m_model->readFirstRows(RecordsetTableModel::FetchBatch);
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

// The row count was taken beside the open result and may fall short of it (rows deleted by
// someone else in between): Ctrl+End reads to the end first, which reaching the last row
// would read anyway, so that it lands on the last record, not on the last one counted.
QModelIndex CDataGrid::moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers)
{
    if (cursorAction == MoveEnd && (modifiers & Qt::ControlModifier)) {
        data::Recordset recordset = m_model->recordset();
        try {
            while (!recordset.isNull() && recordset.State() == data::Recordset::StateOpen
                && !recordset.allRecordsFetched() && recordset.fetchMore(65536) > 0) { }
        } catch (const DbError&) {
            // Rows that cannot be read are reported when the cursor reaches them.
        }
    }
    const QModelIndex next = QTableView::moveCursor(cursorAction, modifiers);
    // Tab on the last cell goes nowhere: wrapped round to the first record, its text would
    // stand selected under whatever is typed next, as would the last record's for a back-tab.
    const QModelIndex current = currentIndex();
    if (!next.isValid() || !current.isValid() || (cursorAction != MoveNext && cursorAction != MovePrevious))
        return next;
    const auto place = [this](const QModelIndex& index) {
        return std::pair(index.row(), horizontalHeader()->visualIndex(index.column()));
    };
    if ((cursorAction == MoveNext && place(next) <= place(current))
        || (cursorAction == MovePrevious && place(next) >= place(current)))
        return QModelIndex();
    return next;
}

void CDataGrid::syncWithRecordset()
{
    m_model->syncWithRecordset();
    followRecordset();
}

void CDataGrid::commitOpenEditor()
{
    QWidget* editor = m_delegate->openEditor();
    if (!editor)
        return;
    commitData(editor);
    closeEditor(editor, QAbstractItemDelegate::NoHint);
}

void CDataGrid::writeFailed(const QString& description)
{
    m_pendingWriteErrors.append(description);
    // Not now: the delegate is still committing and the editor still open.
    if (m_pendingWriteErrors.size() == 1)
        QTimer::singleShot(0, this, &CDataGrid::showPendingWriteErrors);
}

void CDataGrid::showPendingWriteErrors()
{
    while (!m_pendingWriteErrors.isEmpty())
        showWriteError(m_pendingWriteErrors.takeFirst());
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
        // The result ended before the row that its count promised: the grid now shows the
        // rows there are and stays on the last of them.
        try {
            if (!recordset.isNull() && recordset.State() == data::Recordset::StateOpen
                && recordset.allRecordsFetched() && current.row() >= recordset.fetchedRecordCount()) {
                syncWithRecordset();
                if (recordset.fetchedRecordCount() > 0)
                    recordset.SetAbsolutePosition(recordset.fetchedRecordCount());
                return;
            }
        } catch (const DbError&) {
        }
        showWriteError(data::ErrorHints::text(error));
    }
}

void CDataGrid::showWriteError(const QString& description)
{
    viewport()->update();
    // A grid on its way out lends the box its window only while that is still shown.
    ui::OkMessageBox::show(isVisible() ? this : nullptr, description);
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
}

void CDataGrid::hideEvent(QHideEvent* event)
{
    // The screen is closing or switching tabs: what was typed is written now, and a write
    // that fails is shown now, while the person still knows which edit it was.
    commitOpenEditor();
    showPendingWriteErrors();
    QTableView::hideEvent(event);
}

} // namespace glimora::components

#pragma once

#include "components/CColumns.h"
#include "data/Recordset.h"

#include <QStringList>
#include <QTableView>

namespace glimora::components {

class GridItemDelegate;
class RecordsetTableModel;

// The data grid: a table bound to a record set. Its current row and the record set's
// current record follow each other; a cell edited in place is written through the record
// set when the edit is committed, and a write that fails is shown to the person and the
// cell shows the stored value again.
//
// Screens move, add and delete records on the record set directly; the record set tells the
// grid of each change as it is made, so the grid always shows the set as it is and an open
// editor stays on its record. Refresh() repaints every cell.
//
// An edit typed in a cell is never dropped silently: rebinding, closing the record set or
// hiding the grid commits the open editor first, and a write that fails is shown before
// the grid goes away.
class CDataGrid : public QTableView
{
    Q_OBJECT
public:
    explicit CDataGrid(QWidget* parent = nullptr);
    ~CDataGrid() override;

    void SetDataSource(const data::Recordset& recordset);
    data::Recordset DataSource() const;
    CColumns Columns();
    void Refresh();

    RecordsetTableModel* recordsetModel() const { return m_model; }

signals:
    void DblClick();

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    QModelIndex moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void syncWithRecordset();
    void followRecordset();
    void moveRecordsetTo(const QModelIndex& current);
    void showWriteError(const QString& description);
    // Writes what the open editor holds, if anything, and closes it.
    void commitOpenEditor();
    // Failed writes are shown once the delegate has finished committing, or at once when
    // the grid is going away.
    void writeFailed(const QString& description);
    void showPendingWriteErrors();

    RecordsetTableModel* m_model;
    GridItemDelegate* m_delegate;
    QStringList m_pendingWriteErrors;
    bool m_following = false;
};

} // namespace glimora::components

#pragma once

#include "components/CColumns.h"
#include "data/Recordset.h"

#include <QTableView>
#include <QTimer>

namespace glimora::components {

class RecordsetTableModel;

// The data grid: a table bound to a record set. Its current row and the record set's
// current record follow each other; a cell edited in place is written through the record
// set when the edit is committed, and a write that fails is shown to the person and the
// cell shows the stored value again.
//
// Screens move, add and delete records on the record set directly, so while it is shown
// the grid looks at the record set a few times a second and catches up; Refresh() does
// the same at once and repaints every cell.
class CDataGrid : public QTableView
{
    Q_OBJECT
public:
    // How often a shown grid catches up with changes made to its record set elsewhere.
    static constexpr int SyncIntervalMs = 100;

    explicit CDataGrid(QWidget* parent = nullptr);

    void SetDataSource(const data::Recordset& recordset);
    data::Recordset DataSource() const;
    CColumns Columns();
    void Refresh();

    RecordsetTableModel* recordsetModel() const { return m_model; }

signals:
    void DblClick();

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void syncWithRecordset();
    void followRecordset();
    void moveRecordsetTo(const QModelIndex& current);
    void showWriteError(const QString& description);

    RecordsetTableModel* m_model;
    QTimer m_syncTimer;
    bool m_following = false;
};

} // namespace glimora::components

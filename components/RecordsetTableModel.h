#pragma once

#include "data/Recordset.h"

#include <functional>
#include <QAbstractTableModel>
#include <QList>
#include <QSet>
#include <QStringList>

namespace glimora::components {

// A table over a bound record set: one column per field in select-list order, one row per
// record of the set, read or not, where the record set can tell how many it has (else one
// row per record read so far, and more as a view asks for them). Rows are read as a view
// shows them, so a large result costs only what is shown: a record set with a key keeps only
// the values of the rows near those shown, and pictures only for the rows shown, and reads
// others again when they are shown. Values are read from the record
// set each time, never copied, and the record set tells the model of every change as it
// happens (rows read, added, deleted or written, the set closed or opened again), so the
// table always shows what the record set holds.
class RecordsetTableModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    // Rows read per request of the view: a few screens' worth.
    static constexpr long FetchBatch = 256;
    // Rows read below those a view asks for (pictures only for the rows asked for).
    static constexpr long ReadAhead = 32;

    explicit RecordsetTableModel(QObject* parent = nullptr);
    ~RecordsetTableModel() override;

    // Binds the model; an unset or closed record set gives an empty table.
    void setRecordset(const data::Recordset& recordset);
    data::Recordset recordset() const { return m_recordset; }

    bool isLocked(int column) const;
    void setLocked(int column, bool locked);
    // When set, only the rows it accepts take typing; the others are shown, not edited.
    void setRowEditable(std::function<bool(int row)> editable);

    // Catches up with rows read while nobody was told (another batch on the same session
    // reads the rest of the result). Returns true when rows went or the columns changed.
    bool syncWithRecordset();
    // Reads the first `rows` rows now, so that a first paint shows them.
    void readFirstRows(long rows);
    // Whether the values of `row` are in memory (`column` -1: all but its pictures); rows not
    // read yet show nothing until they are.
    bool isRead(int row, int column = -1) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    bool setHeaderData(
        int section, Qt::Orientation orientation, const QVariant& value, int role = Qt::EditRole) override;
    bool canFetchMore(const QModelIndex& parent = QModelIndex()) const override;
    void fetchMore(const QModelIndex& parent = QModelIndex()) override;

signals:
    // A cell edit could not be written; the cell shows the record set's value again.
    void writeFailed(const QString& description);
    // Rows shown could not be read; they stay empty and are not asked for again until the
    // record set changes. Told once for a run of failures.
    void readFailed(const QString& description);
    // The record set is about to close: whatever a view holds unwritten must go now.
    void aboutToClose();
    // The record set's current record changed.
    void currentRecordMoved();
    // Record `row` is about to be deleted: whatever a view holds unwritten for it must go now.
    void aboutToDelete(int row);

private:
    struct FieldShape
    {
        data::DataType type = data::DataType::Empty;
        int scale = 0;
    };

    bool isOpen() const;
    bool isInside(const QModelIndex& index) const;
    data::Variant valueAt(int row, int column) const;
    void readShape();
    void recordsetChanged(const data::RecordsetChange& change);
    void unsubscribe();
    long expectedRows() const;
    // Rows shown but not read yet are read soon after a view asks for them, not while painting;
    // pictures are read with them when a picture was asked for.
    void requestRow(int row, bool picture) const;
    void readRequestedRows();
    // Reads rows first..last (and `ahead` more), then tells the view of the cells that got
    // their values.
    void readRows(int first, int last, long ahead, bool pictures);
    int firstPictureColumn() const; // -1 when there is none
    // Tells the view of the runs of rows first..end-1 read now and not `before`.
    void emitChangedRuns(int first, int end, const QList<bool>& before,
        const std::function<bool(int)>& isReadNow, int firstColumn, int lastColumn);

    data::Recordset m_recordset;
    QList<FieldShape> m_fields;
    QStringList m_captions;
    QList<bool> m_locked;
    std::function<bool(int row)> m_rowEditable;
    int m_rowCount = 0;
    int m_readShown = 0; // rows read when the view was last told
    mutable QList<int> m_requestedRows; // asked for while painting, not read yet
    mutable QList<int> m_requestedPictureRows;
    QSet<int> m_unreadable; // rows whose reading failed
    bool m_changingRows = false;
    int m_subscription = 0;
    bool m_removingRow = false;
    bool m_insertingRow = false;
};

} // namespace glimora::components

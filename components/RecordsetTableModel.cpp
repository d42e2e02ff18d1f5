#include "components/RecordsetTableModel.h"

#include "components/CellFormat.h"
#include "data/DbError.h"
#include "data/ErrorHints.h"

#include <algorithm>
#include <limits>
#include <QTimer>

namespace glimora::components {

using data::DbError;
using data::Recordset;
using data::Variant;

RecordsetTableModel::RecordsetTableModel(QObject* parent)
    : QAbstractTableModel(parent)
{
}

RecordsetTableModel::~RecordsetTableModel()
{
    unsubscribe();
}

void RecordsetTableModel::setRecordset(const Recordset& recordset)
{
    beginResetModel();
    unsubscribe();
    m_recordset = recordset;
    if (!m_recordset.isNull())
        m_subscription = m_recordset.subscribe(
            [this](const data::RecordsetChange& change) { recordsetChanged(change); });
    readShape();
    endResetModel();
}

void RecordsetTableModel::unsubscribe()
{
    if (m_subscription != 0)
        m_recordset.unsubscribe(m_subscription);
    m_subscription = 0;
}

void RecordsetTableModel::recordsetChanged(const data::RecordsetChange& change)
{
    using Kind = data::RecordsetChange::Kind;
    // Rows that could not be read are tried again once the set has changed.
    if (change.kind == Kind::RowChanged)
        m_unreadable.remove(int(change.row));
    else if (change.kind != Kind::Moved && change.kind != Kind::RowsFetched)
        m_unreadable.clear();
    switch (change.kind) {
    case Kind::AboutToReset:
        emit aboutToClose();
        break;
    case Kind::Reset:
        // Closed, or opened again on another statement: new fields under new captions.
        beginResetModel();
        readShape();
        endResetModel();
        break;
    case Kind::RowsFetched:
        syncWithRecordset();
        break;
    case Kind::AboutToDelete:
        if (change.row >= 0 && change.row < m_rowCount)
            emit aboutToDelete(int(change.row));
        break;
    case Kind::AboutToInsertRow:
        if (change.row >= 0 && change.row <= m_rowCount) {
            m_insertingRow = true;
            beginInsertRows(QModelIndex(), int(change.row), int(change.row));
        }
        break;
    case Kind::RowInserted:
        if (m_insertingRow) {
            ++m_rowCount;
            ++m_readShown;
            m_insertingRow = false;
            m_changingRows = true;
            endInsertRows();
            m_changingRows = false;
        }
        syncWithRecordset();
        break;
    case Kind::AboutToRemoveRow:
        if (change.row >= 0 && change.row < m_rowCount) {
            m_removingRow = true;
            beginRemoveRows(QModelIndex(), int(change.row), int(change.row));
        }
        break;
    case Kind::RowRemoved:
        if (m_removingRow) {
            --m_rowCount;
            m_readShown = qMax(0, m_readShown - 1);
            endRemoveRows();
            m_removingRow = false;
        }
        break;
    case Kind::RowChanged:
        if (change.row >= 0 && change.row < m_rowCount && !m_fields.isEmpty())
            emit dataChanged(index(int(change.row), 0), index(int(change.row), columnCount() - 1));
        break;
    case Kind::Moved:
        emit currentRecordMoved();
        break;
    }
}

void RecordsetTableModel::readShape()
{
    m_fields.clear();
    m_captions.clear();
    m_rowCount = 0;
    m_readShown = 0;
    if (!isOpen()) {
        m_locked.clear();
        return;
    }
    try {
        const int count = m_recordset.FieldCount();
        for (int i = 0; i < count; ++i) {
            const data::Field field = m_recordset.Item(i);
            m_fields.append(FieldShape { field.Type(), field.NumericScale() });
            m_captions.append(field.Name());
        }
        m_readShown = int(qMin<long>(m_recordset.fetchedRecordCount(), std::numeric_limits<int>::max()));
        m_rowCount = int(qMax<long>(expectedRows(), m_readShown));
    } catch (const DbError&) {
        m_fields.clear();
        m_captions.clear();
        m_rowCount = 0;
    }
    m_locked = QList<bool>(m_fields.size(), false);
}

bool RecordsetTableModel::isOpen() const
{
    try {
        return !m_recordset.isNull() && m_recordset.State() == Recordset::StateOpen;
    } catch (const DbError&) {
        return false;
    }
}

bool RecordsetTableModel::isLocked(int column) const
{
    return column >= 0 && column < m_locked.size() && m_locked[column];
}

void RecordsetTableModel::setLocked(int column, bool locked)
{
    if (column < 0 || column >= m_locked.size())
        return;
    m_locked[column] = locked;
}

bool RecordsetTableModel::syncWithRecordset()
{
    if (m_changingRows)
        return false; // asked again by a listener of the change under way
    if (!isOpen()) {
        if (m_fields.isEmpty() && m_rowCount == 0)
            return false;
        beginResetModel();
        m_fields.clear();
        m_captions.clear();
        m_locked.clear();
        m_rowCount = 0;
        m_readShown = 0;
        endResetModel();
        return true;
    }
    long fetched = 0;
    long expected = 0;
    try {
        if (m_fields.isEmpty() && m_recordset.FieldCount() > 0) {
            // Opened again after being closed: a new shape.
            setRecordset(m_recordset);
            return true;
        }
        fetched = qMin<long>(m_recordset.fetchedRecordCount(), std::numeric_limits<int>::max());
        expected = qMax(fetched, qMin<long>(expectedRows(), std::numeric_limits<int>::max()));
    } catch (const DbError&) {
        return false;
    }
    bool rowsWent = false;
    m_changingRows = true;
    if (expected > m_rowCount) {
        // Rows join at the end: read beyond the count, or added by AddNew.
        beginInsertRows(QModelIndex(), m_rowCount, int(expected) - 1);
        m_rowCount = int(expected);
        endInsertRows();
    } else if (expected < m_rowCount) {
        // Deleted rows, or fewer rows than counted: the rows after them have moved up. Cells
        // are read live, so dropping rows at the end and repainting the rest shows the set as
        // it is, and unlike a reset it keeps the columns' widths and hidden state.
        beginRemoveRows(QModelIndex(), int(expected), m_rowCount - 1);
        m_rowCount = int(expected);
        endRemoveRows();
        m_readShown = qMin(m_readShown, m_rowCount);
        if (m_rowCount > 0)
            emit dataChanged(index(0, 0), index(m_rowCount - 1, columnCount() - 1));
        rowsWent = true;
    }
    m_changingRows = false;
    if (fetched > m_readShown) {
        // Rows shown before they were read now have their values.
        const int first = m_readShown;
        m_readShown = int(fetched);
        if (first < m_rowCount && !m_fields.isEmpty())
            emit dataChanged(index(first, 0), index(qMin(m_readShown, m_rowCount) - 1, columnCount() - 1));
    }
    if (fetched < m_readShown)
        m_readShown = int(fetched);
    return rowsWent;
}

long RecordsetTableModel::expectedRows() const
{
    return m_recordset.expectedRecordCount();
}

void RecordsetTableModel::readFirstRows(long rows)
{
    if (!isOpen())
        return;
    try {
        // Without pictures: those of the rows shown are read when they are painted.
        m_recordset.readRecords(0, rows, false);
    } catch (const DbError&) {
        // Rows that cannot be read are reported when the cursor reaches them.
    }
    syncWithRecordset();
}

bool RecordsetTableModel::isRead(int row, int column) const
{
    try {
        return !m_recordset.isNull() && m_recordset.isHeld(row, column);
    } catch (const DbError&) {
        return false;
    }
}

void RecordsetTableModel::requestRow(int row, bool picture) const
{
    const bool scheduled = !m_requestedRows.isEmpty() || !m_requestedPictureRows.isEmpty();
    QList<int>& rows = picture ? m_requestedPictureRows : m_requestedRows;
    if (rows.isEmpty() || rows.last() != row)
        rows.append(row);
    if (!scheduled)
        QTimer::singleShot(
            0, const_cast<RecordsetTableModel*>(this), &RecordsetTableModel::readRequestedRows);
}

namespace {

// Rows asked for, sorted, in runs of rows close together: a run is read in one go.
QList<std::pair<int, int>> runsOf(QList<int> rows, int gap)
{
    std::sort(rows.begin(), rows.end());
    QList<std::pair<int, int>> runs;
    for (int row : rows) {
        if (!runs.isEmpty() && row <= runs.last().second + gap)
            runs.last().second = qMax(runs.last().second, row);
        else
            runs.append({ row, row });
    }
    return runs;
}

} // namespace

void RecordsetTableModel::readRequestedRows()
{
    const QList<int> rows = std::exchange(m_requestedRows, {});
    const QList<int> pictureRows = std::exchange(m_requestedPictureRows, {});
    if (!isOpen())
        return;
    for (const auto& [first, last] : runsOf(rows + pictureRows, int(ReadAhead)))
        readRows(first, last, ReadAhead, false);
    for (const auto& [first, last] : runsOf(pictureRows, 0))
        readRows(first, last, 0, true);
}

void RecordsetTableModel::readRows(int first, int last, long ahead, bool pictures)
{
    const long count = long(last) - first + 1 + ahead;
    const int end = int(qMin<long>(first + count, m_rowCount)); // past the last row to tell of
    const int pictureColumn = firstPictureColumn();
    QList<bool> wasRead;
    QList<bool> pictureWasRead;
    for (int row = first; row < end; ++row) {
        wasRead.append(isRead(row));
        pictureWasRead.append(pictureColumn >= 0 && isRead(row, pictureColumn));
    }
    QString failure;
    try {
        m_recordset.readRecords(first, count, pictures);
    } catch (const DbError& error) {
        failure = data::ErrorHints::text(error);
    }
    syncWithRecordset();
    const int shownEnd = qMin(end, m_rowCount);
    if (!failure.isEmpty()) {
        // Told once, not at every repaint of rows that keep failing.
        const bool firstFailure = m_unreadable.isEmpty();
        for (int row = first; row <= qMin(last, shownEnd - 1); ++row) {
            if (!isRead(row) || (pictures && pictureColumn >= 0 && !isRead(row, pictureColumn)))
                m_unreadable.insert(row);
        }
        if (firstFailure)
            emit readFailed(failure);
    }
    // Only the cells that got their values now: a cell being edited is never told to show
    // the stored value again, which would drop what was typed. Pictures are never edited.
    emitChangedRuns(
        first, shownEnd, wasRead, [this](int row) { return isRead(row); }, 0, columnCount() - 1);
    if (pictureColumn < 0)
        return;
    for (int column = pictureColumn; column < m_fields.size(); ++column) {
        if (CellFormat::isBinary(m_fields[column].type))
            emitChangedRuns(
                first, shownEnd, pictureWasRead,
                [this, pictureColumn](int row) { return isRead(row, pictureColumn); }, column, column);
    }
}

int RecordsetTableModel::firstPictureColumn() const
{
    for (int column = 0; column < m_fields.size(); ++column) {
        if (CellFormat::isBinary(m_fields[column].type))
            return column;
    }
    return -1;
}

void RecordsetTableModel::emitChangedRuns(int first, int end, const QList<bool>& before,
    const std::function<bool(int)>& isReadNow, int firstColumn, int lastColumn)
{
    for (int row = first; row < end && !m_fields.isEmpty();) {
        if (before[row - first] || !isReadNow(row)) {
            ++row;
            continue;
        }
        int runEnd = row + 1;
        while (runEnd < end && !before[runEnd - first] && isReadNow(runEnd))
            ++runEnd;
        emit dataChanged(index(row, firstColumn), index(runEnd - 1, lastColumn));
        row = runEnd;
    }
}

bool RecordsetTableModel::isInside(const QModelIndex& index) const
{
    return index.isValid() && index.model() == this && index.row() < m_rowCount
        && index.column() < m_fields.size();
}

int RecordsetTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_rowCount;
}

int RecordsetTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_fields.size());
}

Variant RecordsetTableModel::valueAt(int row, int column) const
{
    try {
        // Only rows in memory: painting must never make the record set read.
        if (!m_recordset.isHeld(row, column)) {
            if (!m_unreadable.contains(row))
                requestRow(row, CellFormat::isBinary(m_fields[column].type));
            return Variant();
        }
        return m_recordset.valueAt(row, column);
    } catch (const DbError&) {
        // A row gone since the last sync, or a closed set: nothing to show.
        return Variant();
    }
}

QVariant RecordsetTableModel::data(const QModelIndex& index, int role) const
{
    if (!isInside(index))
        return QVariant();
    const FieldShape& field = m_fields[index.column()];
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return CellFormat::displayText(valueAt(index.row(), index.column()), field.type, field.scale);
    case Qt::TextAlignmentRole:
        if (CellFormat::isNumeric(field.type))
            return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
        return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
    case Qt::ToolTipRole: {
        const Variant value = valueAt(index.row(), index.column());
        if (value.kind() == Variant::Kind::Bytes)
            return QStringLiteral("%1 字节").arg(value.toBytes().size());
        return QVariant();
    }
    default:
        return QVariant();
    }
}

bool RecordsetTableModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::EditRole || !(flags(index) & Qt::ItemIsEditable))
        return false;
    const int row = index.row();
    const int column = index.column();
    const FieldShape& field = m_fields[column];
    const QString text = value.toString();
    // As stored, read again if it is no longer in memory: an empty cell is no stored value.
    QString stored;
    try {
        stored = CellFormat::displayText(m_recordset.valueAt(row, column), field.type, field.scale);
    } catch (const DbError& error) {
        emit dataChanged(index, index);
        emit writeFailed(data::ErrorHints::text(error));
        return false;
    }
    if (text == stored)
        return false; // nothing changed: no write, so no needless conflict either

    Variant typed;
    QString problem;
    if (!CellFormat::parse(text, field.type, typed, problem)) {
        emit writeFailed(problem);
        return false;
    }
    try {
        if (m_recordset.AbsolutePosition() != row + 1)
            m_recordset.SetAbsolutePosition(row + 1);
        m_recordset.Item(column).SetValue(typed);
        m_recordset.UpdateBatch(Recordset::AffectCurrent);
    } catch (const DbError& error) {
        try {
            m_recordset.CancelUpdate();
        } catch (const DbError&) {
        }
        emit dataChanged(index, index);
        emit writeFailed(data::ErrorHints::text(error));
        return false;
    }
    emit dataChanged(this->index(row, 0), this->index(row, columnCount() - 1));
    return true;
}

void RecordsetTableModel::setRowEditable(std::function<bool(int row)> editable)
{
    m_rowEditable = std::move(editable);
}

Qt::ItemFlags RecordsetTableModel::flags(const QModelIndex& index) const
{
    if (!isInside(index))
        return Qt::NoItemFlags;
    Qt::ItemFlags result = Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemNeverHasChildren;
    // A row not read yet shows nothing, and nothing would be what an editor started from.
    if (!isRead(index.row()) || (m_rowEditable && !m_rowEditable(index.row())))
        return result;
    const bool updatable = [this] {
        try {
            return m_recordset.isUpdatable();
        } catch (const DbError&) {
            return false;
        }
    }();
    // Pictures are written by the screens from files, never typed into a cell.
    if (updatable && !m_locked[index.column()] && !CellFormat::isBinary(m_fields[index.column()].type))
        result |= Qt::ItemIsEditable;
    return result;
}

QVariant RecordsetTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole && role != Qt::EditRole)
        return QVariant();
    if (orientation == Qt::Horizontal) {
        if (section < 0 || section >= m_captions.size())
            return QVariant();
        return m_captions[section];
    }
    if (section < 0 || section >= m_rowCount)
        return QVariant();
    return section + 1;
}

bool RecordsetTableModel::setHeaderData(
    int section, Qt::Orientation orientation, const QVariant& value, int role)
{
    if (orientation != Qt::Horizontal || (role != Qt::DisplayRole && role != Qt::EditRole) || section < 0
        || section >= m_captions.size())
        return false;
    m_captions[section] = value.toString();
    emit headerDataChanged(orientation, section, section);
    return true;
}

bool RecordsetTableModel::canFetchMore(const QModelIndex& parent) const
{
    if (parent.isValid() || !isOpen())
        return false;
    try {
        // Only past the rows shown: rows counted but not read are read as they are shown.
        return !m_recordset.allRecordsFetched() && m_recordset.fetchedRecordCount() >= m_rowCount;
    } catch (const DbError&) {
        return false;
    }
}

void RecordsetTableModel::fetchMore(const QModelIndex& parent)
{
    // Never while a row comes or goes: the record set is in the middle of that change.
    if (m_changingRows || m_insertingRow || m_removingRow || !canFetchMore(parent))
        return;
    try {
        m_recordset.readRecords(m_recordset.fetchedRecordCount(), FetchBatch, false);
    } catch (const DbError&) {
        // Rows that cannot be read are reported when the cursor reaches them.
    }
    syncWithRecordset();
}

} // namespace glimora::components

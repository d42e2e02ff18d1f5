#include "data/RecordsetData.h"

#include "data/FieldComparison.h"
#include "data/Recordset.h"
#include "data/Session.h"
#include "data/SqlLiteral.h"

#include <algorithm>
#include <limits>

namespace glimora::data {

namespace {

constexpr qsizetype never = std::numeric_limits<qsizetype>::max();

// Rows up to this position are held even when passed over (without their pictures).
constexpr qsizetype heldWhilePassing = 1000;

} // namespace

std::shared_ptr<RecordsetData> RecordsetData::open(std::shared_ptr<Session> session, ExecuteResult result,
    int commandTimeoutSeconds, std::optional<UpdateTarget> target)
{
    auto data = std::make_shared<RecordsetData>();
    data->openResult(std::move(session), std::move(result), commandTimeoutSeconds, std::move(target));
    return data;
}

void RecordsetData::openResult(std::shared_ptr<Session> session, ExecuteResult result,
    int commandTimeoutSeconds, std::optional<UpdateTarget> target)
{
    if (m_open)
        throw DbError::objectOpen();
    m_session = std::move(session);
    m_commandTimeout = commandTimeoutSeconds;
    m_target = std::move(target);
    clearRows();
    m_deferredError.reset();
    m_position = -1;
    m_fields.clear();
    resetCount();
    if (!result.cursor)
        return; // a batch without rows gives a closed record set
    m_cursor = std::move(result.cursor);
    m_fields = m_cursor->fields();
    // A key read inexactly would address a neighbour: such a set is read-only.
    if (m_target && std::any_of(m_target->keyFields.begin(), m_target->keyFields.end(), [this](int keyField) {
            return keyField >= m_fields.size() || !isCarriedExactly(m_fields[keyField]);
        })) {
        m_notUpdatableReason = QStringLiteral("a key of %1 cannot be read exactly").arg(m_target->table);
        m_target.reset();
    }
    m_keyed = m_target && !m_target->keyFields.isEmpty();
    m_keyFieldsOnly = QList<bool>(m_fields.size(), false);
    m_allButPictures = QList<bool>(m_fields.size(), true);
    m_hasPictures = false;
    for (int i = 0; i < m_fields.size(); ++i) {
        m_allButPictures[i] = !isPicture(i);
        m_hasPictures = m_hasPictures || isPicture(i);
    }
    if (m_keyed) {
        for (int keyField : m_target->keyFields)
            m_keyFieldsOnly[keyField] = true;
    }
    m_open = true;
    m_session->setReader(shared_from_this());
    try {
        fetchUpTo(0);
    } catch (...) {
        releaseCursor();
        m_open = false;
        throw;
    }
    m_position = 0; // the first record, or BOF and EOF together when there is none
    notify(RecordsetChange::Kind::Reset);
}

RecordsetData::~RecordsetData()
{
    releaseCursor();
}

void RecordsetData::close()
{
    checkOpen();
    // An edit not yet written is neither written nor dropped behind the caller's back: as
    // ADO does, Close refuses until UpdateBatch or CancelUpdate has settled it.
    notify(RecordsetChange::Kind::AboutToReset);
    if (m_editRow >= 0)
        throw DbError::illegalOperation();
    releaseCursor();
    clearRows();
    m_deferredError.reset();
    m_position = -1;
    m_open = false;
    resetCount();
    notify(RecordsetChange::Kind::Reset);
}

int RecordsetData::fieldCount() const
{
    checkOpen();
    return int(m_fields.size()) - (m_target ? m_target->hiddenFieldCount : 0);
}

const FieldInfo& RecordsetData::field(int index) const
{
    if (index < 0 || index >= fieldCount())
        throw DbError::itemNotFound();
    return m_fields[index];
}

int RecordsetData::fieldIndex(const QString& name) const
{
    const int count = fieldCount();
    for (int i = 0; i < count; ++i) {
        if (m_fields[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

bool RecordsetData::bof() const
{
    checkOpen();
    return m_position < 0 || (m_count == 0 && !m_cursor);
}

bool RecordsetData::eof() const
{
    checkOpen();
    return m_position >= m_count;
}

void RecordsetData::moveFirst()
{
    if (bof() && eof())
        throw DbError::noCurrentRecord();
    flushEdit();
    m_position = 0;
    holdCurrent();
    notify(RecordsetChange::Kind::Moved);
}

void RecordsetData::moveNext()
{
    if (eof())
        throw DbError::noCurrentRecord();
    flushEdit();
    const qsizetype before = m_count;
    m_position = fetchUpTo(m_position + 1) ? m_position + 1 : m_count;
    notifyFetched(before);
    holdCurrent();
    notify(RecordsetChange::Kind::Moved);
}

void RecordsetData::movePrevious()
{
    if (bof())
        throw DbError::noCurrentRecord();
    flushEdit();
    --m_position;
    holdCurrent();
    notify(RecordsetChange::Kind::Moved);
}

void RecordsetData::moveLast()
{
    if (bof() && eof())
        throw DbError::noCurrentRecord();
    flushEdit();
    const qsizetype before = m_count;
    fetchAll();
    m_position = m_count - 1;
    notifyFetched(before);
    holdCurrent();
    notify(RecordsetChange::Kind::Moved);
}

long RecordsetData::absolutePosition() const
{
    if (m_count == 0 && !m_cursor && m_open)
        return -1; // adPosUnknown
    if (bof())
        return -2;
    if (eof())
        return -3;
    return long(m_position) + 1;
}

void RecordsetData::setAbsolutePosition(long position)
{
    checkOpen();
    const qsizetype before = m_count;
    const bool exists = position >= 1 && fetchUpTo(position - 1);
    notifyFetched(before);
    if (!exists)
        throw DbError::invalidArgument(QStringLiteral("no record at position %1").arg(position));
    flushEdit();
    m_position = position - 1;
    holdCurrent();
    notify(RecordsetChange::Kind::Moved);
}

long RecordsetData::recordCount()
{
    checkOpen();
    const qsizetype before = m_count;
    fetchAll();
    notifyFetched(before);
    return long(m_count);
}

Variant RecordsetData::value(int field)
{
    checkCurrent();
    if (field < 0 || field >= fieldCount())
        throw DbError::itemNotFound();
    if (m_editRow == m_position)
        return m_editValues[field];
    return heldRow(m_position, isPicture(field)).values[field];
}

Variant RecordsetData::valueAt(long record, int field)
{
    checkOpen();
    if (field < 0 || field >= fieldCount())
        throw DbError::itemNotFound();
    if (record < 0 || !fetchUpTo(record))
        throw DbError::noCurrentRecord();
    if (m_editRow == record)
        return m_editValues[field];
    return heldRow(record, isPicture(field)).values[field];
}

bool RecordsetData::isHeld(long record, int field) const
{
    if (!m_open || record < 0 || record >= m_count)
        return false;
    if (m_editRow == record)
        return true;
    const HeldRows::Row* row = m_held.peek(record);
    return row && (row->pictures || field < 0 || !isPicture(field));
}

void RecordsetData::readRecords(long first, long count, bool pictures)
{
    checkOpen();
    first = qMax(0L, first);
    count = qMin<long>(count, Recordset::HeldRecordLimit / 2);
    if (count <= 0)
        return;
    const qsizetype last = qsizetype(first) + count - 1;
    const qsizetype before = m_count;
    if (last >= m_count)
        fetchUpTo(last, first, pictures ? first : never);
    notifyFetched(before);
    if (!m_keyed)
        return;
    if (const std::optional<DbError> failure = readAgain(first, qMin(last, m_count - 1), pictures))
        throw *failure;
}

long RecordsetData::expectedCount()
{
    checkOpen();
    if (!m_cursor)
        return long(m_count);
    if (!m_counted) {
        m_counted = true;
        m_readerTotal = countRows();
    }
    if (m_readerTotal < 0)
        return long(m_count);
    return long(m_count + qMax<qint64>(0, m_readerTotal - m_streamed));
}

// How many rows the open result has in all, counted beside it; -1 when that cannot be told
// without reading it (a backend with one active result, a statement that cannot be counted).
qint64 RecordsetData::countRows()
{
    if (m_countStatement.isEmpty() || !m_session || !m_session->keepsResultsOpen())
        return -1;
    try {
        ExecuteResult result = m_session->executeBesideReader(m_countStatement, m_commandTimeout);
        QList<Variant> row;
        if (!result.cursor || !result.cursor->fetchRow(row) || row.isEmpty())
            return -1;
        // The count sees the rows added and deleted here since the result was read.
        return row[0].toInt64() - m_added + m_deleted;
    } catch (const DbError&) {
        return -1;
    }
}

void RecordsetData::resetCount()
{
    m_streamed = 0;
    m_added = 0;
    m_deleted = 0;
    m_counted = false;
    m_readerTotal = -1;
}

long RecordsetData::fetchMore(long count)
{
    checkOpen();
    const qsizetype before = m_count;
    // Rows passed over: a set with a key keeps their keys and reads them again when shown.
    fetchUpTo(before + count - 1, never, never);
    notifyFetched(before);
    return long(m_count - before);
}

void RecordsetData::completeBeforeNextBatch()
{
    try {
        fetchAll();
    } catch (const DbError& error) {
        // Reported when the cursor next needs the rows that could not be read.
        m_deferredError = error;
        releaseCursor();
    }
}

int RecordsetData::subscribe(RecordsetListener listener)
{
    const int id = m_nextListenerId++;
    m_listeners.append({ id, std::move(listener) });
    return id;
}

void RecordsetData::unsubscribe(int id)
{
    m_listeners.removeIf([id](const auto& entry) { return entry.first == id; });
}

void RecordsetData::notify(RecordsetChange::Kind kind, long row)
{
    // A copy: a listener may unsubscribe while it is told.
    const auto listeners = m_listeners;
    for (const auto& [id, listener] : listeners)
        listener(RecordsetChange { kind, row });
}

void RecordsetData::notifyFetched(qsizetype before)
{
    if (m_count > before)
        notify(RecordsetChange::Kind::RowsFetched);
}

void RecordsetData::checkOpen() const
{
    if (!m_open)
        throw DbError::objectClosed();
}

void RecordsetData::checkCurrent() const
{
    if (bof() || eof())
        throw DbError::noCurrentRecord();
}

void RecordsetData::checkUpdatable() const
{
    if (!m_target)
        throw DbError::notUpdatable(m_notUpdatableReason);
}

bool RecordsetData::fetchUpTo(qsizetype row)
{
    // The rows just before the one wanted are held too: moving back a little reads nothing.
    // Pictures only of the row wanted: reading on record by record reads each one's.
    return fetchUpTo(row, row - ReadAround, row);
}

bool RecordsetData::fetchUpTo(qsizetype row, qsizetype holdFrom, qsizetype picturesFrom)
{
    while (m_count <= row) {
        if (!m_cursor) {
            trimHeld();
            if (m_deferredError) {
                const DbError error = *m_deferredError;
                m_deferredError.reset();
                throw error;
            }
            return false;
        }
        const qsizetype position = m_count;
        // The first rows are held whatever reads them: a small set is never read twice.
        const bool hold = !m_keyed || m_holdAll || position >= holdFrom || position < heldWhilePassing;
        const bool pictures = !m_keyed || m_holdAll || !m_hasPictures || position >= picturesFrom;
        QList<Variant> values;
        bool fetched = false;
        try {
            fetched = pictures && hold
                ? m_cursor->fetchRow(values)
                : m_cursor->fetchFields(values, hold ? m_allButPictures : m_keyFieldsOnly);
        } catch (...) {
            releaseCursor();
            throw;
        }
        if (!fetched) {
            releaseCursor();
            continue; // reports the end, or the error kept for it
        }
        if (m_keyed)
            m_keys.append(RecordKeys::encode(keyOf(values)));
        if (hold)
            m_held.put(position, HeldRows::Row { std::move(values), pictures, false, 0 });
        ++m_count;
        ++m_streamed;
    }
    trimHeld();
    return true;
}

void RecordsetData::fetchAll()
{
    while (m_cursor)
        fetchUpTo(m_count, never, never);
}

void RecordsetData::clearRows()
{
    m_keys.clear();
    m_held.clear();
    m_count = 0;
    m_keyed = false;
}

bool RecordsetData::isPicture(int field) const
{
    const DataType type = m_fields[field].type;
    if (type != DataType::VarBinary && type != DataType::LongVarBinary)
        return false;
    // A binary key is the record's identity: read with every row, like any key.
    return !(m_target && m_target->keyFields.contains(field));
}

QList<Variant> RecordsetData::keyOf(const QList<Variant>& row) const
{
    QList<Variant> key;
    for (int keyField : m_target->keyFields)
        key.append(keyField < row.size() ? row[keyField] : Variant::null());
    return key;
}

} // namespace glimora::data

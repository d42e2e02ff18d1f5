#include "data/RecordsetData.h"

#include "data/Recordset.h"
#include "data/Session.h"
#include "data/SqlLiteral.h"

#include <algorithm>
#include <limits>

namespace glimora::data {

namespace {

// text, ntext and image cannot be compared in a WHERE clause.
bool isComparable(DataType type)
{
    return type != DataType::LongVarChar && type != DataType::LongVarWChar && type != DataType::LongVarBinary;
}

// Whether the value read is exactly the value stored: a decimal wider than the data layer
// holds cannot be carried whole, and a check on it would fail for every row.
bool isCarriedExactly(const FieldInfo& field)
{
    const bool decimal = field.type == DataType::Numeric || field.type == DataType::Decimal;
    return !decimal || field.precision <= Decimal::MaximumDigits;
}

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

void RecordsetData::setValue(int field, const Variant& value)
{
    checkCurrent();
    checkUpdatable();
    if (field < 0 || field >= fieldCount())
        throw DbError::itemNotFound();
    if (m_target->baseColumns[field].isEmpty())
        throw DbError::notUpdatable(
            QStringLiteral("field %1 is not a column of %2").arg(m_fields[field].name, m_target->table));
    if (m_editRow != m_position) {
        flushEdit();
        // With its pictures: what is not changed reads back as stored.
        m_editValues = heldRow(m_position, true).values;
        m_editRow = m_position;
        m_changed = QList<bool>(m_fields.size(), false);
    }
    m_editValues[field] = value;
    m_changed[field] = true;
}

void RecordsetData::addNew(const QStringList& fieldNames, const QList<Variant>& values)
{
    checkOpen();
    checkUpdatable();
    if (fieldNames.size() != values.size() || fieldNames.isEmpty())
        throw DbError::invalidArgument(QStringLiteral("AddNew needs one value for each field"));
    flushEdit();

    QStringList columns;
    QStringList literals;
    QList<int> fields;
    for (qsizetype i = 0; i < fieldNames.size(); ++i) {
        const int index = fieldIndex(fieldNames[i]);
        if (index < 0)
            throw DbError::itemNotFound();
        if (m_target->baseColumns[index].isEmpty())
            throw DbError::notUpdatable(
                QStringLiteral("field %1 is not a column of %2").arg(fieldNames[i], m_target->table));
        fields.append(index);
        columns.append(SqlLiteral::identifier(m_target->baseColumns[index]));
        literals.append(SqlLiteral::value(values[i]));
    }
    // The rest of the result is read first (a set with a key keeps only the keys, as
    // Ctrl+End does), so that the new row comes last, where it is found after reopening.
    if (m_cursor) {
        const qsizetype before = m_count;
        fetchAll();
        notifyFetched(before);
    }
    const ExecuteResult inserted = writeStatement(QStringLiteral("INSERT INTO ") + m_target->table
        + QStringLiteral(" (") + columns.join(QStringLiteral(", ")) + QStringLiteral(") VALUES (")
        + literals.join(QStringLiteral(", ")) + QLatin1Char(')'));
    if (inserted.rowsAffected == 0)
        throw DbError(DbError::ProviderFailure, QStringLiteral("The new row was not stored."));

    // The key of the new row: given, or assigned by the server (an identity column).
    QList<Variant> keyValues;
    for (int keyField : m_target->keyFields) {
        const qsizetype given = fields.indexOf(keyField);
        keyValues.append(given >= 0 ? values[given] : Variant::null());
    }
    // @@IDENTITY names the new row only when the key is the identity column: any other
    // key (a default, a trigger's) is unknown and the row is found by its values instead.
    if (m_target->keyFields.size() == 1 && keyValues[0].isNull() && m_target->keyIsIdentity) {
        ExecuteResult identity = writeStatement(QStringLiteral("SELECT @@IDENTITY"));
        QList<Variant> row;
        if (identity.cursor && identity.cursor->fetchRow(row) && !row.isEmpty())
            keyValues[0] = row[0];
    }

    const bool keyKnown = std::none_of(
        keyValues.cbegin(), keyValues.cend(), [](const Variant& v) { return v.isNull() || v.isEmpty(); });
    // A row found by its values is told from the rows already there only once all of them
    // are read; a row with its key needs none of them.
    if (!keyKnown)
        fetchAll();
    QList<Variant> row = keyKnown ? readBack(keyValues) : locateInserted(fields, values);
    if (row.isEmpty()) {
        // Not found again (the key is unknown): show what was stored; later writes to it fail.
        row = QList<Variant>(m_fields.size(), Variant::null());
        for (qsizetype i = 0; i < fields.size(); ++i)
            row[fields[i]] = values[i];
        for (qsizetype k = 0; k < keyValues.size(); ++k)
            row[m_target->keyFields[k]] = keyValues[k];
    }
    // It follows every row of the result, read before the insert.
    const qsizetype added = m_count;
    notify(RecordsetChange::Kind::AboutToInsertRow, long(added));
    m_keys.append(RecordKeys::encode(keyOf(row)));
    m_held.put(added, HeldRows::Row { row, true, false, 0 });
    ++m_count;
    ++m_added;
    m_position = added;
    if (m_keyed)
        forgetOthersWithKey(added, m_keys.at(added));
    trimHeld();
    notify(RecordsetChange::Kind::RowInserted, long(added));
    notify(RecordsetChange::Kind::Moved);
}

void RecordsetData::deleteCurrent()
{
    checkCurrent();
    checkUpdatable();
    // A view writes what is typed into this record first: it goes with the record, or its
    // failure is shown, never dropped unseen. Writing may move the cursor meanwhile.
    const qsizetype target = m_position;
    notify(RecordsetChange::Kind::AboutToDelete, long(target));
    if (target >= m_count)
        throw DbError::noCurrentRecord();
    m_position = target;
    if (m_editRow == m_position)
        cancelUpdate();
    // A record someone else deleted already has nothing left to delete but its row.
    if (!heldRow(m_position, false).gone) {
        const ExecuteResult result = writeStatement(QStringLiteral("DELETE FROM ") + m_target->table
            + QStringLiteral(" WHERE ") + rowCriteria(m_position));
        if (result.rowsAffected <= 0)
            refusedByAnotherWriter(m_position);
        ++m_deleted;
    }
    // The cursor stays where the row was: on the next record, or at EOF.
    const qsizetype removed = m_position;
    notify(RecordsetChange::Kind::AboutToRemoveRow, long(removed));
    // A listener may have moved the cursor meanwhile; the row that goes is the one deleted.
    m_keys.removeAt(removed);
    m_held.removeAt(removed);
    --m_count;
    m_position = removed;
    notify(RecordsetChange::Kind::RowRemoved, long(removed));
    notify(RecordsetChange::Kind::Moved);
}

void RecordsetData::updateCurrent()
{
    checkCurrent();
    flushEdit();
}

void RecordsetData::cancelUpdate()
{
    m_editRow = -1;
    m_editValues.clear();
    m_changed.clear();
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

const HeldRows::Row& RecordsetData::heldRow(qsizetype position, bool pictures)
{
    const HeldRows::Row* row = m_held.find(position);
    std::optional<DbError> failure;
    if (m_keyed && !row) {
        failure = readAgain(position - ReadAround / 2, position + ReadAround / 2 - 1, false);
        row = m_held.find(position);
    }
    // The pictures of this row only: those around it are not asked for.
    if (m_keyed && row && pictures && !row->pictures) {
        failure = readAgain(position, position, true);
        row = m_held.find(position);
        if (row && !row->pictures && failure)
            throw *failure;
    }
    if (!row)
        throw failure.value_or(DbError::noCurrentRecord());
    return *row;
}

std::optional<DbError> RecordsetData::readAgain(qsizetype first, qsizetype last, bool pictures)
{
    first = qMax<qsizetype>(0, first);
    last = qMin(last, m_count - 1);
    QList<QByteArray> keys;
    QHash<QByteArray, QList<qsizetype>> positions;
    std::optional<DbError> failure;
    for (qsizetype position = first; position <= last; ++position) {
        const HeldRows::Row* row = m_held.peek(position);
        if (row && (row->pictures || !pictures))
            continue;
        const QByteArray key = m_keys.at(position);
        if (RecordKeys::holdsNull(key))
            continue; // held until the record set closes: it cannot be found again
        if (!positions.contains(key))
            keys.append(key);
        positions[key].append(position);
        if (keys.size() == KeysPerStatement) {
            readAgainInBatch(keys, positions, pictures, failure);
            keys.clear();
        }
    }
    if (!keys.isEmpty())
        readAgainInBatch(keys, positions, pictures, failure);
    trimHeld();
    return failure;
}

// A record whose values cannot be read fails alone: the others of its batch are read one
// by one, so a screen shows them and names the failure only where it lies.
void RecordsetData::readAgainInBatch(const QList<QByteArray>& keys,
    QHash<QByteArray, QList<qsizetype>>& positions, bool pictures, std::optional<DbError>& failure)
{
    try {
        readAgainByKeys(keys, positions, pictures);
        return;
    } catch (const DbError& error) {
        if (keys.size() == 1) {
            failure = failure.value_or(error);
            return;
        }
    }
    for (const QByteArray& key : keys) {
        if (!positions.contains(key))
            continue; // read before the batch failed
        try {
            readAgainByKeys({ key }, positions, pictures);
        } catch (const DbError& error) {
            failure = failure.value_or(error);
        }
    }
}

void RecordsetData::readAgainByKeys(
    const QList<QByteArray>& keys, QHash<QByteArray, QList<qsizetype>>& positions, bool pictures)
{
    QStringList conditions;
    for (const QByteArray& key : keys)
        conditions.append(
            m_target->keyFields.size() == 1 ? RecordKeys::literals(key).value(0) : keyCriteria(key));
    const QString where = m_target->keyFields.size() == 1
        ? SqlLiteral::identifier(m_target->baseColumns[m_target->keyFields[0]]) + QStringLiteral(" IN (")
            + conditions.join(QStringLiteral(", ")) + QLatin1Char(')')
        : QLatin1Char('(') + conditions.join(QStringLiteral(") OR (")) + QLatin1Char(')');
    ExecuteResult result
        = writeStatement((pictures ? m_target->refetchPrefix : m_target->refetchWithoutPicturesPrefix)
            + QStringLiteral(" WHERE ") + where);
    QList<Variant> values;
    QList<QList<Variant>> unmatched;
    while (result.cursor && result.cursor->fetchRow(values)) {
        if (values.size() != m_fields.size())
            continue;
        const QList<qsizetype> found = positions.take(RecordKeys::encode(keyOf(values)));
        if (found.isEmpty())
            unmatched.append(values);
        for (qsizetype position : found)
            holdReadAgain(position, values, pictures);
    }
    // The server found these by its collation (another case, trailing blanks): each is the
    // record of the one key asked for that compares equal so, never a guess between two.
    for (const QList<Variant>& row : std::as_const(unmatched)) {
        const QByteArray loose = RecordKeys::loose(RecordKeys::encode(keyOf(row)));
        QByteArray match;
        int candidates = 0;
        for (const QByteArray& key : keys) {
            if (positions.contains(key) && RecordKeys::loose(key) == loose) {
                match = key;
                ++candidates;
            }
        }
        if (candidates != 1)
            continue;
        for (qsizetype position : positions.take(match))
            holdReadAgain(position, row, pictures);
    }
    // Not found by its key: deleted by someone else since it was read. Its row stays, so
    // that the rows after it keep their places, and writes to it find nothing.
    for (const QByteArray& key : keys) {
        for (qsizetype position : positions.take(key))
            holdAsGone(position);
    }
}

void RecordsetData::holdReadAgain(qsizetype position, const QList<Variant>& values, bool pictures)
{
    if (const HeldRows::Row* held = m_held.peek(position)) {
        // Only its pictures were missing: the rest stays as it was read and shown, so that a
        // write still checks against the values the person saw.
        HeldRows::Row row = *held;
        for (int i = 0; i < m_fields.size(); ++i) {
            if (isPicture(i))
                row.values[i] = values[i];
        }
        row.pictures = true;
        m_held.put(position, std::move(row));
        return;
    }
    HeldRows::Row row { values, pictures || !m_hasPictures, false, 0 };
    if (!pictures) {
        for (int i = 0; i < m_fields.size(); ++i) {
            if (isPicture(i))
                row.values[i] = Variant();
        }
    }
    m_held.put(position, std::move(row));
}

void RecordsetData::holdAsGone(qsizetype position)
{
    if (const HeldRows::Row* held = m_held.peek(position)) {
        // Its pictures are gone with it; a later write to it finds nothing and says so.
        HeldRows::Row row = *held;
        for (int i = 0; i < m_fields.size(); ++i) {
            if (isPicture(i))
                row.values[i] = Variant::null();
        }
        row.pictures = true;
        m_held.put(position, std::move(row));
        return;
    }
    m_held.put(position, HeldRows::Row { QList<Variant>(m_fields.size(), Variant::null()), true, true, 0 });
}

// A key written to a record can be held by another row only if that row's record was
// deleted meanwhile: that row stays deleted, rather than becoming the record just written.
void RecordsetData::forgetOthersWithKey(qsizetype position, const QByteArray& key)
{
    if (RecordKeys::holdsNull(key))
        return; // a record whose key is not known shares it with no other
    for (const qsizetype other : m_keys.positionsOf(key)) {
        if (other == position)
            continue;
        m_keys.replace(
            other, RecordKeys::encode(QList<Variant>(m_target->keyFields.size(), Variant::null())));
        m_held.put(other, HeldRows::Row { QList<Variant>(m_fields.size(), Variant::null()), true, true, 0 });
        notify(RecordsetChange::Kind::RowChanged, long(other));
    }
}

// The record made current is read now, as a move reads it: a view can edit it at once, and
// a record that cannot be read fails the move, not a later read.
void RecordsetData::holdCurrent()
{
    if (m_keyed && m_position >= 0 && m_position < m_count)
        heldRow(m_position, false);
}

void RecordsetData::trimHeld()
{
    if (!m_keyed || m_holdAll)
        return;
    if (m_held.size() <= Recordset::HeldRecordLimit && m_held.bytes() <= Recordset::HeldPictureBytes)
        return;
    m_held.trim(
        Recordset::HeldRecordLimit * 3 / 4, Recordset::HeldPictureBytes * 3 / 4, [this](qsizetype position) {
            return position == m_position || position == m_editRow
                || RecordKeys::holdsNull(m_keys.at(position));
        });
}

void RecordsetData::releaseCursor()
{
    if (!m_cursor)
        return;
    m_cursor.reset();
    if (m_session)
        m_session->clearReader(this);
}

void RecordsetData::refusedByAnotherWriter(qsizetype row)
{
    // Changed or deleted by someone else: the row is read again when next shown, so that the
    // person sees what is stored (or that it is gone) and a second try can succeed.
    if (m_keyed && !RecordKeys::holdsNull(m_keys.at(row)))
        m_held.remove(row);
    notify(RecordsetChange::Kind::RowChanged, long(row));
    throw DbError::rowConflict();
}

void RecordsetData::flushEdit()
{
    if (m_editRow < 0)
        return;
    const qsizetype row = m_editRow;
    QStringList assignments;
    for (qsizetype i = 0; i < m_changed.size(); ++i) {
        if (m_changed[i])
            assignments.append(SqlLiteral::identifier(m_target->baseColumns[i]) + QStringLiteral(" = ")
                + SqlLiteral::value(m_editValues[i]));
    }
    const QList<Variant> edited = m_editValues;
    // The edit ends whatever happens: after a failure the cache shows what the table holds.
    // The row stays held meanwhile: its check compares with the values it was read with.
    QString criteria;
    try {
        criteria = rowCriteria(row);
    } catch (const DbError&) {
        cancelUpdate();
        throw;
    }
    cancelUpdate();
    const ExecuteResult result
        = writeStatement(QStringLiteral("UPDATE ") + m_target->table + QStringLiteral(" SET ")
            + assignments.join(QStringLiteral(", ")) + QStringLiteral(" WHERE ") + criteria);
    if (result.rowsAffected <= 0)
        refusedByAnotherWriter(row);
    // The server may store another value than the one given (rounded, converted): the row
    // shows what it holds, and the next edit's check compares with that.
    const QList<Variant> stored = result.rowsAffected == 1 ? readBack(keyOf(edited)) : QList<Variant>();
    // A changed key is the record's identity from now on, as the server stored it (5.0 typed
    // is 5 stored): rows read again by key are told apart by the key they come back with.
    const QByteArray key = RecordKeys::encode(keyOf(stored.isEmpty() ? edited : stored));
    const bool keyChanged = key != m_keys.at(row);
    m_keys.replace(row, key);
    m_held.put(row, HeldRows::Row { stored.isEmpty() ? edited : stored, true, false, 0 });
    if (keyChanged && m_keyed)
        forgetOthersWithKey(row, key);
    notify(RecordsetChange::Kind::RowChanged, long(row));
    if (result.rowsAffected > 1)
        throw DbError(DbError::ProviderFailure,
            QStringLiteral("Key column information is insufficient or incorrect. Too many rows were "
                           "affected by update."));
}

ExecuteResult RecordsetData::writeStatement(const QString& statement)
{
    if (!m_session)
        throw DbError::connectionInvalid();
    return m_session->executeBesideReader(
        statement, m_commandTimeout, m_target ? m_target->database : QString());
}

QList<Variant> RecordsetData::readBack(const QList<Variant>& keyValues)
{
    try {
        return refetch(keyValues);
    } catch (const DbError&) {
        // The row is written: a failure to read it back is no failure of the write, and the
        // row shows the values given.
        return {};
    }
}

QString RecordsetData::keyCriteria(const QByteArray& key) const
{
    if (RecordKeys::holdsNull(key))
        throw DbError::rowConflict();
    const QStringList literals = RecordKeys::literals(key);
    QStringList conditions;
    for (qsizetype k = 0; k < m_target->keyFields.size(); ++k)
        conditions.append(SqlLiteral::identifier(m_target->baseColumns[m_target->keyFields[k]])
            + QStringLiteral(" = ") + literals.value(k));
    return conditions.join(QStringLiteral(" AND "));
}

QString RecordsetData::keyCriteria(const QList<Variant>& keyValues) const
{
    QStringList conditions;
    for (qsizetype k = 0; k < m_target->keyFields.size(); ++k) {
        if (keyValues[k].isNull() || keyValues[k].isEmpty())
            throw DbError::rowConflict();
        conditions.append(SqlLiteral::identifier(m_target->baseColumns[m_target->keyFields[k]])
            + QStringLiteral(" = ") + SqlLiteral::value(keyValues[k]));
    }
    return conditions.join(QStringLiteral(" AND "));
}

// The row as it was read: its key, and every other column that can be compared, so that a
// change made by someone else since then matches no row.
QString RecordsetData::rowCriteria(qsizetype position)
{
    const HeldRows::Row& held = heldRow(position, false);
    if (held.gone)
        throw DbError::rowConflict();
    const QList<Variant> row = held.values;
    // By the key it was read with: the record's identity, whatever its position now.
    QStringList conditions { keyCriteria(m_keys.at(position)) };
    for (qsizetype i = 0; i < m_fields.size(); ++i) {
        const QString& column = m_target->baseColumns[i];
        if (column.isEmpty() || m_target->keyFields.contains(int(i)) || !isComparable(m_fields[i].type)
            || !isCarriedExactly(m_fields[i]) || row[i].isEmpty())
            continue;
        if (row[i].isNull() || row[i].isEmpty())
            conditions.append(SqlLiteral::identifier(column) + QStringLiteral(" IS NULL"));
        else
            conditions.append(
                SqlLiteral::identifier(column) + QStringLiteral(" = ") + SqlLiteral::value(row[i]));
    }
    return conditions.join(QStringLiteral(" AND "));
}

QList<Variant> RecordsetData::refetch(const QList<Variant>& keyValues)
{
    for (const Variant& value : keyValues) {
        if (value.isNull() || value.isEmpty())
            return {};
    }
    ExecuteResult result
        = writeStatement(m_target->refetchPrefix + QStringLiteral(" WHERE ") + keyCriteria(keyValues));
    QList<Variant> row;
    if (!result.cursor || !result.cursor->fetchRow(row) || row.size() != m_fields.size())
        return {};
    return row;
}

QList<Variant> RecordsetData::locateInserted(const QList<int>& fields, const QList<Variant>& values)
{
    QStringList conditions;
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (!isComparable(m_fields[fields[i]].type))
            continue;
        const QString column = SqlLiteral::identifier(m_target->baseColumns[fields[i]]);
        conditions.append(values[i].isNull() || values[i].isEmpty()
                ? column + QStringLiteral(" IS NULL")
                : column + QStringLiteral(" = ") + SqlLiteral::value(values[i]));
    }
    if (conditions.isEmpty())
        return {};
    ExecuteResult result = writeStatement(
        m_target->refetchPrefix + QStringLiteral(" WHERE ") + conditions.join(QStringLiteral(" AND ")));
    QList<Variant> found;
    QList<Variant> row;
    while (result.cursor && result.cursor->fetchRow(row)) {
        if (row.size() != m_fields.size() || m_keys.contains(RecordKeys::encode(keyOf(row))))
            continue;
        if (!found.isEmpty())
            return {}; // two candidates: refuse to guess
        found = row;
    }
    return found;
}

} // namespace glimora::data

#include "data/RecordsetData.h"

#include "data/Session.h"
#include "data/SqlLiteral.h"

#include <algorithm>

namespace glimora::data {

namespace {

// text, ntext and image cannot be compared in a WHERE clause.
bool isComparable(DataType type)
{
    return type != DataType::LongVarChar && type != DataType::LongVarWChar && type != DataType::LongVarBinary;
}

// Whether the value read is exactly the value stored: a decimal of more than 18 digits
// cannot be carried whole, and a check on it would fail for every row.
bool isCarriedExactly(const FieldInfo& field)
{
    const bool decimal = field.type == DataType::Numeric || field.type == DataType::Decimal;
    return !decimal || field.precision <= 18;
}

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
    m_rows.clear();
    m_deferredError.reset();
    m_position = -1;
    m_fields.clear();
    resetCount();
    if (!result.cursor)
        return; // a batch without rows gives a closed record set
    m_cursor = std::move(result.cursor);
    m_fields = m_cursor->fields();
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
    m_rows.clear();
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
    return m_position < 0 || (m_rows.isEmpty() && !m_cursor);
}

bool RecordsetData::eof() const
{
    checkOpen();
    return m_position >= m_rows.size();
}

void RecordsetData::moveFirst()
{
    if (bof() && eof())
        throw DbError::noCurrentRecord();
    flushEdit();
    m_position = 0;
    notify(RecordsetChange::Kind::Moved);
}

void RecordsetData::moveNext()
{
    if (eof())
        throw DbError::noCurrentRecord();
    flushEdit();
    const qsizetype before = m_rows.size();
    m_position = fetchUpTo(m_position + 1) ? m_position + 1 : m_rows.size();
    notifyFetched(before);
    notify(RecordsetChange::Kind::Moved);
}

void RecordsetData::movePrevious()
{
    if (bof())
        throw DbError::noCurrentRecord();
    flushEdit();
    --m_position;
    notify(RecordsetChange::Kind::Moved);
}

void RecordsetData::moveLast()
{
    if (bof() && eof())
        throw DbError::noCurrentRecord();
    flushEdit();
    const qsizetype before = m_rows.size();
    fetchAll();
    m_position = m_rows.size() - 1;
    notifyFetched(before);
    notify(RecordsetChange::Kind::Moved);
}

long RecordsetData::absolutePosition() const
{
    if (m_rows.isEmpty() && !m_cursor && m_open)
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
    const qsizetype before = m_rows.size();
    const bool exists = position >= 1 && fetchUpTo(position - 1);
    notifyFetched(before);
    if (!exists)
        throw DbError::invalidArgument(QStringLiteral("no record at position %1").arg(position));
    flushEdit();
    m_position = position - 1;
    notify(RecordsetChange::Kind::Moved);
}

long RecordsetData::recordCount()
{
    checkOpen();
    const qsizetype before = m_rows.size();
    fetchAll();
    notifyFetched(before);
    return long(m_rows.size());
}

Variant RecordsetData::value(int field) const
{
    checkCurrent();
    if (field < 0 || field >= fieldCount())
        throw DbError::itemNotFound();
    if (m_editRow == m_position)
        return m_editValues[field];
    return m_rows[m_position][field];
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
    return m_rows[record][field];
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
        m_editRow = m_position;
        m_editValues = m_rows[m_position];
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
    // A short rest of the result is read first, so that the new row comes last as people
    // expect; a long one stays unread and the new row follows the rows read so far.
    if (m_cursor && expectedCount() - m_rows.size() <= RestReadBeforeAdding) {
        const qsizetype before = m_rows.size();
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
    // It follows the rows read so far; a result still being read goes on after it (its rows
    // were taken before the insert, so the new row is not among them).
    const qsizetype added = m_rows.size();
    notify(RecordsetChange::Kind::AboutToInsertRow, long(added));
    m_rows.append(row);
    ++m_added;
    m_position = added;
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
    if (target >= m_rows.size())
        throw DbError::noCurrentRecord();
    m_position = target;
    if (m_editRow == m_position)
        cancelUpdate();
    const ExecuteResult result = writeStatement(QStringLiteral("DELETE FROM ") + m_target->table
        + QStringLiteral(" WHERE ") + rowCriteria(m_rows[m_position]));
    if (result.rowsAffected <= 0)
        throw DbError::rowConflict();
    ++m_deleted;
    // The cursor stays where the row was: on the next record, or at EOF.
    const qsizetype removed = m_position;
    notify(RecordsetChange::Kind::AboutToRemoveRow, long(removed));
    // A listener may have moved the cursor meanwhile; the row that goes is the one deleted.
    m_rows.removeAt(removed);
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
        return long(m_rows.size());
    if (!m_counted) {
        m_counted = true;
        m_readerTotal = countRows();
    }
    if (m_readerTotal < 0)
        return long(m_rows.size());
    return long(m_rows.size() + qMax<qint64>(0, m_readerTotal - m_streamed));
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
    const qsizetype before = m_rows.size();
    fetchUpTo(before + count - 1);
    notifyFetched(before);
    return long(m_rows.size() - before);
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
    if (m_rows.size() > before)
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
    while (m_rows.size() <= row) {
        if (!m_cursor) {
            if (m_deferredError) {
                const DbError error = *m_deferredError;
                m_deferredError.reset();
                throw error;
            }
            return false;
        }
        QList<Variant> values;
        bool fetched = false;
        try {
            fetched = m_cursor->fetchRow(values);
        } catch (...) {
            releaseCursor();
            throw;
        }
        if (!fetched) {
            releaseCursor();
            return false;
        }
        m_rows.append(std::move(values));
        ++m_streamed;
    }
    return true;
}

void RecordsetData::fetchAll()
{
    while (m_cursor)
        fetchUpTo(m_rows.size());
}

void RecordsetData::releaseCursor()
{
    if (!m_cursor)
        return;
    m_cursor.reset();
    if (m_session)
        m_session->clearReader(this);
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
    cancelUpdate();
    const ExecuteResult result
        = writeStatement(QStringLiteral("UPDATE ") + m_target->table + QStringLiteral(" SET ")
            + assignments.join(QStringLiteral(", ")) + QStringLiteral(" WHERE ") + rowCriteria(m_rows[row]));
    if (result.rowsAffected <= 0)
        throw DbError::rowConflict();
    // The server may store another value than the one given (rounded, converted): the row
    // shows what it holds, and the next edit's check compares with that.
    QList<Variant> keyValues;
    for (int keyField : m_target->keyFields)
        keyValues.append(edited[keyField]);
    const QList<Variant> stored = result.rowsAffected == 1 ? readBack(keyValues) : QList<Variant>();
    m_rows[row] = stored.isEmpty() ? edited : stored;
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
    return m_session->executeBesideReader(statement, m_commandTimeout);
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
QString RecordsetData::rowCriteria(const QList<Variant>& row) const
{
    QList<Variant> keyValues;
    for (int keyField : m_target->keyFields)
        keyValues.append(row[keyField]);
    QStringList conditions { keyCriteria(keyValues) };
    for (qsizetype i = 0; i < m_fields.size(); ++i) {
        const QString& column = m_target->baseColumns[i];
        if (column.isEmpty() || m_target->keyFields.contains(int(i)) || !isComparable(m_fields[i].type)
            || !isCarriedExactly(m_fields[i]))
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
    const auto keyOf = [this](const QList<Variant>& row) {
        QStringList key;
        for (int keyField : m_target->keyFields)
            key.append(SqlLiteral::value(row[keyField]));
        return key;
    };
    QList<QStringList> cachedKeys;
    for (const QList<Variant>& cached : std::as_const(m_rows))
        cachedKeys.append(keyOf(cached));

    ExecuteResult result = writeStatement(
        m_target->refetchPrefix + QStringLiteral(" WHERE ") + conditions.join(QStringLiteral(" AND ")));
    QList<Variant> found;
    QList<Variant> row;
    while (result.cursor && result.cursor->fetchRow(row)) {
        if (row.size() != m_fields.size() || cachedKeys.contains(keyOf(row)))
            continue;
        if (!found.isEmpty())
            return {}; // two candidates: refuse to guess
        found = row;
    }
    return found;
}

} // namespace glimora::data

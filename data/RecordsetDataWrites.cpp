#include "data/RecordsetData.h"

#include "data/FieldComparison.h"
#include "data/Recordset.h"
#include "data/Session.h"
#include "data/SqlLiteral.h"

#include <algorithm>

namespace glimora::data {

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

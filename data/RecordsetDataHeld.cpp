#include "data/RecordsetData.h"

#include "data/FieldComparison.h"
#include "data/Recordset.h"
#include "data/Session.h"
#include "data/SqlLiteral.h"

#include <algorithm>

namespace glimora::data {

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

} // namespace glimora::data

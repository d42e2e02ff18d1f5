#include "data/Recordset.h"

#include "data/Connection.h"
#include "data/DbError.h"
#include "data/RecordsetData.h"
#include "data/SelectStatement.h"
#include "data/Session.h"
#include "data/SqlLiteral.h"
#include "data/StatementRecorder.h"

namespace glimora::data {

namespace {

bool containsColumn(const QStringList& columns, const QString& column)
{
    return columns.contains(column, Qt::CaseInsensitive);
}

// The primary key of the one table a select reads; empty, with the reason, when there is none.
QStringList keyColumns(const SelectStatement& select, Session& session, QString& notUpdatable)
{
    if (!select.isSingleTable())
        return {};
    QStringList keys;
    try {
        keys = session.primaryKeyColumns(select.tableName());
    } catch (const DbError&) {
        keys.clear(); // without key information the record set is still readable
    }
    if (keys.isEmpty())
        notUpdatable = QStringLiteral("table %1 has no primary key").arg(select.table());
    return keys;
}

bool isIdentity(const SelectStatement& select, Session& session, const QString& key)
{
    try {
        return session.identityColumn(select.tableName()).compare(key, Qt::CaseInsensitive) == 0;
    } catch (const DbError&) {
        return false; // then new rows are found by their values
    }
}

// Where and how the rows read are written back: the table, the key among the fields, the
// column behind each field, and the statements that read a row again.
std::optional<RecordsetData::UpdateTarget> updateTarget(const SelectStatement& select,
    const QStringList& keys, const QStringList& hidden, const QList<FieldInfo>& fields,
    const QString& database, bool keyIsIdentity, QString& notUpdatable)
{
    const qsizetype visible = fields.size() - hidden.size();
    const bool onlyStar = select.items().size() == 1 && select.selectsAllColumns();
    RecordsetData::UpdateTarget candidate;
    candidate.table = select.table();
    candidate.database = database;
    candidate.hiddenFieldCount = int(hidden.size());
    candidate.keyIsIdentity = keyIsIdentity;
    candidate.refetchPrefix = QStringLiteral("SELECT ") + (select.items() + hidden).join(QLatin1Char(','))
        + QStringLiteral(" FROM ") + select.table();
    // Rows read again for moving through the set leave their pictures unread.
    QStringList withoutPictures;
    if (onlyStar) {
        for (const FieldInfo& field : fields)
            withoutPictures.append(SqlLiteral::identifier(field.name));
    } else if (!select.selectsAllColumns() && select.items().size() + hidden.size() == fields.size()) {
        withoutPictures = select.items() + hidden;
    }
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (!fields[i].baseColumn.isEmpty())
            candidate.baseColumns.append(fields[i].baseColumn);
        else if (i >= visible)
            candidate.baseColumns.append(hidden[i - visible]);
        else if (onlyStar)
            candidate.baseColumns.append(fields[i].name);
        else if (!select.selectsAllColumns() && select.items().size() == visible)
            candidate.baseColumns.append(select.itemColumn(int(i)));
        else
            candidate.baseColumns.append(QString());
    }
    for (const QString& key : keys) {
        qsizetype found = -1;
        for (qsizetype i = 0; i < candidate.baseColumns.size() && found < 0; ++i) {
            if (candidate.baseColumns[i].compare(key, Qt::CaseInsensitive) == 0)
                found = i;
        }
        if (found < 0) {
            candidate.keyFields.clear();
            break;
        }
        candidate.keyFields.append(int(found));
    }
    // A binary key is read with every row: it is the record's identity, not a picture.
    for (qsizetype i = 0; i < withoutPictures.size(); ++i) {
        const bool binary
            = fields[i].type == DataType::VarBinary || fields[i].type == DataType::LongVarBinary;
        if (binary && !candidate.keyFields.contains(int(i)))
            withoutPictures[i] = QStringLiteral("NULL");
    }
    candidate.refetchWithoutPicturesPrefix = withoutPictures.isEmpty() ? candidate.refetchPrefix
                                                                       : QStringLiteral("SELECT ")
            + withoutPictures.join(QLatin1Char(',')) + QStringLiteral(" FROM ") + select.table();
    if (candidate.keyFields.size() == keys.size())
        return candidate;
    notUpdatable = QStringLiteral("the key of %1 is not among the fields").arg(select.table());
    return std::nullopt;
}

} // namespace

Recordset Recordset::create()
{
    return Recordset(std::make_shared<RecordsetData>());
}

Recordset::Recordset(std::shared_ptr<RecordsetData> data)
    : m_data(std::move(data))
{
}

void Recordset::Open(const QString& source, const Connection& connection)
{
    if (!m_data)
        throw DbError::invalidPointer();
    if (m_data->isOpen())
        throw DbError::objectOpen();
    const std::shared_ptr<Session> session = connection.session();
    const int timeout = connection.CommandTimeout();

    const SelectStatement select = SelectStatement::parse(source);
    // The database whose table the select reads, and so the only one writes may go to.
    const QString database = session->currentDatabase();
    QString notUpdatable = QStringLiteral("the statement does not read one table");
    QStringList keys = keyColumns(select, *session, notUpdatable);
    const bool keyIsIdentity = keys.size() == 1 && isIdentity(select, *session, keys[0]);

    QStringList selected;
    for (int i = 0; i < select.items().size(); ++i)
        selected.append(select.itemColumn(i));
    QStringList hidden;
    if (!select.selectsAllColumns()) {
        for (const QString& key : keys) {
            if (!containsColumn(selected, key))
                hidden.append(key);
        }
    }
    const QString statement = select.withExtraColumns(hidden);
    StatementRecorder::record(source);
    ExecuteResult result = session->execute(statement, timeout);

    std::optional<RecordsetData::UpdateTarget> target;
    if (!keys.isEmpty() && session->currentDatabase().compare(database, Qt::CaseInsensitive) != 0) {
        keys.clear();
        notUpdatable = QStringLiteral("the statement moves the connection to another database");
    }
    if (!keys.isEmpty() && result.cursor) {
        // Where the server names the table behind a column, it must be the table that writes
        // would go to; a statement read otherwise than parsed here is not written back.
        for (const FieldInfo& field : result.cursor->fields()) {
            if (!field.baseTable.isEmpty()
                && field.baseTable.compare(select.tableName(), Qt::CaseInsensitive) != 0) {
                keys.clear();
                notUpdatable = QStringLiteral("the rows read do not come from table %1").arg(select.table());
                break;
            }
        }
    }
    if (!keys.isEmpty() && result.cursor)
        target = updateTarget(
            select, keys, hidden, result.cursor->fields(), database, keyIsIdentity, notUpdatable);
    m_data->setNotUpdatable(notUpdatable);
    m_data->setCountStatement(
        QStringLiteral("SELECT COUNT(*) FROM (") + statement + QStringLiteral(") AS counted"));
    m_data->openResult(session, std::move(result), timeout, std::move(target));
}

long Recordset::State() const
{
    return data().isOpen() ? StateOpen : StateClosed;
}

void Recordset::Close()
{
    data().close();
}

bool Recordset::BOF() const
{
    return data().bof();
}

bool Recordset::EndOfFile() const
{
    return data().eof();
}

void Recordset::MoveFirst()
{
    data().moveFirst();
}

void Recordset::MoveNext()
{
    data().moveNext();
}

void Recordset::MovePrevious()
{
    data().movePrevious();
}

void Recordset::MoveLast()
{
    data().moveLast();
}

long Recordset::AbsolutePosition() const
{
    return data().absolutePosition();
}

void Recordset::SetAbsolutePosition(long position)
{
    data().setAbsolutePosition(position);
}

long Recordset::RecordCount() const
{
    return data().recordCount();
}

int Recordset::FieldCount() const
{
    return data().fieldCount();
}

Field Recordset::Item(int index) const
{
    data().field(index); // raises itemNotFound for a bad ordinal
    return Field(m_data, index);
}

Field Recordset::Item(const QString& name) const
{
    const int index = data().fieldIndex(name);
    if (index < 0)
        throw DbError::itemNotFound();
    return Field(m_data, index);
}

bool Recordset::isUpdatable() const
{
    return data().isUpdatable();
}

void Recordset::AddNew(const QStringList& fieldList, const QList<Variant>& values)
{
    data().addNew(fieldList, values);
}

void Recordset::AddNew(const QString& field, const Variant& value)
{
    data().addNew(QStringList { field }, QList<Variant> { value });
}

void Recordset::Delete(int affectRecords)
{
    if (affectRecords != AffectCurrent)
        throw DbError::invalidArgument(QStringLiteral("only the current record can be deleted"));
    data().deleteCurrent();
}

void Recordset::UpdateBatch(int affectRecords)
{
    if (affectRecords != AffectCurrent)
        throw DbError::invalidArgument(QStringLiteral("only the current record can be written"));
    data().updateCurrent();
}

void Recordset::CancelUpdate()
{
    data().cancelUpdate();
}

long Recordset::fetchedRecordCount() const
{
    return data().fetchedCount();
}

long Recordset::expectedRecordCount() const
{
    return data().expectedCount();
}

bool Recordset::allRecordsFetched() const
{
    return data().allFetched();
}

long Recordset::fetchMore(long count)
{
    return data().fetchMore(count);
}

Variant Recordset::valueAt(long record, int field) const
{
    return data().valueAt(record, field);
}

long Recordset::heldRecordCount() const
{
    return data().heldCount();
}

long Recordset::heldPictureRecordCount() const
{
    return data().heldPictureCount();
}

void Recordset::setHoldAllRecords(bool holdAll)
{
    data().setHoldAll(holdAll);
}

void Recordset::readRecords(long first, long count, bool pictures)
{
    data().readRecords(first, count, pictures);
}

bool Recordset::isHeld(long record, int field) const
{
    return data().isHeld(record, field);
}

int Recordset::subscribe(RecordsetListener listener)
{
    return data().subscribe(std::move(listener));
}

void Recordset::unsubscribe(int id)
{
    if (m_data)
        m_data->unsubscribe(id);
}

RecordsetData& Recordset::data() const
{
    if (!m_data)
        throw DbError::invalidPointer();
    return *m_data;
}

} // namespace glimora::data

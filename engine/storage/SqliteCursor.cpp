#include "engine/storage/SqliteCursor.h"

#include "data/DbError.h"
#include "engine/values/DateTimeText.h"
#include "engine/values/DecimalFunctions.h"

#include <cmath>
#include <sqlite3.h>

namespace glimora::engine {

using Base = SqlType::Base;

namespace {

SqlType typeOfValue(int storageClass)
{
    switch (storageClass) {
    case SQLITE_INTEGER:
        return SqlType::of(Base::Int);
    case SQLITE_FLOAT:
        return SqlType::of(Base::Float, 0, 53);
    case SQLITE_BLOB:
        return SqlType::of(Base::VarBinary, SqlType::MaxLength);
    default:
        return SqlType::of(Base::VarChar, 8000);
    }
}

data::DbError toDbError(const ServerError& error)
{
    return data::DbError(
        data::DbError::ProviderFailure, error.message(), error.number(), error.severity(), error.state());
}

} // namespace

SqliteCursor::SqliteCursor(
    std::shared_ptr<DatabaseConnection> connection, const QString& sql, const QList<ResultColumn>& columns)
    : m_connection(std::move(connection))
{
    const QByteArray utf8 = sql.toUtf8();
    const int rc = sqlite3_prepare_v2(
        m_connection->handle(), utf8.constData(), int(utf8.size()), &m_statement, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_finalize(m_statement);
        m_statement = nullptr;
        throw m_connection->error(rc);
    }
    const int step = sqlite3_step(m_statement);
    if (step != SQLITE_ROW && step != SQLITE_DONE) {
        const ServerError error = m_connection->error(step);
        sqlite3_finalize(m_statement);
        m_statement = nullptr;
        throw error;
    }
    m_hasRow = step == SQLITE_ROW;
    const int count = sqlite3_column_count(m_statement);
    for (int i = 0; i < count; ++i) {
        SqlType type = i < columns.size() ? columns[i].type : SqlType();
        if (!type.isKnown())
            type = typeOfValue(m_hasRow ? sqlite3_column_type(m_statement, i) : SQLITE_TEXT);
        m_types.append(type);
        data::FieldInfo field;
        field.name
            = i < columns.size() ? columns[i].name : QString::fromUtf8(sqlite3_column_name(m_statement, i));
        field.type = type.adoType();
        field.definedSize = type.definedSize();
        field.precision = type.isExactNumeric() ? type.precision : type.base == Base::Int ? 10 : 0;
        field.scale = type.isExactNumeric() ? type.scale : 0;
        if (i < columns.size()) {
            field.baseTable = columns[i].baseTable;
            field.baseColumn = columns[i].baseColumn;
        }
        m_fields.append(field);
    }
    if (!m_hasRow) {
        sqlite3_finalize(m_statement);
        m_statement = nullptr;
    }
}

SqliteCursor::SqliteCursor(std::shared_ptr<DatabaseConnection> connection, Rows rows)
    : m_connection(std::move(connection))
    , m_types(std::move(rows.types))
    , m_fields(std::move(rows.fields))
    , m_drained(true)
    , m_buffer(std::move(rows.rows))
{
}

SqliteCursor::~SqliteCursor()
{
    sqlite3_finalize(m_statement);
}

std::optional<SqliteCursor::Rows> SqliteCursor::drainedRows() const
{
    if (!m_drained || m_pendingError || m_bufferIndex != 0)
        return std::nullopt;
    return Rows { m_types, m_fields, m_buffer };
}

void SqliteCursor::advance()
{
    const int rc = sqlite3_step(m_statement);
    if (rc == SQLITE_ROW)
        return;
    m_hasRow = false;
    if (rc != SQLITE_DONE)
        m_pendingError = m_connection->error(rc);
    sqlite3_finalize(m_statement);
    m_statement = nullptr;
}

bool SqliteCursor::fetchRow(QList<data::Variant>& row)
{
    if (m_bufferIndex < m_buffer.size()) {
        row = m_buffer[m_bufferIndex++];
        return true;
    }
    if (m_drained || !m_hasRow) {
        if (m_pendingError)
            throw toDbError(*std::exchange(m_pendingError, std::nullopt));
        return false;
    }
    readRow(row);
    advance();
    return true;
}

bool SqliteCursor::fetchFields(QList<data::Variant>& row, const QList<bool>& read)
{
    if (m_drained || m_bufferIndex < m_buffer.size())
        return data::BackendCursor::fetchFields(row, read);
    if (!m_hasRow) {
        if (m_pendingError)
            throw toDbError(*std::exchange(m_pendingError, std::nullopt));
        return false;
    }
    readRow(row, &read);
    advance();
    return true;
}

void SqliteCursor::drain()
{
    if (m_drained)
        return;
    while (m_hasRow) {
        QList<data::Variant> row;
        readRow(row);
        m_buffer.append(row);
        advance();
    }
    m_drained = true;
}

bool SqliteCursor::readAhead(int most)
{
    while (m_hasRow && !m_drained && m_buffer.size() < most) {
        QList<data::Variant> row;
        try {
            readRow(row);
        } catch (const data::DbError&) {
            // The row stays where it is, to fail when it is fetched, as it would have.
            return false;
        } catch (const ServerError&) {
            return false;
        }
        m_buffer.append(row);
        advance();
    }
    if (!m_hasRow)
        m_drained = true;
    return m_drained;
}

void SqliteCursor::discard()
{
    while (m_hasRow)
        advance();
    if (m_pendingError)
        throw *std::exchange(m_pendingError, std::nullopt);
}

// The data layer's decimal of a stored decimal, with the scale of its column.
data::Decimal SqliteCursor::decimalOf(sqlite3_value* stored, const SqlType& type, int column) const
{
    std::optional<DecimalNumber> value;
    try {
        value = DecimalFunctions::read(stored);
    } catch (const ServerError&) {
    }
    if (value) {
        // A value already held with fewer places keeps them when a wider scale would need
        // more than 38 digits (a long average); its digits all count.
        if (const auto rescaled = value->rescaled(type.scale))
            value = rescaled;
        else if (value->scale() > type.scale)
            value.reset();
    }
    if (value) {
        data::Decimal decimal;
        decimal.unscaledValue = value->unscaled();
        decimal.scale = value->scale();
        return decimal;
    }
    throw data::DbError(data::DbError::ProviderFailure,
        QStringLiteral("The value %1 of column %2 does not fit a 38-digit decimal.")
            .arg(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_value_text(stored))),
                m_fields.value(column).name));
}

void SqliteCursor::readRow(QList<data::Variant>& row, const QList<bool>* read) const
{
    row.clear();
    row.reserve(m_types.size());
    for (int i = 0; i < m_types.size(); ++i) {
        if (read && i < read->size() && !(*read)[i]) {
            row.append(data::Variant());
            continue;
        }
        const int storage = sqlite3_column_type(m_statement, i);
        if (storage == SQLITE_NULL) {
            row.append(data::Variant::null());
            continue;
        }
        const SqlType& type = m_types[i];
        auto text = [&]() {
            return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(m_statement, i)),
                sqlite3_column_bytes(m_statement, i));
        };
        switch (type.base) {
        case Base::Bit:
            row.append(data::Variant::fromBoolean(sqlite3_column_int64(m_statement, i) != 0));
            break;
        case Base::TinyInt:
        case Base::SmallInt:
            row.append(data::Variant::fromInt16(qint16(sqlite3_column_int(m_statement, i))));
            break;
        case Base::Int:
            row.append(data::Variant::fromInt32(sqlite3_column_int(m_statement, i)));
            break;
        case Base::BigInt:
            row.append(data::Variant::fromInt64(sqlite3_column_int64(m_statement, i)));
            break;
        case Base::Decimal:
        case Base::Numeric:
        case Base::Money:
        case Base::SmallMoney: {
            row.append(data::Variant::fromDecimal(decimalOf(sqlite3_column_value(m_statement, i), type, i)));
            break;
        }
        case Base::Float:
            row.append(data::Variant::fromDouble(sqlite3_column_double(m_statement, i)));
            break;
        case Base::Real:
            row.append(data::Variant::fromSingle(float(sqlite3_column_double(m_statement, i))));
            break;
        case Base::DateTime:
        case Base::SmallDateTime: {
            QDateTime value;
            if (storage == SQLITE_TEXT
                && DateTimeText::fromStoredUtf8(
                    reinterpret_cast<const char*>(sqlite3_column_text(m_statement, i)),
                    sqlite3_column_bytes(m_statement, i), value))
                row.append(data::Variant::fromDateTime(value));
            else if (storage == SQLITE_INTEGER || storage == SQLITE_FLOAT)
                row.append(data::Variant::fromDateTime(
                    DateTimeText::fromDays(sqlite3_column_double(m_statement, i))));
            else
                row.append(data::Variant::fromString(text()));
            break;
        }
        case Base::Binary:
        case Base::VarBinary:
        case Base::Image:
            row.append(data::Variant::fromBytes(
                QByteArray(static_cast<const char*>(sqlite3_column_blob(m_statement, i)),
                    sqlite3_column_bytes(m_statement, i))));
            break;
        default:
            if (storage == SQLITE_BLOB)
                row.append(data::Variant::fromBytes(
                    QByteArray(static_cast<const char*>(sqlite3_column_blob(m_statement, i)),
                        sqlite3_column_bytes(m_statement, i))));
            else
                row.append(data::Variant::fromString(text()));
            break;
        }
    }
}

} // namespace glimora::engine

#include "data/OdbcCursor.h"

#include "data/DbError.h"
#include "data/OdbcHandle.h"

#include <cmath>
#include <QDateTime>
#include <sqlext.h>

namespace glimora::data {

DataType OdbcCursor::adoType(short sqlType)
{
    switch (sqlType) {
    case SQL_SMALLINT:
    case SQL_TINYINT:
        return DataType::SmallInt;
    case SQL_INTEGER:
        return DataType::Integer;
    case SQL_BIGINT:
        return DataType::BigInt;
    case SQL_REAL:
        return DataType::Single;
    case SQL_FLOAT:
    case SQL_DOUBLE:
        return DataType::Double;
    case SQL_DECIMAL:
    case SQL_NUMERIC:
        // SQL Server's decimal columns reach ADO through ODBC as adNumeric.
        return DataType::Numeric;
    case SQL_BIT:
        return DataType::Boolean;
    case SQL_TYPE_TIMESTAMP:
    case SQL_TIMESTAMP:
    case SQL_TYPE_DATE:
    case SQL_DATE:
        return DataType::DBTimeStamp;
    case SQL_CHAR:
    case SQL_VARCHAR:
        return DataType::VarChar;
    case SQL_LONGVARCHAR:
        return DataType::LongVarChar;
    case SQL_BINARY:
    case SQL_VARBINARY:
        return DataType::VarBinary;
    case SQL_LONGVARBINARY:
        return DataType::LongVarBinary;
    case SQL_WLONGVARCHAR:
        return DataType::LongVarWChar;
    default:
        return DataType::VarWChar; // SQL_WCHAR, SQL_WVARCHAR, GUIDs and whatever else reads as text
    }
}

OdbcCursor::OdbcCursor(std::shared_ptr<OdbcHandle> connection, std::unique_ptr<OdbcHandle> statement)
    : m_connection(std::move(connection))
    , m_statement(std::move(statement))
{
    describe();
}

OdbcCursor::~OdbcCursor()
{
    m_statement.reset(); // before the connection it belongs to
}

bool OdbcCursor::skipToResultSet(OdbcHandle& statement, qint64& rowsAffected)
{
    while (true) {
        SQLSMALLINT columns = 0;
        statement.check(SQLNumResultCols(statement.get(), &columns), "SQLNumResultCols");
        if (columns > 0)
            return true;
        SQLLEN count = -1;
        if (SQL_SUCCEEDED(SQLRowCount(statement.get(), &count)) && count >= 0)
            rowsAffected = count;
        const SQLRETURN more = SQLMoreResults(statement.get());
        if (more == SQL_NO_DATA)
            return false;
        statement.check(more, "SQLMoreResults");
    }
}

bool OdbcCursor::fetchRow(QList<Variant>& row)
{
    return fetchFields(row, {});
}

// SQLGetData takes the columns in order and may leave any out, so a picture not asked for
// never crosses the network.
bool OdbcCursor::fetchFields(QList<Variant>& row, const QList<bool>& read)
{
    const SQLRETURN fetched = SQLFetch(m_statement->get());
    if (fetched == SQL_NO_DATA)
        return false;
    m_statement->check(fetched, "SQLFetch");
    row.clear();
    row.reserve(m_fields.size());
    for (int column = 0; column < m_fields.size(); ++column)
        row.append(
            column < read.size() && !read[column] ? Variant() : readValue(column + 1, m_fields[column]));
    return true;
}

bool OdbcCursor::nextResultSet()
{
    const SQLRETURN more = SQLMoreResults(m_statement->get());
    if (more == SQL_NO_DATA)
        return false;
    m_statement->check(more, "SQLMoreResults");
    qint64 ignored = -1;
    if (!skipToResultSet(*m_statement, ignored))
        return false;
    describe();
    return true;
}

void OdbcCursor::describe()
{
    m_fields.clear();
    SQLSMALLINT columns = 0;
    m_statement->check(SQLNumResultCols(m_statement->get(), &columns), "SQLNumResultCols");
    for (SQLSMALLINT column = 1; column <= columns; ++column) {
        SQLWCHAR name[256] = {};
        SQLSMALLINT nameLength = 0;
        SQLSMALLINT sqlType = 0;
        SQLULEN size = 0;
        SQLSMALLINT digits = 0;
        SQLSMALLINT nullable = 0;
        m_statement->check(SQLDescribeColW(m_statement->get(), column, name, 256, &nameLength, &sqlType,
                               &size, &digits, &nullable),
            "SQLDescribeCol");
        FieldInfo field;
        field.name = OdbcHandle::fromWide(name, qMin<qsizetype>(nameLength, 255));
        field.type = adoType(sqlType);
        field.definedSize = size > SQLULEN(0x7fffffff) ? 0 : int(size);
        if (field.type == DataType::Numeric) {
            field.precision = int(size);
            field.scale = digits;
        }
        m_fields.append(field);
    }
}

Variant OdbcCursor::readValue(int column, const FieldInfo& field)
{
    SQLHANDLE statement = m_statement->get();
    SQLLEN indicator = 0;
    switch (field.type) {
    case DataType::SmallInt:
    case DataType::Integer:
    case DataType::BigInt: {
        SQLBIGINT value = 0;
        m_statement->check(SQLGetData(statement, column, SQL_C_SBIGINT, &value, 0, &indicator), "SQLGetData");
        if (indicator == SQL_NULL_DATA)
            return Variant::null();
        if (field.type == DataType::SmallInt)
            return Variant::fromInt16(qint16(value));
        if (field.type == DataType::Integer)
            return Variant::fromInt32(qint32(value));
        return Variant::fromInt64(value);
    }
    case DataType::Single:
    case DataType::Double: {
        double value = 0;
        m_statement->check(SQLGetData(statement, column, SQL_C_DOUBLE, &value, 0, &indicator), "SQLGetData");
        if (indicator == SQL_NULL_DATA)
            return Variant::null();
        return field.type == DataType::Single ? Variant::fromSingle(float(value))
                                              : Variant::fromDouble(value);
    }
    case DataType::Boolean: {
        unsigned char value = 0;
        m_statement->check(SQLGetData(statement, column, SQL_C_BIT, &value, 0, &indicator), "SQLGetData");
        if (indicator == SQL_NULL_DATA)
            return Variant::null();
        return Variant::fromBoolean(value != 0);
    }
    case DataType::DBTimeStamp: {
        SQL_TIMESTAMP_STRUCT value = {};
        m_statement->check(
            SQLGetData(statement, column, SQL_C_TYPE_TIMESTAMP, &value, 0, &indicator), "SQLGetData");
        if (indicator == SQL_NULL_DATA)
            return Variant::null();
        // UTC: a value that falls into a daylight-saving gap stays as stored.
        return Variant::fromDateTime(QDateTime(QDate(value.year, value.month, value.day),
            QTime(value.hour, value.minute, value.second, int(value.fraction / 1000000)), Qt::UTC));
    }
    case DataType::Numeric:
    case DataType::Decimal: {
        char text[64] = {};
        m_statement->check(
            SQLGetData(statement, column, SQL_C_CHAR, text, sizeof(text), &indicator), "SQLGetData");
        if (indicator == SQL_NULL_DATA)
            return Variant::null();
        const QString number = QString::fromLatin1(text).trimmed();
        Decimal value;
        if (Decimal::parse(number, value))
            return Variant::fromDecimal(value);
        // Some drivers write exponents; written out with the column's places.
        bool ok = false;
        const double approximate = number.toDouble(&ok);
        if (!ok || !std::isfinite(approximate)
            || !Decimal::parse(QString::number(approximate, 'f', qBound(0, field.scale, 38)), value))
            throw DbError(DbError::ProviderFailure,
                QStringLiteral("The value %1 of column %2 does not fit a 38-digit decimal.")
                    .arg(number, field.name));
        return Variant::fromDecimal(value);
    }
    case DataType::VarBinary:
    case DataType::LongVarBinary: {
        const QByteArray bytes = readLong(column, SQL_C_BINARY);
        if (bytes.isNull())
            return Variant::null();
        return Variant::fromBytes(bytes);
    }
    default: {
        const QByteArray bytes = readLong(column, SQL_C_WCHAR);
        if (bytes.isNull())
            return Variant::null();
        return Variant::fromString(OdbcHandle::fromWide(reinterpret_cast<const SQLWCHAR*>(bytes.constData()),
            bytes.size() / qsizetype(sizeof(SQLWCHAR))));
    }
    }
}

// Reads a value of any length in pieces; a null QByteArray stands for NULL.
QByteArray OdbcCursor::readLong(int column, short cType)
{
    const qsizetype terminator = cType == SQL_C_WCHAR ? qsizetype(sizeof(SQLWCHAR)) : 0;
    QByteArray result("");
    char buffer[8192];
    while (true) {
        SQLLEN indicator = 0;
        const SQLRETURN got
            = SQLGetData(m_statement->get(), column, cType, buffer, sizeof(buffer), &indicator);
        if (got == SQL_NO_DATA)
            break;
        m_statement->check(got, "SQLGetData");
        if (indicator == SQL_NULL_DATA)
            return QByteArray();
        qsizetype piece = qsizetype(sizeof(buffer)) - terminator;
        bool last = got == SQL_SUCCESS;
        if (indicator != SQL_NO_TOTAL && indicator <= piece) {
            piece = indicator;
            last = true;
        }
        result.append(buffer, piece);
        if (last)
            break;
    }
    return result;
}

} // namespace glimora::data

#include "data/OdbcSession.h"

#include "data/OdbcCursor.h"
#include "data/OdbcHandle.h"

#include <QList>
#include <QMap>
#include <sqlext.h>

namespace glimora::data {

namespace {

QList<SQLWCHAR> toWide(const QString& text)
{
    QList<SQLWCHAR> wide(text.size() + 1, 0);
    for (qsizetype i = 0; i < text.size(); ++i)
        wide[i] = text[i].unicode();
    return wide;
}

} // namespace

OdbcSession::OdbcSession(
    std::shared_ptr<OdbcHandle> environment, const QString& connectionString, int connectionTimeoutSeconds)
    : m_environment(std::move(environment))
    , m_connection(std::make_shared<OdbcHandle>(SQL_HANDLE_DBC, m_environment->get()))
{
    m_connection->check(SQLSetConnectAttrW(m_connection->get(), SQL_ATTR_LOGIN_TIMEOUT,
                            reinterpret_cast<SQLPOINTER>(SQLULEN(qMax(0, connectionTimeoutSeconds))), 0),
        "SQLSetConnectAttr");
    QList<SQLWCHAR> text = toWide(connectionString);
    SQLSMALLINT outLength = 0;
    m_connection->check(
        SQLDriverConnectW(m_connection->get(), nullptr, text.data(), SQLSMALLINT(connectionString.size()),
            nullptr, 0, &outLength, SQL_DRIVER_NOPROMPT),
        "SQLDriverConnect");
    m_connected = true;
}

OdbcSession::~OdbcSession()
{
    if (m_connected)
        SQLDisconnect(m_connection->get());
}

ExecuteResult OdbcSession::execute(const QString& batch, int commandTimeoutSeconds)
{
    auto statement = std::make_unique<OdbcHandle>(SQL_HANDLE_STMT, m_connection->get());
    // Drivers that cannot time out a query say so with a warning; the batch still runs.
    SQLSetStmtAttrW(statement->get(), SQL_ATTR_QUERY_TIMEOUT,
        reinterpret_cast<SQLPOINTER>(SQLULEN(qMax(0, commandTimeoutSeconds))), 0);
    QList<SQLWCHAR> text = toWide(batch);
    statement->check(
        SQLExecDirectW(statement->get(), text.data(), SQLINTEGER(batch.size())), "SQLExecDirect");

    ExecuteResult result;
    if (OdbcCursor::skipToResultSet(*statement, result.rowsAffected))
        result.cursor = std::make_unique<OdbcCursor>(m_connection, std::move(statement));
    return result;
}

QStringList OdbcSession::primaryKeyColumns(const QString& table)
{
    OdbcHandle statement(SQL_HANDLE_STMT, m_connection->get());
    QList<SQLWCHAR> name = toWide(table);
    statement.check(
        SQLPrimaryKeysW(statement.get(), nullptr, 0, nullptr, 0, name.data(), SQLSMALLINT(table.size())),
        "SQLPrimaryKeys");
    QMap<int, QString> columns; // by KEY_SEQ
    while (true) {
        const SQLRETURN fetched = SQLFetch(statement.get());
        if (fetched == SQL_NO_DATA)
            break;
        statement.check(fetched, "SQLFetch");
        SQLWCHAR column[256] = {};
        SQLLEN columnLength = 0;
        statement.check(
            SQLGetData(statement.get(), 4, SQL_C_WCHAR, column, sizeof(column), &columnLength), "SQLGetData");
        SQLSMALLINT sequence = 0;
        SQLLEN sequenceLength = 0;
        statement.check(
            SQLGetData(statement.get(), 5, SQL_C_SSHORT, &sequence, 0, &sequenceLength), "SQLGetData");
        const qsizetype length
            = columnLength < 0 ? 0 : qMin<qsizetype>(columnLength / qsizetype(sizeof(SQLWCHAR)), 255);
        columns.insert(sequence, OdbcHandle::fromWide(column, length));
    }
    return columns.values();
}

QString OdbcSession::currentDatabase() const
{
    // The driver keeps what the server last said on a change of database: no round trip.
    SQLWCHAR name[256] = {};
    SQLINTEGER length = 0;
    const SQLRETURN got = SQLGetConnectAttrW(
        m_connection->get(), SQL_ATTR_CURRENT_CATALOG, name, sizeof(name) - sizeof(SQLWCHAR), &length);
    if (!SQL_SUCCEEDED(got) || length < 0)
        return {};
    return OdbcHandle::fromWide(name, qMin<qsizetype>(length / qsizetype(sizeof(SQLWCHAR)), 255));
}

// SQL Server's driver (and FreeTDS) name an identity column's type "int identity".
QString OdbcSession::identityColumn(const QString& table)
{
    OdbcHandle statement(SQL_HANDLE_STMT, m_connection->get());
    QList<SQLWCHAR> name = toWide(table);
    statement.check(SQLColumnsW(statement.get(), nullptr, 0, nullptr, 0, name.data(),
                        SQLSMALLINT(table.size()), nullptr, 0),
        "SQLColumns");
    while (true) {
        const SQLRETURN fetched = SQLFetch(statement.get());
        if (fetched == SQL_NO_DATA)
            return {};
        statement.check(fetched, "SQLFetch");
        SQLWCHAR column[256] = {};
        SQLWCHAR type[256] = {};
        SQLLEN columnLength = 0;
        SQLLEN typeLength = 0;
        statement.check(
            SQLGetData(statement.get(), 4, SQL_C_WCHAR, column, sizeof(column), &columnLength), "SQLGetData");
        statement.check(
            SQLGetData(statement.get(), 6, SQL_C_WCHAR, type, sizeof(type), &typeLength), "SQLGetData");
        const auto text = [](const SQLWCHAR* value, SQLLEN length) {
            return OdbcHandle::fromWide(
                value, length < 0 ? 0 : qMin<qsizetype>(length / qsizetype(sizeof(SQLWCHAR)), 255));
        };
        if (text(type, typeLength).contains(QLatin1String("identity"), Qt::CaseInsensitive))
            return text(column, columnLength);
    }
}

} // namespace glimora::data

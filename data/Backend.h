#pragma once

#include "data/DataType.h"
#include "data/Variant.h"

#include <memory>
#include <QList>
#include <QString>
#include <QStringList>

namespace glimora::data {

// Describes one column of a result set.
struct FieldInfo
{
    QString name;
    DataType type = DataType::Empty;
    int definedSize = 0; // characters or bytes; 0 when unbounded
    int precision = 0; // decimal and numeric
    int scale = 0; // decimal and numeric
    QString baseTable; // table the column comes from, when known (updatable record sets)
    QString baseColumn;
};

// A forward-only cursor over the first result set of a batch. Rows are fetched one at a
// time so that large results cost only what is read. Every failure throws DbError.
class BackendCursor
{
public:
    virtual ~BackendCursor() = default;
    virtual const QList<FieldInfo>& fields() const = 0;
    // Reads the next row into `row` (one value per field); false when there is none left.
    virtual bool fetchRow(QList<Variant>& row) = 0;
    // As fetchRow, reading only the fields that `read` marks; the others hold Empty. A
    // backend that can leave a value unread (a picture) overrides it.
    virtual bool fetchFields(QList<Variant>& row, const QList<bool>& read)
    {
        if (!fetchRow(row))
            return false;
        for (qsizetype i = 0; i < row.size() && i < read.size(); ++i) {
            if (!read[i])
                row[i] = Variant();
        }
        return true;
    }
    // Moves on to the next result set of the batch, dropping unread rows; fields() then
    // describes it. False when the batch has no further result set (and by default).
    virtual bool nextResultSet() { return false; }
};

struct ExecuteResult
{
    std::unique_ptr<BackendCursor> cursor; // null when the batch returned no result set
    qint64 rowsAffected = -1; // of the last statement that changed rows, -1 if none
};

// One open connection (a session of the server). Not used by two threads at once.
class BackendSession
{
public:
    virtual ~BackendSession() = default;
    // Runs a batch; the first result set is returned. Throws DbError with the server's first error.
    virtual ExecuteResult execute(const QString& batch, int commandTimeoutSeconds) = 0;
    // The primary-key columns of a table of the current database, in key order; empty when none.
    virtual QStringList primaryKeyColumns(const QString& table) = 0;
    // The identity column of a table of the current database; empty when it has none or the
    // backend cannot tell (a new row's key is then never taken from @@IDENTITY).
    virtual QString identityColumn(const QString& table)
    {
        Q_UNUSED(table);
        return {};
    }
    // The database the session is in now, as USE last left it; empty when the backend cannot
    // tell.
    virtual QString currentDatabase() const { return {}; }
    // Whether a batch may run while a result set of this session is still being read (SQL
    // Server's multiple active result sets). ODBC and TDS allow one active statement.
    virtual bool keepsResultsOpen() const { return false; }
};

// A way to a database server: ODBC or the embedded server.
class Backend
{
public:
    virtual ~Backend() = default;
    // Opens a session with the connection string as the login built it. Throws DbError.
    virtual std::unique_ptr<BackendSession> open(
        const QString& connectionString, int connectionTimeoutSeconds)
        = 0;
};

} // namespace glimora::data

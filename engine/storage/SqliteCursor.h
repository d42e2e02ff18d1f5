#pragma once

#include "data/Backend.h"
#include "engine/storage/DatabaseConnection.h"
#include "engine/tsql/Translator.h"

#include <memory>
#include <optional>

struct sqlite3_stmt;
struct sqlite3_value;

namespace glimora::engine {

// A result set read from SQLite as the client reads it: one sqlite3_step per row.
// Values come as the column types say (decimal with its scale, dates as dates), so that
// record sets report SQL Server's types. A cursor can be drained into memory, which
// ends its read transaction while keeping its rows.
class SqliteCursor : public data::BackendCursor
{
public:
    // Prepares and steps to the first row; throws ServerError when that fails.
    SqliteCursor(std::shared_ptr<DatabaseConnection> connection, const QString& sql,
        const QList<ResultColumn>& columns);
    // What a drained cursor holds, to be read again by another.
    struct Rows
    {
        QList<SqlType> types;
        QList<data::FieldInfo> fields;
        QList<QList<data::Variant>> rows;
    };
    // A cursor over rows read before, drained from the start.
    SqliteCursor(std::shared_ptr<DatabaseConnection> connection, Rows rows);
    ~SqliteCursor() override;
    // Every row of a cursor drained before any was fetched, none when its read failed.
    std::optional<Rows> drainedRows() const;

    const QList<data::FieldInfo>& fields() const override { return m_fields; }
    // The T-SQL types of the columns, finer than fields() tells (money, smalldatetime, char).
    const QList<SqlType>& columnTypes() const { return m_types; }
    bool fetchRow(QList<data::Variant>& row) override;
    // SQLite reads a value only when asked for it: a picture left out is never read.
    bool fetchFields(QList<data::Variant>& row, const QList<bool>& read) override;

    // Whether rows are still to be stepped to (neither drained nor at the end).
    bool isReading() const { return m_hasRow && !m_drained; }
    // Reads every remaining row into memory and releases the statement.
    void drain();
    // Reads up to `most` rows ahead into memory; true when that reached the end, and the cursor
    // is drained.
    bool readAhead(int most);
    // Steps through every row without keeping them.
    void discard();

private:
    void readRow(QList<data::Variant>& row, const QList<bool>* read = nullptr) const;
    data::Decimal decimalOf(sqlite3_value* stored, const SqlType& type, int column) const;
    void advance();

    std::shared_ptr<DatabaseConnection> m_connection;
    sqlite3_stmt* m_statement = nullptr;
    QList<SqlType> m_types;
    QList<data::FieldInfo> m_fields;
    bool m_hasRow = false;
    std::optional<ServerError> m_pendingError;
    bool m_drained = false;
    QList<QList<data::Variant>> m_buffer;
    int m_bufferIndex = 0;
};

} // namespace glimora::engine

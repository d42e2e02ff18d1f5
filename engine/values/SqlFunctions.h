#pragma once

#include "engine/server/ServerError.h"

#include <optional>

struct sqlite3;

namespace glimora::engine {

// The collation and functions that make SQLite answer like SQL Server: the TSQL
// collation (case-insensitive, trailing blanks ignored), LIKE with [ ] classes, the
// T-SQL string and date functions and the conversions to the types of the columns.
class SqlFunctions
{
public:
    static void install(sqlite3* db);

    // A function that fails hands SQLite an encoded ServerError as its message; the
    // session decodes it when the statement fails.
    static QByteArray encodeError(const ServerError& error);
    static std::optional<ServerError> decodeError(const QString& message);

    // Compares as the TSQL collation does; exposed for tests and sorting.
    static int compareText(const QByteArray& left, const QByteArray& right);
};

} // namespace glimora::engine

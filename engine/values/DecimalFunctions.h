#pragma once

#include "engine/values/DecimalNumber.h"
#include "engine/values/SqlType.h"

struct sqlite3;
struct sqlite3_context;
struct sqlite3_value;

namespace glimora::engine {

// The exact arithmetic of decimal and numeric inside SQLite. A decimal value is an SQLite
// INTEGER when its type has no places and at most 18 digits, and otherwise the text of the
// number ("12.50"), ordered by the DECIMAL collation; values a file from an earlier version
// holds as REAL are read by their 15 significant digits.
//
//   tsql_decimal(x)                 the exact text of a number, for comparisons
//   tsql_decimal_op(op, a, b, p, s) + - * / % and "abs", with the result type numeric(p,s)
//   tsql_decimal_round(x, n, cut, p, s)
//   tsql_decimal_real(x), tsql_decimal_int(x)   to float, and to an integer cut toward zero
//   tsql_decimal_sum(x), tsql_decimal_avg(x)   aggregates, at the scale of the values
class DecimalFunctions
{
public:
    static void install(sqlite3* db);

    // Converts a value to decimal(p,s) or money as SQL Server does (half away from zero) and
    // hands it to SQLite in its stored form; fails as the server does on overflow or on text
    // that is no number.
    static void convert(sqlite3_context* context, sqlite3_value* value, const SqlType& target);
    // The decimal of an SQLite value; nothing for NULL. Throws ServerError for text that is
    // no number.
    static std::optional<DecimalNumber> read(sqlite3_value* value);
};

} // namespace glimora::engine

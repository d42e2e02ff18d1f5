#pragma once

struct sqlite3;

namespace glimora::engine {

// CONVERT and CAST as SQL Server converts, and every value written to a column:
//
//   tsql_convert(value, code, length, precision, scale, style, store)
//                                    to the type of the code; `store` when written to a column,
//                                    where text that does not fit fails instead of being cut
//   tsql_format_datetime(value, style)   a stored date-time as text in a CONVERT style
class ConversionFunctions
{
public:
    static void install(sqlite3* db);
};

} // namespace glimora::engine

#pragma once

#include <QString>

struct sqlite3;

namespace glimora::engine {

// DATEADD, DATEDIFF and DATEPART as SQL Server computes them, on dates as the engine
// stores them. The translator names the date part in its full form ("month"):
//
//   tsql_dateadd(part, number, date)   number cut to an integer; months end at the month's end
//   tsql_datediff(part, start, end)    the boundaries of the part crossed (weeks from Sunday)
//   tsql_datepart(part, date)          weekday and week as with SET DATEFIRST 7
class DateFunctions
{
public:
    static void install(sqlite3* db);
    // The full name of a date part or one of its abbreviations ("yy", "mm", "dw"); empty when
    // the word names no part.
    static QString partName(const QString& word);
};

} // namespace glimora::engine

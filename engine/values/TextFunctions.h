#pragma once

struct sqlite3;

namespace glimora::engine {

// The T-SQL string functions (LEN, DATALENGTH, LEFT, RIGHT, SUBSTRING, CHARINDEX, REPLACE,
// UPPER, LOWER, LTRIM, RTRIM) as tsql_<name>, and LIKE with its [ ] classes as like().
class TextFunctions
{
public:
    static void install(sqlite3* db);
};

} // namespace glimora::engine

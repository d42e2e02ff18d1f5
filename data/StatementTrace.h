#pragma once

#include <QString>

namespace glimora::data {

// The statement trace that administrators switch on with the setting `trace` of section
// `system`, naming a file (relative names from the folder of uinfo.ini). Every statement
// sent is appended there on one line: time, duration, rows or error number, the text.
// A trace that cannot be written is skipped; it never stops the program.
class StatementTrace
{
public:
    // The file the trace goes to, "" when the trace is off.
    static QString filePath();

    // rows: rows affected, or -1 when the batch returned a result set or changed nothing.
    static void sent(const QString& statement, qint64 microseconds, qint64 rows);
    static void failed(const QString& statement, qint64 microseconds, long errorNumber);
};

} // namespace glimora::data

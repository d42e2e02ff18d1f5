#pragma once

#include "data/Backend.h"

#include <memory>
#include <QTextStream>

namespace glimora::data {
class DbError;
}

namespace glimora::tools {

// Runs batches on one session and prints what they return: for each result set a header
// line of column names and one line per row, tab-separated, NULL as NULL; errors go to the
// error stream as SQL Server prints them.
class SqlConsole
{
public:
    SqlConsole(data::BackendSession& session, QTextStream& out, QTextStream& err, int queryTimeoutSeconds);

    // False when the batch failed.
    bool run(const QString& batch);

    static QString formatValue(const data::Variant& value);
    static void printError(QTextStream& err, const data::DbError& error);

private:
    void printResultSet(data::BackendCursor& cursor);

    data::BackendSession& m_session;
    QTextStream& m_out;
    QTextStream& m_err;
    int m_queryTimeout;
};

} // namespace glimora::tools

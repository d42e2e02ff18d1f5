#pragma once

#include "data/SearchKeys.h"

#include <QString>
#include <QStringList>

namespace glimora::query {

// The statements of the text search and of its index `inquiry_search`: one row for each
// distinct value of a searchable column, with the keys it is found by. The index holds values,
// not records, so a record is found through its value wherever it is, and a value left behind
// by a delete finds nothing.
class SearchStatements
{
public:
    // Creates the index when it is missing.
    static QString createIndex();
    // Empties the index.
    static QString clearIndex();
    // The distinct non-empty values of a searchable column.
    static QString columnValues(const QString& column);
    // Adds the entry of one value unless it is there.
    static QString addEntry(const QString& column, const QString& value, const data::SearchKeys& keys);
    // The records whose searchable columns match `query` (already normalised, not empty):
    // `select` is the column list; exact and prefix matches of the first column first.
    static QString records(const QString& select, const QStringList& columns, const QString& query);
    // Keys as stored: each variant between "|", so that "|q" finds a variant starting with q.
    static QString joinedVariants(const QStringList& variants);
};

} // namespace glimora::query

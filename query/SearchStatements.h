#pragma once

#include "data/SearchKeys.h"

#include <QString>
#include <QStringList>

namespace glimora::query {

// The statements of the text search and of its index `inquiry_search`: for each distinct value
// of a searchable column, one row for each key it is found by (every tail of its text, every
// reading of its initials and of its full pinyin), so that every match is a prefix of a key and
// the server answers it by seeking an index rather than reading every value. The index holds
// values, not records, so a record is found through its value wherever it is, and a value left
// behind by a delete finds nothing.
class SearchStatements
{
public:
    // Keys are kept to this many characters; a longer query is matched by its start.
    static constexpr int maxKeyLength = 40;

    // How a key stands to its value: the whole text, a reading of it, or a tail of the text.
    enum class KeyKind { WholeText = 0, Reading = 1, Tail = 2 };
    struct Key
    {
        QString key;
        KeyKind kind;
    };
    // The keys of a value, each once, with its closest kind.
    static QList<Key> keysOf(const data::SearchKeys& keys);
    // A key as stored: its UTF-16 code units in hexadecimal, so that "starts with" is a range
    // that every collation of every server orders the same way.
    static QString storedKey(const QString& key);

    // Creates the index when it is missing.
    static QString createIndex();
    // Drops the index, so that a rebuild fills an empty table and its server index is made once.
    static QString dropIndex();
    // The distinct non-empty values of a searchable column.
    static QString columnValues(const QString& column);
    // Adds the keys of values that the index may not hold yet (an edit's).
    static QString addEntry(const QString& column, const QString& value, const data::SearchKeys& keys);
    // The rows of the keys of one value, for insertRows().
    static QStringList rowsOf(const QString& column, const QString& value, const data::SearchKeys& keys);
    // Adds rows known to be new (a rebuild's) in one statement; SQL Server takes 1000 at most.
    static constexpr int maxRows = 1000;
    static QString insertRows(const QStringList& rows);
    // A question of the same shape as the records' search of `column`, that finds nothing.
    static QString warmUp(const QString& column);
    // The records whose searchable columns match `query` (already normalised, not empty):
    // `select` is the column list, followed by a column search_rank that no catalogue shows;
    // exact and prefix matches of the first column first, in a form that the embedded server
    // answers without sorting, so the first page comes before the last match is found.
    static QString records(const QString& select, const QStringList& columns, const QString& query);
};

} // namespace glimora::query

#pragma once

#include "data/SearchKeys.h"

#include <QString>
#include <QStringList>

namespace glimora::query {

// The statements of the text search and of its index: `inquiry_search_value` holds each
// distinct value of a searchable column once, with a number, its text as compared (`t`),
// its readings (`p`) and a key of its text (`k`, for seeking exact and prefix matches);
// `inquiry_search_chunk` holds the texts and the starts of the readings of a run of numbered
// values in one row, so that a substring or a reading is looked for in a few thousand rows
// rather than in every value, and then only among the values of the runs that hold it. The
// index holds values, not records, so a record is found through its value wherever it is,
// and a value left behind by a delete finds nothing.
class SearchStatements
{
public:
    // Keys and readings are kept to this many characters; a longer query is matched by its start.
    static constexpr int maxKeyLength = 40;
    // Values in one run of `inquiry_search_chunk`.
    static constexpr int chunkValues = 250;
    // A run keeps the readings' starts of this many letters: initials, and full pinyin.
    static constexpr int chunkInitials = 4;
    static constexpr int chunkPinyin = 10;

    // A key as stored: its UTF-16 code units in hexadecimal, so that "starts with" is a range
    // that every collation of every server orders the same way.
    static QString storedKey(const QString& key);
    // The readings of a value as `p` holds them: each distinct one after a blank.
    static QString readingsOf(const data::SearchKeys& keys);

    // A run of values being gathered for one row of `inquiry_search_chunk`.
    class Chunk
    {
    public:
        void add(long id, const data::SearchKeys& keys);
        bool isEmpty() const { return m_count == 0; }
        int size() const { return m_count; }
        QString row(const QString& column) const;
        const QString& texts() const { return m_texts; }
        const QString& readings() const { return m_readings; }

    private:
        long m_first = 0, m_last = 0;
        int m_count = 0;
        QString m_texts, m_readings;
    };

    // Creates the index when it is missing.
    static QString createIndex();
    // Drops the index, so that a rebuild fills empty tables and the server's index is made once.
    static QString dropIndex();
    // The non-empty values of a searchable column, each as often as records hold it.
    static QString columnValues(const QString& column);
    // The row of one value, for insertValues().
    static QString valueRow(
        const QString& column, long id, const QString& value, const data::SearchKeys& keys);
    // Adds rows known to be new (a rebuild's) in one statement; SQL Server takes 1000 at most.
    static constexpr int maxRows = 1000;
    static QString insertValues(const QStringList& rows);
    static QString insertChunks(const QStringList& rows);
    // Adds a value that the index may not hold yet (an edit's), numbered after the last, in a
    // run of its own.
    static QString addEntry(const QString& column, const QString& value, const data::SearchKeys& keys);
    // A question of the same shape as the records' search of `column`, that finds nothing.
    static QString warmUp(const QString& column);
    // The records whose searchable columns match `query` (already normalised, not empty):
    // `select` is the column list, followed by a column search_rank that no catalogue shows;
    // exact and prefix matches of the first column first, in a form that the embedded server
    // answers without sorting, so the first page comes before the last match is found.
    static QString records(const QString& select, const QStringList& columns, const QString& query);
};

} // namespace glimora::query

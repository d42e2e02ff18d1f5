#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <vector>

namespace glimora::data {

class Variant;

// The key of every record of a record set, by position, packed into one buffer: a record set
// over a million records keeps a few bytes for each, and finds each record again by its key.
// A key is the SQL literals of its values; a record whose key holds NULL cannot be found so.
class RecordKeys
{
public:
    // The packed form of a key, as `at` returns it.
    static QByteArray encode(const QList<Variant>& keyValues);
    // The SQL literals of a packed key, one per key column.
    static QStringList literals(const QByteArray& key);
    static bool holdsNull(const QByteArray& key);
    // The key as a case-insensitive collation that ignores trailing blanks compares it.
    static QByteArray loose(const QByteArray& key);

    void clear();
    qsizetype size() const { return qsizetype(m_starts.size()); }
    void append(const QByteArray& key);
    void removeAt(qsizetype position);
    void replace(qsizetype position, const QByteArray& key);
    QByteArray at(qsizetype position) const;
    bool contains(const QByteArray& key) const;
    QList<qsizetype> positionsOf(const QByteArray& key) const;

private:
    void appendBytes(const QByteArray& key);
    QByteArrayView view(qsizetype position) const;

    QByteArray m_bytes; // each key: its length (7 bits a byte), then its bytes
    std::vector<qint64> m_starts;
};

} // namespace glimora::data

#pragma once

#include "data/Variant.h"

#include <algorithm>
#include <map>
#include <QList>
#include <vector>

namespace glimora::data {

// The values of the records a record set holds in memory, by position. A record set that can
// read records again by key holds only some, and lets go of those used longest ago.
class HeldRows
{
public:
    struct Row
    {
        QList<Variant> values;
        bool pictures = false; // binary fields read; else they hold Empty
        bool gone = false; // no longer in the table: values are NULL and writes are refused
        quint64 used = 0;
    };

    void clear();
    qsizetype size() const { return qsizetype(m_rows.size()); }
    // What the held pictures and texts take, roughly.
    qint64 bytes() const { return m_bytes; }
    qsizetype pictureCount() const;
    // The row at `position`, marked as used now; null when it is not held. Its values are
    // changed only by putting the row again.
    const Row* find(qsizetype position);
    const Row* peek(qsizetype position) const;
    void put(qsizetype position, Row row);
    // Lets go of `position`, whose record is read again when next needed.
    void remove(qsizetype position);
    // Lets go of `position`; the rows after it move up by one.
    void removeAt(qsizetype position);
    // Lets go of the rows used longest ago until at most `limit` rows of at most `byteLimit`
    // bytes are left, except those `keep` keeps.
    template <class Keep> void trim(qsizetype limit, qint64 byteLimit, Keep keep);

private:
    static qint64 bytesOf(const Row& row);
    void erase(std::map<qsizetype, Row>::iterator row);

    std::map<qsizetype, Row> m_rows;
    quint64 m_clock = 0;
    qint64 m_bytes = 0;
};

template <class Keep> void HeldRows::trim(qsizetype limit, qint64 byteLimit, Keep keep)
{
    if (size() <= limit && m_bytes <= byteLimit)
        return;
    std::vector<std::pair<quint64, qsizetype>> byUse;
    byUse.reserve(m_rows.size());
    for (const auto& [position, row] : m_rows)
        byUse.emplace_back(row.used, position);
    std::sort(byUse.begin(), byUse.end());
    for (const auto& [used, position] : byUse) {
        if (size() <= limit && m_bytes <= byteLimit)
            break;
        // The row used last is the one just asked for, however large it is.
        if (!keep(position) && used != m_clock)
            erase(m_rows.find(position));
    }
}

} // namespace glimora::data

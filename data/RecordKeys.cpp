#include "data/RecordKeys.h"

#include "data/SqlLiteral.h"
#include "data/Variant.h"

namespace glimora::data {

namespace {

// Never part of UTF-8: it parts the literals of a key.
constexpr char literalSeparator = '\xff';

} // namespace

QByteArray RecordKeys::encode(const QList<Variant>& keyValues)
{
    QByteArray key;
    for (qsizetype i = 0; i < keyValues.size(); ++i) {
        if (i > 0)
            key.append(literalSeparator);
        key.append(SqlLiteral::value(keyValues[i]).toUtf8());
    }
    return key;
}

QStringList RecordKeys::literals(const QByteArray& key)
{
    QStringList result;
    for (const QByteArray& part : key.split(literalSeparator))
        result.append(QString::fromUtf8(part));
    return result;
}

bool RecordKeys::holdsNull(const QByteArray& key)
{
    for (const QByteArray& part : key.split(literalSeparator)) {
        if (part == "NULL")
            return true;
    }
    return false;
}

void RecordKeys::clear()
{
    m_bytes.clear();
    m_bytes.squeeze();
    m_starts.clear();
    m_starts.shrink_to_fit();
}

void RecordKeys::append(const QByteArray& key)
{
    m_starts.push_back(m_bytes.size());
    appendBytes(key);
}

void RecordKeys::replace(qsizetype position, const QByteArray& key)
{
    if (at(position) == key)
        return;
    m_starts[size_t(position)] = m_bytes.size();
    appendBytes(key);
}

void RecordKeys::appendBytes(const QByteArray& key)
{
    quint64 length = quint64(key.size());
    do {
        const char low = char(length & 0x7f);
        length >>= 7;
        m_bytes.append(length ? char(low | 0x80) : low);
    } while (length);
    m_bytes.append(key);
}

void RecordKeys::removeAt(qsizetype position)
{
    // The bytes stay: a record deleted here costs what it cost before.
    m_starts.erase(m_starts.begin() + position);
}

QByteArray RecordKeys::loose(const QByteArray& key)
{
    QList<QByteArray> parts = key.split(literalSeparator);
    for (QByteArray& part : parts) {
        // A text literal ends in a quote: blanks before it do not count, nor does case.
        if (part.endsWith('\'')) {
            qsizetype end = part.size() - 1;
            while (end > 0 && part[end - 1] == ' ')
                --end;
            part = part.left(end) + '\'';
        }
        part = QString::fromUtf8(part).toCaseFolded().toUtf8();
    }
    return parts.join(literalSeparator);
}

QByteArrayView RecordKeys::view(qsizetype position) const
{
    qint64 offset = m_starts[size_t(position)];
    quint64 length = 0;
    int shift = 0;
    while (true) {
        const auto byte = quint8(m_bytes[offset++]);
        length |= quint64(byte & 0x7f) << shift;
        shift += 7;
        if (!(byte & 0x80))
            break;
    }
    return QByteArrayView(m_bytes.constData() + offset, qsizetype(length));
}

QByteArray RecordKeys::at(qsizetype position) const
{
    return view(position).toByteArray();
}

bool RecordKeys::contains(const QByteArray& key) const
{
    for (qsizetype i = 0; i < size(); ++i) {
        if (view(i) == key)
            return true;
    }
    return false;
}

QList<qsizetype> RecordKeys::positionsOf(const QByteArray& key) const
{
    QList<qsizetype> positions;
    for (qsizetype i = 0; i < size(); ++i) {
        if (view(i) == key)
            positions.append(i);
    }
    return positions;
}

} // namespace glimora::data

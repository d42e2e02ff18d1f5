#include "engine/workbook/BiffRecordCursor.h"

#include <cstring>

namespace glimora::engine {

BiffRecordCursor::BiffRecordCursor(QList<QByteArrayView> segments)
    : m_segments(std::move(segments))
{
    for (QByteArrayView segment : std::as_const(m_segments))
        m_remaining += segment.size();
}

void BiffRecordCursor::read(void* target, qsizetype count)
{
    char* out = static_cast<char*>(target);
    while (count > 0) {
        if (m_segment >= m_segments.size())
            throw Overrun();
        const QByteArrayView segment = m_segments[m_segment];
        const qsizetype take = std::min(count, segment.size() - m_position);
        std::memcpy(out, segment.data() + m_position, size_t(take));
        m_remaining -= take;
        out += take;
        count -= take;
        m_position += take;
        if (m_position == segment.size() && count > 0) {
            ++m_segment;
            m_position = 0;
        }
    }
}

quint8 BiffRecordCursor::u8()
{
    quint8 value;
    read(&value, 1);
    return value;
}

quint16 BiffRecordCursor::u16()
{
    quint8 bytes[2];
    read(bytes, 2);
    return quint16(bytes[0] | (bytes[1] << 8));
}

quint32 BiffRecordCursor::u32()
{
    quint8 bytes[4];
    read(bytes, 4);
    return quint32(bytes[0]) | (quint32(bytes[1]) << 8) | (quint32(bytes[2]) << 16)
        | (quint32(bytes[3]) << 24);
}

double BiffRecordCursor::f64()
{
    quint8 bytes[8];
    read(bytes, 8);
    quint64 bits = 0;
    for (int i = 7; i >= 0; --i)
        bits = (bits << 8) | bytes[i];
    double value;
    std::memcpy(&value, &bits, 8);
    return value;
}

void BiffRecordCursor::skip(quint64 count)
{
    while (count > 0) {
        if (m_segment >= m_segments.size())
            throw Overrun();
        const qsizetype available = m_segments[m_segment].size() - m_position;
        const qsizetype take = qsizetype(std::min<quint64>(count, quint64(available)));
        count -= quint64(take);
        m_position += take;
        m_remaining -= take;
        if (count > 0) {
            ++m_segment;
            m_position = 0;
        }
    }
}

QByteArray BiffRecordCursor::bytes(quint32 count)
{
    if (qsizetype(count) > remaining())
        throw Overrun();
    QByteArray result(qsizetype(count), Qt::Uninitialized);
    read(result.data(), count);
    return result;
}

QString BiffRecordCursor::characters(quint32 count, bool twoBytes)
{
    QString result;
    result.reserve(qsizetype(std::min<quint32>(count, 65536)));
    while (count > 0) {
        if (m_segment >= m_segments.size())
            throw Overrun();
        QByteArrayView segment = m_segments[m_segment];
        if (m_position == segment.size()) {
            // The characters go on in the next record, which restates the compression.
            ++m_segment;
            m_position = 0;
            if (m_segment >= m_segments.size() || m_segments[m_segment].isEmpty())
                throw Overrun();
            segment = m_segments[m_segment];
            twoBytes = (quint8(segment[0]) & 0x01) != 0;
            m_position = 1;
            m_remaining -= 1;
        }
        const qsizetype width = twoBytes ? 2 : 1;
        const qsizetype available = (segment.size() - m_position) / width;
        if (available == 0)
            throw Overrun(); // half a character before the record's end
        const qsizetype take = std::min<qsizetype>(count, available);
        const char* data = segment.data() + m_position;
        if (twoBytes) {
            for (qsizetype i = 0; i < take; ++i)
                result += QChar(char16_t(quint8(data[2 * i]) | (quint8(data[2 * i + 1]) << 8)));
        } else {
            result += QLatin1StringView(data, take);
        }
        m_position += take * width;
        m_remaining -= take * width;
        count -= quint32(take);
    }
    return result;
}

QString BiffRecordCursor::text(int lengthBytes)
{
    const quint32 count = lengthBytes == 1 ? u8() : u16();
    const quint8 flags = u8();
    const quint16 runs = (flags & 0x08) != 0 ? u16() : 0;
    const quint32 phonetic = (flags & 0x04) != 0 ? u32() : 0;
    QString result = characters(count, (flags & 0x01) != 0);
    skip(quint64(runs) * 4 + phonetic);
    return result;
}

} // namespace glimora::engine

#pragma once

#include <cstring>
#include <QByteArray>
#include <QString>
#include <QtGlobal>

namespace glimora::engine::tds {

// Appends TDS's little-endian integers and UCS-2 strings to a buffer.
class TdsWriter
{
public:
    explicit TdsWriter(QByteArray& out)
        : m_out(out)
    {
    }

    void u8(quint8 value) { m_out.append(char(value)); }
    void u16(quint16 value) { little(value, 2); }
    void u32(quint32 value) { little(value, 4); }
    void u64(quint64 value) { little(value, 8); }
    void u16be(quint16 value)
    {
        u8(quint8(value >> 8));
        u8(quint8(value));
    }
    void bytes(const QByteArray& value) { m_out.append(value); }
    void ucs2(const QString& text)
    {
        for (const QChar c : text)
            u16(c.unicode());
    }
    // B_VARCHAR: a count of characters in one byte (longer texts are cut at 255).
    void bVarchar(const QString& text)
    {
        const QString cut = text.left(255);
        u8(quint8(cut.size()));
        ucs2(cut);
    }
    // US_VARCHAR: a count of characters in two bytes.
    void usVarchar(const QString& text)
    {
        const QString cut = text.left(65535);
        u16(quint16(cut.size()));
        ucs2(cut);
    }

private:
    void little(quint64 value, int size)
    {
        for (int i = 0; i < size; ++i)
            m_out.append(char(quint8(value >> (8 * i))));
    }
    QByteArray& m_out;
};

// Reads the same from a received payload; a read past the end yields zeros and clears ok().
class TdsReader
{
public:
    explicit TdsReader(const QByteArray& data)
        : m_data(data)
    {
    }

    bool ok() const { return m_ok; }
    qsizetype position() const { return m_position; }
    qsizetype remaining() const { return m_data.size() - m_position; }
    bool atEnd() const { return m_position >= m_data.size(); }

    quint8 u8() { return quint8(little(1)); }
    quint16 u16() { return quint16(little(2)); }
    quint32 u32() { return quint32(little(4)); }
    quint64 u64() { return little(8); }
    quint16 u16be()
    {
        const quint16 high = u8();
        return quint16((high << 8) | u8());
    }
    QByteArray bytes(qsizetype size)
    {
        if (size < 0 || size > remaining()) {
            m_ok = false;
            m_position = m_data.size();
            return {};
        }
        const QByteArray result = m_data.mid(m_position, size);
        m_position += size;
        return result;
    }
    QString ucs2(qsizetype characters)
    {
        const QByteArray raw = bytes(characters * 2);
        return QString(reinterpret_cast<const QChar*>(raw.constData()), raw.size() / 2);
    }
    QString bVarchar() { return ucs2(u8()); }
    QString usVarchar() { return ucs2(u16()); }

private:
    quint64 little(int size)
    {
        if (remaining() < size) {
            m_ok = false;
            m_position = m_data.size();
            return 0;
        }
        quint64 value = 0;
        for (int i = 0; i < size; ++i)
            value |= quint64(quint8(m_data[m_position + i])) << (8 * i);
        m_position += size;
        return value;
    }
    const QByteArray& m_data;
    qsizetype m_position = 0;
    bool m_ok = true;
};

} // namespace glimora::engine::tds

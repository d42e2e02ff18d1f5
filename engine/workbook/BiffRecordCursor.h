#pragma once

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <stdexcept>

namespace glimora::engine {

// Reads the payload of one BIFF record and of the CONTINUE records after it as one
// sequence of fields. A text whose characters run into the next CONTINUE record finds a
// fresh compression flag there, so one text may switch between one and two bytes per
// character at each record boundary. Reading past the last byte throws Overrun.
class BiffRecordCursor
{
public:
    class Overrun : public std::runtime_error
    {
    public:
        Overrun()
            : std::runtime_error("a record ends early")
        {
        }
    };

    explicit BiffRecordCursor(QList<QByteArrayView> segments);

    quint8 u8();
    quint16 u16();
    quint32 u32();
    double f64();
    void skip(quint64 count);
    qsizetype remaining() const { return m_remaining; }

    // A BIFF8 text: its length (lengthBytes: 1 or 2), flags, optional rich-text and phonetic
    // counts, the characters, then the runs and phonetic data, which are skipped.
    QString text(int lengthBytes = 2);
    // count characters, the first part compressed (one byte each) or not.
    QString characters(quint32 count, bool twoBytes);
    // count bytes as they stand, within one record or across several.
    QByteArray bytes(quint32 count);

private:
    void read(void* target, qsizetype count);

    QList<QByteArrayView> m_segments;
    qsizetype m_segment = 0;
    qsizetype m_position = 0;
    qsizetype m_remaining = 0;
};

} // namespace glimora::engine

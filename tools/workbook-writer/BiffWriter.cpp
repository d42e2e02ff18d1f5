#include "tools/workbook-writer/BiffWriter.h"

#include "tools/workbook-writer/CompoundFileWriter.h"

#include <algorithm>
#include <cstring>

namespace {

bool fitsOneByte(QStringView text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() <= 0xff; });
}

QByteArray characters(QStringView text, bool compressed)
{
    QByteArray bytes;
    for (QChar c : text) {
        bytes += char(c.unicode() & 0xff);
        if (!compressed)
            bytes += char(c.unicode() >> 8);
    }
    return bytes;
}

} // namespace

BiffWriter::BiffWriter(int version)
    : m_version(version)
{
    // The 15 style formats and the one cell format that every Excel file has.
    for (int i = 0; i < 16; ++i)
        addXf(0);
}

QByteArray BiffWriter::u16(quint16 value)
{
    return QByteArray(reinterpret_cast<const char*>(&value), 2);
}

QByteArray BiffWriter::u32(quint32 value)
{
    return QByteArray(reinterpret_cast<const char*>(&value), 4);
}

QByteArray BiffWriter::f64(double value)
{
    return QByteArray(reinterpret_cast<const char*>(&value), 8);
}

QByteArray BiffWriter::cell(quint16 row, quint16 column, quint16 xf)
{
    return u16(row) + u16(column) + u16(xf);
}

QByteArray BiffWriter::text(const QString& value, int lengthBytes)
{
    const bool compressed = fitsOneByte(value);
    const QByteArray length
        = lengthBytes == 1 ? QByteArray(1, char(value.size())) : u16(quint16(value.size()));
    return length + char(compressed ? 0 : 1) + characters(value, compressed);
}

QByteArray BiffWriter::label(quint16 row, quint16 column, const QString& value, quint16 xf) const
{
    if (m_version == 5)
        return cell(row, column, xf) + u16(quint16(value.size())) + value.toLatin1();
    return cell(row, column, xf) + text(value);
}

QByteArray BiffWriter::number(quint16 row, quint16 column, double value, quint16 xf)
{
    return cell(row, column, xf) + f64(value);
}

QByteArray BiffWriter::formula(quint16 row, quint16 column, const QByteArray& result, quint16 xf)
{
    const QByteArray tokens = QByteArray(1, 0x24) + u16(0) + u16(0xc000); // tRef A1
    return cell(row, column, xf) + result + u16(0) + u32(0) + u16(quint16(tokens.size())) + tokens;
}

QByteArray BiffWriter::formulaNumber(double value)
{
    return f64(value);
}

QByteArray BiffWriter::formulaSpecial(quint8 kind, quint8 value)
{
    QByteArray result(8, '\0');
    result[0] = char(kind);
    result[2] = char(value);
    result[6] = char(0xff);
    result[7] = char(0xff);
    return result;
}

void BiffWriter::addFormat(quint16 id, const QString& code)
{
    const QByteArray payload
        = m_version == 5 ? u16(id) + char(code.size()) + code.toLatin1() : u16(id) + text(code);
    m_formats += record(0x041e, payload);
}

quint16 BiffWriter::addXf(quint16 formatId)
{
    const bool style = m_xfCount < 15;
    QByteArray payload = u16(0) + u16(formatId) + u16(style ? 0xfff5 : 0x0001);
    payload.append(QByteArray(m_version == 5 ? 10 : 14, '\0'));
    m_xfs += record(0x00e0, payload);
    return m_xfCount++;
}

void BiffWriter::addGlobal(quint16 type, const QByteArray& payload)
{
    m_globals += withContinues(type, payload);
}

void BiffWriter::addSharedStrings(const QStringList& strings, int maximumRecord)
{
    QList<QByteArray> records;
    QByteArray current = u32(quint32(strings.size())) + u32(quint32(strings.size()));
    auto flush = [&]() {
        records.append(current);
        current.clear();
    };
    for (const QString& string : strings) {
        if (maximumRecord - current.size() < 3 + std::min<qsizetype>(string.size(), 1) * 2)
            flush();
        current += u16(quint16(string.size()));
        qsizetype at = 0;
        bool first = true;
        do {
            if (!first)
                flush();
            const qsizetype room = maximumRecord - current.size() - 1;
            qsizetype count = std::min(string.size() - at, room);
            const bool compressed = fitsOneByte(QStringView(string).mid(at, count));
            if (!compressed)
                count = std::min(string.size() - at, room / 2);
            current += char(compressed ? 0 : 1);
            current += characters(QStringView(string).mid(at, count), compressed);
            at += count;
            first = false;
        } while (at < string.size());
    }
    flush();
    for (qsizetype i = 0; i < records.size(); ++i)
        m_globals += record(i == 0 ? sst : continueRecord, records[i]);
}

void BiffWriter::addSheet(const QString& name)
{
    m_sheets.append({ name, {} });
}

void BiffWriter::addCell(quint16 type, const QByteArray& payload)
{
    m_sheets.last().records += withContinues(type, payload);
}

void BiffWriter::addTextCell(quint16 type, const QByteArray& fields, const QString& text, int maximumRecord)
{
    const bool compressed = fitsOneByte(text);
    const int width = compressed ? 1 : 2;
    QByteArray current = fields + u16(quint16(text.size())) + char(compressed ? 0 : 1);
    qsizetype at = 0;
    quint16 recordType = type;
    for (;;) {
        const qsizetype count
            = std::min<qsizetype>(text.size() - at, (maximumRecord - current.size()) / width);
        current += characters(QStringView(text).mid(at, count), compressed);
        at += count;
        m_sheets.last().records += record(recordType, current);
        if (at >= text.size())
            return;
        recordType = continueRecord;
        current = QByteArray(1, char(compressed ? 0 : 1));
    }
}

QByteArray BiffWriter::record(quint16 type, const QByteArray& payload)
{
    return u16(type) + u16(quint16(payload.size())) + payload;
}

QByteArray BiffWriter::withContinues(quint16 type, const QByteArray& payload) const
{
    const qsizetype limit = m_version == 5 ? 2080 : 8224;
    QByteArray bytes = record(type, payload.left(limit));
    for (qsizetype at = limit; at < payload.size(); at += limit)
        bytes += record(continueRecord, payload.mid(at, limit));
    return bytes;
}

QByteArray BiffWriter::stream() const
{
    auto bofRecord = [this](quint16 kind) {
        return m_version == 5
            ? record(bof, u16(0x0500) + u16(kind) + u16(0x0dbb) + u16(1996))
            : record(bof, u16(0x0600) + u16(kind) + u16(0x0dbb) + u16(1996) + u32(0) + u32(6));
    };
    QByteArray globals = bofRecord(0x0005) + m_globals + record(codePage, u16(m_version == 5 ? 1252 : 1200))
        + m_formats + m_xfs;
    QList<qsizetype> offsetPositions;
    for (const Sheet& sheet : m_sheets) {
        const QByteArray name = m_version == 5
            ? QByteArray(1, char(sheet.name.size())) + sheet.name.toLatin1()
            : text(sheet.name, 1);
        offsetPositions.append(globals.size() + 4);
        globals += record(0x0085, u32(0) + char(0) + char(0) + name);
    }
    globals += record(eof, {});
    QByteArray result = globals;
    for (qsizetype i = 0; i < m_sheets.size(); ++i) {
        const quint32 offset = quint32(result.size());
        std::memcpy(result.data() + offsetPositions[i], &offset, 4);
        result += bofRecord(0x0010) + m_sheets[i].records + record(eof, {});
    }
    return result;
}

QByteArray BiffWriter::file() const
{
    CompoundFileWriter writer;
    writer.addStream(m_version == 5 ? QStringLiteral("Book") : QStringLiteral("Workbook"), stream());
    return writer.write();
}

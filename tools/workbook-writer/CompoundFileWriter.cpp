#include "tools/workbook-writer/CompoundFileWriter.h"

#include <cstring>

namespace {

constexpr quint32 sectorSize = 512;
constexpr quint32 cutoff = 4096;
constexpr quint32 miniSectorSize = 64;
constexpr quint32 endOfChain = 0xfffffffe;
constexpr quint32 freeSector = 0xffffffff;
constexpr quint32 fatSectorMark = 0xfffffffd;
constexpr quint32 difatSectorMark = 0xfffffffc;

void put16(QByteArray& bytes, qsizetype at, quint16 value)
{
    bytes[at] = char(value & 0xff);
    bytes[at + 1] = char(value >> 8);
}

void put32(QByteArray& bytes, qsizetype at, quint32 value)
{
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = char((value >> (8 * i)) & 0xff);
}

quint32 sectorsFor(qsizetype size, quint32 unit)
{
    return quint32((size + unit - 1) / unit);
}

// Appends a chain of count sectors starting at first to the table.
void chain(QList<quint32>& table, quint32 first, quint32 count)
{
    for (quint32 i = 0; i < count; ++i)
        table[first + i] = i + 1 < count ? first + i + 1 : endOfChain;
}

QByteArray padded(QByteArray bytes, quint32 unit)
{
    bytes.append(QByteArray(qsizetype(sectorsFor(bytes.size(), unit) * unit - bytes.size()), '\0'));
    return bytes;
}

} // namespace

void CompoundFileWriter::addStream(const QString& name, const QByteArray& content)
{
    m_streams.append({ name, content });
}

QByteArray CompoundFileWriter::write() const
{
    // The mini stream and its table, for the small streams.
    QByteArray miniStream;
    QList<quint32> miniFat;
    QList<quint32> starts;
    for (const Stream& stream : m_streams) {
        if (quint32(stream.content.size()) >= cutoff || stream.content.isEmpty()) {
            starts.append(stream.content.isEmpty() ? endOfChain : 0); // placed below
            continue;
        }
        const quint32 first = quint32(miniFat.size());
        const quint32 count = sectorsFor(stream.content.size(), miniSectorSize);
        miniFat.resize(first + count);
        chain(miniFat, first, count);
        miniStream += padded(stream.content, miniSectorSize);
        starts.append(first);
    }

    // Regular sectors: big streams, the mini stream, the mini FAT, the directory.
    QByteArray body;
    QList<quint32> fat;
    auto place = [&](const QByteArray& content) {
        const quint32 first = quint32(fat.size());
        const quint32 count = sectorsFor(content.size(), sectorSize);
        fat.resize(first + count);
        chain(fat, first, count);
        body += padded(content, sectorSize);
        return count == 0 ? endOfChain : first;
    };
    for (qsizetype i = 0; i < m_streams.size(); ++i) {
        if (quint32(m_streams[i].content.size()) >= cutoff)
            starts[i] = place(m_streams[i].content);
    }
    const quint32 miniStreamStart = place(miniStream);
    QByteArray miniFatBytes(miniFat.size() * 4, '\0');
    for (qsizetype i = 0; i < miniFat.size(); ++i)
        put32(miniFatBytes, i * 4, miniFat[i]);
    const quint32 miniFatStart = place(miniFatBytes);
    const quint32 miniFatSectors = sectorsFor(miniFatBytes.size(), sectorSize);

    QByteArray directory(qsizetype(128 * (m_streams.size() + 1)), '\0');
    auto entry = [&](int index, const QString& name, quint8 type, quint32 start, quint32 size, quint32 child,
                     quint32 right) {
        const qsizetype at = qsizetype(index) * 128;
        std::memcpy(directory.data() + at, name.utf16(), size_t(name.size()) * 2);
        put16(directory, at + 64, quint16((name.size() + 1) * 2));
        directory[at + 66] = char(type);
        directory[at + 67] = 1; // black
        put32(directory, at + 68, freeSector);
        put32(directory, at + 72, right);
        put32(directory, at + 76, child);
        put32(directory, at + 116, start);
        put32(directory, at + 120, size);
    };
    entry(0, QStringLiteral("Root Entry"), 5, miniStream.isEmpty() ? endOfChain : miniStreamStart,
        quint32(miniStream.size()), m_streams.isEmpty() ? freeSector : 1, freeSector);
    for (int i = 0; i < m_streams.size(); ++i)
        entry(i + 1, m_streams[i].name, 2, starts[i], quint32(m_streams[i].content.size()), freeSector,
            i + 1 < m_streams.size() ? quint32(i + 2) : freeSector);
    const quint32 directoryStart = place(directory);

    // The FAT covers every sector, its own and the DIFAT's included.
    const quint32 dataSectors = quint32(fat.size());
    quint32 fatSectors = 0;
    quint32 difatSectors = 0;
    for (;;) {
        const quint32 needed = sectorsFor(qsizetype(dataSectors + fatSectors + difatSectors) * 4, sectorSize);
        const quint32 difatNeeded = needed > 109 ? sectorsFor(needed - 109, 127) : 0;
        if (needed == fatSectors && difatNeeded == difatSectors)
            break;
        fatSectors = needed;
        difatSectors = difatNeeded;
    }
    fat.resize(qsizetype(fatSectors) * 128, freeSector);
    for (quint32 i = 0; i < fatSectors; ++i)
        fat[dataSectors + i] = fatSectorMark;
    for (quint32 i = 0; i < difatSectors; ++i)
        fat[dataSectors + fatSectors + i] = difatSectorMark;
    QByteArray fatBytes(fat.size() * 4, '\0');
    for (qsizetype i = 0; i < fat.size(); ++i)
        put32(fatBytes, i * 4, fat[i]);
    body += fatBytes;

    QByteArray difat(qsizetype(difatSectors) * sectorSize, '\0');
    for (quint32 d = 0; d < difatSectors; ++d) {
        for (quint32 i = 0; i < 127; ++i) {
            const quint32 index = 109 + d * 127 + i;
            put32(difat, d * sectorSize + i * 4, index < fatSectors ? dataSectors + index : freeSector);
        }
        put32(difat, d * sectorSize + 127 * 4,
            d + 1 < difatSectors ? dataSectors + fatSectors + d + 1 : endOfChain);
    }
    body += difat;

    QByteArray header(sectorSize, '\0');
    std::memcpy(header.data(), "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
    put16(header, 0x18, 0x3e);
    put16(header, 0x1a, 3);
    put16(header, 0x1c, 0xfffe);
    put16(header, 0x1e, 9);
    put16(header, 0x20, 6);
    put32(header, 0x2c, fatSectors);
    put32(header, 0x30, directoryStart);
    put32(header, 0x38, cutoff);
    put32(header, 0x3c, miniFat.isEmpty() ? endOfChain : miniFatStart);
    put32(header, 0x40, miniFatSectors);
    put32(header, 0x44, difatSectors > 0 ? dataSectors + fatSectors : endOfChain);
    put32(header, 0x48, difatSectors);
    for (quint32 i = 0; i < 109; ++i)
        put32(header, 0x4c + i * 4, i < fatSectors ? dataSectors + i : freeSector);
    return header + body;
}

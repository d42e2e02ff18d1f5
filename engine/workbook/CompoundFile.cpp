#include "engine/workbook/CompoundFile.h"

#include <cstring>

namespace glimora::engine {

namespace {

constexpr quint32 maximumRegularSector = 0xfffffffa;
constexpr quint32 endOfChain = 0xfffffffe;
constexpr quint32 noStream = 0xffffffff;
constexpr quint32 miniSectorSize = 64;
constexpr qsizetype entrySize = 128;
constexpr quint8 streamEntry = 2;
constexpr quint8 rootEntry = 5;

quint32 read32(QByteArrayView bytes, qsizetype at)
{
    quint32 value = 0;
    for (int i = 3; i >= 0; --i)
        value = (value << 8) | quint8(bytes[at + i]);
    return value;
}

quint16 read16(QByteArrayView bytes, qsizetype at)
{
    return quint16(quint8(bytes[at]) | (quint8(bytes[at + 1]) << 8));
}

QList<quint32> tableOf(QByteArrayView bytes)
{
    QList<quint32> table(bytes.size() / 4);
    for (qsizetype i = 0; i < table.size(); ++i)
        table[i] = read32(bytes, i * 4);
    return table;
}

[[noreturn]] void damaged(const char* what)
{
    throw CompoundFile::Damaged(what);
}

} // namespace

bool CompoundFile::hasSignature(QByteArrayView bytes)
{
    return bytes.size() >= 8 && std::memcmp(bytes.data(), "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) == 0;
}

CompoundFile::CompoundFile(QByteArrayView bytes)
    : m_bytes(bytes)
{
    if (bytes.size() < 512 || !hasSignature(bytes))
        damaged("no compound file header");
    m_sectorShift = read16(bytes, 0x1e);
    if (m_sectorShift != 9 && m_sectorShift != 12)
        damaged("bad sector size");
    if (read16(bytes, 0x20) != 6)
        damaged("bad small sector size");
    const quint64 sectorSize = quint64(1) << m_sectorShift;
    // Sector n starts at (n + 1) * size; a last sector cut short still counts.
    const quint64 fileSectors = (quint64(bytes.size()) + sectorSize - 1) / sectorSize;
    m_sectorCount = quint32(std::min<quint64>(fileSectors > 0 ? fileSectors - 1 : 0, maximumRegularSector));
    m_miniCutoff = read32(bytes, 0x38);
    readFat(read32(bytes, 0x2c), read32(bytes, 0x44), read32(bytes, 0x48));

    const quint32 miniFatStart = read32(bytes, 0x3c);
    if (miniFatStart != endOfChain && miniFatStart != noStream) {
        const quint64 maximum = quint64(m_sectorCount) << m_sectorShift;
        QByteArray table;
        for (quint32 index : chainOf(miniFatStart, m_fat, maximum >> m_sectorShift))
            table += sector(index).toByteArray();
        m_miniFat = tableOf(table);
    }
    readDirectory(read32(bytes, 0x30));
}

QByteArrayView CompoundFile::sector(quint32 index) const
{
    if (index >= m_sectorCount)
        damaged("a sector lies beyond the end of the file");
    const qsizetype start = (qsizetype(index) + 1) << m_sectorShift;
    const qsizetype length = std::min<qsizetype>(qsizetype(1) << m_sectorShift, m_bytes.size() - start);
    return m_bytes.sliced(start, length);
}

void CompoundFile::readFat(quint32 fatSectors, quint32 firstDifat, quint32 difatSectors)
{
    if (fatSectors == 0 || fatSectors > m_sectorCount)
        damaged("bad sector table size");
    QList<quint32> fatSectorIds;
    for (quint32 i = 0; i < 109 && quint32(fatSectorIds.size()) < fatSectors; ++i) {
        const quint32 id = read32(m_bytes, 0x4c + i * 4);
        if (id > maximumRegularSector)
            break;
        fatSectorIds.append(id);
    }
    // The DIFAT chain: each sector lists further table sectors and, last, the next one.
    const quint32 perSector = (quint32(1) << m_sectorShift) / 4;
    quint32 difat = firstDifat;
    for (quint32 visited = 0; quint32(fatSectorIds.size()) < fatSectors && difat <= maximumRegularSector;
         ++visited) {
        if (visited >= difatSectors || visited >= m_sectorCount)
            damaged("bad sector table chain");
        const QByteArrayView ids = sector(difat);
        if (quint32(ids.size()) < perSector * 4)
            damaged("the sector table is cut short");
        for (quint32 i = 0; i + 1 < perSector && quint32(fatSectorIds.size()) < fatSectors; ++i) {
            const quint32 id = read32(ids, i * 4);
            if (id <= maximumRegularSector)
                fatSectorIds.append(id);
        }
        difat = read32(ids, (perSector - 1) * 4);
    }
    if (quint32(fatSectorIds.size()) < fatSectors)
        damaged("the sector table is incomplete");
    m_fat.reserve(qsizetype(fatSectors) * perSector);
    for (quint32 id : std::as_const(fatSectorIds)) {
        const QByteArrayView ids = sector(id);
        for (qsizetype at = 0; at + 4 <= ids.size(); at += 4)
            m_fat.append(read32(ids, at));
    }
}

QList<quint32> CompoundFile::chainOf(quint32 start, const QList<quint32>& table, quint64 maximumLength) const
{
    QList<quint32> chain;
    QList<bool> visited(table.size(), false);
    for (quint32 at = start; at != endOfChain; at = table[at]) {
        if (at >= quint32(table.size()) || visited[at])
            damaged("a broken sector chain");
        if (quint64(chain.size()) >= maximumLength)
            break;
        visited[at] = true;
        chain.append(at);
    }
    return chain;
}

QByteArray CompoundFile::readChain(quint32 start, quint64 size) const
{
    const quint64 sectorSize = quint64(1) << m_sectorShift;
    if (size > quint64(m_sectorCount) * sectorSize)
        damaged("a stream larger than the file");
    QByteArray result;
    result.reserve(qsizetype(size));
    if (size > 0) {
        for (quint32 index : chainOf(start, m_fat, (size + sectorSize - 1) / sectorSize))
            result += sector(index);
    }
    if (quint64(result.size()) < size)
        damaged("a stream ends early");
    result.truncate(qsizetype(size));
    return result;
}

QByteArray CompoundFile::readMiniChain(quint32 start, quint64 size) const
{
    if (m_entries.isEmpty())
        damaged("no root entry");
    const QByteArray miniStream = readChain(m_entries.first().start, m_entries.first().size);
    QByteArray result;
    if (size > 0) {
        for (quint32 index : chainOf(start, m_miniFat, (size + miniSectorSize - 1) / miniSectorSize)) {
            const qsizetype at = qsizetype(index) * miniSectorSize;
            if (at >= miniStream.size())
                damaged("a small sector lies beyond the small-block stream");
            result += QByteArrayView(miniStream)
                          .sliced(at, std::min<qsizetype>(miniSectorSize, miniStream.size() - at));
        }
    }
    if (quint64(result.size()) < size)
        damaged("a small stream ends early");
    result.truncate(qsizetype(size));
    return result;
}

void CompoundFile::readDirectory(quint32 firstSector)
{
    const bool version4 = read16(m_bytes, 0x1a) == 4;
    for (quint32 index : chainOf(firstSector, m_fat, m_sectorCount)) {
        const QByteArrayView entries = sector(index);
        for (qsizetype at = 0; at + entrySize <= entries.size(); at += entrySize) {
            const QByteArrayView raw = entries.sliced(at, entrySize);
            Entry entry;
            const quint16 nameBytes = read16(raw, 64);
            if (nameBytes >= 2 && nameBytes <= 64 && nameBytes % 2 == 0) {
                for (qsizetype i = 0; i + 2 < nameBytes; i += 2)
                    entry.name += QChar(read16(raw, i));
            }
            entry.type = quint8(raw[66]);
            entry.left = read32(raw, 68);
            entry.right = read32(raw, 72);
            entry.child = read32(raw, 76);
            entry.start = read32(raw, 116);
            // Version 3 files may leave garbage in the size's high half.
            entry.size = read32(raw, 120) | (version4 ? quint64(read32(raw, 124)) << 32 : 0);
            m_entries.append(entry);
        }
    }
    if (m_entries.isEmpty() || m_entries.first().type != rootEntry)
        damaged("no root entry");
}

std::optional<QByteArray> CompoundFile::rootStream(const QString& name) const
{
    // The root's children form a tree through their left and right links.
    QList<quint32> pending { m_entries.first().child };
    QList<bool> visited(m_entries.size(), false);
    while (!pending.isEmpty()) {
        const quint32 index = pending.takeLast();
        if (index >= quint32(m_entries.size()))
            continue; // noStream, or a link out of the directory
        if (visited[index])
            damaged("a loop in the directory");
        visited[index] = true;
        const Entry& entry = m_entries[index];
        pending.append(entry.left);
        pending.append(entry.right);
        if (entry.type != streamEntry || entry.name.compare(name, Qt::CaseInsensitive) != 0)
            continue;
        if (entry.size < m_miniCutoff)
            return readMiniChain(entry.start, entry.size);
        return readChain(entry.start, entry.size);
    }
    return std::nullopt;
}

} // namespace glimora::engine

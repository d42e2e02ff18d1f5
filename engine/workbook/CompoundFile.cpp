#include "engine/workbook/CompoundFile.h"

#include <QByteArray>
#include <QFile>

namespace glimora::engine::CompoundFile {

namespace {

quint32 littleEndian(const QByteArray& bytes, qsizetype at, int size)
{
    quint32 value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = (value << 8) | quint8(bytes.at(at + i));
    return value;
}

} // namespace

// libfreexl misses FILEPASS once the records behind it are really encrypted, so the
// parent looks for itself: it needs only the compound file's header, its first directory
// sector and the first sector of the stream, read with plain bounds-checked arithmetic.
bool declaresFilePass(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    auto readAt = [&file](qint64 offset, qint64 size) {
        return offset >= 0 && file.seek(offset) ? file.read(size) : QByteArray();
    };
    const QByteArray header = readAt(0, 512);
    if (header.size() < 512)
        return false;
    const quint32 sectorShift = littleEndian(header, 0x1e, 2);
    if (sectorShift != 9 && sectorShift != 12)
        return false;
    const qint64 sectorSize = qint64(1) << sectorShift;
    const auto sectorOffset = [sectorSize](quint32 sector) { return (qint64(sector) + 1) * sectorSize; };
    const QByteArray directory = readAt(sectorOffset(littleEndian(header, 0x30, 4)), sectorSize);
    for (qsizetype entry = 0; entry + 128 <= directory.size(); entry += 128) {
        const quint32 nameBytes = littleEndian(directory, entry + 64, 2);
        if (nameBytes < 2 || nameBytes > 64 || directory.at(entry + 66) != 2) // 2: a stream
            continue;
        const QString name = QString::fromUtf16(
            reinterpret_cast<const char16_t*>(directory.constData() + entry), qsizetype(nameBytes / 2 - 1));
        if (name.compare(QLatin1String("Workbook"), Qt::CaseInsensitive) != 0
            && name.compare(QLatin1String("Book"), Qt::CaseInsensitive) != 0)
            continue;
        // Small streams live in the mini stream; Excel never writes a workbook that small.
        if (littleEndian(directory, entry + 120, 4) < 4096)
            return false;
        const QByteArray start = readAt(sectorOffset(littleEndian(directory, entry + 116, 4)), 256);
        if (start.size() < 8 || littleEndian(start, 0, 2) != 0x0809)
            return false;
        const qsizetype next = 4 + qsizetype(littleEndian(start, 2, 2));
        return next + 2 <= start.size() && littleEndian(start, next, 2) == 0x002f;
    }
    return false;
}

} // namespace glimora::engine::CompoundFile

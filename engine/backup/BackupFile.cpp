#include "engine/backup/BackupFile.h"

#include "engine/backup/SetChecksum.h"
#include "engine/server/FaultPoint.h"
#include "engine/server/ServerError.h"
#include "platform/FileFlush.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <QDataStream>
#include <QFile>
#include <QFileInfo>
#include <sys/stat.h>
#include <unistd.h>

namespace glimora::engine {

namespace {

const QByteArray marker("GLIMORA-BACKUP\r\n", 16);
constexpr quint32 largestHeader = 4096;
// Every read and write of a device goes through a buffer of this size.
constexpr qint64 pieceSize = SetChecksum::BlockSize;

ServerError cannotOpen(const QString& path, int error, const QString& reason = QString())
{
    return ServerError(3201,
        QStringLiteral("Cannot open backup device '%1'. Operating system error %2(%3).")
            .arg(path)
            .arg(error)
            .arg(reason.isEmpty() ? QString::fromLocal8Bit(std::strerror(error)) : reason),
        16, 1);
}

ServerError malformed(const QString& device)
{
    return ServerError(3241,
        QStringLiteral(
            "The media family on device '%1' is incorrectly formed. SQL Server cannot process this "
            "media family.")
            .arg(device),
        16, 1);
}

qint64 sizeOf(int descriptor, const QString& device)
{
    struct stat status;
    if (::fstat(descriptor, &status) != 0)
        throw cannotOpen(device, errno);
    return status.st_size;
}

QByteArray encodeHeader(const QString& database, const QDateTime& time, qint64 imageSize)
{
    QByteArray header;
    QDataStream out(&header, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_6_0);
    out << SetChecksum::CurrentVersion << database << qint64(time.toMSecsSinceEpoch()) << quint64(imageSize);
    return header;
}

} // namespace

FileDescriptor BackupFile::openDevice(const QString& path)
{
    // Without O_NONBLOCK opening a pipe would wait for a writer.
    FileDescriptor file(::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!file.isOpen())
        throw cannotOpen(path, errno);
    struct stat status;
    if (::fstat(file.get(), &status) != 0)
        throw cannotOpen(path, errno);
    if (!S_ISREG(status.st_mode))
        throw cannotOpen(path, EINVAL, QStringLiteral("The device is not a regular file."));
    return file;
}

void BackupFile::failDevice(const QString& path, int error)
{
    throw cannotOpen(path, error);
}

void BackupFile::readAt(int descriptor, char* data, qint64 size, qint64 offset, const QString& device)
{
    qint64 done = 0;
    while (done < size) {
        const ssize_t n = ::pread(descriptor, data + done, size_t(size - done), offset + done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            throw cannotOpen(device, errno);
        if (n == 0)
            throw malformed(device);
        done += n;
    }
}

void BackupFile::writeAt(int descriptor, const char* data, qint64 size, qint64 offset, const QString& path)
{
    qint64 done = 0;
    while (done < size) {
        const ssize_t n = ::pwrite(descriptor, data + done, size_t(size - done), offset + done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            throw cannotOpen(path, n < 0 ? errno : EIO);
        done += n;
    }
}

void BackupFile::checkMedium(int descriptor, const QString& device)
{
    QByteArray lead(marker.size(), '\0');
    readAt(descriptor, lead.data(), lead.size(), 0, device);
    if (lead != marker)
        throw malformed(device);
}

QList<BackupFile::Set> BackupFile::scan(int descriptor, const QString& device)
{
    const qint64 size = sizeOf(descriptor, device);
    if (size == 0)
        throw malformed(device);
    QList<Set> sets;
    qint64 at = 0;
    while (at < size) {
        Set set;
        set.number = int(sets.size()) + 1;
        set.start = at;
        if (size - at < marker.size() + 4)
            throw malformed(device);
        QByteArray lead(marker.size() + 4, '\0');
        readAt(descriptor, lead.data(), lead.size(), at, device);
        if (!lead.startsWith(marker))
            throw malformed(device);
        quint32 headerSize = 0;
        {
            QDataStream in(lead.mid(marker.size()));
            in >> headerSize;
        }
        at += lead.size();
        if (headerSize > largestHeader || size - at < qint64(headerSize))
            throw malformed(device);
        set.header.resize(headerSize);
        readAt(descriptor, set.header.data(), headerSize, at, device);
        at += headerSize;

        QDataStream in(set.header);
        in.setVersion(QDataStream::Qt_6_0);
        in >> set.version;
        if (in.status() != QDataStream::Ok)
            throw malformed(device);
        if (!SetChecksum::knows(set.version))
            throw ServerError(3169,
                QStringLiteral("The backup on device '%1' was written in format %2, which this server cannot "
                               "read.")
                    .arg(device)
                    .arg(set.version),
                16, 1);
        const int checksumSize = SetChecksum::size(set.version);
        if (size - at < checksumSize)
            throw malformed(device);
        set.checksum.resize(checksumSize);
        readAt(descriptor, set.checksum.data(), checksumSize, at, device);
        at += checksumSize;
        qint64 time = 0;
        quint64 imageSize = 0;
        in >> set.database >> time >> imageSize;
        if (in.status() != QDataStream::Ok || imageSize > quint64(size - at))
            throw malformed(device);
        set.time = QDateTime::fromMSecsSinceEpoch(time);
        set.imageOffset = at;
        set.imageSize = qint64(imageSize);
        at += set.imageSize;
        sets.append(set);
    }
    return sets;
}

void BackupFile::copyImage(int descriptor, const Set& set, int out, qint64 outOffset, const QString& device)
{
    SetChecksum checksum(set.version, set.header);
    QByteArray piece(qMin(pieceSize, qMax<qint64>(set.imageSize, 1)), Qt::Uninitialized);
    for (qint64 done = 0; done < set.imageSize;) {
        const qint64 size = qMin<qint64>(piece.size(), set.imageSize - done);
        readAt(descriptor, piece.data(), size, set.imageOffset + done, device);
        checksum.addBlock(done / pieceSize, piece.constData(), size);
        // Flushed once, by the caller's fsync: writing each piece out on its way waits on the
        // disk at every piece, which makes the copy many times slower on a busy disk.
        if (out >= 0)
            writeAt(out, piece.constData(), size, outOffset + done, device);
        done += size;
    }
    if (checksum.result() != set.checksum)
        throw ServerError(3189,
            QStringLiteral("Damage to the backup set was detected. The checksum of backup set %1 on device "
                           "'%2' does not match its content.")
                .arg(set.number)
                .arg(device),
            16, 1);
}

BackupFile::Set BackupFile::beginSet(
    int out, qint64 offset, const QString& database, const QDateTime& time, const QString& device)
{
    Set set;
    set.version = SetChecksum::CurrentVersion;
    set.database = database;
    set.time = time;
    set.start = offset;
    set.header = encodeHeader(database, time, 0);
    QByteArray lead = marker;
    QDataStream lengthOut(&lead, QIODevice::Append);
    lengthOut << quint32(set.header.size());
    lead += set.header;
    lead += QByteArray(SetChecksum::size(set.version), '\0');
    writeAt(out, lead.constData(), lead.size(), offset, device);
    set.imageOffset = offset + lead.size();
    return set;
}

QByteArray BackupFile::headerOf(const Set& set, qint64 imageSize)
{
    // The size has a fixed width: the header keeps its length.
    return encodeHeader(set.database, set.time, imageSize);
}

void BackupFile::finishSet(
    int out, Set& set, qint64 imageSize, const QByteArray& checksum, const QString& device)
{
    set.header = headerOf(set, imageSize);
    set.imageSize = imageSize;
    set.checksum = checksum;
    const qint64 headerOffset = set.start + marker.size() + 4;
    writeAt(out, set.header.constData(), set.header.size(), headerOffset, device);
    writeAt(out, set.checksum.constData(), set.checksum.size(), headerOffset + set.header.size(), device);
}

void BackupFile::startFlush(int descriptor, qint64 offset, qint64 size)
{
    platform::startFileFlush(descriptor, offset, size);
}

void BackupFile::syncFile(int descriptor, const QString& path)
{
    if (FaultPoint::fails("sync"))
        throw cannotOpen(path, EIO);
    if (::fsync(descriptor) != 0)
        throw cannotOpen(path, errno);
}

void BackupFile::syncAndClose(FileDescriptor& file, const QString& path)
{
    syncFile(file.get(), path);
    if (!file.close())
        throw cannotOpen(path, errno);
}

void BackupFile::syncDirectory(int directory, const QString& path)
{
    // Some file systems cannot sync a folder (EINVAL); their renames are as durable as they get.
    if (::fsync(directory) != 0 && errno != EINVAL)
        throw cannotOpen(path, errno);
}

void BackupFile::syncDirectoryOf(const QString& path)
{
    FileDescriptor directory(::open(
        QFile::encodeName(QFileInfo(path).absolutePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!directory.isOpen())
        throw cannotOpen(path, errno);
    syncDirectory(directory.get(), path);
}

} // namespace glimora::engine

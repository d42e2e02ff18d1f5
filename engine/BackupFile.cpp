#include "engine/BackupFile.h"

#include "engine/FaultPoint.h"
#include "engine/ServerError.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <QCoreApplication>
#include <QDataStream>
#include <QFile>
#include <QFileInfo>
#include <sodium.h>
#include <unistd.h>

namespace glimora::engine {

namespace {

const QByteArray marker("GLIMORA-BACKUP\r\n", 16);
constexpr quint32 formatVersion = 1;
constexpr int checksumSize = 32;

QByteArray checksumOf(const QByteArray& header, const QByteArray& image)
{
    QByteArray sum(checksumSize, '\0');
    crypto_generichash_state state;
    crypto_generichash_init(&state, nullptr, 0, checksumSize);
    crypto_generichash_update(
        &state, reinterpret_cast<const unsigned char*>(header.constData()), quint64(header.size()));
    crypto_generichash_update(
        &state, reinterpret_cast<const unsigned char*>(image.constData()), quint64(image.size()));
    crypto_generichash_final(&state, reinterpret_cast<unsigned char*>(sum.data()), checksumSize);
    return sum;
}

ServerError cannotOpen(const QString& path, int error)
{
    return ServerError(3201,
        QStringLiteral("Cannot open backup device '%1'. Operating system error %2(%3).")
            .arg(path)
            .arg(error)
            .arg(QString::fromLocal8Bit(std::strerror(error))),
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

} // namespace

QByteArray BackupFile::encode(const Set& set)
{
    QByteArray header;
    {
        QDataStream out(&header, QIODevice::WriteOnly);
        out.setVersion(QDataStream::Qt_6_0);
        out << formatVersion << set.database << qint64(set.time.toMSecsSinceEpoch())
            << quint64(set.image.size());
    }
    QByteArray bytes = marker;
    QDataStream lengthOut(&bytes, QIODevice::Append);
    lengthOut << quint32(header.size());
    bytes += header;
    bytes += checksumOf(header, set.image);
    bytes += set.image;
    return bytes;
}

QList<BackupFile::Set> BackupFile::decode(const QByteArray& bytes, const QString& device)
{
    QList<Set> sets;
    qsizetype at = 0;
    if (bytes.isEmpty())
        throw malformed(device);
    while (at < bytes.size()) {
        if (bytes.mid(at, marker.size()) != marker)
            throw malformed(device);
        at += marker.size();
        if (bytes.size() - at < 4)
            throw malformed(device);
        quint32 headerSize = 0;
        {
            QDataStream in(bytes.mid(at, 4));
            in >> headerSize;
        }
        at += 4;
        if (headerSize > 4096 || bytes.size() - at < qsizetype(headerSize) + checksumSize)
            throw malformed(device);
        const QByteArray header = bytes.mid(at, headerSize);
        at += headerSize;
        const QByteArray sum = bytes.mid(at, checksumSize);
        at += checksumSize;

        QDataStream in(header);
        in.setVersion(QDataStream::Qt_6_0);
        quint32 version = 0;
        in >> version;
        if (version != formatVersion)
            throw ServerError(3169,
                QStringLiteral("The backup on device '%1' was written in format %2, which this server cannot "
                               "read.")
                    .arg(device)
                    .arg(version),
                16, 1);
        Set set;
        qint64 time = 0;
        quint64 size = 0;
        in >> set.database >> time >> size;
        if (in.status() != QDataStream::Ok || size > quint64(bytes.size() - at))
            throw malformed(device);
        set.image = bytes.mid(at, qsizetype(size));
        at += qsizetype(size);
        if (checksumOf(header, set.image) != sum)
            throw ServerError(3189,
                QStringLiteral(
                    "Damage to the backup set was detected. The checksum of backup set %1 on device "
                    "'%2' does not match its content.")
                    .arg(sets.size() + 1)
                    .arg(device),
                16, 1);
        set.time = QDateTime::fromMSecsSinceEpoch(time);
        sets.append(set);
    }
    return sets;
}

QByteArray BackupFile::readDevice(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw cannotOpen(path, QFileInfo::exists(path) ? EACCES : ENOENT);
    return file.readAll();
}

void BackupFile::writeDevice(const QString& path, const QByteArray& bytes)
{
    const QString temporary = path + QStringLiteral(".part-%1").arg(QCoreApplication::applicationPid());
    const int descriptor
        = ::open(QFile::encodeName(temporary).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (descriptor < 0)
        throw cannotOpen(path, errno);
    qsizetype written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(descriptor, bytes.constData() + written, size_t(bytes.size() - written));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            const int error = errno;
            ::close(descriptor);
            ::unlink(QFile::encodeName(temporary).constData());
            throw cannotOpen(path, error);
        }
        written += n;
    }
    syncFile(descriptor);
    ::close(descriptor);
    FaultPoint::reach("backup-before-rename");
    if (::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(path).constData()) != 0) {
        const int error = errno;
        ::unlink(QFile::encodeName(temporary).constData());
        throw cannotOpen(path, error);
    }
    syncDirectoryOf(path);
}

void BackupFile::syncFile(int descriptor)
{
    ::fsync(descriptor);
}

void BackupFile::syncDirectoryOf(const QString& path)
{
    const int directory = ::open(
        QFile::encodeName(QFileInfo(path).absolutePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (directory >= 0) {
        ::fsync(directory);
        ::close(directory);
    }
}

} // namespace glimora::engine

#pragma once

#include "engine/backup/FileDescriptor.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

namespace glimora::engine {

// The backup file format: one or more backup sets, one after the other. Each set is a
// marker, a header (format version, database name, time, image size), a checksum over
// header and image (SetChecksum: its kind and size follow the version), and the image
// itself: a complete SQLite database file. Sets of every version read are restored; new
// ones take the current version. Devices are read and written in pieces of a fixed size,
// whatever the size of a database.
class BackupFile
{
public:
    struct Set
    {
        quint32 version = 0;
        QString database;
        QDateTime time;
        QByteArray header; // as stored, for the checksum
        QByteArray checksum;
        int number = 1; // its place on the device, from 1
        qint64 start = 0; // where its marker is
        qint64 imageOffset = 0;
        qint64 imageSize = 0;
    };

    // A device opened for reading. 3201 when it cannot be opened or is not a regular file:
    // a pipe or a device node would hang the server or never end.
    static FileDescriptor openDevice(const QString& path);
    // Every set of the device as its headers describe it, images unread. Throws ServerError
    // naming `device` when the bytes are not a backup file or are cut short.
    static QList<Set> scan(int descriptor, const QString& device);
    // Throws 3241 naming `device` unless its bytes begin as a backup file's do.
    static void checkMedium(int descriptor, const QString& device);
    // Reads the image of `set`, writing it to `out` at `outOffset` unless `out` is negative,
    // and checks it against its checksum (3189).
    static void copyImage(int descriptor, const Set& set, int out, qint64 outOffset, const QString& device);

    // Writes the header of a new set at `offset` of `out`, the image to follow at the
    // returned set's imageOffset.
    static Set beginSet(
        int out, qint64 offset, const QString& database, const QDateTime& time, const QString& device);
    // The header of `set` with the size of its image: what its checksum covers.
    static QByteArray headerOf(const Set& set, qint64 imageSize);
    // Records the size of the image written behind the header, and its checksum.
    static void finishSet(
        int out, Set& set, qint64 imageSize, const QByteArray& checksum, const QString& device);
    // Starts writing a range of a file to disk, without waiting for it.
    static void startFlush(int descriptor, qint64 offset, qint64 size);

    // 3201 naming `path` when the system reports `error`.
    static void failDevice(const QString& path, int error);
    static void readAt(int descriptor, char* data, qint64 size, qint64 offset, const QString& device);
    static void writeAt(int descriptor, const char* data, qint64 size, qint64 offset, const QString& path);
    // fsync, and close when `file` is given; 3201 when either fails.
    static void syncFile(int descriptor, const QString& path);
    static void syncAndClose(FileDescriptor& file, const QString& path);
    static void syncDirectory(int directory, const QString& path);
    static void syncDirectoryOf(const QString& path);
};

} // namespace glimora::engine

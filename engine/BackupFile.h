#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

namespace glimora::engine {

// The backup file format: one or more backup sets, one after the other. Each set is a
// marker, a header (format version, database name, time, image size), a BLAKE2b checksum
// over header and image, and the image itself: a complete SQLite database file.
class BackupFile
{
public:
    struct Set
    {
        QString database;
        QDateTime time;
        QByteArray image;
    };

    static QByteArray encode(const Set& set);
    // Every set of the file's bytes, checked. Throws ServerError naming `device` when the
    // bytes are not a backup file, are cut short, or fail their checksum.
    static QList<Set> decode(const QByteArray& bytes, const QString& device);

    // Reads a whole file; 3201 when it cannot be opened.
    static QByteArray readDevice(const QString& path);
    // Writes `bytes` to `path` so that the file is either complete or absent: a temporary
    // file beside it, flushed to disk, renamed, and the folder synced. 3201 on failure.
    static void writeDevice(const QString& path, const QByteArray& bytes);

    static void syncFile(int descriptor);
    static void syncDirectoryOf(const QString& path);
};

} // namespace glimora::engine

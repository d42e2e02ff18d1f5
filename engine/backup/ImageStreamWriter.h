#pragma once

#include "engine/backup/SetChecksum.h"

#include <QByteArray>
#include <QtGlobal>

#include <memory>

namespace glimora::engine {

// Takes a database image as SQLite writes it, page by page and almost always in order, into
// the device at `offset`, and writes it on in blocks of SetChecksum::BlockSize: one system
// call each, its checksum taken on the way and its flush to disk started at once. So the
// image is never read back (but for its first block, which SQLite changes last) and the
// final flush finds little left to write. Writes out of order are taken too; the checksum
// is then taken from the device at the end.
// The calls that SQLite makes never throw: they answer false with the system's error.
class ImageStreamWriter
{
public:
    ImageStreamWriter(int descriptor, qint64 offset);
    ~ImageStreamWriter();
    ImageStreamWriter(const ImageStreamWriter&) = delete;
    ImageStreamWriter& operator=(const ImageStreamWriter&) = delete;

    bool write(const char* data, qint64 size, qint64 at);
    // For an image copied in order from a file: the free part of the block being gathered,
    // `size` bytes long, for the bytes that follow all written so far; appended() takes
    // the first `size` of them. So a copy reads straight into the block.
    char* room(qint64* size);
    bool appended(qint64 size);
    // The bytes read, the rest of `size` filled with zeros; -1 on an error.
    qint64 read(char* data, qint64 size, qint64 at);
    bool truncate(qint64 size);
    // The size of the image, or -1.
    qint64 size();
    // The error of the last call that failed.
    int error() const { return m_error; }

    // Writes out what is left and returns the size of the image. Throws ServerError naming
    // `device`, as does checksum().
    qint64 complete(const QString& device);
    // The checksum of the completed image, `header` last.
    QByteArray checksum(const QByteArray& header, const QString& device);

private:
    bool completeBlock();
    bool writeThrough(const char* data, qint64 size, qint64 at);
    bool fail(int error);

    int m_descriptor;
    qint64 m_offset;
    QByteArray m_block; // the block being gathered
    qint64 m_index = 0; // which one it is
    qint64 m_filled = 0; // the bytes of it that SQLite wrote, or zeros before them
    bool m_inOrder = true;
    qint64 m_imageSize = 0;
    int m_error = 0;
    std::unique_ptr<SetChecksum> m_checksum;
};

} // namespace glimora::engine

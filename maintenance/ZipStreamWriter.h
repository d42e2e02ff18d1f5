#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <memory>
#include <vector>

class QIODevice;

namespace glimora::maintenance {

// Writes a zip package to a device as its parts are produced: each part is deflated as it is
// written, so no part is ever held whole. Parts and the package stay under 4 GiB (no zip64);
// a part that would pass it fails instead of being cut short.
class ZipStreamWriter
{
public:
    explicit ZipStreamWriter(QIODevice& device);
    ~ZipStreamWriter();
    ZipStreamWriter(const ZipStreamWriter&) = delete;
    ZipStreamWriter& operator=(const ZipStreamWriter&) = delete;

    // Every call returns false once anything has failed; errorString() tells what.
    bool beginPart(const QByteArray& name);
    bool write(QByteArrayView bytes);
    bool endPart();
    bool addPart(const QByteArray& name, QByteArrayView content);
    // Writes the directory; the package is complete when this returns true.
    bool finish();

    QString errorString() const { return m_error; }

private:
    struct Entry
    {
        QByteArray name;
        quint32 crc = 0;
        quint64 compressedSize = 0;
        quint64 size = 0;
        quint64 offset = 0;
    };
    struct Deflater;

    bool deflate(QByteArrayView bytes, bool last);
    bool put(QByteArrayView bytes);
    bool fail(const QString& reason);

    QIODevice& m_device;
    std::unique_ptr<Deflater> m_deflater;
    std::vector<Entry> m_entries;
    QByteArray m_output;
    quint64 m_written = 0;
    bool m_inPart = false;
    QString m_error;
};

} // namespace glimora::maintenance

#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class QIODevice;

namespace glimora::maintenance {

// Writes a zip package to a device as its parts are produced: each part is deflated as it is
// written, so no part is ever held whole. The deflating and writing of a part's pieces run on
// a thread of their own, beside the making of the next ones; at most two pieces wait. Parts
// and the package stay under 4 GiB (no zip64); a part that would pass it fails instead of
// being cut short.
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
    bool write(QByteArray&& bytes);
    bool endPart();
    bool addPart(const QByteArray& name, QByteArrayView content);
    // Writes the directory; the package is complete when this returns true.
    bool finish();

    QString errorString() const;

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
    bool failed() const;
    // Waits until the pieces handed over are written; false when one failed.
    bool drain();
    void deflateHandedOver();

    QIODevice& m_device;
    std::unique_ptr<Deflater> m_deflater;
    std::vector<Entry> m_entries;
    QByteArray m_output;
    quint64 m_written = 0;
    bool m_inPart = false;

    mutable std::mutex m_mutex; // guards what follows
    std::condition_variable m_changed;
    std::deque<QByteArray> m_handedOver;
    bool m_working = false; // a piece is being deflated
    bool m_stopping = false;
    QString m_error;
    std::thread m_worker; // last: started once the rest is ready
};

} // namespace glimora::maintenance

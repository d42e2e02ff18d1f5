#include "maintenance/ZipStreamWriter.h"

#include <QIODevice>

#include <limits>
#include <zlib.h>

namespace glimora::maintenance {

namespace {

constexpr quint64 ZipLimit = std::numeric_limits<quint32>::max();
constexpr int OutputChunk = 256 * 1024;
// Bit 3: sizes and checksum follow the data; bit 11: names are UTF-8.
constexpr quint16 Flags = 0x0808;
constexpr quint16 Deflated = 8;
constexpr quint16 Version = 20;
// 1 January 2000, 00:00, in DOS form: a fixed stamp keeps the package the same for the same data.
constexpr quint16 DosTime = 0;
constexpr quint16 DosDate = ((2000 - 1980) << 9) | (1 << 5) | 1;

void put16(QByteArray& out, quint16 value)
{
    out.append(char(value & 0xff));
    out.append(char(value >> 8));
}

void put32(QByteArray& out, quint32 value)
{
    put16(out, quint16(value & 0xffff));
    put16(out, quint16(value >> 16));
}

} // namespace

struct ZipStreamWriter::Deflater
{
    z_stream stream {};
    bool open = false;
    ~Deflater()
    {
        if (open)
            deflateEnd(&stream);
    }
};

ZipStreamWriter::ZipStreamWriter(QIODevice& device)
    : m_device(device)
    , m_worker([this] { deflateHandedOver(); })
{
}

ZipStreamWriter::~ZipStreamWriter()
{
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
    }
    m_changed.notify_all();
    m_worker.join();
}

QString ZipStreamWriter::errorString() const
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_error;
}

bool ZipStreamWriter::fail(const QString& reason)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (m_error.isEmpty())
        m_error = reason;
    return false;
}

bool ZipStreamWriter::failed() const
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    return !m_error.isEmpty();
}

// The worker: the pieces of the open part, in order. Only it touches the compressor and the
// part's entry while pieces wait; the other calls drain first.
void ZipStreamWriter::deflateHandedOver()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_stopping || !m_handedOver.empty(); });
        // A writer given up before its end (a cancel) writes nothing more.
        if (m_stopping)
            return;
        QByteArray piece = std::move(m_handedOver.front());
        m_handedOver.pop_front();
        const bool skip = !m_error.isEmpty();
        m_working = true;
        lock.unlock();
        m_changed.notify_all();
        if (!skip) {
            // zlib counts in 32 bits.
            for (QByteArrayView rest(piece); !rest.isEmpty();) {
                const QByteArrayView part = rest.first(qMin<qsizetype>(rest.size(), 1 << 30));
                if (!deflate(part, false))
                    break;
                rest = rest.sliced(part.size());
            }
        }
        piece = QByteArray();
        lock.lock();
        m_working = false;
        m_changed.notify_all();
    }
}

bool ZipStreamWriter::drain()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait(lock, [this] { return m_handedOver.empty() && !m_working; });
    return m_error.isEmpty();
}

bool ZipStreamWriter::put(QByteArrayView bytes)
{
    if (failed())
        return false;
    if (m_written + quint64(bytes.size()) > ZipLimit)
        return fail(QStringLiteral("the package would pass 4 GiB"));
    if (m_device.write(bytes.data(), bytes.size()) != bytes.size())
        return fail(m_device.errorString());
    m_written += quint64(bytes.size());
    return true;
}

bool ZipStreamWriter::beginPart(const QByteArray& name)
{
    if (!drain())
        return false;
    if (m_inPart)
        return fail(QStringLiteral("a part is already open"));
    m_deflater = std::make_unique<Deflater>();
    // Level 1: the sheet is mostly repeated markup, which the fastest level packs well enough.
    if (deflateInit2(&m_deflater->stream, 1, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        return fail(QStringLiteral("the compressor could not start"));
    m_deflater->open = true;
    Entry entry;
    entry.name = name;
    entry.offset = m_written;
    entry.crc = quint32(crc32(0, nullptr, 0));
    QByteArray header;
    put32(header, 0x04034b50);
    put16(header, Version);
    put16(header, Flags);
    put16(header, Deflated);
    put16(header, DosTime);
    put16(header, DosDate);
    put32(header, 0);
    put32(header, 0);
    put32(header, 0);
    put16(header, quint16(name.size()));
    put16(header, 0);
    header.append(name);
    m_entries.push_back(entry);
    m_inPart = true;
    return put(header);
}

bool ZipStreamWriter::deflate(QByteArrayView bytes, bool last)
{
    z_stream& stream = m_deflater->stream;
    Entry& entry = m_entries.back();
    if (entry.size + quint64(bytes.size()) > ZipLimit)
        return fail(QStringLiteral("a part would pass 4 GiB"));
    entry.size += quint64(bytes.size());
    // Given no bytes at all, crc32 answers its starting value, not the running one.
    if (!bytes.isEmpty())
        entry.crc
            = quint32(crc32(entry.crc, reinterpret_cast<const Bytef*>(bytes.data()), uInt(bytes.size())));
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    stream.avail_in = uInt(bytes.size());
    do {
        m_output.resize(OutputChunk);
        stream.next_out = reinterpret_cast<Bytef*>(m_output.data());
        stream.avail_out = uInt(m_output.size());
        const int status = ::deflate(&stream, last ? Z_FINISH : Z_NO_FLUSH);
        if (status == Z_STREAM_ERROR)
            return fail(QStringLiteral("the compressor failed"));
        const qsizetype produced = m_output.size() - qsizetype(stream.avail_out);
        entry.compressedSize += quint64(produced);
        if (produced > 0 && !put(QByteArrayView(m_output.constData(), produced)))
            return false;
    } while (stream.avail_out == 0 || (last && stream.avail_in > 0));
    return true;
}

bool ZipStreamWriter::write(QByteArrayView bytes)
{
    return write(bytes.toByteArray());
}

bool ZipStreamWriter::write(QByteArray&& bytes)
{
    if (!m_inPart)
        return fail(QStringLiteral("no part is open"));
    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait(lock, [this] { return m_handedOver.size() < 2 || !m_error.isEmpty(); });
    if (!m_error.isEmpty())
        return false;
    if (!bytes.isEmpty())
        m_handedOver.push_back(std::move(bytes));
    lock.unlock();
    m_changed.notify_all();
    return true;
}

bool ZipStreamWriter::endPart()
{
    if (!drain())
        return false;
    if (!m_inPart)
        return fail(QStringLiteral("no part is open"));
    if (!deflate({}, true))
        return false;
    m_deflater.reset();
    m_inPart = false;
    const Entry& entry = m_entries.back();
    QByteArray descriptor;
    put32(descriptor, 0x08074b50);
    put32(descriptor, entry.crc);
    put32(descriptor, quint32(entry.compressedSize));
    put32(descriptor, quint32(entry.size));
    return put(descriptor);
}

bool ZipStreamWriter::addPart(const QByteArray& name, QByteArrayView content)
{
    return beginPart(name) && write(content) && endPart();
}

bool ZipStreamWriter::finish()
{
    if (!drain())
        return false;
    if (m_inPart)
        return fail(QStringLiteral("a part is still open"));
    const quint64 directoryStart = m_written;
    QByteArray directory;
    for (const Entry& entry : m_entries) {
        put32(directory, 0x02014b50);
        put16(directory, Version);
        put16(directory, Version);
        put16(directory, Flags);
        put16(directory, Deflated);
        put16(directory, DosTime);
        put16(directory, DosDate);
        put32(directory, entry.crc);
        put32(directory, quint32(entry.compressedSize));
        put32(directory, quint32(entry.size));
        put16(directory, quint16(entry.name.size()));
        put16(directory, 0);
        put16(directory, 0);
        put16(directory, 0);
        put16(directory, 0);
        put32(directory, 0);
        put32(directory, quint32(entry.offset));
        directory.append(entry.name);
    }
    if (!put(directory))
        return false;
    QByteArray end;
    put32(end, 0x06054b50);
    put16(end, 0);
    put16(end, 0);
    put16(end, quint16(m_entries.size()));
    put16(end, quint16(m_entries.size()));
    put32(end, quint32(directory.size()));
    put32(end, quint32(directoryStart));
    put16(end, 0);
    return put(end);
}

} // namespace glimora::maintenance

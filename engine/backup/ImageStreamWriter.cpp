#include "engine/backup/ImageStreamWriter.h"

#include "engine/backup/BackupFile.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace glimora::engine {

namespace {

constexpr qint64 BlockSize = SetChecksum::BlockSize;

} // namespace

ImageStreamWriter::ImageStreamWriter(int descriptor, qint64 offset)
    : m_descriptor(descriptor)
    , m_offset(offset)
    , m_block(BlockSize, Qt::Uninitialized)
    , m_checksum(std::make_unique<SetChecksum>())
{
}

ImageStreamWriter::~ImageStreamWriter() = default;

bool ImageStreamWriter::fail(int error)
{
    m_error = error;
    return false;
}

bool ImageStreamWriter::writeThrough(const char* data, qint64 size, qint64 at)
{
    qint64 done = 0;
    while (done < size) {
        const ssize_t n = ::pwrite(m_descriptor, data + done, size_t(size - done), m_offset + at + done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return fail(n < 0 ? errno : EIO);
        done += n;
    }
    return true;
}

bool ImageStreamWriter::completeBlock()
{
    const qint64 start = m_index * BlockSize;
    if (!writeThrough(m_block.constData(), m_filled, start))
        return false;
    if (m_index > 0)
        m_checksum->addBlock(m_index, m_block.constData(), m_filled);
    BackupFile::startFlush(m_descriptor, m_offset + start, m_filled);
    ++m_index;
    m_filled = 0;
    return true;
}

bool ImageStreamWriter::write(const char* data, qint64 size, qint64 at)
{
    while (size > 0) {
        const qint64 index = at / BlockSize;
        const qint64 within = at % BlockSize;
        const qint64 take = qMin(size, BlockSize - within);
        if (index > m_index) {
            // Pages SQLite skips (the lock page at 1 GiB) read as zeros, as a hole would.
            std::memset(m_block.data() + m_filled, 0, size_t(BlockSize - m_filled));
            m_filled = BlockSize;
            if (!completeBlock())
                return false;
            continue;
        }
        if (index < m_index) {
            if (!writeThrough(data, take, at))
                return false;
            // The first block's checksum is taken at the end anyway.
            if (index > 0)
                m_inOrder = false;
        } else {
            if (within > m_filled)
                std::memset(m_block.data() + m_filled, 0, size_t(within - m_filled));
            std::memcpy(m_block.data() + within, data, size_t(take));
            m_filled = qMax(m_filled, within + take);
            if (m_filled == BlockSize && !completeBlock())
                return false;
        }
        data += take;
        at += take;
        size -= take;
    }
    return true;
}

char* ImageStreamWriter::room(qint64* size)
{
    *size = BlockSize - m_filled;
    return m_block.data() + m_filled;
}

bool ImageStreamWriter::appended(qint64 size)
{
    m_filled += size;
    return m_filled < BlockSize || completeBlock();
}

qint64 ImageStreamWriter::read(char* data, qint64 size, qint64 at)
{
    qint64 done = 0;
    while (done < size) {
        const qint64 index = (at + done) / BlockSize;
        const qint64 within = (at + done) % BlockSize;
        qint64 take = qMin(size - done, BlockSize - within);
        if (index == m_index) {
            // The block being gathered holds the end of the image.
            take = qMin(take, m_filled - within);
            if (take <= 0)
                break;
            std::memcpy(data + done, m_block.constData() + within, size_t(take));
        } else if (index < m_index) {
            const ssize_t n = ::pread(m_descriptor, data + done, size_t(take), m_offset + at + done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                fail(errno);
                return -1;
            }
            if (n == 0)
                break;
            take = n;
        } else {
            break;
        }
        done += take;
    }
    std::memset(data + done, 0, size_t(size - done));
    return done;
}

qint64 ImageStreamWriter::size()
{
    struct stat status;
    if (::fstat(m_descriptor, &status) != 0) {
        fail(errno);
        return -1;
    }
    return qMax(status.st_size - m_offset, m_index * BlockSize + m_filled);
}

bool ImageStreamWriter::truncate(qint64 size)
{
    if (m_filled > 0 && !writeThrough(m_block.constData(), m_filled, m_index * BlockSize))
        return false;
    if (::ftruncate(m_descriptor, m_offset + size) != 0)
        return fail(errno);
    const qint64 start = m_index * BlockSize;
    if (size < start)
        m_inOrder = false;
    else
        m_filled = qMin(m_filled, size - start);
    return true;
}

qint64 ImageStreamWriter::complete(const QString& device)
{
    if (m_filled > 0 && !writeThrough(m_block.constData(), m_filled, m_index * BlockSize))
        BackupFile::failDevice(device, m_error);
    struct stat status;
    if (::fstat(m_descriptor, &status) != 0)
        BackupFile::failDevice(device, errno);
    m_imageSize = status.st_size - m_offset;
    if (m_index > 0 && m_filled > 0)
        m_checksum->addBlock(m_index, m_block.constData(), m_filled);
    m_inOrder = m_inOrder && m_index * BlockSize + m_filled == m_imageSize;
    return m_imageSize;
}

QByteArray ImageStreamWriter::checksum(const QByteArray& header, const QString& device)
{
    // Every block is read back when SQLite did not write them in order.
    const qint64 readBack = m_inOrder ? qMin(m_imageSize, BlockSize) : m_imageSize;
    if (!m_inOrder)
        m_checksum = std::make_unique<SetChecksum>();
    for (qint64 start = 0; start < readBack; start += BlockSize) {
        const qint64 size = qMin(BlockSize, readBack - start);
        BackupFile::readAt(m_descriptor, m_block.data(), size, m_offset + start, device);
        m_checksum->addBlock(start / BlockSize, m_block.constData(), size);
    }
    return m_checksum->result(header);
}

} // namespace glimora::engine

#include "engine/workbook/ZipPackage.h"

#include "engine/workbook/WorkbookError.h"

#include <memory>
#include <QFile>
#include <zip.h>

namespace glimora::engine {

namespace {

constexpr qint64 chunkSize = 64 * 1024;

struct ZipFileCloser
{
    void operator()(zip_file_t* file) const { zip_fclose(file); }
};

QString sizeText(qint64 bytes)
{
    if (bytes >= 1024 * 1024)
        return QStringLiteral("%1 MB").arg(bytes / (1024 * 1024));
    return QStringLiteral("%1 bytes").arg(bytes);
}

} // namespace

ZipPackage::ZipPackage(const QString& path, Limits limits)
    : m_path(path)
    , m_limits(limits)
{
    int error = 0;
    m_archive = zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY | ZIP_CHECKCONS, &error);
    if (m_archive == nullptr) {
        if (error == ZIP_ER_NOENT || error == ZIP_ER_OPEN || error == ZIP_ER_READ)
            throw WorkbookError::missingFile(path);
        zip_error_t details;
        zip_error_init_with_code(&details, error);
        const QString reason = QString::fromUtf8(zip_error_strerror(&details));
        zip_error_fini(&details);
        throw WorkbookError::damaged(path, reason);
    }
    if (zip_get_num_entries(m_archive, 0) > m_limits.maximumEntries) {
        zip_discard(m_archive);
        m_archive = nullptr;
        throw WorkbookError::tooLarge(
            path, QStringLiteral("more than %1 parts").arg(m_limits.maximumEntries));
    }
}

ZipPackage::~ZipPackage()
{
    if (m_archive != nullptr)
        zip_discard(m_archive);
}

qint64 ZipPackage::locate(const QString& name) const
{
    return zip_name_locate(m_archive, name.toUtf8().constData(), ZIP_FL_NOCASE);
}

bool ZipPackage::contains(const QString& name) const
{
    return locate(name) >= 0;
}

QByteArray ZipPackage::read(const QString& name)
{
    QByteArray content;
    readChunks(name, [&content](QByteArrayView chunk) { content.append(chunk); });
    return content;
}

void ZipPackage::readChunks(const QString& name, const std::function<void(QByteArrayView)>& consumer)
{
    const qint64 index = locate(name);
    if (index < 0)
        throw WorkbookError::damaged(m_path, QStringLiteral("the part %1 is missing").arg(name));
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_stat_index(m_archive, index, 0, &stat) == 0 && (stat.valid & ZIP_STAT_SIZE) != 0
        && stat.size > quint64(m_limits.maximumEntrySize))
        throw WorkbookError::tooLarge(
            m_path, QStringLiteral("the part %1 exceeds %2").arg(name, sizeText(m_limits.maximumEntrySize)));

    std::unique_ptr<zip_file_t, ZipFileCloser> file(zip_fopen_index(m_archive, index, 0));
    if (!file)
        throw WorkbookError::damaged(m_path, QStringLiteral("the part %1 cannot be opened").arg(name));
    QByteArray buffer(chunkSize, Qt::Uninitialized);
    qint64 entryRead = 0;
    for (;;) {
        const zip_int64_t count = zip_fread(file.get(), buffer.data(), zip_uint64_t(buffer.size()));
        if (count < 0)
            throw WorkbookError::damaged(m_path, QStringLiteral("the part %1 cannot be inflated").arg(name));
        if (count == 0)
            break;
        entryRead += count;
        m_totalRead += count;
        if (entryRead > m_limits.maximumEntrySize)
            throw WorkbookError::tooLarge(m_path,
                QStringLiteral("the part %1 exceeds %2").arg(name, sizeText(m_limits.maximumEntrySize)));
        if (m_totalRead > m_limits.maximumTotalSize)
            throw WorkbookError::tooLarge(
                m_path, QStringLiteral("its parts exceed %1").arg(sizeText(m_limits.maximumTotalSize)));
        consumer(QByteArrayView(buffer.constData(), count));
    }
}

} // namespace glimora::engine

#include "tests/engine/workbook/ZipWriter.h"

#include <gtest/gtest.h>
#include <QFile>
#include <zip.h>

namespace ZipWriter {

void putPart(const QString& path, const QString& part, const QByteArray& content, bool compress)
{
    int error = 0;
    zip_t* archive = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE, &error);
    ASSERT_NE(archive, nullptr) << "zip_open error " << error;
    // libzip reads the source when the archive is closed, so it gets a copy to own.
    void* copy = malloc(size_t(content.size()) + 1);
    memcpy(copy, content.constData(), size_t(content.size()));
    zip_source_t* source = zip_source_buffer(archive, copy, zip_uint64_t(content.size()), 1);
    const zip_int64_t index = zip_file_add(archive, part.toUtf8().constData(), source, ZIP_FL_OVERWRITE);
    ASSERT_GE(index, 0);
    zip_set_file_compression(archive, zip_uint64_t(index), compress ? ZIP_CM_DEFLATE : ZIP_CM_STORE, 9);
    ASSERT_EQ(zip_close(archive), 0) << zip_strerror(archive);
}

QByteArray readPart(const QString& path, const QString& part)
{
    int error = 0;
    zip_t* archive = zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY, &error);
    if (archive == nullptr)
        return {};
    QByteArray content;
    zip_stat_t stat;
    if (zip_stat(archive, part.toUtf8().constData(), 0, &stat) == 0) {
        zip_file_t* file = zip_fopen(archive, part.toUtf8().constData(), 0);
        content.resize(qsizetype(stat.size));
        zip_fread(file, content.data(), stat.size);
        zip_fclose(file);
    }
    zip_discard(archive);
    return content;
}

} // namespace ZipWriter

#include "tools/workbook-writer/ZipWriter.h"

#include <QFile>
#include <zip.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace ZipWriter {

bool putPart(const QString& path, const QString& part, const QByteArray& content, bool compress)
{
    int error = 0;
    zip_t* archive = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE, &error);
    if (archive == nullptr) {
        std::fprintf(stderr, "ZipWriter: zip_open error %d\n", error);
        return false;
    }
    // libzip reads the source when the archive is closed, so it gets a copy to own.
    void* copy = std::malloc(size_t(content.size()) + 1);
    std::memcpy(copy, content.constData(), size_t(content.size()));
    zip_source_t* source = zip_source_buffer(archive, copy, zip_uint64_t(content.size()), 1);
    if (source == nullptr) {
        std::free(copy);
        zip_discard(archive);
        return false;
    }
    const zip_int64_t index = zip_file_add(archive, part.toUtf8().constData(), source, ZIP_FL_OVERWRITE);
    if (index < 0) {
        zip_source_free(source);
        zip_discard(archive);
        return false;
    }
    zip_set_file_compression(archive, zip_uint64_t(index), compress ? ZIP_CM_DEFLATE : ZIP_CM_STORE, 9);
    if (zip_close(archive) != 0) {
        std::fprintf(stderr, "ZipWriter: %s\n", zip_strerror(archive));
        zip_discard(archive);
        return false;
    }
    return true;
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
        if (file != nullptr) {
            content.resize(qsizetype(stat.size));
            if (zip_fread(file, content.data(), stat.size) != zip_int64_t(stat.size))
                content.clear();
            zip_fclose(file);
        }
    }
    zip_discard(archive);
    return content;
}

} // namespace ZipWriter

#include "engine/backup/ImageFileVfs.h"

#include "engine/backup/ImageStreamWriter.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <QByteArray>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

namespace glimora::engine {

namespace {

constexpr char VfsName[] = "glimora-image";

// A check reads the image a page at a time, mostly in the order of the file (a b-tree's
// leaves, an overflow chain): read in pieces of this size once it goes in order, a page
// costs a copy instead of a system call.
constexpr int AheadSize = 256 << 10;

struct ImageFile
{
    sqlite3_file base;
    int descriptor;
    sqlite3_int64 offset;
    sqlite3_int64 limit; // -1: none
    ImageStreamWriter* writer; // takes every call when set
    // Read-only images: bytes of the file from aheadAt, and where the last read ended.
    char* ahead;
    int aheadSize;
    sqlite3_int64 aheadAt;
    sqlite3_int64 lastEnd;
};

ImageFile* imageOf(sqlite3_file* file)
{
    return reinterpret_cast<ImageFile*>(file);
}

int closeImage(sqlite3_file* file)
{
    std::free(imageOf(file)->ahead);
    imageOf(file)->ahead = nullptr;
    return SQLITE_OK; // the descriptor is the caller's
}

// Reads from `at` of the image into `out` as far as the file goes; the bytes read, or -1.
qint64 readFile(const ImageFile* image, char* out, qint64 amount, sqlite3_int64 at)
{
    qint64 done = 0;
    while (done < amount) {
        const ssize_t n
            = ::pread(image->descriptor, out + done, size_t(amount - done), image->offset + at + done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return -1;
        if (n == 0)
            break;
        done += n;
    }
    return done;
}

// Serves a read of a read-only image from the bytes read ahead, reading the next piece
// when the reads go in order; false when the read is to go to the file.
bool readAhead(ImageFile* image, char* out, int amount, sqlite3_int64 at)
{
    const bool inOrder = at == image->lastEnd;
    image->lastEnd = at + amount;
    const auto holds
        = [&] { return at >= image->aheadAt && at + amount <= image->aheadAt + image->aheadSize; };
    if (!holds()) {
        if (!inOrder || amount >= AheadSize)
            return false;
        const qint64 got = readFile(image, image->ahead, AheadSize, at);
        image->aheadAt = at;
        image->aheadSize = int(qMax<qint64>(got, 0));
        if (!holds())
            return false;
    }
    std::memcpy(out, image->ahead + (at - image->aheadAt), size_t(amount));
    return true;
}

int readImage(sqlite3_file* file, void* buffer, int amount, sqlite3_int64 at)
{
    ImageFile* image = imageOf(file);
    if (image->writer) {
        const qint64 read = image->writer->read(static_cast<char*>(buffer), amount, at);
        return read < 0 ? SQLITE_IOERR_READ : read < amount ? SQLITE_IOERR_SHORT_READ : SQLITE_OK;
    }
    char* out = static_cast<char*>(buffer);
    if (image->ahead && readAhead(image, out, amount, at))
        return SQLITE_OK;
    const qint64 done = readFile(image, out, amount, at);
    if (done < 0)
        return SQLITE_IOERR_READ;
    if (done < amount) {
        std::memset(out + done, 0, size_t(amount - done));
        return SQLITE_IOERR_SHORT_READ;
    }
    return SQLITE_OK;
}

int writeImage(sqlite3_file* file, const void* buffer, int amount, sqlite3_int64 at)
{
    const ImageFile* image = imageOf(file);
    if (image->writer) {
        if (image->writer->write(static_cast<const char*>(buffer), amount, at))
            return SQLITE_OK;
        return image->writer->error() == ENOSPC ? SQLITE_FULL : SQLITE_IOERR_WRITE;
    }
    const char* in = static_cast<const char*>(buffer);
    int done = 0;
    while (done < amount) {
        const ssize_t n
            = ::pwrite(image->descriptor, in + done, size_t(amount - done), image->offset + at + done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return errno == ENOSPC ? SQLITE_FULL : SQLITE_IOERR_WRITE;
        done += int(n);
    }
    return SQLITE_OK;
}

int truncateImage(sqlite3_file* file, sqlite3_int64 size)
{
    const ImageFile* image = imageOf(file);
    if (image->writer)
        return image->writer->truncate(size) ? SQLITE_OK : SQLITE_IOERR_TRUNCATE;
    return ::ftruncate(image->descriptor, image->offset + size) == 0 ? SQLITE_OK : SQLITE_IOERR_TRUNCATE;
}

int syncImage(sqlite3_file*, int)
{
    return SQLITE_OK; // the owner of the file flushes it once, when everything is written
}

int imageSize(sqlite3_file* file, sqlite3_int64* size)
{
    const ImageFile* image = imageOf(file);
    if (image->writer) {
        *size = image->writer->size();
        return *size < 0 ? SQLITE_IOERR_FSTAT : SQLITE_OK;
    }
    struct stat status;
    if (::fstat(image->descriptor, &status) != 0)
        return SQLITE_IOERR_FSTAT;
    *size = qMax<sqlite3_int64>(0, status.st_size - image->offset);
    if (image->limit >= 0)
        *size = qMin(*size, image->limit);
    return SQLITE_OK;
}

int lockImage(sqlite3_file*, int)
{
    return SQLITE_OK;
}

int checkReservedLock(sqlite3_file*, int* reserved)
{
    *reserved = 0;
    return SQLITE_OK;
}

int fileControl(sqlite3_file*, int, void*)
{
    return SQLITE_NOTFOUND;
}

int sectorSize(sqlite3_file*)
{
    return 4096;
}

int deviceCharacteristics(sqlite3_file*)
{
    return 0;
}

const sqlite3_io_methods methods = {
    1,
    closeImage,
    readImage,
    writeImage,
    truncateImage,
    syncImage,
    imageSize,
    lockImage,
    lockImage,
    checkReservedLock,
    fileControl,
    sectorSize,
    deviceCharacteristics,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
};

sqlite3_vfs* defaultVfs()
{
    static sqlite3_vfs* vfs = sqlite3_vfs_find(nullptr);
    return vfs;
}

int openImage(sqlite3_vfs*, const char* name, sqlite3_file* file, int flags, int* outFlags)
{
    file->pMethods = nullptr;
    // Only the database itself: with no journal and memory for temporary data, nothing else is asked for.
    if (!(flags & SQLITE_OPEN_MAIN_DB) || !name)
        return SQLITE_CANTOPEN;
    ImageFile* image = imageOf(file);
    image->descriptor = int(sqlite3_uri_int64(name, "fd", -1));
    image->offset = sqlite3_uri_int64(name, "offset", -1);
    image->limit = sqlite3_uri_int64(name, "size", -1);
    image->writer = reinterpret_cast<ImageStreamWriter*>(quintptr(sqlite3_uri_int64(name, "writer", 0)));
    image->ahead = nullptr;
    image->aheadSize = 0;
    image->aheadAt = 0;
    image->lastEnd = -1;
    if (image->descriptor < 0 || image->offset < 0)
        return SQLITE_CANTOPEN;
    // Without the memory the image is read a page at a time.
    if ((flags & SQLITE_OPEN_READONLY) && !image->writer)
        image->ahead = static_cast<char*>(std::malloc(AheadSize));
    file->pMethods = &methods;
    if (outFlags)
        *outFlags = flags;
    return SQLITE_OK;
}

int deleteFile(sqlite3_vfs*, const char*, int)
{
    return SQLITE_OK;
}

int accessFile(sqlite3_vfs*, const char*, int, int* result)
{
    *result = 0;
    return SQLITE_OK;
}

int fullPathname(sqlite3_vfs*, const char* name, int size, char* out)
{
    sqlite3_snprintf(size, out, "%s", name);
    return SQLITE_OK;
}

int randomness(sqlite3_vfs*, int size, char* out)
{
    return defaultVfs()->xRandomness(defaultVfs(), size, out);
}

int sleepFor(sqlite3_vfs*, int microseconds)
{
    return defaultVfs()->xSleep(defaultVfs(), microseconds);
}

int currentTime(sqlite3_vfs*, double* now)
{
    return defaultVfs()->xCurrentTime(defaultVfs(), now);
}

int lastError(sqlite3_vfs*, int size, char* out)
{
    return defaultVfs()->xGetLastError(defaultVfs(), size, out);
}

int currentTimeInt64(sqlite3_vfs*, sqlite3_int64* now)
{
    return defaultVfs()->xCurrentTimeInt64(defaultVfs(), now);
}

void registerVfs()
{
    static sqlite3_vfs vfs;
    static const bool registered = [] {
        vfs.iVersion = 2;
        vfs.szOsFile = int(sizeof(ImageFile));
        vfs.mxPathname = 512;
        vfs.zName = VfsName;
        vfs.xOpen = openImage;
        vfs.xDelete = deleteFile;
        vfs.xAccess = accessFile;
        vfs.xFullPathname = fullPathname;
        vfs.xRandomness = randomness;
        vfs.xSleep = sleepFor;
        vfs.xCurrentTime = currentTime;
        vfs.xGetLastError = lastError;
        vfs.xCurrentTimeInt64 = currentTimeInt64;
        return sqlite3_vfs_register(&vfs, 0) == SQLITE_OK;
    }();
    Q_UNUSED(registered);
}

} // namespace

sqlite3* ImageFileVfs::open(int descriptor, qint64 offset, qint64 size, bool readOnly)
{
    return open(descriptor, offset, size, readOnly, nullptr);
}

sqlite3* ImageFileVfs::open(ImageStreamWriter& writer)
{
    return open(0, 0, -1, false, &writer);
}

sqlite3* ImageFileVfs::open(
    int descriptor, qint64 offset, qint64 size, bool readOnly, ImageStreamWriter* writer)
{
    registerVfs();
    const QByteArray uri = QByteArrayLiteral("file:image?fd=") + QByteArray::number(descriptor)
        + QByteArrayLiteral("&offset=") + QByteArray::number(offset) + QByteArrayLiteral("&size=")
        + QByteArray::number(size) + QByteArrayLiteral("&writer=")
        + QByteArray::number(qint64(reinterpret_cast<quintptr>(writer)));
    sqlite3* db = nullptr;
    const int flags
        = SQLITE_OPEN_URI | (readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    if (sqlite3_open_v2(uri.constData(), &db, flags, VfsName) != SQLITE_OK
        || sqlite3_exec(db, "PRAGMA temp_store=MEMORY", nullptr, nullptr, nullptr) != SQLITE_OK
        || (!readOnly
            && sqlite3_exec(db, "PRAGMA journal_mode=OFF", nullptr, nullptr, nullptr) != SQLITE_OK)) {
        sqlite3_close(db);
        return nullptr;
    }
    return db;
}

} // namespace glimora::engine

#include "engine/backup/ImageStreamWriter.h"
#include "engine/backup/ImageFileVfs.h"
#include "engine/backup/SetChecksum.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <sqlite3.h>
#include <unistd.h>

using namespace glimora::engine;

namespace {

constexpr qint64 PageSize = 4096;
constexpr qint64 ImageOffset = 100; // behind a set's header

// What a restore computes: the checksum of the bytes the device holds.
QByteArray checksumOnDevice(int descriptor, qint64 size, const QByteArray& header)
{
    SetChecksum checksum(SetChecksum::CurrentVersion, header);
    QByteArray block(SetChecksum::BlockSize, '\0');
    for (qint64 at = 0; at < size; at += SetChecksum::BlockSize) {
        const qint64 length = qMin(SetChecksum::BlockSize, size - at);
        EXPECT_EQ(::pread(descriptor, block.data(), size_t(length), ImageOffset + at), length);
        checksum.addBlock(at / SetChecksum::BlockSize, block.constData(), length);
    }
    return checksum.result();
}

} // namespace

// SQLite writes a backup's pages in order but for the first, which it changes last, and
// skips the lock page at 1 GiB; the writer must also stay right for any other order.
TEST(ImageStreamWriterTest, TheChecksumIsThatOfTheBytesOnTheDeviceWhateverTheOrderOfWrites)
{
    constexpr qint64 Pages = 600; // two blocks and a part
    QList<qint64> inOrder;
    for (qint64 page = 0; page < Pages; ++page)
        inOrder << page;
    QList<qint64> backwards(inOrder.rbegin(), inOrder.rend());
    QList<qint64> skipping = inOrder;
    skipping.removeAll(256); // the first page of the second block stays a hole
    const struct
    {
        const char* name;
        QList<qint64> pages;
    } cases[] = {
        { "in order, the first page again at the end", inOrder + QList<qint64> { 0 } },
        { "a page skipped", skipping },
        { "a page of a finished block again", inOrder + QList<qint64> { 300 } },
        { "backwards", backwards },
        { "within the first block only", { 0, 1, 2, 0 } },
    };
    const QByteArray header("header of the set");
    for (const auto& writes : cases) {
        SCOPED_TRACE(writes.name);
        QTemporaryFile device;
        ASSERT_TRUE(device.open());
        ASSERT_TRUE(device.write(QByteArray(ImageOffset, 'h')));
        ASSERT_TRUE(device.flush());
        const int descriptor = int(device.handle());
        ImageStreamWriter writer(descriptor, ImageOffset);
        int pass = 0;
        qint64 end = 0;
        for (const qint64 page : writes.pages) {
            const QByteArray content(PageSize, char(page * 7 + ++pass));
            ASSERT_TRUE(writer.write(content.constData(), PageSize, page * PageSize));
            end = qMax(end, (page + 1) * PageSize);
            // SQLite reads back what it wrote, in the block still gathered too.
            QByteArray back(PageSize, '\0');
            ASSERT_EQ(writer.read(back.data(), PageSize, page * PageSize), PageSize);
            ASSERT_EQ(back, content);
        }
        EXPECT_EQ(writer.size(), end);
        const qint64 size = writer.complete(QStringLiteral("device"));
        EXPECT_EQ(size, end);
        EXPECT_EQ(
            writer.checksum(header, QStringLiteral("device")), checksumOnDevice(descriptor, size, header));
    }
}

// A check reads the image where it lies, behind a header and before the next set, partly
// in order and partly not: every read must give the bytes of the image, none of its
// neighbours'.
TEST(ImageFileVfsTest, ReadsGiveTheImageInAnyOrder)
{
    QTemporaryDir directory;
    const QByteArray path = QFile::encodeName(directory.filePath("image.sqlite"));
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.constData(), &db), SQLITE_OK);
    // Records of a page and a half: each one's overflow page follows it.
    ASSERT_EQ(sqlite3_exec(db,
                  "CREATE TABLE t(b BLOB); WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n "
                  "WHERE i < 700) INSERT INTO t SELECT randomblob(6000) FROM n;",
                  nullptr, nullptr, nullptr),
        SQLITE_OK);
    QFile original(QString::fromLocal8Bit(path));
    ASSERT_TRUE(original.open(QIODevice::ReadOnly));
    const QByteArray image = original.readAll();
    QTemporaryFile device;
    ASSERT_TRUE(device.open());
    ASSERT_TRUE(device.write(QByteArray(ImageOffset, 'h') + image + QByteArray(1 << 20, 'n')));
    ASSERT_TRUE(device.flush());
    sqlite3* copy = ImageFileVfs::open(int(device.handle()), ImageOffset, image.size(), true);
    ASSERT_NE(copy, nullptr);

    const auto text = [](sqlite3* on, const char* sql, qint64 row = 0) {
        sqlite3_stmt* statement = nullptr;
        sqlite3_prepare_v2(on, sql, -1, &statement, nullptr);
        sqlite3_bind_int64(statement, 1, row);
        QByteArray value;
        if (sqlite3_step(statement) == SQLITE_ROW)
            value = QByteArray(static_cast<const char*>(sqlite3_column_blob(statement, 0)),
                sqlite3_column_bytes(statement, 0));
        sqlite3_finalize(statement);
        return value;
    };
    EXPECT_EQ(text(copy, "PRAGMA quick_check"), "ok");
    QList<qint64> rows;
    for (qint64 row = 1; row <= 700; ++row)
        rows << row;
    std::shuffle(rows.begin(), rows.end(), *QRandomGenerator::global());
    for (const qint64 row : rows) {
        const char* const sql = "SELECT b FROM t WHERE rowid = ?";
        ASSERT_TRUE(text(copy, sql, row) == text(db, sql, row)) << "row " << row;
    }
    EXPECT_EQ(text(copy, "SELECT sum(length(b)) FROM t"), "4200000");
    sqlite3_close(copy);
    sqlite3_close(db);
}

#include "engine/backup/ImageStreamWriter.h"
#include "engine/backup/SetChecksum.h"

#include <gtest/gtest.h>
#include <QTemporaryFile>
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

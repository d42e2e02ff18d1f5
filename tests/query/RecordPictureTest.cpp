#include "query/RecordPicture.h"

#include <gtest/gtest.h>
#include <QBuffer>
#include <QImage>

using glimora::query::RecordPicture;

namespace {

QByteArray encoded(const QImage& image, const char* format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

QImage sample(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(qRgb(200, 30, 30));
    return image;
}

} // namespace

TEST(RecordPictureTest, DecodesTheCommonFormats)
{
    for (const char* format : { "PNG", "JPEG", "BMP" }) {
        const QImage image = RecordPicture::decode(encoded(sample(40, 30), format));
        EXPECT_EQ(image.size(), QSize(40, 30)) << format;
    }
    // GIF has a reader in Qt but no writer: a minimal one-pixel GIF.
    const QByteArray gif = QByteArray::fromBase64("R0lGODlhAQABAIAAAAAAAP///yH5BAEAAAAALAAAAAABAAEAAAIBRAA7");
    EXPECT_EQ(RecordPicture::decode(gif).size(), QSize(1, 1));
}

TEST(RecordPictureTest, RefusesWhatIsNoImageDamagedOrTooLarge)
{
    EXPECT_TRUE(RecordPicture::decode(QByteArray()).isNull());
    // A Word document starts with the compound-file signature.
    EXPECT_TRUE(
        RecordPicture::decode(QByteArray::fromHex("D0CF11E0A1B11AE1") + QByteArray(4096, '\0')).isNull());
    const QByteArray jpeg = encoded(sample(64, 64), "JPEG");
    EXPECT_TRUE(RecordPicture::decode(jpeg.left(20)).isNull());
    // A PNG header that claims 20000 x 20000 pixels (400 megapixels) is refused before decoding.
    QByteArray huge = encoded(sample(8, 8), "PNG");
    const uchar size[] = { 0, 0, 0x4E, 0x20, 0, 0, 0x4E, 0x20 };
    huge.replace(16, 8, QByteArray(reinterpret_cast<const char*>(size), 8));
    EXPECT_TRUE(RecordPicture::decode(huge).isNull());
}

TEST(RecordPictureTest, DecodesLargePicturesAtTheSizeOfTheirBox)
{
    const QImage image = RecordPicture::decode(encoded(sample(4000, 3000), "JPEG"), QSize(400, 300));
    ASSERT_FALSE(image.isNull());
    EXPECT_LE(image.width(), 1000);
}

TEST(RecordPictureTest, BoxKeepsTheRatioOrTakesTheFullWidth)
{
    // The defaults: from y 55 to the tab row at 600, 1.33 times as wide as high.
    const QRect box = RecordPicture::box(1024, 55, 600, double(1.33f));
    EXPECT_EQ(box.top(), 55);
    EXPECT_EQ(box.height(), 545);
    EXPECT_EQ(box.width(), 724);
    EXPECT_EQ(box.left(), (1024 - 724) / 2);
    EXPECT_EQ(RecordPicture::box(1024, 55, 600, 0), QRect(0, 55, 1024, 545));
    EXPECT_EQ(RecordPicture::box(1024, 55, 600, -2), QRect(0, 55, 1024, 545));
    EXPECT_EQ(RecordPicture::box(1024, 55, 600, 1e30), QRect(0, 55, 1024, 545));
}

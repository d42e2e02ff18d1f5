#include "query/RecordPicture.h"

#include <QBuffer>
#include <QImageReader>

#include <cmath>
#include <limits>

namespace glimora::query {

QImage RecordPicture::decode(const QByteArray& bytes, const QSize& boxSize)
{
    if (bytes.isEmpty())
        return QImage();
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setDecideFormatFromContent(true);
    const QSize size = reader.size();
    if (!size.isValid() || qint64(size.width()) * size.height() > MaxPixels)
        return QImage();
    // Qt refuses on its own past this many megabytes; a 64-megapixel image at four bytes a
    // pixel must still pass when it is decoded at full size.
    reader.setAllocationLimit(int(MaxPixels * 4 / (1024 * 1024)) + 1);
    if (boxSize.isValid() && !boxSize.isEmpty() && reader.supportsOption(QImageIOHandler::ScaledSize)
        && boxSize.width() < size.width() && boxSize.height() < size.height())
        reader.setScaledSize(boxSize);
    QImage image;
    if (!reader.read(&image))
        return QImage();
    return image;
}

QRect RecordPicture::box(int width, int top, int bottom, double ratio)
{
    const int height = bottom - top;
    // A ratio too large for any screen's pixels counts as none, as infinity does.
    if (!(ratio > 0) || !(height * ratio < double(std::numeric_limits<int>::max())))
        return QRect(0, top, width, height);
    const int w = int(std::trunc(height * ratio));
    return QRect((width - w) / 2, top, w, height);
}

QString RecordPicture::noPictureMessage()
{
    return QString::fromUtf8("没有图片，配置错误或未上传图片");
}

} // namespace glimora::query

#pragma once

#include <QByteArray>
#include <QImage>
#include <QRect>
#include <QSize>

namespace glimora::query {

// The picture of one record: the stored bytes of d51 decoded into an image. The bytes come
// from the database and may be anything, so decoding refuses what is not an image, what is
// damaged and what would be too large, instead of taking the station down.
class RecordPicture
{
public:
    // Larger images are refused rather than decoded.
    static constexpr qint64 MaxPixels = 64LL * 1000 * 1000;

    // Decodes `bytes`; the image is decoded straight at `boxSize` when one is given (the view
    // stretches it there anyway), which keeps large photographs quick. A null image when
    // the bytes are no image, are damaged or are too large.
    static QImage decode(const QByteArray& bytes, const QSize& boxSize = QSize());

    // The box of the picture view: from y `top` to `bottom`, `ratio` times as wide as high
    // and centred in `width`; the full width when `ratio` is 0, negative or not a number.
    static QRect box(int width, int top, int bottom, double ratio);

    static QString noPictureMessage();
};

} // namespace glimora::query

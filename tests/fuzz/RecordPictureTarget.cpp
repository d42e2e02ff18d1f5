#include "query/RecordPicture.h"
#include "tests/fuzz/FuzzTargets.h"

namespace glimora::fuzz {

// Decoded at the size of the picture box, as the query screen shows it, and at full size.
int recordPicture(const uint8_t* data, size_t size)
{
    if (size > 1024 * 1024)
        return 0;
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    for (const QSize& box : { QSize(640, 480), QSize() }) {
        const QImage image = query::RecordPicture::decode(bytes, box);
        fuzzCheck(image.isNull() || qint64(image.width()) * image.height() <= query::RecordPicture::MaxPixels,
            "no picture above the size limit is decoded");
    }
    return 0;
}

} // namespace glimora::fuzz

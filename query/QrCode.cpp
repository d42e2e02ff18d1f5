#include "query/QrCode.h"

#include <QPainter>

#include <qrencode.h>

#include <algorithm>
#include <memory>

namespace glimora::query {

QrCode QrCode::encode(const QByteArray& text)
{
    QrCode code;
    if (text.isEmpty())
        return code;
    // Byte mode: a link is taken as it is, whatever it holds.
    std::unique_ptr<QRcode, decltype(&QRcode_free)> made(
        QRcode_encodeData(
            int(text.size()), reinterpret_cast<const unsigned char*>(text.constData()), 0, QR_ECLEVEL_M),
        &QRcode_free);
    if (!made || made->width <= 0)
        return code;
    const int width = made->width;
    code.m_size = width + 2 * QuietZone;
    code.m_dark = QList<bool>(qsizetype(code.m_size) * code.m_size, false);
    for (int y = 0; y < width; ++y) {
        for (int x = 0; x < width; ++x) {
            // The lowest bit of each module is its colour.
            if (made->data[y * width + x] & 1)
                code.m_dark[(y + QuietZone) * code.m_size + x + QuietZone] = true;
        }
    }
    return code;
}

bool QrCode::isDark(int x, int y) const
{
    if (x < 0 || y < 0 || x >= m_size || y >= m_size)
        return false;
    return m_dark[y * m_size + x];
}

QImage QrCode::image(int moduleSize) const
{
    if (isNull() || moduleSize <= 0)
        return QImage();
    QImage picture(m_size * moduleSize, m_size * moduleSize, QImage::Format_RGB32);
    picture.fill(Qt::white);
    QPainter painter(&picture);
    paint(painter, QRectF(picture.rect()));
    return picture;
}

void QrCode::paint(QPainter& painter, const QRectF& box) const
{
    if (isNull())
        return;
    const double side = std::min(box.width(), box.height());
    const double module = side / m_size;
    const QPointF origin(box.center().x() - side / 2, box.center().y() - side / 2);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.fillRect(QRectF(origin, QSizeF(side, side)), Qt::white);
    for (int y = 0; y < m_size; ++y) {
        // One rectangle per run of dark modules: no seams inside a run.
        for (int x = 0; x < m_size;) {
            if (!isDark(x, y)) {
                ++x;
                continue;
            }
            int end = x;
            while (end < m_size && isDark(end, y))
                ++end;
            painter.fillRect(
                QRectF(origin.x() + x * module, origin.y() + y * module, (end - x) * module, module),
                Qt::black);
            x = end;
        }
    }
    painter.restore();
}

} // namespace glimora::query

#include "tools/demo-setup/DemoPictures.h"

#include <QBuffer>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace glimora::tools {

namespace {

QColor categoryColour(const QString& category, int seed)
{
    // One hue per category, from the text itself, so that each run draws the same.
    const uint hash = qHash(category);
    return QColor::fromHsv(int(hash % 360), 120 + seed % 60, 170);
}

QFont font(int pixelSize, bool bold)
{
    QFont result;
    result.setFamilies({ QStringLiteral("AR PL UKai CN"), QStringLiteral("WenQuanYi Zen Hei"),
        QStringLiteral("Noto Sans CJK SC") });
    result.setPixelSize(pixelSize);
    result.setBold(bold);
    return result;
}

} // namespace

QByteArray DemoPictures::draw(
    const QString& category, const QString& form, const QString& name, const QString& packing, int seed)
{
    const QSize size(640, 480);
    QImage image(size, QImage::Format_RGB32);
    const QColor colour = categoryColour(category, seed);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);

    QLinearGradient background(0, 0, 0, size.height());
    background.setColorAt(0, QColor(246, 248, 250));
    background.setColorAt(1, QColor(214, 222, 230));
    painter.fillRect(image.rect(), background);

    // The package: a box seen a little from above, its front in the category colour.
    const QRectF front(120, 120, 400, 250);
    QPainterPath top;
    top.moveTo(front.topLeft());
    top.lineTo(front.left() + 40, front.top() - 50);
    top.lineTo(front.right() + 40, front.top() - 50);
    top.lineTo(front.topRight());
    top.closeSubpath();
    painter.fillPath(top, colour.lighter(140));
    QPainterPath side;
    side.moveTo(front.topRight());
    side.lineTo(front.right() + 40, front.top() - 50);
    side.lineTo(front.right() + 40, front.bottom() - 50);
    side.lineTo(front.bottomRight());
    side.closeSubpath();
    painter.fillPath(side, colour.darker(130));
    painter.fillRect(front, colour);
    painter.fillRect(QRectF(front.left(), front.top() + 150, front.width(), 22), QColor(255, 255, 255, 200));

    painter.setPen(Qt::white);
    painter.setFont(font(40, true));
    painter.drawText(front.adjusted(16, 16, -16, -110), Qt::AlignCenter | Qt::TextWordWrap, name);
    painter.setFont(font(24, false));
    painter.drawText(front.adjusted(16, 180, -16, -10), Qt::AlignCenter | Qt::TextWordWrap, packing);
    painter.setPen(colour.darker(160));
    painter.setFont(font(16, false));
    painter.drawText(QRectF(front.left(), front.top() + 150, front.width(), 22), Qt::AlignCenter,
        category + QStringLiteral(" · ") + form);

    painter.setPen(QColor(90, 100, 110));
    painter.setFont(font(18, false));
    painter.drawText(
        QRectF(0, 400, size.width(), 60), Qt::AlignCenter, QString::fromUtf8("示意图片 · 以实物为准"));
    painter.end();

    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 85);
    return bytes;
}

} // namespace glimora::tools

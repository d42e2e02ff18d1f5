#include "tools/skin-generator/ContrastSkinPainter.h"

#include "res/SkinTable.h"

#include <algorithm>
#include <QFont>
#include <QPainter>
#include <QPainterPath>

namespace glimora::tools {

namespace {

const QColor Face(Qt::white);
const QColor Yellow(0xFF, 0xEB, 0x3B);
const QColor Edge(Qt::black);

QFont labelFont(int pixelSize)
{
    QFont font;
    font.setFamilies({ QStringLiteral("WenQuanYi Zen Hei"), QStringLiteral("Noto Sans CJK SC") });
    font.setPixelSize(pixelSize);
    font.setWeight(QFont::Bold);
    return font;
}

QImage filled(const QSize& size, const QColor& colour)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(colour);
    return image;
}

QSize sizeOf(int id)
{
    const res::SkinEntry* entry = res::findSkinEntry(id);
    return entry ? entry->size() : QSize();
}

} // namespace

QImage ContrastSkinPainter::paint(int id) const
{
    switch (id) {
    case 139:
        return tabRowPiece(sizeOf(id), {});
    case 141:
        return tabRowPiece(sizeOf(id), {});
    case 143:
        return tab(QString::fromUtf8("分类查询"), sizeOf(id));
    case 144:
        return tab(QString::fromUtf8("条件查询"), sizeOf(id));
    case 145:
        return tab(QString::fromUtf8("数据模式"), sizeOf(id));
    case 146:
        return tab(QString::fromUtf8("图片模式"), sizeOf(id));
    case 158:
        return roundedFace(sizeOf(id), QRectF(3.5, 2.5, 68, 64), 24);
    case 159:
        return roundedFace(sizeOf(id), QRectF(2.5, 1.5, 63, 32), 10);
    case 160:
        return roundedFace(sizeOf(id), QRectF(2.5, 2.5, 95, 49), 14);
    case 161:
        return plainPage(sizeOf(id), 150, QString::fromUtf8("管理后台"));
    case 162:
        return roundedFace(sizeOf(id), QRectF(2.5, 1.5, 67, 67), 16);
    case 163:
        return tabRowPiece(sizeOf(id), QStringLiteral("glimora"));
    case 171:
        return plainPage(sizeOf(id), 190, QString::fromUtf8("公共信息查询系统"));
    case 178:
        return discFace(sizeOf(id), QRectF(2.5, 2.5, 43, 43));
    case 183:
        return plainPage(sizeOf(id), 112, QString::fromUtf8("数据管理"));
    case 184:
        return discFace(sizeOf(id), QRectF(3.5, 2.5, 91, 91));
    case 185:
        return filled(sizeOf(id), Yellow);
    case 186:
        return roundedFace(sizeOf(id), QRectF(1.5, 1.5, 57, 51), 12);
    default:
        return {};
    }
}

QImage ContrastSkinPainter::roundedFace(const QSize& size, const QRectF& shape, qreal radius) const
{
    QImage image = filled(size, Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    // The pen stays off the two outer columns, which tiling repeats on wider buttons.
    QPainterPath face;
    face.addRoundedRect(shape.adjusted(1, 1, -1, -1), radius, radius);
    painter.fillPath(face, Face);
    painter.setPen(QPen(Edge, 2));
    painter.drawPath(face);
    return image;
}

QImage ContrastSkinPainter::discFace(const QSize& size, const QRectF& disc) const
{
    QImage image = filled(size, Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(Face);
    painter.setPen(QPen(Edge, 3));
    painter.drawEllipse(disc);
    return image;
}

QImage ContrastSkinPainter::tab(const QString& label, const QSize& size) const
{
    QImage image = tabRowPiece(size, {});
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF shape(2.5, 2.5, size.width() - 5, size.height() - 2.5);
    QPainterPath path;
    path.addRoundedRect(shape.adjusted(0, 0, 0, 6), 7, 7);
    painter.setClipRect(QRectF(0, 0, size.width(), size.height() - 2));
    painter.fillPath(path, Yellow);
    painter.setPen(QPen(Edge, 2));
    painter.drawPath(path);
    painter.setFont(labelFont(15));
    painter.drawText(shape, Qt::AlignCenter, label);
    return image;
}

QImage ContrastSkinPainter::tabRowPiece(const QSize& size, const QString& text) const
{
    QImage image = filled(size, Face);
    QPainter painter(&image);
    painter.fillRect(QRect(0, size.height() - 2, size.width(), 2), Edge);
    if (!text.isEmpty()) {
        painter.setPen(Edge);
        painter.setFont(labelFont(14));
        painter.drawText(
            QRect(0, 0, size.width() - 10, size.height() - 2), Qt::AlignRight | Qt::AlignVCenter, text);
    }
    return image;
}

QImage ContrastSkinPainter::plainPage(const QSize& size, int headerHeight, const QString& subtitle) const
{
    QImage image = filled(size, Face);
    QPainter painter(&image);
    painter.fillRect(QRect(0, headerHeight - 4, size.width(), 4), Edge);
    painter.setPen(Edge);
    const int titleSize = std::max(18, headerHeight / 5);
    painter.setFont(labelFont(titleSize));
    const int left = std::max(24, size.width() / 24);
    painter.drawText(
        QRect(left, 0, size.width() - left, headerHeight - 4), Qt::AlignLeft | Qt::AlignVCenter, subtitle);
    return image;
}

} // namespace glimora::tools

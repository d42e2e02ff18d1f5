#include "tools/skin-generator/SkinPainter.h"

#include "res/SkinTable.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

namespace glimora::tools {

namespace {

// The palette of the whole station.
const QColor Navy(0x0B, 0x25, 0x4A);
const QColor Primary(0x17, 0x4E, 0x9C);
const QColor Sky(0x3A, 0x86, 0xE8);
const QColor Pale(0xEA, 0xF2, 0xFC);
const QColor Mist(0xF6, 0xF9, 0xFD);
const QColor Line(0xB8, 0xCD, 0xEA);
const QColor Accent(0xF2, 0xA1, 0x2C);

QFont labelFont(int pixelSize, QFont::Weight weight = QFont::Bold)
{
    QFont font;
    font.setFamilies({ QStringLiteral("WenQuanYi Zen Hei"), QStringLiteral("Noto Sans CJK SC") });
    font.setPixelSize(pixelSize);
    font.setWeight(weight);
    return font;
}

QImage transparentImage(const QSize& size)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

QImage opaqueImage(const QSize& size, const QColor& colour)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

QSize sizeOf(int id)
{
    const res::SkinEntry* entry = res::findSkinEntry(id);
    return entry ? entry->size() : QSize();
}

} // namespace

QImage SkinPainter::paint(int id) const
{
    switch (id) {
    case 128:
        return icon();
    case 139:
        return banner(sizeOf(id));
    case 141:
        return tabRowPiece(sizeOf(id), {});
    case 142:
        return plainGradient(sizeOf(id));
    case 143:
        return tab(QString::fromUtf8("分类查询"), sizeOf(id));
    case 144:
        return tab(QString::fromUtf8("条件查询"), sizeOf(id));
    case 145:
        return tab(QString::fromUtf8("数据模式"), sizeOf(id));
    case 146:
        return tab(QString::fromUtf8("图片模式"), sizeOf(id));
    case 157:
        return screenBackground(sizeOf(id), 235, QString::fromUtf8("公共信息查询系统"));
    case 158:
        return roundGlassButton();
    case 159:
        // Shown at 70 x 35: two columns repeat on the right, the last row is cut.
        return roundedButton(sizeOf(id), QRectF(2.5, 1.5, 63, 32), 10);
    case 160:
        // "查询" shows it at 100 x 55: the top row repeats at the bottom.
        return roundedButton(sizeOf(id), QRectF(2.5, 2.5, 95, 49), 14);
    case 161:
        return screenBackground(sizeOf(id), 150, QString::fromUtf8("管理后台"));
    case 162:
        // Shown at 70, 72 and 74 pixels wide: keep two transparent columns on each side.
        return roundedButton(sizeOf(id), QRectF(2.5, 1.5, 67, 67), 16);
    case 163:
        return tabRowPiece(sizeOf(id), QStringLiteral("glimora"));
    case 164:
        return tab(QString::fromUtf8("查询指令"), sizeOf(id));
    case 165:
        return tab(QString::fromUtf8("导入指令"), sizeOf(id));
    case 166:
        return tab(QString::fromUtf8("数据库名称"), sizeOf(id));
    case 167:
        return tab(QString::fromUtf8("公司名称"), sizeOf(id));
    case 168:
        return tab(QString::fromUtf8("报表名称"), sizeOf(id));
    case 169:
        return tab(QString::fromUtf8("标题名称"), sizeOf(id));
    case 171:
        return screenBackground(sizeOf(id), 190, QString::fromUtf8("公共信息查询系统"));
    case 172:
        return roundButton(sizeOf(id), QColor(0x9B, 0xE0, 0x9F), QColor(0x2E, 0x8B, 0x3E));
    case 173:
        return roundButton(sizeOf(id), Pale, Sky);
    case 178:
        return sixteenColourButton();
    case 180:
        return roundButton(sizeOf(id), Pale, Primary);
    case 183:
        return screenBackground(sizeOf(id), 112, QString::fromUtf8("数据管理"));
    case 184:
        return menuButton();
    case 185:
        return opaqueImage(sizeOf(id), Qt::white);
    case 186:
        // Shown at 60 x 55: the top row repeats at the bottom.
        return roundedButton(sizeOf(id), QRectF(1.5, 1.5, 57, 51), 12);
    default:
        return {};
    }
}

QImage SkinPainter::roundedButton(const QSize& size, const QRectF& shape, qreal radius) const
{
    QImage image = transparentImage(size);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);

    // Soft shadow, then a light face with a crisp edge and a top sheen.
    QPainterPath shadow;
    shadow.addRoundedRect(shape.translated(0, 1.2), radius, radius);
    painter.fillPath(shadow, QColor(11, 37, 74, 40));

    QPainterPath face;
    face.addRoundedRect(shape, radius, radius);
    QLinearGradient fill(shape.topLeft(), shape.bottomLeft());
    fill.setColorAt(0, Qt::white);
    fill.setColorAt(0.55, Mist);
    fill.setColorAt(1, QColor(0xD9, 0xE7, 0xF8));
    painter.fillPath(face, fill);
    painter.setPen(QPen(QColor(0x7F, 0xA6, 0xDA), 1.2));
    painter.drawPath(face);

    QPainterPath accent;
    const QRectF bar(shape.left() + radius, shape.bottom() - 3.5, shape.width() - 2 * radius, 2);
    accent.addRoundedRect(bar, 1, 1);
    painter.fillPath(accent, QColor(Sky.red(), Sky.green(), Sky.blue(), 150));
    return image;
}

QImage SkinPainter::roundGlassButton() const
{
    // Value buttons show 75 x 70 of it: the glass stays in the top 70 rows.
    QImage image = transparentImage(sizeOf(158));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF shape(3.5, 2.5, 68, 64);
    const qreal radius = 24;

    QPainterPath shadow;
    shadow.addRoundedRect(shape.translated(0, 1.5), radius, radius);
    painter.fillPath(shadow, QColor(11, 37, 74, 45));

    QPainterPath glass;
    glass.addRoundedRect(shape, radius, radius);
    QRadialGradient body(shape.center() + QPointF(0, 14), 52);
    body.setColorAt(0, QColor(0xD4, 0xE6, 0xFB));
    body.setColorAt(0.6, QColor(0xEE, 0xF5, 0xFE));
    body.setColorAt(1, Qt::white);
    painter.fillPath(glass, body);
    painter.setPen(QPen(QColor(0x6E, 0x9B, 0xD8), 1.3));
    painter.drawPath(glass);

    // The sheen of the glass on its upper half.
    QPainterPath sheen;
    sheen.addRoundedRect(QRectF(shape.left() + 6, shape.top() + 3, shape.width() - 12, shape.height() * 0.42),
        radius - 6, radius - 8);
    QLinearGradient shine(0, shape.top(), 0, shape.top() + shape.height() * 0.45);
    shine.setColorAt(0, QColor(255, 255, 255, 230));
    shine.setColorAt(1, QColor(255, 255, 255, 0));
    painter.fillPath(sheen, shine);
    return image;
}

QImage SkinPainter::menuButton() const
{
    // Back-office menu: a dark disc for light bold captions, shown at 98 x 96.
    QImage image = transparentImage(sizeOf(184));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF disc(3.5, 2.5, 91, 91);

    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(11, 37, 74, 50));
    painter.drawEllipse(disc.translated(0, 2));

    QLinearGradient fill(disc.topLeft(), disc.bottomRight());
    fill.setColorAt(0, Sky);
    fill.setColorAt(1, Navy);
    painter.setBrush(fill);
    painter.drawEllipse(disc);

    // The pattern: fine concentric rings.
    painter.setBrush(Qt::NoBrush);
    for (int ring = 1; ring <= 4; ++ring) {
        painter.setPen(QPen(QColor(255, 255, 255, 22 + 6 * ring), 1));
        const qreal inset = ring * 8.0;
        painter.drawEllipse(disc.adjusted(inset, inset, -inset, -inset));
    }
    painter.setPen(QPen(QColor(255, 255, 255, 90), 1.5));
    painter.drawEllipse(disc.adjusted(1.5, 1.5, -1.5, -1.5));
    painter.setPen(QPen(Accent, 2.5, Qt::SolidLine, Qt::RoundCap));
    painter.drawArc(disc.adjusted(4, 4, -4, -4), 200 * 16, 140 * 16);
    return image;
}

QImage SkinPainter::tab(const QString& label, const QSize& size) const
{
    QImage image = tabRowPiece(size, {});
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const QRectF shape(3, 3, size.width() - 6, size.height() - 3);
    QPainterPath path;
    path.addRoundedRect(shape.adjusted(0, 0, 0, 6), 7, 7);
    QLinearGradient fill(shape.topLeft(), shape.bottomLeft());
    fill.setColorAt(0, Sky);
    fill.setColorAt(1, Primary);
    painter.setClipRect(QRectF(0, 0, size.width(), size.height()));
    painter.fillPath(path, fill);
    painter.setPen(QPen(QColor(255, 255, 255, 70), 1));
    painter.drawPath(path);
    painter.setPen(Qt::white);
    painter.setFont(labelFont(15));
    painter.drawText(shape, Qt::AlignCenter, label);
    return image;
}

QImage SkinPainter::tabRowPiece(const QSize& size, const QString& text) const
{
    QImage image = opaqueImage(size, Navy);
    QPainter painter(&image);
    QLinearGradient fill(0, 0, 0, size.height());
    fill.setColorAt(0, QColor(0x10, 0x30, 0x5E));
    fill.setColorAt(1, Navy);
    painter.fillRect(image.rect(), fill);
    painter.fillRect(QRect(0, size.height() - 2, size.width(), 2), QColor(0x06, 0x18, 0x33));
    if (!text.isEmpty()) {
        painter.setRenderHint(QPainter::TextAntialiasing);
        painter.setPen(QColor(0x9F, 0xBD, 0xE6));
        painter.setFont(labelFont(14, QFont::DemiBold));
        painter.drawText(image.rect().adjusted(0, 0, -12, 0), Qt::AlignRight | Qt::AlignVCenter, text);
        painter.setPen(Qt::NoPen);
        painter.setBrush(Accent);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.drawEllipse(QRectF(size.width() - 84, size.height() / 2.0 - 3, 6, 6));
    }
    return image;
}

QImage SkinPainter::banner(const QSize& size) const
{
    // Stretched across the screen: only the vertical run of colours matters.
    QImage image = opaqueImage(size, Navy);
    QPainter painter(&image);
    QLinearGradient fill(0, 0, 0, size.height());
    fill.setColorAt(0, QColor(0x08, 0x1D, 0x3C));
    fill.setColorAt(0.7, Primary);
    fill.setColorAt(1, Sky);
    painter.fillRect(image.rect(), fill);
    painter.fillRect(QRect(0, size.height() - 3, size.width(), 3), Accent);
    return image;
}

QImage SkinPainter::screenBackground(const QSize& size, int headerHeight, const QString& subtitle) const
{
    QImage image = opaqueImage(size, Mist);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);

    QLinearGradient body(0, headerHeight, 0, size.height());
    body.setColorAt(0, QColor(0xF7, 0xFA, 0xFE));
    body.setColorAt(1, Pale);
    painter.fillRect(QRect(0, headerHeight, size.width(), size.height() - headerHeight), body);

    // Quiet shapes in the lower left corner, away from the controls.
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(Sky.red(), Sky.green(), Sky.blue(), 18));
    painter.drawEllipse(
        QPointF(-size.height() * 0.05, size.height() * 1.02), size.height() * 0.5, size.height() * 0.5);
    painter.setBrush(QColor(Sky.red(), Sky.green(), Sky.blue(), 14));
    painter.drawEllipse(
        QPointF(size.width() * 0.12, size.height() * 1.05), size.height() * 0.32, size.height() * 0.32);

    QLinearGradient header(0, 0, size.width(), headerHeight);
    header.setColorAt(0, Navy);
    header.setColorAt(1, Primary);
    painter.fillRect(QRect(0, 0, size.width(), headerHeight), header);
    painter.setBrush(QColor(255, 255, 255, 16));
    painter.drawEllipse(
        QPointF(size.width() * 0.86, headerHeight * 0.1), headerHeight * 1.1, headerHeight * 1.1);
    painter.setBrush(QColor(255, 255, 255, 12));
    painter.drawEllipse(
        QPointF(size.width() * 0.98, headerHeight * 0.9), headerHeight * 0.7, headerHeight * 0.7);
    painter.fillRect(QRect(0, headerHeight - 4, size.width(), 4), Accent);

    const int titleSize = qBound(20, headerHeight / 4, 44);
    const int left = qMax(24, size.width() / 24);
    painter.setPen(Qt::white);
    painter.setFont(labelFont(titleSize));
    painter.drawText(QRect(left, 0, size.width() - left, headerHeight / 2 + titleSize / 2),
        Qt::AlignLeft | Qt::AlignBottom, QStringLiteral("glimora"));
    painter.setPen(QColor(0xC9, 0xDB, 0xF5));
    painter.setFont(labelFont(qMax(13, titleSize / 2), QFont::Normal));
    painter.drawText(QRect(left + 2, headerHeight / 2 + titleSize / 2 + 6, size.width() - left, titleSize),
        Qt::AlignLeft | Qt::AlignTop, subtitle);
    return image;
}

QImage SkinPainter::plainGradient(const QSize& size) const
{
    QImage image = opaqueImage(size, Mist);
    QPainter painter(&image);
    QLinearGradient fill(0, 0, 0, size.height());
    fill.setColorAt(0, Qt::white);
    fill.setColorAt(1, Pale);
    painter.fillRect(image.rect(), fill);
    return image;
}

QImage SkinPainter::roundButton(const QSize& size, const QColor& light, const QColor& dark) const
{
    QImage image = transparentImage(size);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal diameter = qMin(size.width(), size.height()) - 5.0;
    const QRectF disc((size.width() - diameter) / 2.0, 1.5, diameter, diameter);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(11, 37, 74, 45));
    painter.drawEllipse(disc.translated(0, 1.5));
    QLinearGradient fill(disc.topLeft(), disc.bottomLeft());
    fill.setColorAt(0, light);
    fill.setColorAt(1, dark);
    painter.setBrush(fill);
    painter.drawEllipse(disc);
    QLinearGradient shine(0, disc.top(), 0, disc.center().y());
    shine.setColorAt(0, QColor(255, 255, 255, 170));
    shine.setColorAt(1, QColor(255, 255, 255, 0));
    painter.setBrush(shine);
    painter.drawEllipse(disc.adjusted(diameter * 0.15, 2, -diameter * 0.15, -diameter * 0.45));
    return image;
}

QImage SkinPainter::sixteenColourButton() const
{
    // A 16-colour bitmap: flat shapes only, no smooth shading.
    QImage image = opaqueImage(sizeOf(178), Mist);
    QPainter painter(&image);
    painter.setPen(QPen(Primary, 2));
    painter.setBrush(Pale);
    painter.drawRoundedRect(QRect(2, 2, 43, 43), 8, 8);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Sky);
    painter.drawRect(QRect(10, 38, 28, 3));
    painter.end();
    QList<QRgb> palette;
    for (const QColor& colour : { Mist, Pale, Primary, Sky, Navy, Line, Accent, QColor(Qt::white) })
        palette.append(colour.rgb());
    while (palette.size() < 16)
        palette.append(qRgb(0, 0, 0));
    return image.convertToFormat(QImage::Format_Indexed8, palette, Qt::ThresholdDither);
}

QImage SkinPainter::icon() const
{
    QImage image = transparentImage(sizeOf(128));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF tile(2, 2, 60, 60);
    QLinearGradient fill(tile.topLeft(), tile.bottomRight());
    fill.setColorAt(0, Sky);
    fill.setColorAt(1, Navy);
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    painter.drawRoundedRect(tile, 14, 14);
    // A magnifier over a card: looking something up.
    painter.setBrush(QColor(255, 255, 255, 60));
    painter.drawRoundedRect(QRectF(12, 14, 30, 36), 4, 4);
    painter.setPen(QPen(Qt::white, 5, Qt::SolidLine, Qt::RoundCap));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(QPointF(30, 29), 11, 11);
    painter.setPen(QPen(Accent, 6, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(38.5, 37.5), QPointF(49, 48));
    return image;
}

} // namespace glimora::tools

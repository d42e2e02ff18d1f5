#pragma once

#include <QImage>
#include <QString>

namespace glimora::tools {

// Paints the skin bitmaps of the program: one palette, light buttons for dark-blue
// captions, dark buttons for light captions, shapes kept inside the part of each bitmap
// that its buttons show (tiling repeats the top-left corner on larger buttons, so those
// edges stay transparent).
class SkinPainter
{
public:
    // The picture of a skin id at its size; a null image for an unknown id.
    QImage paint(int id) const;

private:
    QImage roundGlassButton() const;
    QImage roundedButton(const QSize& size, const QRectF& shape, qreal radius) const;
    QImage menuButton() const;
    QImage tab(const QString& label, const QSize& size) const;
    QImage tabRowPiece(const QSize& size, const QString& text) const;
    QImage banner(const QSize& size) const;
    QImage screenBackground(const QSize& size, int headerHeight, const QString& subtitle) const;
    QImage plainGradient(const QSize& size) const;
    QImage roundButton(const QSize& size, const QColor& light, const QColor& dark) const;
    QImage sixteenColourButton() const;
    QImage icon() const;
};

} // namespace glimora::tools

#pragma once

#include <QImage>
#include <QString>

namespace glimora::tools {

// Paints the high-contrast skin set: flat light faces (white, or yellow for the tabs and the
// pressed state) with black edges and black labels, in the shapes and sizes of the ordinary
// skins, so that black captions read at well over 7:1 on every one.
class ContrastSkinPainter
{
public:
    // The picture of a skin id, or a null image for a skin the set leaves ordinary.
    QImage paint(int id) const;

private:
    QImage roundedFace(const QSize& size, const QRectF& shape, qreal radius) const;
    QImage discFace(const QSize& size, const QRectF& disc) const;
    QImage tab(const QString& label, const QSize& size) const;
    QImage tabRowPiece(const QSize& size, const QString& text) const;
    QImage plainPage(const QSize& size, int headerHeight, const QString& subtitle) const;
};

} // namespace glimora::tools

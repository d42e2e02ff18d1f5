#pragma once

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QRectF>

class QPainter;

namespace glimora::query {

// A QR code of a text (a record's link), made by libqrencode: a square of modules with the
// quiet zone of four modules that readers need around it.
class QrCode
{
public:
    static constexpr int QuietZone = 4;

    // Null when the text is empty or too long for any QR code.
    static QrCode encode(const QByteArray& text);

    bool isNull() const { return m_size == 0; }
    // Modules along a side, the quiet zone included.
    int size() const { return m_size; }
    bool isDark(int x, int y) const;

    // Black modules on white, `moduleSize` pixels each.
    QImage image(int moduleSize) const;
    // Draws the code into the largest square centred in `box`: as filled rectangles, which
    // stay sharp on paper and in a PDF at any scale.
    void paint(QPainter& painter, const QRectF& box) const;

private:
    int m_size = 0;
    QList<bool> m_dark;
};

} // namespace glimora::query

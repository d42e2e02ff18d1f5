#include "ui/LargeText.h"

#include <QFontMetrics>

#include <cmath>

namespace glimora::ui {

QFont LargeText::enlarged(const QFont& font)
{
    QFont large = font;
    const int cap = QFontMetrics(font).capHeight();
    if (cap >= MinimumCapPixels || font.pixelSize() <= 0)
        return large;
    int pixels = int(std::ceil(double(font.pixelSize()) * MinimumCapPixels / std::max(1, cap)));
    // Hinting rounds the cap height; a pixel more until it is reached.
    for (int tries = 0; tries < 20; ++tries) {
        large.setPixelSize(pixels);
        if (QFontMetrics(large).capHeight() >= MinimumCapPixels)
            break;
        ++pixels;
    }
    return large;
}

double LargeText::scale(const QFont& font)
{
    if (font.pixelSize() <= 0)
        return 1.0;
    return std::max(1.0, double(enlarged(font).pixelSize()) / font.pixelSize());
}

} // namespace glimora::ui

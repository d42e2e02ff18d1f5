#include "ui/LargeText.h"

#include <QFontMetrics>
#include <QTextLayout>

#include <algorithm>
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

QRect LargeText::captionRoom(const QRect& button)
{
    return button.adjusted(4, 1, -4, -1);
}

QStringList LargeText::lines(const QString& caption, const QFont& font, int width)
{
    QTextLayout layout(caption, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    QStringList out;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(std::max(1, width));
        out << caption.mid(line.textStart(), line.textLength()).trimmed();
    }
    layout.endLayout();
    return out;
}

bool LargeText::fits(const QString& caption, const QFont& font, const QSize& size)
{
    const QRect room = captionRoom(QRect(QPoint(), size));
    const QFontMetrics metrics(font);
    const QStringList broken = lines(caption, font, room.width());
    if (int(broken.size()) * metrics.lineSpacing() - metrics.leading() > room.height())
        return false;
    return std::all_of(broken.cbegin(), broken.cend(),
        [&](const QString& line) { return metrics.horizontalAdvance(line) <= room.width(); });
}

} // namespace glimora::ui

#pragma once

#include <QFont>

namespace glimora::ui {

// The fonts of the large-text mode: capitals at least 4.8 mm high on the station's screen, a
// 17-inch 1280x1024 panel of about 0.264 mm a pixel.
class LargeText
{
public:
    static constexpr int MinimumCapPixels = 19;

    // `font`, made larger where its capitals are lower than MinimumCapPixels.
    static QFont enlarged(const QFont& font);
    // How much larger `enlarged` makes `font`: 1 or more.
    static double scale(const QFont& font);
};

} // namespace glimora::ui

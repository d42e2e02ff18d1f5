#pragma once

#include <QFont>
#include <QRect>
#include <QStringList>

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

    // Where a large caption stands on a button: clear of the skin's rounded ends.
    static QRect captionRoom(const QRect& button);
    // A caption's lines in `font` within `width`: broken between words and between Chinese
    // characters, a word wider than the room anywhere; a count "(42)" is a word and stays whole.
    static QStringList lines(const QString& caption, const QFont& font, int width);
    // Whether the caption's lines stand uncut on a button of `size`.
    static bool fits(const QString& caption, const QFont& font, const QSize& size);
};

} // namespace glimora::ui

#pragma once

#include <QFont>

namespace glimora::ui {

// The six process-wide fonts font1..font6, made once at start-up from the section "show".
// Reads f1h, f1w .. f6h, f6w in that order; a missing key takes its default.
void createSharedFonts();

// font1..font6 by number (1..6). Before createSharedFonts() they are the defaults' fonts.
const QFont& sharedFont(int index);

// A font with the character cell height, average character width (0: the font's own
// width for that height), weight and face of a Windows logical font. "楷体" and "黑体"
// resolve to the Kai and Hei fonts installed with the program.
QFont makeLogicalFont(int cellHeight, int averageWidth, int weight, const QString& face);

} // namespace glimora::ui

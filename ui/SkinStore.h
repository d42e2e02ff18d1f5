#pragma once

#include <QPixmap>
#include <QString>

namespace glimora::ui {

// Skin bitmaps by id. A station can be re-skinned without a rebuild: a file
// skins/<id>.png (or .bmp) in the folder of uinfo.ini replaces the compiled-in picture.
// Nothing is cached: every load reads the file again, so a replaced file shows at the
// next draw. With the high-contrast setting on, the pictures of skins/contrast/ (or the
// compiled-in contrast set) come first.
class SkinStore
{
public:
    // The skin, or a null pixmap when neither the override nor the compiled-in file loads.
    static QPixmap load(int id);

    // The folder whose files override the compiled-in skins.
    static QString overrideFolder();
};

} // namespace glimora::ui

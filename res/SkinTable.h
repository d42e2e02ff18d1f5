#pragma once

#include <QSize>

#include <span>

namespace glimora::res {

// The icon of every window, stored beside the skins.
constexpr int ApplicationIconId = 128;
// Shown by every SkinButton while the left button is held down on it.
constexpr int PressedSkinId = 185;

struct SkinEntry
{
    int id;
    int width;
    int height;
    const char* use;

    QSize size() const { return { width, height }; }
};

// Every skin bitmap the program carries, the icon included, in id order.
std::span<const SkinEntry> skinEntries();

// The entry of a skin id, or nullptr.
const SkinEntry* findSkinEntry(int id);

// The compiled-in resource path of a skin: ":/skins/<id>.png".
QString skinResourcePath(int id);
// The compiled-in path of a skin's high-contrast picture: ":/skins/contrast/<id>.png".
QString contrastSkinResourcePath(int id);

} // namespace glimora::res

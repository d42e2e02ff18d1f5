#include "res/SkinTable.h"

#include <QString>

namespace glimora::res {

namespace {

// clang-format off
constexpr SkinEntry skins[] = {
    {128, 64, 64, "application icon"},
    {139, 18, 50, "query screen banner (1142), stretched across the screen"},
    {141, 18, 30, "query screen tab-row filler (1148)"},
    {142, 1920, 1200, "query screen pattern brush, not drawn"},
    {143, 100, 30, "tab: 分类查询 (1143)"},
    {144, 100, 30, "tab: 条件查询 (1144)"},
    {145, 100, 30, "tab: 数据模式 (1145)"},
    {146, 100, 30, "tab: 图片模式 (1146)"},
    {157, 1010, 235, "not used"},
    {158, 75, 75, "default skin: round glass button"},
    {159, 68, 36, "rounded rectangle: navigation buttons 1057..1060"},
    {160, 100, 54, "wide rounded rectangle: 1061, 1125, 1126"},
    {161, 900, 600, "background of the password, configuration, back-office and user screens"},
    {162, 72, 70, "buttons of the login, password, configuration, data and user screens"},
    {163, 180, 30, "close picture of the query screen (1140)"},
    {164, 100, 30, "configuration tab picture, not used"},
    {165, 100, 30, "configuration tab picture, not used"},
    {166, 100, 30, "configuration tab picture, not used"},
    {167, 100, 30, "configuration tab picture, not used"},
    {168, 100, 30, "configuration tab picture, not used"},
    {169, 100, 30, "configuration tab picture, not used"},
    {171, 750, 486, "background of the login screen"},
    {172, 72, 73, "round green button, not used"},
    {173, 36, 37, "not used"},
    {178, 48, 48, "login screen button skin, 16 colours"},
    {180, 71, 71, "not used"},
    {183, 1280, 800, "background of the data management screen"},
    {184, 100, 101, "round patterned button: back-office menu"},
    {185, 80, 80, "pressed state of every SkinButton, plain white"},
    {186, 60, 54, "rounded square: clear button 1171"},
};
// clang-format on

} // namespace

std::span<const SkinEntry> skinEntries()
{
    return skins;
}

const SkinEntry* findSkinEntry(int id)
{
    for (const SkinEntry& skin : skins) {
        if (skin.id == id)
            return &skin;
    }
    return nullptr;
}

QString skinResourcePath(int id)
{
    return QStringLiteral(":/skins/%1.png").arg(id);
}

QString contrastSkinResourcePath(int id)
{
    return QStringLiteral(":/skins/contrast/%1.png").arg(id);
}

} // namespace glimora::res

#include "ui/SkinStore.h"

#include "res/SkinTable.h"
#include "settings/SettingsFile.h"
#include "ui/ContrastSetting.h"

#include <QDir>
#include <QFileInfo>

namespace glimora::ui {

namespace {

QPixmap loadFrom(const QDir& folder, int id)
{
    for (const QString& suffix : { QStringLiteral("png"), QStringLiteral("bmp") }) {
        const QString path = folder.filePath(QStringLiteral("%1.%2").arg(id).arg(suffix));
        // A pipe would block the screen that asks, a device might never end.
        if (!QFileInfo(path).isFile())
            continue;
        QPixmap replacement(path);
        if (!replacement.isNull())
            return replacement;
    }
    return QPixmap();
}

} // namespace

QPixmap SkinStore::load(int id)
{
    const QDir folder(overrideFolder());
    // A skin the high-contrast set lacks is taken from the ordinary one.
    if (ContrastSetting::enabled()) {
        QPixmap contrast = loadFrom(QDir(folder.filePath(QStringLiteral("contrast"))), id);
        if (contrast.isNull())
            contrast = QPixmap(res::contrastSkinResourcePath(id));
        if (!contrast.isNull())
            return contrast;
    }
    const QPixmap replacement = loadFrom(folder, id);
    return replacement.isNull() ? QPixmap(res::skinResourcePath(id)) : replacement;
}

QString SkinStore::overrideFolder()
{
    return QDir(settings::settingsDirectory()).filePath(QStringLiteral("skins"));
}

} // namespace glimora::ui

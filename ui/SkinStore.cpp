#include "ui/SkinStore.h"

#include "res/SkinTable.h"
#include "settings/SettingsFile.h"

#include <QDir>
#include <QFileInfo>

namespace glimora::ui {

QPixmap SkinStore::load(int id)
{
    const QDir folder(overrideFolder());
    for (const QString& suffix : { QStringLiteral("png"), QStringLiteral("bmp") }) {
        const QString path = folder.filePath(QStringLiteral("%1.%2").arg(id).arg(suffix));
        // A pipe would block the screen that asks, a device might never end.
        if (!QFileInfo(path).isFile())
            continue;
        QPixmap replacement(path);
        if (!replacement.isNull())
            return replacement;
    }
    return QPixmap(res::skinResourcePath(id));
}

QString SkinStore::overrideFolder()
{
    return QDir(settings::settingsDirectory()).filePath(QStringLiteral("skins"));
}

} // namespace glimora::ui

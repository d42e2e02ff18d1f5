// skin-generator <folder>: paints every skin bitmap and the icon into <folder>/<id>.png, and the
// high-contrast set into <folder>/contrast/<id>.png.
// The pictures are committed under res/skins, so the build never runs this.

#include "res/SkinTable.h"
#include "tools/skin-generator/ContrastSkinPainter.h"
#include "tools/skin-generator/SkinPainter.h"

#include <QDir>
#include <QGuiApplication>
#include <QTextStream>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QTextStream err(stderr);
    if (argc != 2) {
        err << "usage: skin-generator <folder>\n";
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    if (!folder.exists() && !QDir().mkpath(folder.path())) {
        err << "cannot create " << folder.path() << "\n";
        return 1;
    }

    const glimora::tools::SkinPainter painter;
    int failures = 0;
    for (const glimora::res::SkinEntry& skin : glimora::res::skinEntries()) {
        const QImage image = painter.paint(skin.id);
        const QString path = folder.filePath(QStringLiteral("%1.png").arg(skin.id));
        if (image.size() != skin.size() || !image.save(path, "PNG")) {
            err << "cannot paint skin " << skin.id << "\n";
            ++failures;
        }
    }
    const glimora::tools::ContrastSkinPainter contrastPainter;
    const QDir contrastFolder(folder.filePath(QStringLiteral("contrast")));
    if (!QDir().mkpath(contrastFolder.path())) {
        err << "cannot create " << contrastFolder.path() << "\n";
        return 1;
    }
    for (const glimora::res::SkinEntry& skin : glimora::res::skinEntries()) {
        const QImage image = contrastPainter.paint(skin.id);
        if (image.isNull())
            continue;
        const QString path = contrastFolder.filePath(QStringLiteral("%1.png").arg(skin.id));
        if (image.size() != skin.size() || !image.save(path, "PNG")) {
            err << "cannot paint contrast skin " << skin.id << "\n";
            ++failures;
        }
    }
    return failures == 0 ? 0 : 1;
}

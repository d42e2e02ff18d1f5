// glimora-screens <folder>: renders each dialog template, with its skins and captions, to
// <folder>/<id>-<screen>.png under the offscreen platform.

#include "app/SharedFonts.h"
#include "res/DialogTemplate.h"
#include "tools/glimora-screens/ScreenDressing.h"
#include "ui/TemplateDialog.h"

#include <QApplication>
#include <QDir>
#include <QTextStream>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTextStream err(stderr);
    if (argc != 2) {
        err << "usage: glimora-screens <folder>\n";
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    if (!folder.exists() && !QDir().mkpath(folder.path())) {
        err << "cannot create " << folder.path() << "\n";
        return 1;
    }
    glimora::app::createSharedFonts();

    int failures = 0;
    for (const glimora::res::DialogTemplate* screen : glimora::res::allDialogTemplates()) {
        glimora::ui::TemplateDialog dialog(screen->id);
        glimora::tools::dressScreen(dialog);
        dialog.show();
        QApplication::processEvents();
        const QString name
            = QStringLiteral("%1-%2.png").arg(screen->id).arg(QString::fromLatin1(screen->className));
        if (!dialog.grab().save(folder.filePath(name), "PNG")) {
            err << "cannot write " << name << "\n";
            ++failures;
        }
        dialog.hide();
    }
    return failures == 0 ? 0 : 1;
}

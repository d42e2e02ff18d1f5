// glimora-screens <folder> [sa password]: renders each dialog template, with its skins and
// captions, to <folder>/<id>-<screen>.png under the offscreen platform. With the password of
// the embedded server in the working directory (the demo's: glimora-demo), it also renders
// the query screen with that server's data in each of its states, at 1024x768, 1280x1024 and 1920x1080.

#include "backoffice/LoginDialog.h"
#include "backoffice/PasswordDialog.h"
#include "components/ComponentFactories.h"
#include "components/PageViewFactory.h"
#include "res/DialogTemplate.h"
#include "tools/glimora-screens/QueryScreens.h"
#include "tools/glimora-screens/ScreenDressing.h"
#include "ui/SharedFonts.h"
#include "ui/TemplateDialog.h"

#include <QApplication>
#include <QDir>
#include <QTextStream>

#include <memory>

namespace {

// The screens that are built show themselves as they open, with the settings of the
// working directory; the others are their dressed templates.
std::unique_ptr<glimora::ui::TemplateDialog> makeScreen(int templateId)
{
    if (templateId == 129)
        return std::make_unique<glimora::backoffice::LoginDialog>();
    if (templateId == 175)
        return std::make_unique<glimora::backoffice::PasswordDialog>();
    auto dialog = std::make_unique<glimora::ui::TemplateDialog>(templateId);
    glimora::tools::dressScreen(*dialog);
    return dialog;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The home page's browser engine runs on the offscreen platform only without its
    // sandbox and GPU, and shares OpenGL contexts set before the application exists.
    if (qEnvironmentVariableIsEmpty("QTWEBENGINE_CHROMIUM_FLAGS"))
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--no-sandbox --disable-gpu --disable-gpu-compositing");
    glimora::components::PageViewFactory::prepareApplication();
    QApplication app(argc, argv);
    glimora::components::ComponentFactories::install();
    QTextStream err(stderr);
    if (argc != 2 && argc != 3) {
        err << "usage: glimora-screens <folder> [sa password]\n";
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    if (!folder.exists() && !QDir().mkpath(folder.path())) {
        err << "cannot create " << folder.path() << "\n";
        return 1;
    }
    glimora::ui::createSharedFonts();

    int failures = 0;
    for (const glimora::res::DialogTemplate* screen : glimora::res::allDialogTemplates()) {
        const std::unique_ptr<glimora::ui::TemplateDialog> screenDialog = makeScreen(screen->id);
        glimora::ui::TemplateDialog& dialog = *screenDialog;
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
    if (argc == 3) {
        const int queryFailures = glimora::tools::renderQueryScreens(folder, QString::fromLocal8Bit(argv[2]));
        if (queryFailures != 0)
            ++failures;
    }
    return failures == 0 ? 0 : 1;
}

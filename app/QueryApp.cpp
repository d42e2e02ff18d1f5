#include "app/QueryApp.h"

#include "app/ScreenFactory.h"
#include "settings/Settings.h"
#include "ui/SharedFonts.h"

#include "ui/SkinStore.h"

#include <QApplication>

namespace glimora::app {

namespace {

QPointer<QWidget>& mainScreenPointer()
{
    static QPointer<QWidget> pointer;
    return pointer;
}

QIcon& iconStorage()
{
    static QIcon icon;
    return icon;
}

} // namespace

QueryApp::QueryApp(ScreenFactory& screens)
    : m_screens(screens)
{
}

QWidget* QueryApp::mainScreen()
{
    return mainScreenPointer();
}

const QIcon& QueryApp::applicationIcon()
{
    return iconStorage();
}

bool QueryApp::InitInstance()
{
    // ActiveX hosting, OLE and the 3-D control look have no counterpart here: the
    // components are plain widgets and Qt draws the controls.

    // Icon 128 serves every window as both its large and small icon.
    iconStorage() = QIcon(ui::SkinStore::load(128));
    if (!iconStorage().isNull())
        QApplication::setWindowIcon(iconStorage());

    Settings::instance().load();
    createSharedFonts();

    std::unique_ptr<QDialog> login = m_screens.createLoginDialog();
    if (login->exec() != QDialog::Accepted)
        return false;

    std::unique_ptr<QDialog> main
        = m_screens.backOfficeChosen(*login) ? m_screens.createAdminDialog() : m_screens.createQueryDialog();
    mainScreenPointer() = main.get();
    main->exec();
    mainScreenPointer() = nullptr;
    return false;
}

} // namespace glimora::app

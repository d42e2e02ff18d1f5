#include "app/QueryApp.h"

#include "app/KioskLogin.h"
#include "app/KioskLoginScreen.h"
#include "app/ScreenFactory.h"
#include "settings/Settings.h"
#include "ui/SharedFonts.h"

#include "ui/MainScreen.h"
#include "ui/SkinStore.h"

#include <QApplication>

namespace glimora::app {

namespace {

QIcon& iconStorage()
{
    static QIcon icon;
    return icon;
}

} // namespace

QueryApp::QueryApp(ScreenFactory& screens, StartMode mode)
    : m_screens(screens)
    , m_mode(mode)
{
}

QWidget* QueryApp::mainScreen()
{
    return ui::MainScreen::get();
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

    settings::Settings::instance().load();
    ui::createSharedFonts();

    std::unique_ptr<QDialog> main;
    if (m_mode == StartMode::Kiosk) {
        if (!kioskLogIn())
            return false;
        main = m_screens.createQueryDialog();
    } else {
        std::unique_ptr<QDialog> login = m_screens.createLoginDialog();
        if (login->exec() != QDialog::Accepted)
            return false;
        main = m_screens.backOfficeChosen(*login) ? m_screens.createAdminDialog()
                                                  : m_screens.createQueryDialog();
    }
    ui::MainScreen::set(main.get());
    main->exec();
    ui::MainScreen::set(nullptr);
    return false;
}

bool QueryApp::kioskLogIn()
{
    KioskLoginScreen screen(app::kioskLogIn);
    return screen.tryLogIn() || screen.exec() == QDialog::Accepted;
}

} // namespace glimora::app

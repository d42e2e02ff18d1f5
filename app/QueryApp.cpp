#include "app/QueryApp.h"

#include "app/KioskLogin.h"
#include "app/KioskLoginScreen.h"
#include "app/KioskPauseScreen.h"
#include "app/ScreenFactory.h"
#include "query/QueryDialog.h"
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
    , m_reconnect(reconnectSharedDatabase)
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

    if (m_mode == StartMode::Kiosk) {
        if (kioskLogIn())
            runKioskQueryScreen();
        return false;
    }
    std::unique_ptr<QDialog> login = m_screens.createLoginDialog();
    if (login->exec() != QDialog::Accepted)
        return false;
    const std::unique_ptr<QDialog> main
        = m_screens.backOfficeChosen(*login) ? m_screens.createAdminDialog() : m_screens.createQueryDialog();
    ui::MainScreen::set(main.get());
    main->exec();
    ui::MainScreen::set(nullptr);
    return false;
}

void QueryApp::runKioskQueryScreen()
{
    // A lost connection closes the query screen; the pause page waits for the server, and a
    // fresh query screen follows, all in this process.
    QString lost;
    query::QueryDialog::setConnectionLossHandler([&lost](const QString& serverText) { lost = serverText; });
    for (;;) {
        lost.clear();
        std::unique_ptr<QDialog> main = m_screens.createQueryDialog();
        ui::MainScreen::set(main.get());
        main->exec();
        ui::MainScreen::set(nullptr);
        main.reset();
        if (lost.isEmpty())
            break;
        KioskPauseScreen pause(m_reconnect, lost);
        pause.exec();
    }
    query::QueryDialog::setConnectionLossHandler({});
}

bool QueryApp::kioskLogIn()
{
    KioskLoginScreen screen(app::kioskLogIn);
    return screen.tryLogIn() || screen.exec() == QDialog::Accepted;
}

} // namespace glimora::app

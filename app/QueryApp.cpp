#include "app/QueryApp.h"

#include "app/KioskLock.h"
#include "app/KioskLogin.h"
#include "app/KioskLoginScreen.h"
#include "app/KioskPauseScreen.h"
#include "app/ScheduledBackups.h"
#include "app/ScreenFactory.h"
#include "app/StartupQuestions.h"
#include "app/StationHeartbeat.h"
#include "query/QueryDialog.h"
#include "settings/Settings.h"
#include "ui/SharedFonts.h"

#include "ui/MainScreen.h"
#include "ui/SkinStore.h"

#include <QApplication>
#include <QTimer>

#include <cstdlib>

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

QueryApp::~QueryApp() = default;

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
        runKiosk();
        return false;
    }
    std::unique_ptr<QDialog> login = m_screens.createLoginDialog();
    if (login->exec() != QDialog::Accepted)
        return false;
    startScheduledBackups();
    startHeartbeat();
    startStartupQuestions();
    std::unique_ptr<QDialog> main
        = m_screens.backOfficeChosen(*login) ? m_screens.createAdminDialog() : m_screens.createQueryDialog();
    runMainScreen(*main);
    return false;
}

void QueryApp::runMainScreen(QDialog& screen)
{
    ui::MainScreen::set(&screen);
    screen.exec();
    ui::MainScreen::set(nullptr);
}

void QueryApp::runKiosk()
{
    if (!kioskLogIn()) {
        qCritical("glimora: the kiosk's login screen ended without a login; the station stops");
        m_exitCode = EXIT_FAILURE;
        return;
    }
    // A lost connection closes the query screen; the pause page waits for the server, and a
    // fresh query screen follows, all in this process.
    QString lost;
    query::QueryDialog::setConnectionLossHandler([&lost](const QString& serverText) { lost = serverText; });
    for (;;) {
        lost.clear();
        bool administratorCalled = false;
        {
            std::unique_ptr<QDialog> query = m_screens.createLockedQueryDialog();
            QDialog* screen = query.get();
            const KioskLock lock(*screen, [&administratorCalled, screen] {
                administratorCalled = true;
                screen->done(QDialog::Rejected);
            });
            runMainScreen(*screen);
        }
        if (!lost.isEmpty()) {
            KioskPauseScreen pause(m_reconnect, lost);
            pause.exec();
            continue;
        }
        // Any other end of the screen (a failure it reports) ends the run, as elsewhere.
        if (!administratorCalled)
            break;
        runBackOffice();
        // The login dialog made a new shared connection, and the back office may have changed
        // what the screen shows: the visitor gets the kiosk's own login and a fresh screen.
        if (!kioskLogIn())
            break;
    }
    query::QueryDialog::setConnectionLossHandler({});
    // Not a success for the service manager, which restarts the station either way, and the
    // journal keeps why.
    qCritical("glimora: the kiosk's query screen ended by itself; the station stops");
    m_exitCode = EXIT_FAILURE;
}

void QueryApp::runBackOffice()
{
    std::unique_ptr<QDialog> login = m_screens.createBackOfficeLoginDialog();
    if (login->exec() != QDialog::Accepted || !m_screens.backOfficeChosen(*login))
        return;
    login.reset();
    std::unique_ptr<QDialog> admin = m_screens.createAdminDialog();
    runMainScreen(*admin);
}

bool QueryApp::kioskLogIn()
{
    KioskLoginScreen screen(app::kioskLogIn);
    const bool loggedIn = screen.tryLogIn() || screen.exec() == QDialog::Accepted;
    if (loggedIn) {
        startScheduledBackups();
        startHeartbeat();
        startStartupQuestions();
    }
    return loggedIn;
}

void QueryApp::startScheduledBackups()
{
    if (m_backups)
        return;
    m_backups = ScheduledBackups::fromSettings();
    if (m_backups)
        QTimer::singleShot(0, m_backups.get(), &ScheduledBackups::check);
}

void QueryApp::startHeartbeat()
{
    if (m_heartbeat)
        return;
    m_heartbeat = StationHeartbeat::fromSettings();
    if (!m_heartbeat)
        return;
    m_heartbeat->setBackups(m_backups.get());
    QTimer::singleShot(0, m_heartbeat.get(), &StationHeartbeat::beat);
}

void QueryApp::startStartupQuestions()
{
    if (m_startupQuestions)
        return;
    m_startupQuestions = StartupQuestions::fromSettings();
    if (m_startupQuestions)
        m_startupQuestions->start();
}

} // namespace glimora::app

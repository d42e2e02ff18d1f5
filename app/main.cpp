#include "app/DefaultScreenFactory.h"
#include "app/QueryApp.h"
#include "app/ServiceHeartbeat.h"
#include "components/ComponentFactories.h"
#include "components/PageViewFactory.h"
#include "engine/server/EmbeddedServerSetup.h"
#include "platform/EventLog.h"
#include "platform/IdleClock.h"
#include "ui/QtTranslations.h"

#include <QApplication>
#include <QDir>

int main(int argc, char** argv)
{
    glimora::components::PageViewFactory::prepareApplication();
    QApplication application(argc, argv);
    // Before the first widget, so that every button and label of Qt's own reads in Chinese.
    const glimora::ui::QtTranslations qtTexts;
    glimora::components::ComponentFactories::install();
    QApplication::setApplicationName(QStringLiteral("glimora"));
    QApplication::setApplicationVersion(QStringLiteral(GLIMORA_VERSION));
    // Installs the input filter early, so idle time counts from the first input on.
    glimora::platform::IdleClock::current();

    // The settings directory is the working directory, as start-up will capture it.
    glimora::engine::registerEmbeddedServer();

    // Under systemd: ready once the first screen shows, pings while the screens respond.
    const glimora::app::ServiceHeartbeat heartbeat;

    // Only the flag makes a kiosk start: it never takes a login from the command line.
    const bool kiosk = QApplication::arguments().contains(QStringLiteral("--kiosk"));
    glimora::app::DefaultScreenFactory screens;
    glimora::app::QueryApp queryApp(screens,
        kiosk ? glimora::app::QueryApp::StartMode::Kiosk : glimora::app::QueryApp::StartMode::Interactive);
    using glimora::platform::EventLog;
    EventLog::setFolder(QDir::currentPath());
    EventLog::write(EventLog::Event::Start,
        QStringLiteral("glimora %1 started%2 in %3")
            .arg(QStringLiteral(GLIMORA_VERSION), kiosk ? QStringLiteral(" as a kiosk") : QString(),
                QDir::currentPath()));
    queryApp.InitInstance();
    EventLog::write(
        EventLog::Event::Stop, QStringLiteral("glimora stopped with exit code %1").arg(queryApp.exitCode()));
    return queryApp.exitCode();
}

#pragma once

#include <functional>
#include <memory>
#include <QIcon>
#include <QPointer>
#include <QWidget>

namespace glimora::app {

class ScheduledBackups;
class StartupQuestions;
class StationHeartbeat;
class ScreenFactory;

// The order of the run: settings, fonts, login, then exactly one main screen.
class QueryApp
{
public:
    // A kiosk start logs in by itself and opens the query screen.
    enum class StartMode { Interactive, Kiosk };

    explicit QueryApp(ScreenFactory& screens, StartMode mode = StartMode::Interactive);
    ~QueryApp();

    // Runs the whole program; always false, as the run ends when the main screen closes.
    bool InitInstance();
    // The process's exit status: a failure once a kiosk run has ended, as it runs until stopped.
    int exitCode() const { return m_exitCode; }

    // The running main screen (back office or query screen); a finished restore closes it.
    static QWidget* mainScreen();
    static const QIcon& applicationIcon();

    // How the pause page of a kiosk start reconnects (tests replace it).
    void setReconnect(std::function<QString()> reconnect) { m_reconnect = std::move(reconnect); }

private:
    bool kioskLogIn();
    // Query screens one after another, each left only for the back office.
    void runKiosk();
    void runBackOffice();
    static void runMainScreen(QDialog& screen);
    // Once logged in, the station keeps the backup schedule of its settings, if any.
    void startScheduledBackups();
    // ... and, when its settings ask, writes its heartbeat for the status page.
    void startHeartbeat();
    // Once per run: a later login of the kiosk finds the indexes built.
    void startStartupQuestions();

    ScreenFactory& m_screens;
    StartMode m_mode;
    std::function<QString()> m_reconnect;
    int m_exitCode = 0;
    std::unique_ptr<ScheduledBackups> m_backups;
    std::unique_ptr<StationHeartbeat> m_heartbeat;
    std::unique_ptr<StartupQuestions> m_startupQuestions;
};

} // namespace glimora::app

#pragma once

#include "app/KioskPage.h"
#include <functional>

#include <QTimer>

class QLabel;

namespace glimora::app {

class BackgroundAttempt;

// The kiosk's page while the database connection is lost: says so, with what the server
// said, and tries to reconnect every few seconds on a worker thread, so that the screen and
// the service manager's pings go on meanwhile. The run ends with Accepted once connected;
// nobody can close it before.
class KioskPauseScreen : public KioskPage
{
    Q_OBJECT
public:
    static constexpr int RetryMilliseconds = 3'000;

    // `reconnect` runs on the worker and returns what went wrong, empty once connected.
    KioskPauseScreen(
        std::function<QString()> reconnect, const QString& serverText, QWidget* parent = nullptr);

    QTimer& retryTimer() { return m_retry; }
    // Whether an attempt is under way.
    bool reconnecting() const;

private:
    void showProblem(const QString& serverText);

    QTimer m_retry;
    QLabel* m_problem;
    BackgroundAttempt* m_attempt;
};

// One attempt of the pause screen: reopens the shared connection, as a fresh query screen will.
QString reconnectSharedDatabase();

} // namespace glimora::app

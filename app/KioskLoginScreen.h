#pragma once

#include "app/KioskPage.h"
#include <functional>

#include <QTimer>

class QLabel;

namespace glimora::app {

class BackgroundAttempt;

// The kiosk's start without a person: logs in by itself, and while that fails covers the
// display with why, trying again every 30 seconds. The run ends with Accepted once logged in;
// nobody can close it before.
class KioskLoginScreen : public KioskPage
{
    Q_OBJECT
public:
    static constexpr int RetryMilliseconds = 30'000;

    // `logIn` returns what went wrong, empty once logged in.
    explicit KioskLoginScreen(std::function<QString()> logIn, QWidget* parent = nullptr);

    // One attempt, before the screen shows, on the worker while this thread goes on; on
    // failure shows why and starts the retry timer.
    bool tryLogIn();
    QTimer& retryTimer() { return m_retry; }
    // Whether a retry is under way. Retries run on a worker: a server that does not answer
    // keeps one waiting up to the login time-out, as long as the watchdog's.
    bool retrying() const;

private:
    void showOutcome(const QString& problem);

    std::function<QString()> m_logIn;
    QTimer m_retry;
    QLabel* m_problem;
    BackgroundAttempt* m_attempt;
};

} // namespace glimora::app

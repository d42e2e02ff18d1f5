#include "app/KioskLoginScreen.h"

#include "app/BackgroundAttempt.h"
#include <QEventLoop>
#include <QLabel>
#include <QVBoxLayout>

namespace glimora::app {

KioskLoginScreen::KioskLoginScreen(std::function<QString()> logIn, QWidget* parent)
    : KioskPage(parent)
    , m_logIn(std::move(logIn))
    , m_attempt(new BackgroundAttempt(m_logIn, this))
{
    setObjectName(QStringLiteral("kioskLogin"));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(80, 80, 80, 80);
    layout->addStretch(2);
    QLabel* title = makeLabel(QStringLiteral("kioskTitle"), 36);
    title->setText(QString::fromUtf8("本机暂时无法自动登录"));
    layout->addWidget(title);
    m_problem = makeLabel(QStringLiteral("kioskProblem"), 18);
    layout->addSpacing(40);
    layout->addWidget(m_problem);
    layout->addSpacing(40);
    QLabel* retry = makeLabel(QStringLiteral("kioskRetry"), 16);
    retry->setText(QString::fromUtf8("每 30 秒自动重试一次。"));
    layout->addWidget(retry);
    layout->addStretch(3);

    m_retry.setSingleShot(true);
    m_retry.setInterval(RetryMilliseconds);
    connect(&m_retry, &QTimer::timeout, m_attempt, &BackgroundAttempt::start);
    connect(m_attempt, &BackgroundAttempt::finished, this, [this](const QString& problem) {
        showOutcome(problem);
        if (problem.isEmpty())
            accept();
    });
}

bool KioskLoginScreen::tryLogIn()
{
    // On the worker as the retries are, the screen's events (the watchdog's pings) going on.
    QEventLoop wait;
    bool loggedIn = false;
    const QMetaObject::Connection done
        = connect(m_attempt, &BackgroundAttempt::finished, &wait, [&](const QString& problem) {
              loggedIn = problem.isEmpty();
              wait.quit();
          });
    m_attempt->start();
    wait.exec();
    disconnect(done);
    return loggedIn;
}

bool KioskLoginScreen::retrying() const
{
    return m_attempt->running();
}

void KioskLoginScreen::showOutcome(const QString& problem)
{
    if (problem.isEmpty()) {
        m_retry.stop();
        return;
    }
    m_problem->setText(problem);
    m_retry.start();
}

} // namespace glimora::app

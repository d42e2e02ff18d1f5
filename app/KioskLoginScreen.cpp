#include "app/KioskLoginScreen.h"

#include "app/BackgroundAttempt.h"
#include <QCloseEvent>
#include <QEventLoop>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QVBoxLayout>

namespace glimora::app {

namespace {

QLabel* makeLabel(const QString& name, int pointSize, QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignCenter);
    QFont font = label->font();
    font.setPointSize(pointSize);
    label->setFont(font);
    return label;
}

} // namespace

KioskLoginScreen::KioskLoginScreen(std::function<QString()> logIn, QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::FramelessWindowHint)
    , m_logIn(std::move(logIn))
    , m_attempt(new BackgroundAttempt(m_logIn, this))
{
    setObjectName(QStringLiteral("kioskLogin"));
    // Without a window manager the state is only a wish: cover the screen by size too.
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        setGeometry(screen->geometry());
    setWindowState(Qt::WindowFullScreen);
    setStyleSheet(QStringLiteral("QDialog { background: #1c2a3a; } QLabel { color: white; }"));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(80, 80, 80, 80);
    layout->addStretch(2);
    QLabel* title = makeLabel(QStringLiteral("kioskTitle"), 36, this);
    title->setText(QString::fromUtf8("本机暂时无法自动登录"));
    layout->addWidget(title);
    m_problem = makeLabel(QStringLiteral("kioskProblem"), 18, this);
    layout->addSpacing(40);
    layout->addWidget(m_problem);
    layout->addSpacing(40);
    QLabel* retry = makeLabel(QStringLiteral("kioskRetry"), 16, this);
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

void KioskLoginScreen::reject() { }

void KioskLoginScreen::closeEvent(QCloseEvent* event)
{
    event->ignore();
}

} // namespace glimora::app

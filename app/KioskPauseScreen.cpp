#include "app/KioskPauseScreen.h"

#include "app/BackgroundAttempt.h"
#include "data/DbError.h"
#include "data/SharedDatabase.h"
#include "settings/Settings.h"

#include <QCloseEvent>
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

QString reconnectSharedDatabase()
{
    try {
        data::SharedDatabase::reopen(settings::Settings::instance().database);
    } catch (const data::DbError& error) {
        return error.description();
    }
    return QString();
}

KioskPauseScreen::KioskPauseScreen(
    std::function<QString()> reconnect, const QString& serverText, QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::FramelessWindowHint)
    , m_attempt(new BackgroundAttempt(std::move(reconnect), this))
{
    setObjectName(QStringLiteral("kioskPause"));
    // Without a window manager the state is only a wish: cover the screen by size too.
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        setGeometry(screen->geometry());
    setWindowState(Qt::WindowFullScreen);
    setStyleSheet(QStringLiteral("QDialog { background: #1c2a3a; } QLabel { color: white; }"));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(80, 80, 80, 80);
    layout->addStretch(2);
    QLabel* title = makeLabel(QStringLiteral("pauseTitle"), 48, this);
    title->setText(QString::fromUtf8("暂停服务"));
    layout->addWidget(title);
    layout->addSpacing(30);
    QLabel* what = makeLabel(QStringLiteral("pauseReason"), 22, this);
    what->setText(QString::fromUtf8("本机与数据库服务器的连接中断了。本机每 %1 秒自动重新连接一次，"
                                    "连接恢复后自动回到查询页面，无需任何操作。")
                      .arg(RetryMilliseconds / 1000));
    layout->addWidget(what);
    layout->addSpacing(40);
    m_problem = makeLabel(QStringLiteral("pauseProblem"), 14, this);
    showProblem(serverText);
    layout->addWidget(m_problem);
    layout->addStretch(3);

    m_retry.setSingleShot(true);
    m_retry.setInterval(RetryMilliseconds);
    connect(&m_retry, &QTimer::timeout, m_attempt, &BackgroundAttempt::start);
    connect(m_attempt, &BackgroundAttempt::finished, this, [this](const QString& problem) {
        if (problem.isEmpty()) {
            accept();
            return;
        }
        showProblem(problem);
        m_retry.start();
    });
    m_retry.start();
}

bool KioskPauseScreen::reconnecting() const
{
    return m_attempt->running();
}

void KioskPauseScreen::showProblem(const QString& serverText)
{
    m_problem->setText(QString::fromUtf8("服务器的回答：") + serverText);
}

void KioskPauseScreen::reject() { }

void KioskPauseScreen::closeEvent(QCloseEvent* event)
{
    event->ignore();
}

} // namespace glimora::app

#include "app/KioskPauseScreen.h"

#include "app/BackgroundAttempt.h"
#include "data/DbError.h"
#include "data/SharedDatabase.h"

#include <QLabel>
#include <QVBoxLayout>

namespace glimora::app {

QString reconnectSharedDatabase()
{
    try {
        data::SharedDatabase::reopen(data::SharedDatabase::login().databaseName);
    } catch (const data::DbError& error) {
        return error.description();
    }
    return QString();
}

KioskPauseScreen::KioskPauseScreen(
    std::function<QString()> reconnect, const QString& serverText, QWidget* parent)
    : KioskPage(parent)
    , m_attempt(new BackgroundAttempt(std::move(reconnect), this))
{
    setObjectName(QStringLiteral("kioskPause"));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(80, 80, 80, 80);
    layout->addStretch(2);
    QLabel* title = makeLabel(QStringLiteral("pauseTitle"), 48);
    title->setText(QString::fromUtf8("暂停服务"));
    layout->addWidget(title);
    layout->addSpacing(30);
    QLabel* what = makeLabel(QStringLiteral("pauseReason"), 22);
    what->setText(QString::fromUtf8("本机与数据库服务器的连接中断了。本机每 %1 秒自动重新连接一次，"
                                    "连接恢复后自动回到查询页面，无需任何操作。")
                      .arg(RetryMilliseconds / 1000));
    layout->addWidget(what);
    layout->addSpacing(40);
    m_problem = makeLabel(QStringLiteral("pauseProblem"), 14);
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

} // namespace glimora::app

#include "app/DefaultScreenFactory.h"
#include "app/KioskPauseScreen.h"
#include "app/QueryApp.h"
#include "data/Backend.h"
#include "data/BackendRouter.h"
#include "data/Command.h"
#include "data/DbError.h"
#include "data/SharedDatabase.h"
#include "query/QueryDialog.h"
#include "tests/query/QueryStation.h"
#include "ui/OkMessageBox.h"

#include <atomic>
#include <gtest/gtest.h>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QTest>
#include <QThread>
#include <QTimer>

using namespace glimora;
using namespace glimora::app;

namespace {

class CountingScreens : public DefaultScreenFactory
{
public:
    int queryScreens = 0;
    std::unique_ptr<QDialog> createQueryDialog() override
    {
        ++queryScreens;
        return DefaultScreenFactory::createQueryDialog();
    }
    std::unique_ptr<QDialog> createLockedQueryDialog() override
    {
        ++queryScreens;
        return DefaultScreenFactory::createLockedQueryDialog();
    }
};

// A server that is not running: every login is refused at the door.
class StoppedServer : public data::Backend
{
public:
    std::unique_ptr<data::BackendSession> open(const QString&, int) override
    {
        throw data::DbError(data::DbError::ProviderFailure,
            QStringLiteral("TCP Provider: No connection could be made because the target machine actively "
                           "refused it."),
            10061, 20, 0);
    }
};

QString textOf(const QWidget& screen, const char* name)
{
    return screen.findChild<QLabel*>(name)->text();
}

} // namespace

TEST(KioskPauseTest, ALostConnectionPausesTheKioskUntilTheServerIsBackThenTheQueryScreenReturns)
{
    qunsetenv("CREDENTIALS_DIRECTORY");
    QueryStation station(demoSettings());
    station.importDemoRecords();
    station.workspace.writeFile("login.credentials", "server=(LOCAL)\nuser=sa\npassword=station\n");
    QFile::setPermissions(
        station.workspace.filePath("login.credentials"), QFile::ReadOwner | QFile::WriteOwner);
    const std::shared_ptr<data::Backend> server = data::BackendRouter::embeddedBackend();

    CountingScreens screens;
    QueryApp app(screens, QueryApp::StartMode::Kiosk);
    std::atomic<bool> slowAttemptDone { false };
    app.setReconnect([&] {
        // The first attempt hangs for a while, as one to a server behind a pulled cable does.
        for (int n = 0; n < 100 && !slowAttemptDone; ++n)
            QThread::msleep(10);
        return reconnectSharedDatabase();
    });

    enum Step { QueryUp, Paused, Attempting, Refused, Returned, Done } step = QueryUp;
    QElapsedTimer clock;
    clock.start();
    QTimer driver;
    driver.setInterval(10);
    QObject::connect(&driver, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        auto* pause = qobject_cast<KioskPauseScreen*>(modal);
        auto* query = qobject_cast<query::QueryDialog*>(modal);
        if (clock.elapsed() > 20'000) {
            ADD_FAILURE() << "stuck at step " << step;
            data::BackendRouter::setEmbeddedBackend(server);
            step = Done;
        }
        switch (step) {
        case QueryUp:
            if (!query)
                return;
            ASSERT_TRUE(query->isReady());
            {
                data::Command& command = data::SharedDatabase::command();
                command.SetCommandText("select @@spid");
                data::SharedDatabase::setRecordset(command.Execute());
                station.execute(
                    "kill " + QString::number(data::SharedDatabase::recordset().Item(0).Value().toInt64()));
            }
            data::BackendRouter::setEmbeddedBackend(std::make_shared<StoppedServer>());
            step = Paused;
            QTest::mouseClick(query->control(1003), Qt::LeftButton);
            return;
        case Paused:
            if (!pause)
                return;
            EXPECT_EQ(textOf(*pause, "pauseTitle"), QString::fromUtf8("暂停服务"));
            EXPECT_TRUE(textOf(*pause, "pauseProblem").contains("transport-level error"));
            EXPECT_TRUE(ui::OkMessageBox::shownTexts().isEmpty());
            EXPECT_TRUE(pause->windowState() & Qt::WindowFullScreen);
            pause->close(); // nothing closes it
            EXPECT_TRUE(pause->isVisible());
            EXPECT_EQ(pause->retryTimer().interval(), KioskPauseScreen::RetryMilliseconds);
            QMetaObject::invokeMethod(&pause->retryTimer(), "timeout");
            step = Attempting;
            return;
        case Attempting:
            // This very timer runs while the attempt hangs: the screen's thread is free.
            EXPECT_TRUE(pause && pause->reconnecting());
            slowAttemptDone = true;
            step = Refused;
            return;
        case Refused:
            if (!pause || pause->reconnecting())
                return;
            EXPECT_TRUE(textOf(*pause, "pauseProblem").contains("actively refused"));
            EXPECT_TRUE(pause->retryTimer().isActive());
            data::BackendRouter::setEmbeddedBackend(server);
            QMetaObject::invokeMethod(&pause->retryTimer(), "timeout");
            step = Returned;
            return;
        case Returned:
            if (!query)
                return;
            EXPECT_TRUE(query->isReady());
            EXPECT_EQ(screens.queryScreens, 2);
            EXPECT_EQ(query->level(), 1);
            step = Done;
            return;
        case Done:
            if (pause)
                pause->accept();
            if (query)
                query->done(ui::IDCANCEL);
            return;
        }
    });
    driver.start();
    EXPECT_FALSE(app.InitInstance());
    EXPECT_EQ(step, Done);
    EXPECT_TRUE(ui::OkMessageBox::shownTexts().isEmpty())
        << ui::OkMessageBox::shownTexts().join('\n').toStdString();
    data::BackendRouter::setEmbeddedBackend(server);
}

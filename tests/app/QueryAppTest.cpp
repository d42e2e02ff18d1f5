#include "app/QueryApp.h"
#include "app/KioskLoginScreen.h"
#include "app/ScreenFactory.h"
#include "data/BackendRouter.h"
#include "data/SharedDatabase.h"
#include "engine/server/EmbeddedBackend.h"
#include "settings/SettingsFile.h"
#include "tests/support/TempWorkspace.h"
#include "ui/SharedFonts.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QFile>
#include <QFontInfo>
#include <QLabel>
#include <QTimer>

using namespace glimora;
using namespace glimora::app;

namespace {

// Stand-in screens that record the order in which start-up runs them.
class RecordingScreens : public ScreenFactory
{
public:
    int loginResult = QDialog::Rejected;
    bool backOffice = false;
    QStringList order;
    QWidget* mainScreenSeenWhileRunning = nullptr;

    std::unique_ptr<QDialog> createLoginDialog() override { return finishing("login", loginResult); }
    bool backOfficeChosen(const QDialog&) const override { return backOffice; }
    std::unique_ptr<QDialog> createAdminDialog() override { return finishing("admin", QDialog::Accepted); }
    std::unique_ptr<QDialog> createQueryDialog() override { return finishing("query", QDialog::Accepted); }

private:
    std::unique_ptr<QDialog> finishing(const QString& name, int result)
    {
        order << name;
        auto dialog = std::make_unique<QDialog>();
        QDialog* raw = dialog.get();
        QTimer::singleShot(0, raw, [this, raw, name, result] {
            if (name != "login")
                mainScreenSeenWhileRunning = QueryApp::mainScreen();
            raw->done(result);
        });
        return dialog;
    }
};

class QueryAppTest : public ::testing::Test
{
protected:
    void TearDown() override { settings::setSettingsDirectory(QString()); }
    TempWorkspace workspace;
    RecordingScreens screens;
};

} // namespace

TEST_F(QueryAppTest, CancelledLoginEndsWithoutMainScreen)
{
    EXPECT_FALSE(QueryApp(screens).InitInstance());
    EXPECT_EQ(screens.order, QStringList { "login" });
}

TEST_F(QueryAppTest, BackOfficeTickedOpensTheBackOfficeMenu)
{
    screens.loginResult = QDialog::Accepted;
    screens.backOffice = true;
    EXPECT_FALSE(QueryApp(screens).InitInstance());
    EXPECT_EQ(screens.order, (QStringList { "login", "admin" }));
    EXPECT_NE(screens.mainScreenSeenWhileRunning, nullptr);
    EXPECT_EQ(QueryApp::mainScreen(), nullptr);
}

TEST_F(QueryAppTest, LoginWithoutBackOfficeOpensTheQueryScreen)
{
    screens.loginResult = QDialog::Accepted;
    EXPECT_FALSE(QueryApp(screens).InitInstance());
    EXPECT_EQ(screens.order, (QStringList { "login", "query" }));
}

TEST_F(QueryAppTest, StartUpLoadsSettingsAndFontsBeforeTheLogin)
{
    workspace.writeFile("uinfo.ini", "[show]\nf3h=30\nf6w=0\n");
    QueryApp(screens).InitInstance();
    EXPECT_EQ(settings::settingsDirectory(), workspace.path());
    EXPECT_GT(QFontInfo(ui::sharedFont(3)).pixelSize(), QFontInfo(ui::sharedFont(4)).pixelSize());
}

namespace {

// A kiosk start on the embedded server of the test's own folder.
class KioskQueryAppTest : public QueryAppTest
{
protected:
    void SetUp() override
    {
        qunsetenv("CREDENTIALS_DIRECTORY");
        workspace.writeFile("uinfo.ini", "[system]\ndatabase=station\nuser1=ann\n");
        workspace.seedFromTestData("workbooks/contrast.xls", "Contrast.XLS");
        data::BackendRouter::setEmbeddedBackend(
            std::make_shared<engine::EmbeddedBackend>(workspace.filePath("sqldata")));
    }
    void TearDown() override
    {
        data::SharedDatabase::releaseObjects();
        data::BackendRouter::setEmbeddedBackend(nullptr);
        QueryAppTest::TearDown();
    }
    void writeCredentials()
    {
        workspace.writeFile("login.credentials", "server=localhost\nuser=sa\npassword=Kiosk-Pass\n");
        QFile::setPermissions(workspace.filePath("login.credentials"), QFile::ReadOwner | QFile::WriteOwner);
    }
    // A kiosk runs until it is stopped: its end is a failure, for the service manager.
    void runKiosk()
    {
        QueryApp app(screens, QueryApp::StartMode::Kiosk);
        EXPECT_FALSE(app.InitInstance());
        EXPECT_EQ(app.exitCode(), EXIT_FAILURE);
    }
};

} // namespace

TEST_F(KioskQueryAppTest, AKioskStartLogsInByItselfAndOpensTheQueryScreen)
{
    writeCredentials();
    const QByteArray before = workspace.readFile("uinfo.ini");
    screens.loginResult = QDialog::Accepted;
    screens.backOffice = true;
    runKiosk();
    EXPECT_EQ(screens.order, QStringList { "query" });
    EXPECT_NE(screens.mainScreenSeenWhileRunning, nullptr);
    EXPECT_EQ(data::SharedDatabase::login().userName, "sa");
    EXPECT_EQ(data::SharedDatabase::connection().State(), data::Connection::StateOpen);
    EXPECT_EQ(workspace.readFile("uinfo.ini"), before);
}

TEST_F(KioskQueryAppTest, AKioskStartWaitsOnItsScreenUntilItCanLogIn)
{
    QString shown;
    // The first try runs before the screen shows.
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* screen = qobject_cast<KioskLoginScreen*>(QApplication::activeModalWidget());
        if (!screen)
            return;
        poll.stop();
        shown = screen->findChild<QLabel*>("kioskProblem")->text();
        screen->close(); // a close request changes nothing
        EXPECT_TRUE(screen->isVisible());
        writeCredentials();
        QMetaObject::invokeMethod(&screen->retryTimer(), "timeout");
    });
    poll.start(10);
    runKiosk();
    EXPECT_TRUE(shown.contains("login.credentials")) << shown.toStdString();
    EXPECT_EQ(screens.order, QStringList { "query" });
}

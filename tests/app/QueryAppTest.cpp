#include "app/QueryApp.h"
#include "app/ScreenFactory.h"
#include "settings/SettingsFile.h"
#include "tests/support/TempWorkspace.h"
#include "ui/SharedFonts.h"

#include <gtest/gtest.h>
#include <QFontInfo>
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

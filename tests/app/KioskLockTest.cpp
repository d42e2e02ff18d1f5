#include "app/DefaultScreenFactory.h"
#include "app/QueryApp.h"
#include "backoffice/AdminDialog.h"
#include "backoffice/LoginDialog.h"
#include "data/BackendRouter.h"
#include "data/SharedDatabase.h"
#include "engine/server/EmbeddedBackend.h"
#include "query/QueryDialog.h"
#include "settings/SettingsFile.h"
#include "tests/support/TempWorkspace.h"
#include "ui/DropDownCombo.h"
#include "ui/OkMessageBox.h"

#include <gtest/gtest.h>
#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPointer>
#include <QPointingDevice>
#include <QTest>
#include <QTimer>
#include <QWindow>

using namespace glimora;
using app::QueryApp;
using backoffice::AdminDialog;
using backoffice::LoginDialog;
using query::QueryDialog;

namespace {

const QString Password = QStringLiteral("Kiosk-Pass");

// What the compositor sends when its close button or Alt+F4 is used on the window.
void requestClose(QWidget& screen)
{
    QCloseEvent close;
    QApplication::sendEvent(screen.windowHandle(), &close);
}

// Taps where a person would: on whatever widget is at that point of the screen.
void tap(QWidget& screen, QPoint at)
{
    QWidget* target = screen.childAt(at);
    if (!target)
        target = &screen;
    QTest::mouseClick(target, Qt::LeftButton, {}, target->mapFrom(&screen, at));
}

// Touches: they reach the window as a touch screen's do.
void touchCorner(QWidget& screen, int times)
{
    static QPointingDevice* const touchScreen = QTest::createTouchDevice();
    for (int n = 0; n < times; ++n) {
        QTest::touchEvent(&screen, touchScreen).press(0, { 20, 12 + 10 * n });
        QTest::touchEvent(&screen, touchScreen).release(0, { 20, 12 + 10 * n });
    }
    QApplication::processEvents();
}

void tapCorner(QWidget& screen, int times)
{
    for (int n = 0; n < times; ++n)
        tap(screen, { 12 + 10 * n, 15 });
    QApplication::processEvents();
}

// A station on the embedded server of the test's own folder, with its kiosk login.
class KioskLockTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        qunsetenv("CREDENTIALS_DIRECTORY");
        workspace.writeFile("uinfo.ini", "[system]\ndatabase=station\nsqlserver=localhost\nuser1=sa\n");
        workspace.seedFromTestData("workbooks/contrast.xls", "Contrast.XLS");
        workspace.writeFile(
            "login.credentials", "server=localhost\nuser=sa\npassword=" + Password.toUtf8() + "\n");
        QFile::setPermissions(workspace.filePath("login.credentials"), QFile::ReadOwner | QFile::WriteOwner);
        data::BackendRouter::setEmbeddedBackend(
            std::make_shared<engine::EmbeddedBackend>(workspace.filePath("sqldata")));
        ui::OkMessageBox::clearShownTexts();
    }
    void TearDown() override
    {
        data::SharedDatabase::releaseObjects();
        data::BackendRouter::setEmbeddedBackend(nullptr);
        settings::setSettingsDirectory(QString());
    }

    // Runs `step` once a screen of type T, other than `before`, is the modal one on display.
    // A screen that never comes fails the test, and every screen shown from then on is
    // closed, so that the run ends.
    template <class T> void whenShowing(std::function<void(T&)> step, QPointer<QWidget> before = {})
    {
        auto* poll = new QTimer(&m_testScope);
        QElapsedTimer waited;
        waited.start();
        QObject::connect(
            poll, &QTimer::timeout, poll, [poll, waited, step, before, failed = false]() mutable {
                auto* screen = qobject_cast<T*>(QApplication::activeModalWidget());
                if (waited.elapsed() > 20'000) {
                    if (!std::exchange(failed, true))
                        ADD_FAILURE() << "never shown: " << T::staticMetaObject.className();
                    if (auto* open = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
                        open->done(ui::IDOK);
                    return;
                }
                if (!screen || screen == before.data() || !screen->isVisible())
                    return;
                poll->deleteLater();
                poll->stop();
                step(*screen);
            });
        poll->start(10);
    }

    void run(QueryApp::StartMode mode) { EXPECT_FALSE(QueryApp(screens, mode).InitInstance()); }

    static void logIn(LoginDialog& login, const QString& password)
    {
        login.control<QLineEdit>(1002)->setText(password);
        QTest::mouseClick(login.control(1), Qt::LeftButton);
    }

    // Every way out a visitor has; the screen is still the one on display after each.
    static void tryEveryWayOut(QueryDialog& screen)
    {
        QTest::keyClick(&screen, Qt::Key_F4, Qt::AltModifier);
        QTest::keyClick(&screen, Qt::Key_Escape);
        QTest::keyClick(&screen, Qt::Key_Backspace, Qt::ControlModifier | Qt::AltModifier);
        QTest::mouseDClick(screen.control(1140), Qt::LeftButton); // the close picture
        tapCorner(screen, 4);
        tap(screen, { 400, 300 });
        QApplication::processEvents();
    }

    TempWorkspace workspace;
    app::DefaultScreenFactory screens;

private:
    QObject m_testScope; // the test's waits end with it
};

} // namespace

TEST_F(KioskLockTest, TheKioskQueryScreenCannotBeLeftByTheVisitor)
{
    bool stayed = false;
    bool listStayed = false;
    whenShowing<QueryDialog>([&](QueryDialog& screen) {
        ASSERT_TRUE(screen.isReady());
        tryEveryWayOut(screen);
        requestClose(screen);
        stayed = screen.isVisible() && QApplication::activeModalWidget() == &screen;
        // A list the visitor opened stays open too.
        auto* list = screen.control<ui::DropDownCombo>(1000);
        list->showPopup();
        QTest::keyClick(list->view(), Qt::Key_Escape);
        requestClose(*list->view()->window());
        listStayed = list->view()->isVisible();
        list->hidePopup();
        screen.grab().save(workspace.filePath("kiosk-query.png"));
        screen.done(ui::IDOK);
    });
    run(QueryApp::StartMode::Kiosk);
    EXPECT_TRUE(stayed);
    EXPECT_TRUE(listStayed);
    if (!qEnvironmentVariableIsEmpty("GLIMORA_KEEP_PNG"))
        QFile::copy(workspace.filePath("kiosk-query.png"),
            qEnvironmentVariable("GLIMORA_KEEP_PNG") + "/kiosk-query.png");
}

TEST_F(KioskLockTest, AnInteractiveQueryScreenStillClosesOnTheCloseRequest)
{
    bool stayedThroughTheKeys = false;
    whenShowing<LoginDialog>([&](LoginDialog& login) { logIn(login, Password); });
    whenShowing<QueryDialog>([&](QueryDialog& screen) {
        QTest::keyClick(&screen, Qt::Key_Escape); // swallowed, as always
        stayedThroughTheKeys = screen.isVisible();
        requestClose(screen);
    });
    run(QueryApp::StartMode::Interactive);
    EXPECT_TRUE(stayedThroughTheKeys);
}

TEST_F(KioskLockTest, FiveCornerTapsLeadToTheBackOfficeAndBackToAFreshQueryScreen)
{
    QPointer<QWidget> last; // the query screen shown last
    QStringList seen;
    int shown = 0;
    const auto queryShown = [&](QueryDialog& screen) {
        last = &screen;
        seen << (screen.isReady() ? "query" : "query not ready");
        // The second time by touch, as on the station's touch screen.
        if (++shown == 2)
            touchCorner(screen, 5);
        else
            tapCorner(screen, 5);
    };
    whenShowing<QueryDialog>([&](QueryDialog& screen) {
        queryShown(screen);
        whenShowing<LoginDialog>([&](LoginDialog& login) {
            seen << (login.control<QCheckBox>(1128)->isChecked() ? "login, back office ticked" : "login");
            login.grab().save(workspace.filePath("kiosk-login.png"));
            QTest::mouseClick(login.control(2), Qt::LeftButton); // 取消
            whenShowing<QueryDialog>(
                [&](QueryDialog& screen) {
                    queryShown(screen);
                    whenShowing<LoginDialog>([&](LoginDialog& login) {
                        ui::OkMessageBox::setNextAnswer(QMessageBox::Ok);
                        logIn(login, "wrong"); // one try only
                        whenShowing<QueryDialog>(
                            [&](QueryDialog& screen) {
                                queryShown(screen);
                                whenShowing<LoginDialog>([&](LoginDialog& login) {
                                    logIn(login, Password);
                                    whenShowing<AdminDialog>([&](AdminDialog& admin) {
                                        seen << "admin";
                                        QTest::mouseClick(admin.control(1011), Qt::LeftButton); // 退出系统
                                        whenShowing<QueryDialog>(
                                            [&](QueryDialog& screen) {
                                                seen << (screen.isReady() ? "query" : "query not ready");
                                                screen.done(ui::IDOK);
                                            },
                                            last);
                                    });
                                });
                            },
                            last);
                    });
                },
                last);
        });
    });
    run(QueryApp::StartMode::Kiosk);
    EXPECT_EQ(
        seen.join(" / ").toStdString(), "query / login, back office ticked / query / query / admin / query");
    EXPECT_EQ(ui::OkMessageBox::shownTexts(),
        QStringList { QString::fromUtf8("登录失败。密码错误/服务器不可用。") });
    // The visitor's screen runs on the kiosk's own login again.
    EXPECT_EQ(data::SharedDatabase::login().userName, "sa");
    EXPECT_EQ(data::SharedDatabase::connection().State(), data::Connection::StateOpen);
    if (!qEnvironmentVariableIsEmpty("GLIMORA_KEEP_PNG"))
        QFile::copy(workspace.filePath("kiosk-login.png"),
            qEnvironmentVariable("GLIMORA_KEEP_PNG") + "/kiosk-login.png");
}

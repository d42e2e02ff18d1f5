// The maintenance screens as an administrator reaches them: through the login and the
// back-office menu, against the embedded server.
#include "backoffice/AdminDialog.h"
#include "backoffice/LoginDialog.h"
#include "components/CDataGrid.h"
#include "components/ComponentFactories.h"
#include "data/SharedDatabase.h"
#include "maintenance/ConfigDialog.h"
#include "maintenance/DataManageDialog.h"
#include "maintenance/UserManageDialog.h"
#include "tests/maintenance/MaintenanceStation.h"
#include "tests/support/WaitFor.h"
#include "ui/OkMessageBox.h"

#include <gtest/gtest.h>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

using namespace glimora;

namespace {

QString u(const char* text)
{
    return QString::fromUtf8(text);
}

class BackOfficeFlowTest : public ::testing::Test
{
protected:
    void SetUp() override { components::ComponentFactories::install(); }

    // The login as a person does it, with 后台 ticked.
    bool logIn(const QString& user, const QString& password)
    {
        backoffice::LoginDialog login;
        login.control<QComboBox>(1000)->setEditText("(local)");
        login.control<QComboBox>(1001)->setEditText(user);
        login.control<QLineEdit>(1002)->setText(password);
        login.control<QCheckBox>(1128)->setChecked(true);
        QTest::mouseClick(login.control(1), Qt::LeftButton);
        return login.result() == ui::IDOK;
    }
    QList<int> enabledButtons(backoffice::AdminDialog& menu)
    {
        QList<int> ids;
        for (int id : { 1003, 1004, 1005, 1006, 1007, 1008, 1010, 1012 }) {
            if (menu.control(id)->isEnabled())
                ids << id;
        }
        return ids;
    }
    static void clickItem(maintenance::UserManageDialog& dialog, const QString& name)
    {
        auto* tree = dialog.control<QTreeWidget>(1127);
        const QRect rect = tree->visualItemRect(dialog.userItem(name));
        QTest::mouseClick(
            tree->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(rect.left() + 10, rect.center().y()));
    }
    // Runs `check` on the modal screen that a click on the menu's button opens, then closes it.
    template <class Screen>
    void whileOpen(backoffice::AdminDialog& menu, int button, std::function<void(Screen&)> check)
    {
        bool seen = false;
        QTimer::singleShot(0, [&]() {
            auto* screen = qobject_cast<Screen*>(QApplication::activeModalWidget());
            ASSERT_NE(screen, nullptr) << button;
            seen = true;
            check(*screen);
            screen->reject();
        });
        QTest::mouseClick(menu.control(button), Qt::LeftButton);
        EXPECT_TRUE(seen) << button;
    }

    MaintenanceStation station { "[system]\r\ndatabase=nivo\r\n[select]\r\nselect=d1,d2\r\n" };
};

} // namespace

TEST_F(BackOfficeFlowTest, AUserCreatedWithThreeRightsSeesThemRenamedLogsInWithTheFixedPasswordDeletedCannot)
{
    {
        maintenance::UserManageDialog users;
        QTest::mouseClick(users.control(1005), Qt::LeftButton);
        users.control<QLineEdit>(1002)->setText(u("护士 anne"));
        users.control<QLineEdit>(1003)->setText("Anne-pass1");
        users.control<QLineEdit>(1004)->setText("Anne-pass1");
        for (int id : { 1128, 1130, 1133 }) // 配置系统, 备份数据, 数据录入
            users.control<QCheckBox>(id)->setChecked(true);
        QTest::mouseClick(users.control(1007), Qt::LeftButton);
        ASSERT_TRUE(ui::OkMessageBox::shownTexts().isEmpty())
            << ui::OkMessageBox::shownTexts().join(',').toStdString();
    }
    ASSERT_TRUE(logIn(u("护士 anne"), "Anne-pass1"));
    {
        backoffice::AdminDialog menu;
        ASSERT_TRUE(menu.isOpen()) << ui::OkMessageBox::shownTexts().join(',').toStdString();
        EXPECT_EQ(enabledButtons(menu), (QList<int> { 1003, 1005, 1008, 1012 }));
    }

    ASSERT_TRUE(logIn("sa", MaintenanceStation::SaPassword));
    {
        maintenance::UserManageDialog users;
        users.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&users));
        clickItem(users, u("护士 anne"));
        users.control<QLineEdit>(1002)->setText("anne");
        QTest::mouseClick(users.control(1007), Qt::LeftButton);
    }
    EXPECT_FALSE(logIn(u("护士 anne"), "Anne-pass1"));
    EXPECT_FALSE(logIn("anne", "Anne-pass1"));
    ASSERT_TRUE(logIn("anne", "286415"));
    {
        backoffice::AdminDialog menu;
        ASSERT_TRUE(menu.isOpen());
        EXPECT_EQ(enabledButtons(menu), (QList<int> { 1003, 1005, 1008, 1012 }));
    }

    ASSERT_TRUE(logIn("sa", MaintenanceStation::SaPassword));
    {
        maintenance::UserManageDialog users;
        users.control<QLineEdit>(1002)->setText("anne");
        QTest::mouseClick(users.control(1006), Qt::LeftButton);
    }
    ui::OkMessageBox::clearShownTexts();
    EXPECT_FALSE(logIn("anne", "286415"));
    EXPECT_EQ(ui::OkMessageBox::shownTexts(), QStringList { u("登录失败。密码错误/服务器不可用。") });
}

TEST_F(BackOfficeFlowTest, TheMenuOpensEachMaintenanceScreen)
{
    station.execute(u("insert inquiry(d1,d2) values('张三','内科')"));
    ASSERT_TRUE(logIn("sa", MaintenanceStation::SaPassword));
    backoffice::AdminDialog menu;
    ASSERT_TRUE(menu.isOpen());
    menu.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&menu));

    // Configuration hides the menu while it runs.
    whileOpen<maintenance::ConfigDialog>(
        menu, 1003, [&](maintenance::ConfigDialog&) { EXPECT_FALSE(menu.isVisible()); });
    EXPECT_TRUE(menu.isVisible());
    whileOpen<maintenance::UserManageDialog>(
        menu, 1007, [&](maintenance::UserManageDialog&) { EXPECT_TRUE(menu.isVisible()); });
    whileOpen<maintenance::DataManageDialog>(menu, 1010, [&](maintenance::DataManageDialog& screen) {
        EXPECT_EQ(screen.control<components::CDataGrid>(1106)->model()->rowCount(), 1);
    });

    // Data entry: a new record, its first cell taking the typing.
    whileOpen<maintenance::DataManageDialog>(menu, 1008, [&](maintenance::DataManageDialog& screen) {
        auto* grid = screen.control<components::CDataGrid>(1106);
        QLineEdit* editor = nullptr;
        EXPECT_EVENTUALLY((editor = grid->viewport()->findChild<QLineEdit*>()) != nullptr);
        if (!editor)
            return;
        EXPECT_EQ(grid->currentIndex().row(), 1);
        QTest::keyClicks(editor, "Li Si");
        const QPointer<QLineEdit> open(editor);
        QTest::keyClick(editor, Qt::Key_Return);
        EXPECT_EVENTUALLY(open.isNull());
    });
    EXPECT_EQ(station.rows("select d1 from inquiry order by d60"), (QStringList { u("张三"), "Li Si" }));
}

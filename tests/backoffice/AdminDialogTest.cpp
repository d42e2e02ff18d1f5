#include "backoffice/AdminDialog.h"
#include "data/CatalogueCaptions.h"
#include "tests/backoffice/BackOfficeFixture.h"
#include "tests/support/WaitFor.h"
#include "ui/SkinButton.h"

#include <QTimer>

using namespace glimora;
using backoffice::AdminDialog;

namespace {

const QList<int> gatedButtons { 1003, 1004, 1005, 1006, 1007, 1008, 1010 };

QList<int> enabledButtons(const AdminDialog& menu)
{
    QList<int> ids;
    for (int id : { 1003, 1004, 1005, 1006, 1007, 1008, 1010, 1011, 1012 }) {
        if (menu.control(id)->isEnabled())
            ids.append(id);
    }
    return ids;
}

// Maintenance dialogs that close themselves and note whether the menu was visible meanwhile.
class FakeScreens : public backoffice::MaintenanceScreens
{
public:
    explicit FakeScreens(QStringList& log)
        : m_log(log)
    {
    }
    std::unique_ptr<QDialog> configDialog() override { return make("config"); }
    std::unique_ptr<QDialog> userManageDialog() override { return make("users"); }
    std::unique_ptr<QDialog> dataManageDialog() override { return make("data"); }
    std::unique_ptr<QDialog> dataEntryDialog() override { return nullptr; }

private:
    std::unique_ptr<QDialog> make(const QString& name)
    {
        auto dialog = std::make_unique<QDialog>();
        QDialog* raw = dialog.get();
        QTimer::singleShot(0, raw, [this, raw, name] {
            const QWidget* menu = ui::MainScreen::get();
            m_log << name + (menu && menu->isVisible() ? " over the menu" : " alone");
            raw->accept();
        });
        return dialog;
    }
    QStringList& m_log;
};

} // namespace

TEST_F(BackOfficeTest, SaReachesEveryFunctionWithoutARowAndTheCaptionsAreLoaded)
{
    sql("update contrast set chna='Riverside Hospital' where nober=100 "
        "update contrast set chna='Price list' where nober=101");
    data::CatalogueCaptions::shared() = {};
    data::StatementRecorder::start();
    AdminDialog menu;
    EXPECT_TRUE(menu.isOpen());
    EXPECT_TRUE(shown().isEmpty());
    EXPECT_EQ(enabledButtons(menu), (QList<int> { 1003, 1004, 1005, 1006, 1007, 1008, 1010, 1011, 1012 }));
    EXPECT_FALSE(menu.control(1011)->isVisibleTo(&menu));
    // sa is not looked up: the only statement reads the captions.
    EXPECT_EQ(data::StatementRecorder::statements(),
        QStringList { "select chna from contrast where nober>=100 and nober<=101 order by nober asc" });
    EXPECT_EQ(data::CatalogueCaptions::shared().companyName, "Riverside Hospital");
    EXPECT_EQ(data::CatalogueCaptions::shared().reportTitle, "Price list");
    EXPECT_EQ(data::SharedDatabase::login().connectionString,
        QString("Driver={SQL Server};Server=LOCALHOST;Database=nivo;Uid=sa;pwd=") + SaPassword);

    const ui::SkinButton* button = menu.skinButton(1004);
    EXPECT_EQ(button->caption(), utf8("导入数据"));
    EXPECT_EQ(button->bitmapId(), 184);
    EXPECT_EQ(button->captionFont(), 6);
    EXPECT_EQ(button->textColor(), QColor(240, 240, 240));
    EXPECT_EQ(menu.skinButton(1012)->caption(), utf8("修改密码"));
}

TEST_F(BackOfficeTest, RightsEnableTheirButtons)
{
    addUser("ann", "pw1", "1,0,2,NULL,0,NULL,1,0,1,1"); // acc7, acc9, acc10 gate nothing
    addUser("nil", "pw2", "NULL,NULL,NULL,NULL,NULL,NULL,NULL,NULL,NULL,NULL");
    addUser("O'Brien", "pw3", "0,1,1,1,0,0,0,1,0,0");

    ASSERT_EQ(logInThroughTheLoginDialog("ann", "pw1"), ui::IDOK);
    data::StatementRecorder::start();
    {
        AdminDialog menu;
        ASSERT_TRUE(menu.isOpen());
        EXPECT_EQ(enabledButtons(menu), (QList<int> { 1003, 1005, 1011, 1012 }));
        EXPECT_EQ(menu.right(3), 2);
        EXPECT_EQ(menu.right(4), 0);
        EXPECT_EQ(data::StatementRecorder::statements().value(0),
            "select uname,acc1,acc2,acc3,acc4,acc5,acc6,acc7,acc8,acc9,acc10 from username where "
            "uname='ann'");
    }
    ASSERT_EQ(logInThroughTheLoginDialog("nil", "pw2"), ui::IDOK);
    {
        AdminDialog menu;
        ASSERT_TRUE(menu.isOpen());
        EXPECT_EQ(enabledButtons(menu), (QList<int> { 1011, 1012 }));
    }
    // A quote in the name is part of the name, not of the statement.
    ASSERT_EQ(logInThroughTheLoginDialog("O'Brien", "pw3"), ui::IDOK);
    {
        AdminDialog menu;
        ASSERT_TRUE(menu.isOpen());
        EXPECT_EQ(enabledButtons(menu), (QList<int> { 1004, 1005, 1006, 1010, 1011, 1012 }));
    }
    EXPECT_TRUE(shown().isEmpty());
}

TEST_F(BackOfficeTest, OpeningFailuresCloseTheMenu)
{
    addUser("bob", "pw1", "");
    struct Case
    {
        const char* user;
        const char* password;
        const char* message;
    };
    // "SA" is a name like any other: only "sa" itself skips the lookup.
    const Case cases[] = { { "bob", "pw1", "该用户未经授权管理本系统！" },
        { "SA", SaPassword, "该用户未经授权管理本系统！" } };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.user);
        ASSERT_EQ(logInThroughTheLoginDialog(c.user, c.password), ui::IDOK);
        ui::OkMessageBox::clearShownTexts();
        AdminDialog menu;
        EXPECT_FALSE(menu.isOpen());
        EXPECT_EQ(shown(), QStringList { utf8(c.message) });
        EXPECT_EQ(menu.exec(), ui::IDCANCEL);
        EXPECT_FALSE(menu.isVisible());
    }

    // The login's set-up batch would make the table again: drop it after the login.
    ASSERT_EQ(logInThroughTheLoginDialog("bob", "pw1"), ui::IDOK);
    sql("drop table username");
    ui::OkMessageBox::clearShownTexts();
    {
        AdminDialog menu;
        EXPECT_FALSE(menu.isOpen());
        EXPECT_EQ(shown(), QStringList { utf8("SQL异常，请稍后再试") });
    }

    // The configured database is not there, and bob may not create it.
    settings::WriteSetting("system", "database", "elsewhere");
    settings::Settings::instance().load();
    ASSERT_EQ(logInThroughTheLoginDialog("bob", "pw1"), ui::IDOK);
    ui::OkMessageBox::clearShownTexts();
    {
        AdminDialog menu;
        EXPECT_FALSE(menu.isOpen());
        EXPECT_EQ(shown(), QStringList { utf8("初始化失败，请确认您对指定服务器上的SQL是否有足够权限。") });
        EXPECT_EQ(menu.exec(), ui::IDCANCEL);
    }
}

TEST_F(BackOfficeTest, UnreadableCaptionsKeepTheirValues)
{
    sql("drop table contrast");
    data::CatalogueCaptions::shared() = { "kept", "also kept" };
    AdminDialog menu;
    EXPECT_TRUE(menu.isOpen());
    EXPECT_TRUE(shown().isEmpty());
    EXPECT_EQ(data::CatalogueCaptions::shared().companyName, "kept");
    EXPECT_EQ(data::CatalogueCaptions::shared().reportTitle, "also kept");
}

TEST_F(BackOfficeTest, ButtonsRunTheirDialogsAndLeaveEndsTheMenu)
{
    QStringList log;
    AdminDialog menu(std::make_unique<FakeScreens>(log));
    ui::MainScreen::set(&menu);
    menu.show();
    for (int id : { 1003, 1007, 1010, 1008 })
        QTest::mouseClick(menu.control(id), Qt::LeftButton);
    // Configuration hides the menu; the others open over it; data entry has no dialog yet.
    EXPECT_EQ(log, (QStringList { "config alone", "users over the menu", "data over the menu" }));
    EXPECT_TRUE(menu.isVisible());

    menu.skinButton(1011)->show();
    QTest::mouseClick(menu.control(1011), Qt::LeftButton);
    EXPECT_FALSE(menu.isVisible());
    EXPECT_EQ(menu.result(), ui::IDOK);

    AdminDialog escaped;
    escaped.show();
    QTest::keyClick(&escaped, Qt::Key_Escape);
    EXPECT_FALSE(escaped.isVisible());
}

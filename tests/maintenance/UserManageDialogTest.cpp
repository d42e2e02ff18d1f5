#include "maintenance/UserManageDialog.h"

#include "data/Command.h"
#include "data/Connection.h"
#include "data/ConnectionString.h"
#include "data/DbError.h"
#include "data/SharedDatabase.h"
#include "data/StatementRecorder.h"
#include "tests/maintenance/MaintenanceStation.h"
#include "ui/OkMessageBox.h"
#include "ui/SkinButton.h"

#include <gtest/gtest.h>
#include <QCheckBox>
#include <QLineEdit>
#include <QTest>
#include <QTreeWidget>

using namespace glimora;
using maintenance::UserManageDialog;

namespace {

QString u(const char* text)
{
    return QString::fromUtf8(text);
}

const QString listStatement = "select uname from username where (uname<>'sa' and uname<>'admin') ";

QString rightsStatement(const QString& name)
{
    return "select uname,acc1,acc2,acc3,acc4,acc5,acc6,acc7,acc8,acc9,acc10,acc11,acc12,acc13,acc14,acc15 "
           "from username where uname='"
        + name + "'";
}

class UserManageDialogTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        station.execute("insert username(uname,acc1,acc2,acc3,acc5,acc8) values('sa',1,1,1,1,1)");
        station.execute("insert username(uname,acc1) values('admin',1)");
        station.execute("insert username(uname,acc1,acc2,acc3,acc5,acc8,acc10) values('bob',1,NULL,0,1,2,1)");
    }
    void TearDown() override { data::StatementRecorder::stop(); }

    static QTreeWidget* tree(UserManageDialog& dialog) { return dialog.control<QTreeWidget>(1127); }
    static QStringList listed(UserManageDialog& dialog)
    {
        QStringList names;
        if (tree(dialog)->topLevelItemCount() == 0)
            return names;
        QTreeWidgetItem* root = tree(dialog)->topLevelItem(0);
        names << root->text(0);
        for (int i = 0; i < root->childCount(); ++i)
            names << root->child(i)->text(0);
        return names;
    }
    static void clickItem(UserManageDialog& dialog, const QString& name)
    {
        QTreeWidgetItem* item = dialog.userItem(name);
        ASSERT_NE(item, nullptr) << name.toStdString();
        const QRect rect = tree(dialog)->visualItemRect(item);
        QTest::mouseClick(tree(dialog)->viewport(), Qt::LeftButton, Qt::NoModifier,
            QPoint(rect.left() + 10, rect.center().y()));
    }
    static void type(
        UserManageDialog& dialog, const QString& name, const QString& password, const QString& confirmation)
    {
        dialog.control<QLineEdit>(1002)->setText(name);
        dialog.control<QLineEdit>(1003)->setText(password);
        dialog.control<QLineEdit>(1004)->setText(confirmation);
    }
    static void tick(UserManageDialog& dialog, const QList<int>& ids)
    {
        for (int id = 1128; id <= 1137; ++id)
            dialog.control<QCheckBox>(id)->setChecked(ids.contains(id));
    }
    static QList<int> ticked(UserManageDialog& dialog)
    {
        QList<int> ids;
        for (int id = 1128; id <= 1137; ++id) {
            if (dialog.control<QCheckBox>(id)->isChecked())
                ids << id;
        }
        return ids;
    }
    static void click(UserManageDialog& dialog, int id)
    {
        QTest::mouseClick(dialog.control(id), Qt::LeftButton);
    }

    // Creates a user through the screen, as an administrator does.
    void createUser(
        UserManageDialog& dialog, const QString& name, const QString& password, const QList<int>& rights)
    {
        click(dialog, 1005);
        type(dialog, name, password, password);
        tick(dialog, rights);
        click(dialog, 1007);
    }

    MaintenanceStation station;
};

} // namespace

TEST_F(UserManageDialogTest, TheTreeListsEveryUserButSaAndAdmin)
{
    station.execute("insert username(uname) values('cy   ')");
    data::StatementRecorder::start();
    UserManageDialog dialog;
    EXPECT_EQ(data::StatementRecorder::statements(), QStringList { listStatement });
    EXPECT_EQ(listed(dialog), (QStringList { u("所有用户"), "bob", "cy" }));
    EXPECT_TRUE(tree(dialog)->topLevelItem(0)->isExpanded());
    EXPECT_FALSE(dialog.isEnteringNewUser());
    EXPECT_FALSE(dialog.control(1003)->isEnabled());
    EXPECT_EQ(dialog.skinButton(1008)->caption(), u("退出"));
    EXPECT_TRUE(ui::OkMessageBox::shownTexts().isEmpty());
}

TEST_F(UserManageDialogTest, AMissingUserTableIsReported)
{
    station.execute("drop table username");
    UserManageDialog dialog;
    EXPECT_EQ(ui::OkMessageBox::shownTexts(), QStringList { u("数据库异常，请稍后再试") });
    EXPECT_TRUE(listed(dialog).isEmpty());
}

TEST_F(UserManageDialogTest, ClickingAUserShowsExactlyTheRightsStoredAsOne)
{
    UserManageDialog dialog;
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    data::StatementRecorder::start();
    clickItem(dialog, "bob");
    EXPECT_EQ(data::StatementRecorder::statements(), QStringList { rightsStatement("bob") });
    EXPECT_EQ(dialog.control<QLineEdit>(1002)->text(), "bob");
    // acc1 1, acc2 NULL, acc3 0, acc5 1, acc8 2, acc10 1 (a hidden box)
    EXPECT_EQ(ticked(dialog), (QList<int> { 1128, 1132, 1137 }));

    clickItem(dialog, u("所有用户"));
    EXPECT_TRUE(dialog.control<QLineEdit>(1002)->text().isEmpty());
    EXPECT_TRUE(ticked(dialog).isEmpty());
}

TEST_F(UserManageDialogTest, ANewUserIsCheckedInOrderBeforeAnythingIsSent)
{
    UserManageDialog dialog;
    click(dialog, 1005);
    EXPECT_TRUE(dialog.isEnteringNewUser());
    EXPECT_TRUE(dialog.control(1003)->isEnabled());
    data::StatementRecorder::start();
    const struct
    {
        const char* name;
        const char* password;
        const char* confirmation;
        const char* message;
    } cases[] = {
        { "", "", "x", "用户名不能为空" },
        { "sa", "a", "b", "此用户名不可用" },
        { "SA", "a", "a", "此用户名不可用" },
        { "Sa", "a", "b", "两次输入不符，请重新输入密码" },
        { "carl", "", "", "密码不能为空" },
        // The login cuts ASCII blanks from a typed password, so they are no part of one.
        { "carl", "   ", "   ", "密码不能为空" },
        { "carl", "p", "q ", "两次输入不符，请重新输入密码" },
        // Longer than uname holds: the login would be made but never its row.
        { "人民医院信息科管理员账", "p", "p", "此用户名不可用" },
        { "{carl}", "p", "p",
            "The user name cannot be put into a connection string: it holds \"}\" together "
            "with \";\" or a leading \"{\", which the ODBC driver does not read back as typed." },
    };
    for (const auto& c : cases) {
        ui::OkMessageBox::clearShownTexts();
        type(dialog, u(c.name), u(c.password), u(c.confirmation));
        click(dialog, 1007);
        EXPECT_EQ(ui::OkMessageBox::shownTexts(), QStringList { u(c.message) }) << c.name;
    }
    EXPECT_TRUE(data::StatementRecorder::statements().isEmpty());
    EXPECT_TRUE(dialog.isEnteringNewUser());
}

TEST_F(UserManageDialogTest, ANewUserGetsALoginAndItsRightsWhateverItsNameHolds)
{
    UserManageDialog dialog;
    const QString name = u("o'neil 王");
    const QString password = u("pa'ss 密码");
    data::StatementRecorder::start();
    createUser(dialog, name, password, { 1128, 1132, 1135 });
    EXPECT_TRUE(ui::OkMessageBox::shownTexts().isEmpty())
        << ui::OkMessageBox::shownTexts().join(',').toStdString();
    EXPECT_EQ(data::StatementRecorder::statements(),
        (QStringList {
            u("Exec sp_addlogin 'o''neil 王','hqvxnd',nivo,NULL"),
            u(" Exec sp_adduser 'o''neil 王',NULL,db_owner "
              "Exec sp_addrolemember db_datawriter,'o''neil 王' Exec sp_addsrvrolemember 'o''neil "
              "王',sysadmin "
              "Exec sp_password  'hqvxnd','pa''ss 密码','o''neil 王'"),
            u("insert "
              "username(uname,acc1,acc2,acc3,acc4,acc5,acc6,acc7,acc8,acc9,acc10,acc11,acc12,acc13,acc14,"
              "acc15) values('o''neil 王',1,0,0,0,1,0,0,1,0,0,NULL,NULL,NULL,NULL,NULL)"),
            listStatement,
        }));
    EXPECT_EQ(station.rows("select uname,acc1,acc2,acc5,acc8,acc11 from username where uname like 'o%'"),
        QStringList { u("o'neil 王|1|0|1|1|NULL") });
    EXPECT_TRUE(station.canLogIn(name, password));
    EXPECT_FALSE(station.canLogIn(name, "hqvxnd"));
    EXPECT_TRUE(listed(dialog).contains(name));
    EXPECT_FALSE(dialog.isEnteringNewUser());
    EXPECT_TRUE(dialog.control<QLineEdit>(1002)->text().isEmpty());
    EXPECT_TRUE(ticked(dialog).isEmpty());
}

TEST_F(UserManageDialogTest, SavingAnUnchangedUserRewritesItsTenRightsNullAsZero)
{
    UserManageDialog dialog;
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    clickItem(dialog, "bob");
    data::StatementRecorder::start();
    click(dialog, 1007);
    EXPECT_EQ(data::StatementRecorder::statements(),
        (QStringList { "update username set acc1='1',acc2='0',acc3='0',acc4='0',acc5='1',acc6='0',acc7='0',"
                       "acc8='0',acc9='0',acc10='1' where uname='bob'",
            listStatement }));
    EXPECT_EQ(station.rows("select acc1,acc2,acc4,acc8,acc10,acc11 from username where uname='bob'"),
        QStringList { "1|0|0|0|1|NULL" });
    EXPECT_TRUE(dialog.control<QLineEdit>(1002)->text().isEmpty());
    EXPECT_EQ(ticked(dialog), (QList<int> { 1128, 1132, 1137 })); // the boxes keep their ticks

    // With nothing selected, or the root, saving does nothing.
    data::StatementRecorder::start();
    dialog.control<QLineEdit>(1002)->setText("bob");
    click(dialog, 1007);
    clickItem(dialog, u("所有用户"));
    dialog.control<QLineEdit>(1002)->setText("bob");
    click(dialog, 1007);
    EXPECT_TRUE(data::StatementRecorder::statements().isEmpty());
}

TEST_F(UserManageDialogTest, ARenamedUserLogsInWithTheFixedPasswordAndTheOldNameIsGone)
{
    UserManageDialog dialog;
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    createUser(dialog, "dora", "Dora-pass1", { 1129 });
    ASSERT_TRUE(station.canLogIn("dora", "Dora-pass1"));

    clickItem(dialog, "dora");
    EXPECT_EQ(ticked(dialog), QList<int> { 1129 });
    dialog.control<QLineEdit>(1002)->setText(u("朵拉 d'or"));
    tick(dialog, { 1129, 1133 });
    data::StatementRecorder::start();
    click(dialog, 1007);
    EXPECT_TRUE(ui::OkMessageBox::shownTexts().isEmpty())
        << ui::OkMessageBox::shownTexts().join(',').toStdString();
    // The new login first: a name that cannot have one leaves the old user whole.
    EXPECT_EQ(data::StatementRecorder::statements(),
        (QStringList {
            "exec sp_who",
            u("Exec sp_addlogin '朵拉 d''or','hqvxnd',nivo,NULL"),
            u(" Exec sp_adduser '朵拉 d''or',NULL,db_owner "
              "Exec sp_addrolemember db_datawriter,'朵拉 d''or' Exec sp_addsrvrolemember '朵拉 "
              "d''or',sysadmin "
              "Exec sp_password  'hqvxnd','286415','朵拉 d''or'"),
            " Exec sp_dropsrvrolemember 'dora',sysadmin  Exec sp_droprolemember db_datawriter,'dora' "
            "Exec sp_dropuser 'dora' Exec sp_droplogin 'dora' ",
            u("update username set uname='朵拉 d''or' where uname='dora'"),
            u("update username set acc1='0',acc2='1',acc3='0',acc4='0',acc5='0',acc6='1',acc7='0',acc8='0',"
              "acc9='0',acc10='0' where uname='朵拉 d''or'"),
            listStatement,
        }));
    EXPECT_TRUE(station.canLogIn(u("朵拉 d'or"), "286415"));
    EXPECT_FALSE(station.canLogIn(u("朵拉 d'or"), "Dora-pass1"));
    EXPECT_FALSE(station.canLogIn("dora", "Dora-pass1"));
    EXPECT_EQ(station.rows("select uname,acc2,acc6 from username where acc6=1"),
        QStringList { u("朵拉 d'or|1|1") });
    EXPECT_EQ(listed(dialog), (QStringList { u("所有用户"), "bob", u("朵拉 d'or") }));
}

TEST_F(UserManageDialogTest, DeleteDropsTheLoginAndTheRowWithoutAsking)
{
    UserManageDialog dialog;
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    createUser(dialog, "eve's", "Eve-pass1", { 1128 });
    ASSERT_TRUE(station.canLogIn("eve's", "Eve-pass1"));
    clickItem(dialog, "eve's");
    data::StatementRecorder::start();
    click(dialog, 1006);
    EXPECT_EQ(data::StatementRecorder::statements(),
        (QStringList { "exec sp_who",
            " Exec sp_dropsrvrolemember 'eve''s',sysadmin  Exec sp_droprolemember db_datawriter,'eve''s' "
            "Exec sp_dropuser 'eve''s' Exec sp_droplogin 'eve''s'",
            "delete username where uname='eve''s'", listStatement }));
    EXPECT_FALSE(station.canLogIn("eve's", "Eve-pass1"));
    EXPECT_EQ(station.scalar("select count(*) from username where uname='eve''s'"), "0");
    EXPECT_EQ(listed(dialog), (QStringList { u("所有用户"), "bob" }));
    EXPECT_TRUE(ui::OkMessageBox::shownTexts().isEmpty());

    // A blank name does nothing; a name never listed is dropped all the same.
    data::StatementRecorder::start();
    dialog.control<QLineEdit>(1002)->setText("   ");
    click(dialog, 1006);
    EXPECT_TRUE(data::StatementRecorder::statements().isEmpty());
    station.execute("Exec sp_addlogin 'ghost','Ghost-pass1'");
    dialog.control<QLineEdit>(1002)->setText(" ghost ");
    click(dialog, 1006);
    EXPECT_FALSE(station.canLogIn("ghost", "Ghost-pass1"));

    // A name that is neither a login nor a user fails and stops there.
    ui::OkMessageBox::clearShownTexts();
    dialog.control<QLineEdit>(1002)->setText("nobody");
    click(dialog, 1006);
    EXPECT_EQ(ui::OkMessageBox::shownTexts(), QStringList { u("数据库异常,请稍后再试") });
}

// The server refuses to drop a login that has a session only after its roles and its
// database user are gone: such a user is refused before anything is sent. A user left
// half-removed that way before, or without its login, can still be deleted.
TEST_F(UserManageDialogTest, AUserLoggedInElsewhereIsLeftWholeAndAHalfRemovedOneCanGo)
{
    UserManageDialog dialog;
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    createUser(dialog, "dora", "Dora-pass1", { 1129 });
    {
        data::Connection asDora = data::Connection::create();
        asDora.Open(data::ConnectionString::fromTemplate(
            QString(), "dora", "Dora-pass1", "(LOCAL)", data::SharedDatabase::login().databaseName));
        clickItem(dialog, "dora");
        dialog.control<QLineEdit>(1002)->setText("dora2");
        data::StatementRecorder::start();
        click(dialog, 1007);
        EXPECT_EQ(ui::OkMessageBox::shownTexts(), QStringList { u("该用户已在别处登录，请其退出后再试") });
        ui::OkMessageBox::clearShownTexts();
        dialog.control<QLineEdit>(1002)->setText(" Dora ");
        click(dialog, 1006);
        EXPECT_EQ(ui::OkMessageBox::shownTexts(), QStringList { u("该用户已在别处登录，请其退出后再试") });
        EXPECT_EQ(data::StatementRecorder::statements(), (QStringList { "exec sp_who", "exec sp_who" }));
    }
    EXPECT_TRUE(station.canLogIn("dora", "Dora-pass1"));
    EXPECT_FALSE(station.canLogIn("dora2", "286415"));
    EXPECT_EQ(station.scalar("select count(*) from username where uname='dora'"), "1");

    // bob has a row and no login; husk a login without its roles and database user.
    ui::OkMessageBox::clearShownTexts();
    station.execute("Exec sp_addlogin 'husk','Husk-pass1' insert username(uname,acc1) values('husk',1)");
    for (const char* name : { "bob", "husk" }) {
        dialog.control<QLineEdit>(1002)->setText(name);
        click(dialog, 1006);
        EXPECT_TRUE(ui::OkMessageBox::shownTexts().isEmpty()) << name;
        EXPECT_EQ(
            station.scalar(QStringLiteral("select count(*) from username where uname='%1'").arg(name)), "0");
    }
    EXPECT_NO_THROW(station.execute("Exec sp_addlogin 'husk','Husk-pass2'")); // the name is free
    EXPECT_EQ(listed(dialog), (QStringList { u("所有用户"), "dora" }));
}

TEST_F(UserManageDialogTest, FailuresStopTheSequenceWhereTheyHappen)
{
    UserManageDialog dialog;
    station.execute("Exec sp_addlogin 'taken','Taken-pass1'");
    createUser(dialog, "taken", "other", { 1128 });
    EXPECT_EQ(ui::OkMessageBox::shownTexts(), QStringList { u("新增用户失败，请检查后重试") });
    EXPECT_TRUE(dialog.isEnteringNewUser());
    EXPECT_EQ(station.scalar("select count(*) from username where uname='taken'"), "0");

    // The login stays when its rights row cannot be written.
    ui::OkMessageBox::clearShownTexts();
    station.execute("drop table username");
    createUser(dialog, "frank", "Frank-pass1", { 1128 });
    EXPECT_EQ(ui::OkMessageBox::shownTexts(), QStringList { u("系统异常，请稍后果再试") });
    EXPECT_TRUE(station.canLogIn("frank", "Frank-pass1"));
}

TEST_F(UserManageDialogTest, ANameThatIsAlreadyALoginNeverTakesThatLoginOver)
{
    // Someone else's login: a failing creation must not go on to make it an administrator
    // with the typed password, nor may a rename onto it give it the fixed one.
    station.execute("Exec sp_addlogin 'taken','Taken-pass1' Exec sp_adduser 'taken'");
    UserManageDialog dialog;
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    data::StatementRecorder::start();
    createUser(dialog, "taken", "Other-pass1", { 1128 });
    EXPECT_EQ(ui::OkMessageBox::shownTexts(), QStringList { u("新增用户失败，请检查后重试") });
    EXPECT_EQ(
        data::StatementRecorder::statements(), QStringList { "Exec sp_addlogin 'taken','hqvxnd',nivo,NULL" });
    EXPECT_TRUE(station.canLogIn("taken", "Taken-pass1"));
    EXPECT_FALSE(station.canLogIn("taken", "Other-pass1"));

    ui::OkMessageBox::clearShownTexts();
    createUser(dialog, "dora", "Dora-pass1", { 1129 });
    ASSERT_TRUE(ui::OkMessageBox::shownTexts().isEmpty());
    clickItem(dialog, "dora");
    dialog.control<QLineEdit>(1002)->setText("taken");
    click(dialog, 1007);
    EXPECT_EQ(ui::OkMessageBox::shownTexts(), QStringList { u("系统异常，请稍后果再试") });
    EXPECT_TRUE(station.canLogIn("taken", "Taken-pass1"));
    EXPECT_FALSE(station.canLogIn("taken", "286415"));
    EXPECT_TRUE(station.canLogIn("dora", "Dora-pass1"));
    EXPECT_EQ(station.scalar("select count(*) from username where uname='dora'"), "1");

    // Nor a name no connection string can carry: nothing is sent.
    ui::OkMessageBox::clearShownTexts();
    clickItem(dialog, "dora");
    dialog.control<QLineEdit>(1002)->setText("{carl}");
    data::StatementRecorder::start();
    click(dialog, 1007);
    EXPECT_EQ(ui::OkMessageBox::shownTexts().size(), 1);
    EXPECT_TRUE(data::StatementRecorder::statements().isEmpty());

    // When the old login cannot be dropped, the new one does not stay behind as a hidden
    // administrator with the fixed password.
    ui::OkMessageBox::clearShownTexts();
    station.execute("exec sp_dropuser 'dora'");
    clickItem(dialog, "dora");
    dialog.control<QLineEdit>(1002)->setText("dora2");
    click(dialog, 1007);
    EXPECT_EQ(ui::OkMessageBox::shownTexts(), QStringList { u("系统异常，请稍后果再试") });
    EXPECT_FALSE(station.canLogIn("dora2", "286415"));

    // The login is no administrator either: it cannot create logins.
    station.logInShared("taken", "Taken-pass1");
    data::Command& command = data::SharedDatabase::command();
    command.SetCommandText("Exec sp_addlogin 'probe','Probe-pass1'");
    EXPECT_THROW(command.Execute(), data::DbError);
}

// The screen trims ASCII blanks only: a full-width space ending a name is part of it, in the
// list and in the statements that name the user.
TEST_F(UserManageDialogTest, WideSpacesEndingANameStayPartOfIt)
{
    const QString wide = u("张三\u3000");
    station.execute(u("insert username(uname,acc1) values(N'张三\u3000 ',1)"));
    UserManageDialog dialog;
    EXPECT_EQ(listed(dialog), (QStringList { u("所有用户"), "bob", wide }));

    data::StatementRecorder::start();
    dialog.control<QLineEdit>(1002)->setText(QStringLiteral(" \t") + wide + QStringLiteral(" "));
    click(dialog, 1006);
    const QStringList sent = data::StatementRecorder::statements();
    ASSERT_GE(sent.size(), 2);
    EXPECT_TRUE(sent[1].endsWith(QStringLiteral("Exec sp_droplogin '") + wide + QStringLiteral("'")))
        << sent[1].toStdString();
}

// Save keeps or renames the user the screen shows, not whichever one the keyboard has since
// moved the tree's selection to; a change of case only is still a rename.
TEST_F(UserManageDialogTest, SaveActsOnTheUserShownWhateverTheTreeSelects)
{
    UserManageDialog dialog;
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    createUser(dialog, "dora", "Dora-pass1", { 1129 });
    createUser(dialog, "eve", "Eve-pass1", { 1128 });
    ASSERT_TRUE(ui::OkMessageBox::shownTexts().isEmpty());

    clickItem(dialog, "dora");
    tree(dialog)->setFocus();
    QTest::keyClick(tree(dialog), Qt::Key_Down);
    ASSERT_EQ(tree(dialog)->currentItem()->text(0), "eve");
    ASSERT_EQ(dialog.control<QLineEdit>(1002)->text(), "dora");
    tick(dialog, { 1129, 1130 });
    data::StatementRecorder::start();
    click(dialog, 1007);
    EXPECT_TRUE(ui::OkMessageBox::shownTexts().isEmpty());
    EXPECT_EQ(data::StatementRecorder::statements(),
        (QStringList { "update username set acc1='0',acc2='1',acc3='1',acc4='0',acc5='0',acc6='0',acc7='0',"
                       "acc8='0',acc9='0',acc10='0' where uname='dora'",
            listStatement }));
    EXPECT_TRUE(station.canLogIn("eve", "Eve-pass1"));
    EXPECT_EQ(
        station.rows("select uname,acc1,acc3 from username where uname in ('dora','eve') order by uname"),
        (QStringList { "dora|0|1", "eve|1|0" }));

    // Nothing shown (the list was just loaded again): Save does nothing.
    tree(dialog)->setFocus();
    QTest::keyClick(tree(dialog), Qt::Key_Down);
    dialog.control<QLineEdit>(1002)->setText("mallory");
    data::StatementRecorder::start();
    click(dialog, 1007);
    EXPECT_TRUE(data::StatementRecorder::statements().isEmpty());

    clickItem(dialog, "dora");
    dialog.control<QLineEdit>(1002)->setText("Dora");
    click(dialog, 1007);
    EXPECT_TRUE(ui::OkMessageBox::shownTexts().isEmpty());
    EXPECT_TRUE(station.canLogIn("Dora", "286415"));
    EXPECT_EQ(station.rows("select uname from username where uname='dora'"), QStringList { "Dora" });
}

// Neither sa nor the user at the screen can be deleted or renamed away here: the server
// refuses only the last step, after the roles and the database user are gone.
TEST_F(UserManageDialogTest, NeitherSaNorTheUserAtTheScreenIsDroppedHalfWay)
{
    {
        UserManageDialog asSa;
        createUser(asSa, "boss", "Boss-pass1", { 1132 });
        ASSERT_TRUE(ui::OkMessageBox::shownTexts().isEmpty());
    }
    station.logInShared("boss", "Boss-pass1");
    UserManageDialog dialog;
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    data::StatementRecorder::start();
    for (const char* name : { "sa", " SA ", "boss", "Boss " }) {
        ui::OkMessageBox::clearShownTexts();
        dialog.control<QLineEdit>(1002)->setText(name);
        click(dialog, 1006);
        EXPECT_EQ(ui::OkMessageBox::shownTexts(), QStringList { u("此用户名不可用") }) << name;
    }
    ui::OkMessageBox::clearShownTexts();
    clickItem(dialog, "boss");
    dialog.control<QLineEdit>(1002)->setText("boss2");
    click(dialog, 1007);
    EXPECT_EQ(ui::OkMessageBox::shownTexts(), QStringList { u("此用户名不可用") });
    EXPECT_EQ(data::StatementRecorder::statements(), QStringList { rightsStatement("boss") });
    EXPECT_TRUE(station.canLogIn("boss", "Boss-pass1"));
    EXPECT_TRUE(station.canLogIn("sa", MaintenanceStation::SaPassword));

    // Its own rights are the user's to change.
    tick(dialog, { 1128, 1132 });
    dialog.control<QLineEdit>(1002)->setText("boss");
    click(dialog, 1007);
    EXPECT_EQ(station.rows("select acc1,acc5 from username where uname='boss'"), QStringList { "1|1" });
}

TEST_F(UserManageDialogTest, APasswordEndingInBlanksLogsInAsTheLoginDialogSendsIt)
{
    UserManageDialog dialog;
    createUser(dialog, "carl", "Carl-pass1  ", { 1128 });
    EXPECT_TRUE(ui::OkMessageBox::shownTexts().isEmpty());
    EXPECT_TRUE(station.canLogIn("carl", "Carl-pass1"));
}

// A user whose rights could not be read is not shown: Save must not give it the ticks of the
// user shown before.
TEST_F(UserManageDialogTest, AUserWhoseRightsCannotBeReadIsNotSaved)
{
    station.execute("insert username(uname,acc1,acc2) values('alice',1,1)");
    UserManageDialog dialog;
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    clickItem(dialog, "alice");
    ASSERT_EQ(ticked(dialog), (QList<int> { 1128, 1129 }));
    station.execute("drop table username");
    clickItem(dialog, "bob");
    EXPECT_EQ(ui::OkMessageBox::shownTexts(), QStringList { u("数据库异常，请稍后再试") });
    station.execute(
        "create table username(uname varchar(20) not null,acc1 int null,acc2 int null,acc3 int "
        "null,acc4 int null,acc5 int null,acc6 int null,acc7 int null,acc8 int null,acc9 int null,"
        "acc10 int null,acc11 int null,acc12 int null,acc13 int null,acc14 int null,acc15 int null) "
        "insert username(uname,acc1) values('bob',1)");
    data::StatementRecorder::start();
    click(dialog, 1007);
    EXPECT_TRUE(data::StatementRecorder::statements().isEmpty());
    EXPECT_EQ(station.rows("select acc1,acc2 from username where uname='bob'"), QStringList { "1|NULL" });
}

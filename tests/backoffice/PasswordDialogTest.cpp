#include "backoffice/PasswordDialog.h"
#include "backoffice/AdminDialog.h"
#include "backoffice/PasswordStatements.h"
#include "tests/backoffice/BackOfficeFixture.h"
#include "ui/SkinButton.h"

using namespace glimora;
using backoffice::PasswordDialog;

namespace {

class PasswordDialogTest : public BackOfficeTest
{
protected:
    // Types both boxes and presses "修改"; returns what was sent.
    QStringList change(PasswordDialog& dialog, const QString& password, const QString& repeated)
    {
        dialog.control<QLineEdit>(1002)->setText(password);
        dialog.control<QLineEdit>(1003)->setText(repeated);
        data::StatementRecorder::start();
        QTest::mouseClick(dialog.control(1), Qt::LeftButton);
        data::StatementRecorder::stop();
        return data::StatementRecorder::statements();
    }

    bool canLogIn(const QString& user, const QString& password)
    {
        try {
            backend->open(QStringLiteral("Server=(local);Database=;Uid=%1;pwd=%2").arg(user, password), 5);
            return true;
        } catch (const data::DbError&) {
            return false;
        }
    }
};

} // namespace

TEST(PasswordStatementsTest, BothFormsAndQuotedValues)
{
    using backoffice::PasswordStatements::change;
    EXPECT_EQ(change("old", "new", "sa"), "Exec sp_password 'old','new',sa");
    EXPECT_EQ(change("", "new", "ann_1"), "Exec sp_password NULL,'new',ann_1");
    EXPECT_EQ(change("o'ld", "n'ew", "O'Brien"), "Exec sp_password 'o''ld','n''ew',N'O''Brien'");
    EXPECT_EQ(change("a", "b", "two words"), "Exec sp_password 'a','b',N'two words'");
    EXPECT_EQ(
        change("a", "b", QString::fromUtf8("管理员")), QString::fromUtf8("Exec sp_password 'a','b',管理员"));
}

TEST_F(PasswordDialogTest, RefusesEmptyAndMismatchedEntriesWithoutSending)
{
    PasswordDialog dialog;
    EXPECT_EQ(dialog.skinButton(1)->caption(), utf8("修改"));
    EXPECT_EQ(dialog.skinButton(1)->bitmapId(), 162);
    EXPECT_TRUE(change(dialog, "   ", "   ").isEmpty());
    EXPECT_TRUE(change(dialog, "abc", "abC").isEmpty());
    EXPECT_EQ(shown(), (QStringList { utf8("密码不能为空"), utf8("两次输入不符") }));
    EXPECT_NE(dialog.result(), ui::IDOK);
}

TEST_F(PasswordDialogTest, ChangesTheOwnPasswordTwiceInOneRun)
{
    {
        PasswordDialog dialog;
        // Blanks around the entries are not part of the password.
        EXPECT_EQ(change(dialog, "  it's new ", "it's new"),
            QStringList { QString("Exec sp_password '") + SaPassword + "','it''s new',sa" });
        EXPECT_EQ(dialog.result(), ui::IDOK);
    }
    EXPECT_TRUE(shown().isEmpty());
    EXPECT_TRUE(canLogIn("sa", "it's new"));
    EXPECT_FALSE(canLogIn("sa", SaPassword));
    EXPECT_EQ(data::SharedDatabase::login().password, "it's new");

    // The second change names the password that the first one set.
    PasswordDialog again;
    EXPECT_EQ(change(again, "third", "third"), QStringList { "Exec sp_password 'it''s new','third',sa" });
    EXPECT_EQ(again.result(), ui::IDOK);
    EXPECT_TRUE(canLogIn("sa", "third"));
}

TEST_F(PasswordDialogTest, WideSpacesArePartOfThePasswordAsTheLoginKeepsThem)
{
    // The login trims ASCII blanks only; a change that trimmed more would set a password
    // that the next login, typed the same way, no longer matches.
    const QString typed = QString::fromUtf8("\u3000wide\u00a0\u3000");
    PasswordDialog dialog;
    EXPECT_EQ(change(dialog, QStringLiteral(" \t") + typed + QStringLiteral("\r "), typed),
        QStringList { QString("Exec sp_password '") + SaPassword + "','" + typed + "',sa" });
    EXPECT_EQ(dialog.result(), ui::IDOK);
    EXPECT_TRUE(canLogIn("sa", typed));
    EXPECT_EQ(data::SharedDatabase::login().password, typed);
}

TEST_F(PasswordDialogTest, ALoginWithoutPasswordUsesTheNullFormAndARefusalSaysSo)
{
    sql("exec sp_addlogin 'ann',NULL", "master");
    ASSERT_EQ(logInThroughTheLoginDialog("ann", ""), ui::IDOK);
    {
        PasswordDialog dialog;
        EXPECT_EQ(change(dialog, "first", "first"), QStringList { "Exec sp_password NULL,'first',ann" });
        EXPECT_EQ(dialog.result(), ui::IDOK);
    }
    EXPECT_TRUE(canLogIn("ann", "first"));

    // Someone else changed it meanwhile: the old password no longer holds.
    sql("exec sp_password NULL,'changed',ann", "master");
    ui::OkMessageBox::clearShownTexts();
    PasswordDialog dialog;
    change(dialog, "mine", "mine");
    EXPECT_EQ(shown(), QStringList { utf8("修改密码失败，请稍后再试 ") });
    EXPECT_NE(dialog.result(), ui::IDOK);
    EXPECT_EQ(data::SharedDatabase::login().password, "first");
}

TEST_F(PasswordDialogTest, APasswordNoConnectionStringCanHoldIsRefusedBeforeSending)
{
    // The server would take it, but no later login or reconnection could pass it on.
    PasswordDialog dialog;
    EXPECT_TRUE(change(dialog, "a;b}", "a;b}").isEmpty());
    ASSERT_EQ(shown().size(), 1);
    EXPECT_NE(dialog.result(), ui::IDOK);
    EXPECT_EQ(data::SharedDatabase::login().password, SaPassword);
    EXPECT_TRUE(canLogIn("sa", SaPassword));
}

TEST_F(PasswordDialogTest, EnterMovesOnExceptOnTheChangeButton)
{
    PasswordDialog dialog;
    dialog.show();
    dialog.activateWindow();
    dialog.control(1002)->setFocus();
    QTest::keyClick(dialog.control(1002), Qt::Key_Return);
    EXPECT_EQ(dialog.focusWidget(), dialog.control(1003));
    EXPECT_TRUE(dialog.isVisible());
}

TEST_F(PasswordDialogTest, ARestoreAfterAChangeReconnectsWithTheNewPassword)
{
    sql("insert inquiry(d1) values('kept')");
    sql("backup database nivo to disk='" + workspace.filePath("a.dbk") + "' with init");
    sql("delete inquiry");
    backoffice::AdminDialog menu;
    ASSERT_TRUE(menu.isOpen());
    {
        PasswordDialog dialog;
        change(dialog, "changed", "changed");
        ASSERT_EQ(dialog.result(), ui::IDOK);
    }
    ui::FileDialog::setNextFileName(workspace.filePath("a.dbk"));
    QTest::mouseClick(menu.control(1006), Qt::LeftButton);
    EXPECT_EQ(shown(), QStringList { utf8("恢复完成，请退出后重新登入。") });
    auto session = backend->open("Server=(local);Database=nivo;Uid=sa;pwd=changed", 5);
    EXPECT_EQ(engine::test::column(*session, "select d1 from inquiry"), QStringList { "kept" });
}

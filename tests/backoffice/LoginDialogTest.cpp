#include "backoffice/LoginDialog.h"
#include "data/BackendRouter.h"
#include "data/SharedDatabase.h"
#include "data/ValueReaders.h"
#include "engine/server/EmbeddedBackend.h"
#include "platform/ComputerName.h"
#include "platform/EventLog.h"
#include "settings/Settings.h"
#include "settings/SettingsFile.h"
#include "tests/backoffice/FakeServer.h"
#include "tests/support/TempWorkspace.h"
#include "ui/DropDownCombo.h"
#include "ui/OkMessageBox.h"
#include "ui/SkinButton.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTest>

using namespace glimora;
using backoffice::LoginDialog;

namespace {

class LoginDialogTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        workspace.writeFile("uinfo.ini", "[system]\nuser1=ann\nuser2=bob\nuser3=cy\nengine=odbc\n");
        settings::Settings::instance().load();
        data::BackendRouter::setOdbcBackend(server);
        ui::OkMessageBox::clearShownTexts();
        ui::OkMessageBox::setAutoAnswer(QMessageBox::Ok);
    }
    void TearDown() override
    {
        ui::OkMessageBox::setAutoAnswer(QMessageBox::NoButton);
        data::BackendRouter::setOdbcBackend(nullptr);
        data::SharedDatabase::releaseObjects();
        settings::setSettingsDirectory(QString());
    }

    void logIn(LoginDialog& dialog, const QString& server, const QString& user, const QString& password,
        bool backOffice = false)
    {
        dialog.control<QComboBox>(1000)->setEditText(server);
        dialog.control<QComboBox>(1001)->setEditText(user);
        dialog.control<QLineEdit>(1002)->setText(password);
        dialog.control<QCheckBox>(1128)->setChecked(backOffice);
        QTest::mouseClick(dialog.control(1), Qt::LeftButton);
    }

    TempWorkspace workspace;
    std::shared_ptr<FakeServer> server = std::make_shared<FakeServer>();
};

} // namespace

TEST_F(LoginDialogTest, OpensWithTheComputerNameAndTheRecentUsers)
{
    LoginDialog dialog;
    auto* servers = dialog.control<QComboBox>(1000);
    ASSERT_EQ(servers->count(), 1);
    EXPECT_EQ(servers->currentText(), platform::computerName());
    auto* users = dialog.control<QComboBox>(1001);
    ASSERT_EQ(users->count(), 3);
    EXPECT_EQ(users->itemText(0), "ann");
    EXPECT_EQ(users->itemText(2), "cy");
    EXPECT_EQ(users->currentText(), "ann");
    EXPECT_EQ(dialog.skinButton(1)->caption(), QString::fromUtf8("登入"));
    EXPECT_EQ(dialog.skinButton(2)->caption(), QString::fromUtf8("取消"));
    EXPECT_EQ(dialog.skinButton(140)->bitmapId(), 162);
}

TEST_F(LoginDialogTest, EmptyServerOrUserIsRefusedBeforeConnecting)
{
    LoginDialog dialog;
    logIn(dialog, "   ", "sa", "secret");
    logIn(dialog, "host", "  ", "secret");
    EXPECT_EQ(ui::OkMessageBox::shownTexts(),
        (QStringList { QString::fromUtf8("服务器不应为空,请重新输入"),
            QString::fromUtf8("用户名不应为空,请重新输入") }));
    EXPECT_TRUE(server->connectionStrings.isEmpty());
    EXPECT_NE(dialog.result(), ui::IDOK);
}

TEST_F(LoginDialogTest, WrongPasswordWritesNothing)
{
    const QByteArray before = workspace.readFile("uinfo.ini");
    LoginDialog dialog;
    logIn(dialog, "dbhost", "sa", "wrong");
    EXPECT_EQ(ui::OkMessageBox::shownTexts(),
        QStringList { QString::fromUtf8("登录失败。密码错误/服务器不可用。") });
    EXPECT_EQ(workspace.readFile("uinfo.ini"), before);
    EXPECT_NE(dialog.result(), ui::IDOK);
    EXPECT_EQ(data::SharedDatabase::login().password, "wrong"); // the typed texts stay
}

TEST_F(LoginDialogTest, SuccessStoresTheServerRotatesUsersAndSetsUpTheDatabase)
{
    LoginDialog dialog;
    logIn(dialog, "dbhost  ", "sa", "secret  ", true);
    EXPECT_TRUE(ui::OkMessageBox::shownTexts().isEmpty());
    EXPECT_EQ(dialog.result(), ui::IDOK);
    EXPECT_TRUE(dialog.backOfficeChosen());
    EXPECT_EQ(server->connectionStrings,
        QStringList { "Driver={SQL Server};Server=DBHOST;Database=;Uid=sa;pwd=secret" });
    EXPECT_EQ(settings::ReadSetting("system", "sqlserver", ""), "DBHOST");
    EXPECT_EQ(settings::ReadSetting("system", "user1", ""), "sa");
    EXPECT_EQ(settings::ReadSetting("system", "user2", ""), "ann");
    EXPECT_EQ(settings::ReadSetting("system", "user3", ""), "bob");
    ASSERT_EQ(server->batches.size(), 2);
    EXPECT_EQ(server->batches[0], "create database nivo");
    EXPECT_TRUE(server->batches[1].startsWith("use nivo  CREATE TABLE inquiry(d1 nvarchar(255) NULL ,"));
    EXPECT_TRUE(server->batches[1].endsWith(workspace.path()
        + "/Contrast.XLS',contrast$) where f1<>'chna' and f1 is not null and f2 is not null"));
}

TEST_F(LoginDialogTest, OnlyAsciiBlanksAreCutFromTheTypedValues)
{
    LoginDialog dialog;
    logIn(dialog, "dbhost\t", QString::fromUtf8("sa\u00a0"), QString::fromUtf8("pass\u3000 \r"));
    EXPECT_EQ(data::SharedDatabase::login().serverName, "DBHOST");
    EXPECT_EQ(data::SharedDatabase::login().userName, QString::fromUtf8("sa\u00a0"));
    EXPECT_EQ(data::SharedDatabase::login().password, QString::fromUtf8("pass\u3000"));
}

TEST_F(LoginDialogTest, FailuresOfTheCreationBatchesAreIgnored)
{
    server->databaseExists = true;
    workspace.writeFile("uinfo.ini", "[system]\nexcelpath=/data/book.xls\nengine=odbc\n");
    LoginDialog dialog;
    logIn(dialog, "dbhost", "sa", "secret");
    EXPECT_EQ(dialog.result(), ui::IDOK);
    EXPECT_FALSE(dialog.backOfficeChosen());
    ASSERT_EQ(server->batches.size(), 2);
    EXPECT_TRUE(server->batches[1].contains("Database=/data/book.xls',contrast$)"));
    EXPECT_TRUE(ui::OkMessageBox::shownTexts().isEmpty());
}

TEST_F(LoginDialogTest, EnterMovesOnExceptOnTheLoginButton)
{
    LoginDialog dialog;
    dialog.show();
    dialog.activateWindow();
    dialog.control(1000)->setFocus();
    QTest::keyClick(dialog.control(1000), Qt::Key_Return);
    EXPECT_TRUE(server->connectionStrings.isEmpty());
    EXPECT_NE(dialog.control(1000)->hasFocus(), true);
}

namespace {

// The login against the embedded server in the test's own folder.
class LoginOnEmbeddedServerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        workspace.writeFile("uinfo.ini", "[system]\ndatabase=station\n");
        workspace.seedFromTestData("workbooks/contrast.xls", "Contrast.XLS");
        settings::Settings::instance().load();
        backend = std::make_shared<engine::EmbeddedBackend>(workspace.filePath("sqldata"));
        data::BackendRouter::setEmbeddedBackend(backend);
        ui::OkMessageBox::clearShownTexts();
        ui::OkMessageBox::setAutoAnswer(QMessageBox::Ok);
    }
    void TearDown() override
    {
        ui::OkMessageBox::setAutoAnswer(QMessageBox::NoButton);
        data::SharedDatabase::releaseObjects();
        data::BackendRouter::setEmbeddedBackend(nullptr);
        settings::setSettingsDirectory(QString());
    }

    int logIn(const QString& password)
    {
        LoginDialog dialog;
        dialog.control<QComboBox>(1000)->setEditText("localhost");
        dialog.control<QComboBox>(1001)->setEditText("sa");
        dialog.control<QLineEdit>(1002)->setText(password);
        QTest::mouseClick(dialog.control(1), Qt::LeftButton);
        data::SharedDatabase::releaseObjects();
        return dialog.result();
    }

    QStringList rows(const QString& statement)
    {
        auto session = backend->open("Server=(local);Database=station;Uid=sa;pwd=first-Pass", 5);
        auto result = session->execute(statement, 5);
        QStringList texts;
        QList<data::Variant> row;
        while (result.cursor && result.cursor->fetchRow(row)) {
            QStringList cells;
            for (const data::Variant& value : row)
                cells << (value.isNull() ? QStringLiteral("NULL") : data::ValueText(value));
            texts << cells.join('|');
        }
        return texts;
    }

    TempWorkspace workspace;
    std::shared_ptr<engine::EmbeddedBackend> backend;
};

} // namespace

TEST_F(LoginOnEmbeddedServerTest, FirstLoginCreatesTheDatabaseAndCatalogueTheSecondChangesNothing)
{
    ASSERT_EQ(logIn("first-Pass"), ui::IDOK);
    EXPECT_TRUE(ui::OkMessageBox::shownTexts().isEmpty());
    EXPECT_EQ(settings::ReadSetting("system", "sqlserver", ""), "LOCALHOST");
    const QStringList catalogue
        = rows("select engl,chna,withe,sort  from contrast where right(chna,1)<>'h' order by sort");
    EXPECT_FALSE(catalogue.isEmpty());
    const QStringList everything = rows("select chna,engl,withe,nub,nober,sort from contrast order by nober");
    EXPECT_EQ(rows("select count(*) from inquiry"), QStringList { "0.000000" });

    ASSERT_EQ(logIn("first-Pass"), ui::IDOK);
    EXPECT_TRUE(ui::OkMessageBox::shownTexts().isEmpty());
    EXPECT_EQ(rows("select chna,engl,withe,nub,nober,sort from contrast order by nober"), everything);

    EXPECT_NE(logIn("wrong"), ui::IDOK);
    EXPECT_EQ(ui::OkMessageBox::shownTexts(),
        QStringList { QString::fromUtf8("登录失败。密码错误/服务器不可用。") });
}

TEST_F(LoginOnEmbeddedServerTest, TheEventLogNamesEachLoginButNeverItsPassword)
{
    platform::EventLog::setUseJournal(false);
    platform::EventLog::setFolder(workspace.path());
    ASSERT_EQ(logIn("first-Pass"), ui::IDOK);
    EXPECT_NE(logIn("wrong'Pass"), ui::IDOK);
    platform::EventLog::setFolder(QString());
    const QString log = QString::fromUtf8(workspace.readFile("glimora.log"));
    EXPECT_TRUE(log.contains(" login: sa@LOCALHOST\n")) << log.toStdString();
    EXPECT_TRUE(log.contains(" login-refused #18456: sa@LOCALHOST: ")) << log.toStdString();
    EXPECT_TRUE(log.contains(QString::fromUtf8(" message: 登录失败。密码错误/服务器不可用。")));
    EXPECT_FALSE(log.contains("first-Pass"));
    EXPECT_FALSE(log.contains("wrong'Pass"));
}

TEST_F(LoginOnEmbeddedServerTest, AWorkbookPathWithAQuoteStillCreatesTheTables)
{
    // The creation batch fails silently when the path breaks it: the station would be left
    // with a database and no tables.
    QDir().mkpath(workspace.filePath("O'Neil"));
    ASSERT_TRUE(QFile::copy(workspace.filePath("Contrast.XLS"), workspace.filePath("O'Neil/Contrast.XLS")));
    settings::WriteSetting("system", "excelpath", workspace.filePath("O'Neil/Contrast.XLS"));
    ASSERT_EQ(logIn("first-Pass"), ui::IDOK);
    EXPECT_FALSE(rows("select chna from contrast").isEmpty());
    EXPECT_EQ(rows("select count(*) from inquiry"), QStringList { "0.000000" });
}

// With `keyboard` on, Tab takes the screen's reading order, but Enter still walks the form
// field after field: server, user, password, 登入, never through 重置 beside the server.
TEST_F(LoginDialogTest, EnterWalksTheFormWithKeyboardOn)
{
    ASSERT_TRUE(settings::WriteSetting("show", "keyboard", "1"));
    LoginDialog dialog;
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    dialog.control(1000)->setFocus();
    for (const int id : { 1001, 1002, 1 }) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        ASSERT_TRUE(dialog.control(id)->isAncestorOf(QApplication::focusWidget())
            || dialog.control(id) == QApplication::focusWidget())
            << id;
    }
}

#include "maintenance/ConfigDialog.h"

#include "backoffice/JobStatements.h"
#include "components/CDataGrid.h"
#include "components/ComponentFactories.h"
#include "data/CatalogueCaptions.h"
#include "data/StatementRecorder.h"
#include "query/QueryStatements.h"
#include "settings/SettingsFile.h"
#include "tests/maintenance/MaintenanceStation.h"
#include "tests/support/WaitFor.h"
#include "ui/OkMessageBox.h"
#include "ui/SkinButton.h"
#include "ui/TabControl.h"

#include <gtest/gtest.h>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTest>

using namespace glimora;
using maintenance::ConfigDialog;

namespace {

const QByteArray settings = "[system]\r\ndatabase=nivo\r\nuser1=ann\r\n"
                            "[select]\r\nselect=d1,d2,d21\r\n"
                            "[insert]\r\ninserttext=select * from [sheet1$]\r\n"
                            "[comfil]\r\ncom1=d3\r\ncom2=d4\r\ncom14=d9\r\ncom19=d5\r\n";

QString u(const char* text)
{
    return QString::fromUtf8(text);
}

class ConfigDialogTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        components::ComponentFactories::install();
        data::CatalogueCaptions::shared() = { u("人民医院"), u("价格表") };
    }
    void TearDown() override { data::StatementRecorder::stop(); }

    QPlainTextEdit* editor(ConfigDialog& dialog) { return dialog.control<QPlainTextEdit>(1103); }
    void click(ConfigDialog& dialog, int id) { QTest::mouseClick(dialog.control(id), Qt::LeftButton); }
    void typeInto(ConfigDialog& dialog, const QString& text)
    {
        editor(dialog)->clear();
        for (const QChar c : text)
            QTest::sendKeyEvent(QTest::Click, editor(dialog), Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
    QByteArray settingsFile() { return station.workspace().readFile("uinfo.ini"); }

    MaintenanceStation station { settings };
};

} // namespace

TEST_F(ConfigDialogTest, OpensOnTheQueryStatementWithEightTabs)
{
    ConfigDialog dialog;
    auto* tabs = dialog.control<ui::TabControl>(1102);
    ASSERT_EQ(tabs->count(), 8);
    EXPECT_EQ(tabs->tabText(0), u("查询指令"));
    EXPECT_EQ(tabs->tabText(5), u("标题名称"));
    EXPECT_EQ(tabs->tabText(7), u("批量处理"));
    EXPECT_EQ(editor(dialog)->toPlainText(), "d1,d2,d21");
    EXPECT_FALSE(dialog.control(1003)->isEnabled());
    EXPECT_TRUE(dialog.control(1004)->isEnabled());
    EXPECT_FALSE(dialog.control(1106)->isVisibleTo(&dialog));
    EXPECT_EQ(dialog.skinButton(1006)->caption(), u("退出"));
    EXPECT_EQ(dialog.skinButton(1003)->bitmapId(), 162);
}

TEST_F(ConfigDialogTest, SettingTabsWriteOnlyTheirLineAndCancelBringsTheStoredValueBack)
{
    ConfigDialog dialog;
    const struct
    {
        int tab;
        QByteArray before;
        QByteArray after;
    } cases[] = {
        { ConfigDialog::QueryStatementTab, "select=d1,d2,d21", "select=d1,d3" },
        { ConfigDialog::ImportStatementTab, "inserttext=select * from [sheet1$]", "inserttext=d1,d3" },
        { ConfigDialog::DatabaseNameTab, "database=nivo", "database=d1,d3" },
    };
    for (const auto& c : cases) {
        const QByteArray before = settingsFile();
        dialog.chooseTab(c.tab);
        typeInto(dialog, "d1,d3");
        click(dialog, 1005); // cancel: the stored value again
        EXPECT_EQ(editor(dialog)->toPlainText().toUtf8(), c.before.mid(c.before.indexOf('=') + 1));
        EXPECT_EQ(settingsFile(), before);

        typeInto(dialog, "d1,d3");
        click(dialog, 1004);
        EXPECT_TRUE(editor(dialog)->toPlainText().isEmpty());
        QByteArray expected = before;
        expected.replace(c.before, c.after);
        EXPECT_EQ(settingsFile(), expected);
        click(dialog, 1005);
        EXPECT_EQ(editor(dialog)->toPlainText(), "d1,d3");
    }
    EXPECT_TRUE(ui::OkMessageBox::shownTexts().isEmpty());
}

// The Chinese hints for the server's messages, the touch screen's wide lists and the keyboard are off in a
// bare uinfo.ini; each box under the editor turns its setting on and off at once, writing that
// line alone.
TEST_F(ConfigDialogTest, TheOptionBoxesWriteTheirSettingsAtOnce)
{
    const struct
    {
        int id;
        const char* caption;
        const char* section;
        const char* key;
        QByteArray after, written;
    } boxes[] = {
        { 1108, "错误信息附中文说明", "system", "hints", "user1=ann\r\n", "user1=ann\r\nhints=1\r\n" },
        { 1109, "查询列表显示完整内容", "show", "touch", "com19=d5\r\n",
            "com19=d5\r\n[show]\r\ntouch=1\r\n" },
        { 1117, "键盘操作", "show", "keyboard", "touch=0\r\n", "touch=0\r\nkeyboard=1\r\n" },
        { 1120, "导入/恢复前快照", "backup", "snapshots", "keyboard=0\r\n",
            "keyboard=0\r\n[backup]\r\nsnapshots=10\r\n" },
        { 1121, "定时备份", "schedule", "backup", "snapshots=0\r\n",
            "snapshots=0\r\n[schedule]\r\nbackup=daily 02:00\r\n" },
        { 1125, "预建索引", "index", "questions", "backup=0\r\n", "backup=0\r\n[index]\r\nquestions=1\r\n" },
        { 1122, "站点状态", "status", "heartbeat", "questions=0\r\n",
            "questions=0\r\n[status]\r\nheartbeat=1\r\n" },
        { 1124, "数据导出", "export", "enabled", "heartbeat=0\r\n",
            "heartbeat=0\r\n[export]\r\nenabled=1\r\n" },
        { 1123, "打印/二维码", "print", "enabled", "enabled=0\r\n", "enabled=0\r\n[print]\r\nenabled=1\r\n" },
        { 1128, "隐藏空按钮", "show", "tidy", "keyboard=0\r\n", "keyboard=0\r\ntidy=1\r\n" },
        { 1127, "列表多选", "show", "multiselect", "tidy=0\r\n", "tidy=0\r\nmultiselect=1\r\n" },
        { 1126, "按钮显示数量", "show", "counts", "multiselect=0\r\n", "multiselect=0\r\ncounts=1\r\n" },
        { 1131, "朗读", "show", "speech", "counts=0\r\n", "counts=0\r\nspeech=1\r\n" },
        { 1130, "高对比度", "show", "contrast", "speech=0\r\n", "speech=0\r\ncontrast=1\r\n" },
    };
    const auto clickBox = [](ConfigDialog& dialog, int id) {
        auto* box = dialog.control<QCheckBox>(id);
        QTest::mouseClick(box, Qt::LeftButton, Qt::NoModifier, QPoint(8, box->height() / 2));
        return box->isChecked();
    };
    for (const auto& box : boxes) {
        const QByteArray before = settingsFile();
        {
            ConfigDialog dialog;
            EXPECT_EQ(dialog.control<QCheckBox>(box.id)->text(), u(box.caption));
            EXPECT_FALSE(dialog.control<QCheckBox>(box.id)->isChecked());
            EXPECT_TRUE(clickBox(dialog, box.id));
        }
        QByteArray expected = before;
        expected.replace(box.after, box.written);
        EXPECT_EQ(settingsFile(), expected) << box.key;
        ConfigDialog again;
        EXPECT_TRUE(again.control<QCheckBox>(box.id)->isChecked());
        EXPECT_FALSE(clickBox(again, box.id));
        EXPECT_EQ(settings::ReadSetting(box.section, box.key, ""), "0");
    }
    EXPECT_TRUE(ui::OkMessageBox::shownTexts().isEmpty());
}

// The on-screen keyboard is off in a bare uinfo.ini; its box steps through the query screen
// alone, every screen and off, saying which, and writes the line at once.
TEST_F(ConfigDialogTest, TheScreenKeyboardBoxStepsThroughItsThreeScopes)
{
    ConfigDialog dialog;
    auto* box = dialog.control<QCheckBox>(1118);
    EXPECT_EQ(box->checkState(), Qt::Unchecked);
    EXPECT_EQ(box->text(), u("屏幕键盘"));
    const struct
    {
        const char* value;
        Qt::CheckState state;
        const char* caption;
    } steps[] = { { "1", Qt::PartiallyChecked, "屏幕键盘：查询界面" },
        { "2", Qt::Checked, "屏幕键盘：所有界面" }, { "0", Qt::Unchecked, "屏幕键盘" } };
    for (const auto& step : steps) {
        QTest::mouseClick(box, Qt::LeftButton, Qt::NoModifier, QPoint(8, box->height() / 2));
        EXPECT_EQ(settings::ReadSetting("show", "osk", ""), step.value);
        EXPECT_EQ(box->text(), u(step.caption));
        ConfigDialog again;
        EXPECT_EQ(again.control<QCheckBox>(1118)->checkState(), step.state) << step.value;
    }
    EXPECT_TRUE(ui::OkMessageBox::shownTexts().isEmpty());
}

// Large text is off in a bare uinfo.ini; its box steps through the button alone, the button
// with a large start, and off.
TEST_F(ConfigDialogTest, TheLargeTextBoxStepsThroughItsThreeModes)
{
    ConfigDialog dialog;
    auto* box = dialog.control<QCheckBox>(1129);
    EXPECT_EQ(box->checkState(), Qt::Unchecked);
    EXPECT_EQ(box->text(), u("大字模式"));
    const struct
    {
        const char* value;
        Qt::CheckState state;
        const char* caption;
    } steps[] = { { "1", Qt::PartiallyChecked, "大字模式：按钮" }, { "2", Qt::Checked, "大字模式：默认大字" },
        { "0", Qt::Unchecked, "大字模式" } };
    for (const auto& step : steps) {
        QTest::mouseClick(box, Qt::LeftButton, Qt::NoModifier, QPoint(8, box->height() / 2));
        EXPECT_EQ(settings::ReadSetting("show", "largetext", ""), step.value);
        EXPECT_EQ(box->text(), u(step.caption));
        ConfigDialog again;
        EXPECT_EQ(again.control<QCheckBox>(1129)->checkState(), step.state) << step.value;
    }
    EXPECT_TRUE(ui::OkMessageBox::shownTexts().isEmpty());
}

// The screens' polish is off in a bare uinfo.ini; its box writes its own line at once.
TEST_F(ConfigDialogTest, ThePolishBoxWritesItsSettingAtOnce)
{
    const auto clickBox = [](ConfigDialog& dialog) {
        auto* box = dialog.control<QCheckBox>(1116);
        QTest::mouseClick(box, Qt::LeftButton, Qt::NoModifier, QPoint(8, box->height() / 2));
        return box->isChecked();
    };
    {
        ConfigDialog dialog;
        EXPECT_EQ(dialog.control<QCheckBox>(1116)->text(), u("界面细节修正"));
        EXPECT_FALSE(dialog.control<QCheckBox>(1116)->isChecked());
        EXPECT_TRUE(clickBox(dialog));
    }
    EXPECT_EQ(settings::ReadSetting("show", "polish", ""), "1");
    ConfigDialog again;
    EXPECT_TRUE(again.control<QCheckBox>(1116)->isChecked());
    EXPECT_FALSE(clickBox(again));
    EXPECT_EQ(settings::ReadSetting("show", "polish", ""), "0");
    EXPECT_TRUE(ui::OkMessageBox::shownTexts().isEmpty());
}

TEST_F(ConfigDialogTest, CompanyNameAndReportTitleAreStoredAsTypedQuotesIncluded)
{
    ConfigDialog dialog;
    dialog.chooseTab(ConfigDialog::CompanyNameTab);
    EXPECT_EQ(editor(dialog)->toPlainText(), u("人民医院"));
    const QString crafted = u("x' where 1=1 --");
    typeInto(dialog, crafted);
    data::StatementRecorder::start();
    click(dialog, 1004);
    EXPECT_EQ(data::StatementRecorder::statements(),
        QStringList { u("update contrast set chna='x'' where 1=1 --' where nober=100") });
    EXPECT_EQ(station.scalar("select chna from contrast where nober=100"), crafted);
    EXPECT_EQ(station.scalar("select count(*) from contrast where chna='x'' where 1=1 --'"), "1");
    EXPECT_EQ(data::CatalogueCaptions::shared().companyName, crafted);
    EXPECT_EQ(editor(dialog)->toPlainText(), crafted); // the editor keeps it

    dialog.chooseTab(ConfigDialog::ReportTitleTab);
    EXPECT_EQ(editor(dialog)->toPlainText(), u("价格表"));
    typeInto(dialog, u("O'Brien 的价格表"));
    data::StatementRecorder::start();
    click(dialog, 1004);
    EXPECT_EQ(data::StatementRecorder::statements(),
        QStringList { u("update contrast set chna='O''Brien 的价格表' where nober=101") });
    EXPECT_EQ(station.scalar("select chna from contrast where nober=101"), u("O'Brien 的价格表"));
    EXPECT_EQ(data::CatalogueCaptions::shared().reportTitle, u("O'Brien 的价格表"));

    typeInto(dialog, "changed");
    click(dialog, 1005);
    EXPECT_EQ(editor(dialog)->toPlainText(), u("O'Brien 的价格表"));
    EXPECT_TRUE(ui::OkMessageBox::shownTexts().isEmpty());
}

TEST_F(ConfigDialogTest, AFailingCaptionUpdateChangesNothing)
{
    ConfigDialog dialog;
    station.execute("drop table contrast");
    dialog.chooseTab(ConfigDialog::ReportTitleTab);
    typeInto(dialog, "new title");
    click(dialog, 1004);
    EXPECT_EQ(ui::OkMessageBox::shownTexts(), QStringList { u("数据库异常，修改未保存.") });
    EXPECT_EQ(data::CatalogueCaptions::shared().reportTitle, u("价格表"));
    EXPECT_EQ(editor(dialog)->toPlainText(), "new title");
}

// A catalogue set up without its workbook has no row for the name: nothing is stored, and
// the screen must not say otherwise.
TEST_F(ConfigDialogTest, ACaptionWithoutItsCatalogueRowIsReportedNotSaved)
{
    ConfigDialog dialog;
    const QString companyName = data::CatalogueCaptions::shared().companyName;
    station.execute("delete contrast where nober=100");
    dialog.chooseTab(ConfigDialog::CompanyNameTab);
    typeInto(dialog, u("人民医院"));
    click(dialog, 1004);
    EXPECT_EQ(ui::OkMessageBox::shownTexts(), QStringList { u("数据库异常，修改未保存.") });
    EXPECT_EQ(data::CatalogueCaptions::shared().companyName, companyName);
    EXPECT_EQ(editor(dialog)->toPlainText(), u("人民医院"));
}

TEST_F(ConfigDialogTest, CorrespondenceLinesWriteTheirKeysAsTyped)
{
    ConfigDialog dialog;
    dialog.chooseTab(ConfigDialog::CorrespondenceTab);
    QStringList expected;
    for (int i = 1; i <= 19; ++i) {
        if (i == 14 || i == 15)
            continue;
        const QString value = i == 1 ? "d3" : i == 2 ? "d4" : i == 19 ? "d5" : "";
        expected << QStringLiteral("com%1=%2").arg(i).arg(value);
    }
    EXPECT_EQ(editor(dialog)->toPlainText(), expected.join('\n')); // trailing line break trimmed

    // The unchanged text writes the same seventeen keys back; com14 is left alone.
    click(dialog, 1004);
    EXPECT_TRUE(editor(dialog)->toPlainText().isEmpty());
    EXPECT_EQ(settings::ReadSetting("comfil", "com1", "?"), "d3");
    EXPECT_EQ(settings::ReadSetting("comfil", "com14", "?"), "d9");
    EXPECT_TRUE(settingsFile().contains("com13=\r\n"));
    EXPECT_FALSE(settingsFile().contains("com15"));

    // A line without "=" is the value of an empty key; "==" keeps the second "=".
    editor(dialog)->setPlainText("com2=d7\nloose text\ncom3==x");
    click(dialog, 1004);
    EXPECT_EQ(settings::ReadSetting("comfil", "com2", ""), "d7");
    EXPECT_EQ(settings::ReadSetting("comfil", "com3", ""), "=x");
    EXPECT_TRUE(settingsFile().contains("\r\n=loose text\r\n"));

    // Cancel rebuilds the text with its final line break, and saving that writes an empty
    // key with an empty value.
    click(dialog, 1005);
    EXPECT_TRUE(editor(dialog)->toPlainText().endsWith("com19=d5\n"));
    click(dialog, 1004);
    EXPECT_TRUE(settingsFile().contains("\r\n=\r\n"));
    EXPECT_FALSE(settingsFile().contains("loose text"));
    EXPECT_EQ(settings::ReadSetting("comfil", "com2", ""), "d7");
}

TEST_F(ConfigDialogTest, WithTheSettingANewFilterColumnIsAskedForOnSave)
{
    ASSERT_TRUE(settings::WriteSetting("index", "questions", "1"));
    ConfigDialog dialog;
    dialog.chooseTab(ConfigDialog::CorrespondenceTab);
    editor(dialog)->setPlainText("com2=d7");
    data::StatementRecorder::start();
    click(dialog, 1004);
    data::StatementRecorder::stop();
    EXPECT_TRUE(data::StatementRecorder::statements().contains(query::QueryStatements::distinctValues("d7")));
    EXPECT_TRUE(ui::OkMessageBox::shownTexts().isEmpty());

    // Without a catalogue to read the first level from, the lists are still asked for.
    station.execute("drop table contrast");
    editor(dialog)->setPlainText("com3=d8");
    data::StatementRecorder::start();
    click(dialog, 1004);
    data::StatementRecorder::stop();
    EXPECT_TRUE(data::StatementRecorder::statements().contains(query::QueryStatements::distinctValues("d8")));
    EXPECT_EQ(settings::ReadSetting("comfil", "com3", ""), "d8");
}

TEST_F(ConfigDialogTest, TheExtensionTabWritesItsKeysAndRefusesWhatItDoesNotOwn)
{
    // The tab is there only while a capability that it serves is on.
    EXPECT_EQ(ConfigDialog().control<ui::TabControl>(1102)->count(), 8);
    ASSERT_TRUE(settings::WriteSetting("status", "heartbeat", "1"));
    ConfigDialog dialog;
    ASSERT_EQ(dialog.control<ui::TabControl>(1102)->count(), 9);
    dialog.chooseTab(ConfigDialog::ExtensionTab);
    EXPECT_TRUE(editor(dialog)->toPlainText().contains("[print]\nprinter=\n"));
    const QByteArray before = settingsFile();
    const struct
    {
        const char* text;
        const char* refusal;
    } refused[] = {
        { "[system]\ndatabase=other", "第 1 行的节 [system] 不在这里设置，设置未保存。" },
        { "[status]\nheartbeat=1", "第 2 行不是这里可以设置的项：heartbeat=1，设置未保存。" },
        { "station=x", "第 1 行不是这里可以设置的项：station=x，设置未保存。" },
        { "[status]\n\ninterval=-5", "第 3 行的 interval 应是不小于 0 的整数，设置未保存。" },
        { "[print]\nlink=https://x/?id={d99}", nullptr },
    };
    for (const auto& c : refused) {
        ui::OkMessageBox::clearShownTexts();
        editor(dialog)->setPlainText(u(c.text));
        click(dialog, 1004);
        ASSERT_EQ(ui::OkMessageBox::shownTexts().size(), 1) << c.text;
        if (c.refusal)
            EXPECT_EQ(ui::OkMessageBox::shownTexts()[0], u(c.refusal));
        else
            EXPECT_TRUE(ui::OkMessageBox::shownTexts()[0].startsWith(u("第 2 行的记录链接无法使用：")));
        EXPECT_EQ(settingsFile(), before) << c.text;
    }
    ui::OkMessageBox::clearShownTexts();
    editor(dialog)->setPlainText(
        "[status]\nstation=O'Brien 大厅\n[print]\npdf=slips\nlink=https://x/?id={d1}");
    click(dialog, 1004);
    EXPECT_TRUE(ui::OkMessageBox::shownTexts().isEmpty());
    EXPECT_EQ(settings::ReadSetting("status", "station", ""), u("O'Brien 大厅"));
    EXPECT_EQ(settings::ReadSetting("print", "link", ""), "https://x/?id={d1}");
    EXPECT_TRUE(editor(dialog)->toPlainText().contains("pdf=slips\n"));
}

TEST_F(ConfigDialogTest, ASettingNotWrittenIsReportedAndKeepsItsText)
{
    ConfigDialog dialog;
    // A settings file that cannot be written: said so, and the typed keys are kept.
    const QString path = station.workspace().filePath("uinfo.ini");
    QFile::rename(path, path + ".away");
    QDir(station.workspace().path()).mkdir("uinfo.ini");
    dialog.chooseTab(ConfigDialog::CorrespondenceTab);
    editor(dialog)->setPlainText("com1=d8");
    click(dialog, 1004);
    EXPECT_EQ(ui::OkMessageBox::shownTexts().last(), u("设置文件无法写入，修改未保存."));
    EXPECT_EQ(editor(dialog)->toPlainText(), "com1=d8");
    dialog.chooseTab(ConfigDialog::DatabaseNameTab);
    typeInto(dialog, "shop");
    click(dialog, 1004);
    EXPECT_EQ(ui::OkMessageBox::shownTexts().size(), 2);
    EXPECT_EQ(editor(dialog)->toPlainText(), "shop");
    QDir(station.workspace().path()).rmdir("uinfo.ini");
    QFile::rename(path + ".away", path);
}

TEST_F(ConfigDialogTest, TheStatementConsoleIsForSaAloneEveryTime)
{
    station.execute("Exec sp_addlogin 'boss','Boss-pass1' Exec sp_addsrvrolemember 'boss',sysadmin");
    for (const auto& [user, password] :
        { std::pair { "SA", MaintenanceStation::SaPassword }, { "boss", "Boss-pass1" } }) {
        station.logInShared(user, password);
        ConfigDialog dialog;
        for (int attempt = 0; attempt < 2; ++attempt) {
            ui::OkMessageBox::clearShownTexts();
            dialog.chooseTab(ConfigDialog::QueryStatementTab);
            dialog.chooseTab(ConfigDialog::BatchTab);
            EXPECT_EQ(ui::OkMessageBox::shownTexts(),
                QStringList { u("对不起，为保证数据安全,只有sa用户可使用此功能") });
            EXPECT_FALSE(dialog.control(1003)->isEnabled());
            EXPECT_FALSE(dialog.control(1004)->isEnabled());
            EXPECT_FALSE(dialog.control(1005)->isEnabled());
            EXPECT_TRUE(editor(dialog)->toPlainText().isEmpty());
        }
    }
}

TEST_F(ConfigDialogTest, SaExecutesABatchAndAFailingOneKeepsItsText)
{
    ConfigDialog dialog;
    dialog.chooseTab(ConfigDialog::BatchTab);
    ASSERT_TRUE(dialog.control(1003)->isEnabled());
    editor(dialog)->setPlainText("  \ninsert inquiry(d1) values('batch')\nselect * from inquiry \n ");
    data::StatementRecorder::start();
    click(dialog, 1003);
    EXPECT_EQ(data::StatementRecorder::statements(),
        QStringList { "insert inquiry(d1) values('batch')\nselect * from inquiry" });
    EXPECT_EQ(ui::OkMessageBox::shownTexts(), QStringList { u("指令执行完成") });
    EXPECT_TRUE(editor(dialog)->toPlainText().isEmpty());
    EXPECT_EQ(station.scalar("select count(*) from inquiry where d1='batch'"), "1");

    ui::OkMessageBox::clearShownTexts();
    editor(dialog)->setPlainText("insert nowhere values(1)");
    click(dialog, 1003);
    EXPECT_EQ(ui::OkMessageBox::shownTexts(), QStringList { u("指令未被执行，请检查后重试") });
    EXPECT_EQ(editor(dialog)->toPlainText(), "insert nowhere values(1)");
}

TEST_F(ConfigDialogTest, TheCatalogueGridWritesOrderNameAndWidthButNeverTheCode)
{
    ConfigDialog dialog;
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    data::StatementRecorder::start();
    dialog.chooseTab(ConfigDialog::ColumnTitlesTab);
    EXPECT_EQ(data::StatementRecorder::statements(),
        QStringList { "select sort,chna,withe,engl,nober from contrast where nober<52" });
    auto* grid = dialog.control<components::CDataGrid>(1106);
    ASSERT_TRUE(grid->isVisible());
    EXPECT_FALSE(editor(dialog)->isVisible());
    for (int id : { 1003, 1004, 1005 })
        EXPECT_FALSE(dialog.control(id)->isEnabled());
    EXPECT_EQ(grid->Columns().Item(0).Caption(), u("序号"));
    EXPECT_EQ(grid->Columns().Item(1).Caption(), u("名称"));
    EXPECT_EQ(grid->Columns().Item(2).Caption(), u("宽度"));
    EXPECT_EQ(grid->Columns().Item(3).Caption(), u("代码"));
    EXPECT_TRUE(grid->Columns().Item(3).Locked());
    EXPECT_TRUE(grid->isColumnHidden(4));
    ASSERT_GT(grid->model()->rowCount(), 1);

    const QString nober = grid->model()->index(1, 4).data().toString();
    const QString engl = grid->model()->index(1, 3).data().toString();
    const auto typeInto = [&](int column, const QString& text) {
        const QModelIndex index = grid->model()->index(1, column);
        grid->setCurrentIndex(index);
        grid->edit(index);
        auto* cellEditor = grid->viewport()->findChild<QLineEdit*>();
        ASSERT_NE(cellEditor, nullptr) << column;
        cellEditor->setText(text);
        const QPointer<QLineEdit> open(cellEditor);
        QTest::keyClick(cellEditor, Qt::Key_Return);
        EXPECT_EVENTUALLY(open.isNull());
    };
    typeInto(0, "7");
    typeInto(1, u("新名称h"));
    typeInto(2, "150");
    EXPECT_EQ(station.rows("select sort,chna,withe,engl from contrast where nober=" + nober),
        QStringList { u("7|新名称h|150|") + engl });

    const QModelIndex code = grid->model()->index(1, 3);
    grid->setCurrentIndex(code);
    grid->edit(code);
    EXPECT_EQ(grid->viewport()->findChild<QLineEdit*>(), nullptr);
    EXPECT_EQ(station.scalar("select engl from contrast where nober=" + nober), engl);
}

TEST_F(ConfigDialogTest, TheWheelMovesTheCatalogueRecordOnlyOnItsTab)
{
    ConfigDialog dialog;
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    const auto turn = [&](QWidget* target, int delta) {
        QWheelEvent wheel(QPointF(5, 5), target->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, delta),
            Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        return QApplication::sendEvent(target, &wheel) && wheel.isAccepted();
    };
    dialog.chooseTab(ConfigDialog::ColumnTitlesTab);
    auto* grid = dialog.control<components::CDataGrid>(1106);
    data::Recordset recordset = grid->DataSource();
    ASSERT_EQ(recordset.AbsolutePosition(), 1);
    turn(grid->viewport(), -120);
    turn(grid->viewport(), -120);
    EXPECT_EQ(recordset.AbsolutePosition(), 3);
    EXPECT_EQ(grid->currentIndex().row(), 2);
    turn(grid->viewport(), 120);
    EXPECT_EQ(recordset.AbsolutePosition(), 2);
    turn(grid->viewport(), 120);
    turn(grid->viewport(), 120); // to BOF, and no further
    EXPECT_TRUE(recordset.BOF());
    turn(grid->viewport(), 120);
    EXPECT_TRUE(recordset.BOF());

    dialog.chooseTab(ConfigDialog::QueryStatementTab);
    const long position = recordset.AbsolutePosition();
    turn(editor(dialog)->viewport(), -120);
    EXPECT_EQ(recordset.AbsolutePosition(), position);
}

TEST_F(ConfigDialogTest, ReturnStartsANewLineInTheEditorAndMovesOnElsewhere)
{
    ConfigDialog dialog;
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    dialog.activateWindow();
    dialog.chooseTab(ConfigDialog::CorrespondenceTab);
    editor(dialog)->moveCursor(QTextCursor::End);
    QTest::keyClick(editor(dialog), Qt::Key_Return);
    QTest::keyClicks(editor(dialog), "com4=d8");
    EXPECT_TRUE(editor(dialog)->toPlainText().endsWith("com19=d5\ncom4=d8"));

    // On a button, Return moves the focus instead of pressing it.
    dialog.control(1006)->setFocus();
    QTest::keyClick(dialog.control(1006), Qt::Key_Return);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_FALSE(dialog.control(1006)->hasFocus());
}

TEST_F(ConfigDialogTest, AStatementTypedOverSeveralLinesIsStoredWhole)
{
    ConfigDialog dialog;
    const qsizetype lines = settingsFile().count('\n');
    editor(dialog)->setPlainText("d1,d2,\nd21");
    click(dialog, 1004);
    EXPECT_EQ(settings::ReadSetting("select", "select", ""), "d1,d2, d21");

    // No line of the text becomes a line of the file of its own, not even a section.
    dialog.chooseTab(ConfigDialog::ImportStatementTab);
    editor(dialog)->setPlainText("select f1,f2\r\nfrom [sheet1$]\n[system]\ndatabase=elsewhere");
    click(dialog, 1004);
    EXPECT_EQ(settings::ReadSetting("insert", "inserttext", ""),
        "select f1,f2 from [sheet1$] [system] database=elsewhere");
    EXPECT_EQ(settingsFile().count('\n'), lines);
    EXPECT_EQ(settings::ReadSetting("system", "database", ""), "nivo");
}

TEST_F(ConfigDialogTest, ACorrespondenceKeyTypedWithBlanksReplacesItsLine)
{
    ConfigDialog dialog;
    dialog.chooseTab(ConfigDialog::CorrespondenceTab);
    const qsizetype lines = settingsFile().count('\n');
    editor(dialog)->setPlainText("com1 = d6\n com19=d7");
    click(dialog, 1004);
    EXPECT_EQ(settings::ReadSetting("comfil", "com1", ""), "d6");
    EXPECT_EQ(settings::ReadSetting("comfil", "com19", ""), "d7");
    EXPECT_EQ(settingsFile().count('\n'), lines); // each replaced its line
}

// The screen trims ASCII blanks only, as the old platform did: wide spaces are text.
TEST_F(ConfigDialogTest, WideSpacesAreKeptWhereBlanksAreTrimmed)
{
    ConfigDialog dialog;
    dialog.chooseTab(ConfigDialog::BatchTab);
    editor(dialog)->setPlainText(u(" \nselect 1 --\u6ce8\u3000\n\t"));
    data::StatementRecorder::start();
    click(dialog, 1003);
    EXPECT_EQ(data::StatementRecorder::statements(), QStringList { u("select 1 --\u6ce8\u3000") });
    EXPECT_EQ(ui::OkMessageBox::shownTexts(), QStringList { u("指令执行完成") });
}

// uinfo.ini keeps a statement on one line: a "--" comment must still end with its line, or
// the condition typed below it is ignored and the import takes the heading row too.
TEST_F(ConfigDialogTest, ACommentEndsWithItsLineInTheStoredStatement)
{
    ConfigDialog dialog;
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    dialog.activateWindow();
    dialog.chooseTab(ConfigDialog::ImportStatementTab);
    typeInto(dialog,
        "(d1,d2) select f1,f2 from openrowset('MicroSoft.Jet.OleDB.4.0','Excel 5.0;HDR=no;Database=?%',"
        "records$) -- every row but the heading");
    QTest::keyClick(editor(dialog), Qt::Key_Return);
    for (const QChar c : u("where f1<>'类别'"))
        QTest::sendKeyEvent(QTest::Click, editor(dialog), Qt::Key_unknown, QString(c), Qt::NoModifier);
    click(dialog, 1004);
    EXPECT_TRUE(ui::OkMessageBox::shownTexts().isEmpty());
    station.execute(backoffice::JobStatements::import(
        settings::ReadSetting("insert", "inserttext", ""), GLIMORA_DEMO_DIR "/records.xls"));
    EXPECT_EQ(station.scalar("select count(*) from inquiry"), "480");
    EXPECT_EQ(station.scalar(u("select count(*) from inquiry where d1='类别'")), "0");

    const struct
    {
        const char* typed;
        const char* stored; // nullptr: refused with `message`
        const char* message;
    } cases[] = {
        { "d1, -- the name\nd2 --last", "d1, /* the name */ d2 /*last */", nullptr },
        // Marks inside quotes, names and block comments are no comment.
        { "d1,'a--b''--c' x,[d--]]e],\"f--\" --z\nd2", "d1,'a--b''--c' x,[d--]]e],\"f--\" /*z */ d2",
            nullptr },
        { "d1 /* a -- b /* nested\n */ c */,d2", "d1 /* a -- b /* nested  */ c */,d2", nullptr },
        { "d1,'a\nb'", nullptr, "引号中的文字不能换行，修改未保存." },
        { "d1,[a\nb]", nullptr, "引号中的文字不能换行，修改未保存." },
        { "d1 -- a */ b\n,d2", nullptr, "“--”注释中不能含有/*或*/，修改未保存." },
        { "d1 -- a /* b\n,d2", nullptr, "“--”注释中不能含有/*或*/，修改未保存." },
    };
    dialog.chooseTab(ConfigDialog::QueryStatementTab);
    for (const auto& c : cases) {
        ui::OkMessageBox::clearShownTexts();
        const QByteArray before = settingsFile();
        editor(dialog)->setPlainText(u(c.typed));
        click(dialog, 1004);
        if (c.stored) {
            EXPECT_TRUE(ui::OkMessageBox::shownTexts().isEmpty()) << c.typed;
            EXPECT_EQ(settings::ReadSetting("select", "select", ""), u(c.stored)) << c.typed;
        } else {
            EXPECT_EQ(ui::OkMessageBox::shownTexts(), QStringList { u(c.message) }) << c.typed;
            EXPECT_EQ(settingsFile(), before) << c.typed;
            EXPECT_EQ(editor(dialog)->toPlainText(), u(c.typed));
        }
    }
}

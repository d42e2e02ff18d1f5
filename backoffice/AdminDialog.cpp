#include "backoffice/AdminDialog.h"

#include "backoffice/AdminStatements.h"
#include "backoffice/JobStarter.h"
#include "backoffice/PasswordDialog.h"
#include "backoffice/StationStatusDialog.h"
#include "data/CatalogueCaptions.h"
#include "data/DbError.h"
#include "data/SharedDatabase.h"
#include "query/SearchIndex.h"
#include "settings/SettingsFile.h"
#include "settings/SnapshotSetting.h"
#include "settings/StatusSetting.h"
#include "ui/OkMessageBox.h"
#include "ui/SharedFonts.h"
#include "ui/SkinButton.h"

#include <QCloseEvent>
#include <QEventLoop>

namespace glimora::backoffice {

namespace {

constexpr int ConfigButton = 1003;
constexpr int ImportButton = 1004;
constexpr int BackupButton = 1005;
constexpr int RestoreButton = 1006;
constexpr int UserManageButton = 1007;
constexpr int DataEntryButton = 1008;
constexpr int UndoButton = 1009; // shown only while snapshots are taken
constexpr int DataManageButton = 1010;
constexpr int LeaveButton = 1011;
constexpr int PasswordButton = 1012;
constexpr int SearchIndexButton = 1014; // shown only while the search is on
constexpr int StatusButton = 1013; // shown only while the stations write their heartbeat
constexpr int Title = 1149;

const char* const ReconnectFailed = "初始化失败，请确认您对指定服务器上的SQL是否有足够权限。";

struct MenuButton
{
    int id;
    const char* caption;
    int right; // acc1..acc10; 0: never gated
};

constexpr MenuButton menuButtons[] = {
    { ConfigButton, "配置系统", 1 },
    { ImportButton, "导入数据", 2 },
    { BackupButton, "备份数据", 3 },
    { RestoreButton, "恢复备份", 4 },
    { UndoButton, "撤销上次导入/恢复", 4 },
    { SearchIndexButton, "重建搜索索引", 2 },
    { UserManageButton, "用户管理", 5 },
    { DataEntryButton, "数据录入", 6 },
    { DataManageButton, "数据管理", 8 },
    { PasswordButton, "修改密码", 0 },
    { StatusButton, "站点状态", 0 },
    { LeaveButton, "退出系统", 0 },
};

// NULL denies; any other value is read as an integer.
int rightValue(const data::Variant& value)
{
    switch (value.kind()) {
    case data::Variant::Kind::Int16:
    case data::Variant::Kind::Int32:
    case data::Variant::Kind::Int64:
    case data::Variant::Kind::Boolean:
        return static_cast<int>(value.toInt64());
    default:
        return static_cast<int>(value.toDouble());
    }
}

} // namespace

AdminDialog::AdminDialog(QWidget* parent)
    : AdminDialog(std::make_unique<DefaultMaintenanceScreens>(), parent)
{
}

AdminDialog::AdminDialog(std::unique_ptr<MaintenanceScreens> screens, QWidget* parent)
    : TemplateDialog(130, parent)
    , m_screens(std::move(screens))
{
    onClicked(ConfigButton, &AdminDialog::OnConfig);
    onClicked(ImportButton, &AdminDialog::OnImport);
    onClicked(BackupButton, &AdminDialog::OnBackup);
    onClicked(RestoreButton, &AdminDialog::OnRestore);
    onClicked(UndoButton, &AdminDialog::OnUndo);
    onClicked(SearchIndexButton, &AdminDialog::OnSearchIndex);
    onClicked(UserManageButton, &AdminDialog::OnUserManage);
    onClicked(DataEntryButton, &AdminDialog::OnDataEntry);
    onClicked(DataManageButton, &AdminDialog::OnDataManage);
    onClicked(PasswordButton, &AdminDialog::OnPassword);
    onClicked(LeaveButton, &AdminDialog::OnLeave);
    onClicked(StatusButton, &AdminDialog::OnStatus);
    m_open = OnInitDialog();
}

int AdminDialog::exec()
{
    if (!m_open) {
        setResult(ui::IDCANCEL);
        return ui::IDCANCEL;
    }
    // QDialog's own loop ends when the dialog is hidden, and the menu hides itself while the
    // configuration and the long jobs run: its loop is one that only the end of the menu ends.
    setResult(0);
    setWindowModality(Qt::ApplicationModal);
    QEventLoop loop;
    connect(this, &QDialog::finished, &loop, &QEventLoop::quit);
    show();
    loop.exec(QEventLoop::DialogExec);
    return result();
}

bool AdminDialog::OnInitDialog()
{
    setColors(ui::SkinnedDialogColors::pattern(161));
    for (const MenuButton& entry : menuButtons) {
        ui::SkinButton* button = skinButton(entry.id);
        button->setCaption(QString::fromUtf8(entry.caption));
        button->setBitmapId(184);
        button->setCaptionFont(6);
        button->setTextColor(QColor(240, 240, 240));
    }
    control(Title)->setFont(ui::sharedFont(2));
    // Nine characters: the menu's large bold face would need four lines in the circle.
    skinButton(UndoButton)->setCaptionFont(3);
    skinButton(UndoButton)->setCaption(QString::fromUtf8("撤销上次\n导入/恢复"));
    skinButton(UndoButton)->setTextColor(QColor(255, 255, 255));
    control(UndoButton)->setVisible(settings::SnapshotSetting::enabled());
    skinButton(SearchIndexButton)->setCaptionFont(3);
    skinButton(SearchIndexButton)->setCaption(QString::fromUtf8("重建\n搜索索引"));
    skinButton(SearchIndexButton)->setTextColor(QColor(255, 255, 255));
    control(SearchIndexButton)->setVisible(query::SearchIndex::enabled());
    control(StatusButton)->setVisible(settings::StatusSetting::enabled());

    if (!reconnect()) {
        ui::OkMessageBox::show(this, QString::fromUtf8(ReconnectFailed));
        return false;
    }
    if (!readRights())
        return false;
    loadCaptions();
    return true;
}

bool AdminDialog::reconnect()
{
    try {
        data::SharedDatabase::reopen(data::SharedDatabase::login().databaseName);
    } catch (const data::DbError&) {
        return false;
    }
    return true;
}

// "sa" (exactly) is not looked up and keeps every button as the template has it.
bool AdminDialog::readRights()
{
    const QString& user = data::SharedDatabase::login().userName;
    if (user == QLatin1String("sa"))
        return true;
    try {
        data::Command& command = data::SharedDatabase::command();
        command.SetCommandText(AdminStatements::rights(user));
        data::SharedDatabase::setRecordset(command.Execute());
        data::Recordset& rows = data::SharedDatabase::recordset();
        if (rows.BOF() && rows.EndOfFile()) {
            ui::OkMessageBox::show(this, QString::fromUtf8("该用户未经授权管理本系统！"));
            return false;
        }
        rows.MoveFirst();
        for (int i = 1; i <= 10; ++i)
            m_acc[i - 1] = rightValue(rows.Item(i).Value());
    } catch (const data::DbError&) {
        ui::OkMessageBox::show(this, QString::fromUtf8("SQL异常，请稍后再试"));
        return false;
    }
    for (const MenuButton& entry : menuButtons) {
        if (entry.right != 0)
            control(entry.id)->setEnabled(right(entry.right) != 0);
    }
    return true;
}

void AdminDialog::loadCaptions()
{
    try {
        data::CatalogueCaptions::shared() = data::CatalogueCaptions::read();
    } catch (const data::DbError&) {
        // The captions keep what they held.
    }
}

void AdminDialog::closeEvent(QCloseEvent* event)
{
    // A finished restore asks the menu to close while it may still be hidden behind the job.
    if (!isVisible()) {
        done(ui::IDCANCEL);
        event->accept();
        return;
    }
    TemplateDialog::closeEvent(event);
}

void AdminDialog::runWhileHidden(std::unique_ptr<QDialog> dialog)
{
    if (!dialog)
        return;
    hide();
    dialog->exec();
    show();
}

void AdminDialog::runOver(std::unique_ptr<QDialog> dialog)
{
    if (dialog)
        dialog->exec();
}

void AdminDialog::OnConfig()
{
    runWhileHidden(m_screens->configDialog());
}

void AdminDialog::OnUserManage()
{
    runOver(m_screens->userManageDialog());
}

void AdminDialog::OnDataEntry()
{
    runOver(m_screens->dataEntryDialog());
}

void AdminDialog::OnDataManage()
{
    runOver(m_screens->dataManageDialog());
}

void AdminDialog::OnImport()
{
    JobStarter(this).startImport();
}

void AdminDialog::OnBackup()
{
    JobStarter(this).startBackup();
}

void AdminDialog::OnRestore()
{
    afterRestore(JobStarter(this).startRestore());
}

void AdminDialog::OnSearchIndex()
{
    JobStarter(this).startSearchIndex();
}

void AdminDialog::OnUndo()
{
    afterRestore(JobStarter(this).startUndo());
}

void AdminDialog::afterRestore(std::optional<JobOutcome> outcome)
{
    // A failed restore leaves the shared connection on the login's default database; the
    // menu's other functions work on the station's database. Without it none of them could
    // work, so the menu ends as when it could not connect at opening.
    if (outcome == JobOutcome::Failed && !reconnect()) {
        ui::OkMessageBox::show(this, QString::fromUtf8(ReconnectFailed));
        endDialog(ui::IDCANCEL);
    }
}

void AdminDialog::OnPassword()
{
    PasswordDialog dialog;
    dialog.exec();
}

void AdminDialog::OnStatus()
{
    // Its frame differs from the menu's: shown in the menu's place.
    runWhileHidden(std::make_unique<StationStatusDialog>());
}

void AdminDialog::OnLeave()
{
    endDialog(ui::IDOK);
}

} // namespace glimora::backoffice

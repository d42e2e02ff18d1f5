#include "maintenance/ConfigDialog.h"

#include "components/CAdodc.h"
#include "components/CDataGrid.h"
#include "data/CatalogueCaptions.h"
#include "data/ConnectionString.h"
#include "data/DbError.h"
#include "data/ErrorHints.h"
#include "data/SharedDatabase.h"
#include "maintenance/ConfigStatements.h"
#include "maintenance/ExtensionSettings.h"
#include "maintenance/StatementOnOneLine.h"
#include "maintenance/WheelScroll.h"
#include "platform/HtmlHelp.h"
#include "query/FieldCatalogue.h"
#include "query/QueryStatements.h"
#include "query/ScreenQuestions.h"
#include "query/SearchIndex.h"
#include "settings/AsciiBlanks.h"
#include "settings/ChoiceSetting.h"
#include "settings/ExportSetting.h"
#include "settings/PrintSetting.h"
#include "settings/ReadAloudSetting.h"
#include "settings/ScheduleSetting.h"
#include "settings/SettingsFile.h"
#include "settings/SnapshotSetting.h"
#include "settings/StatusSetting.h"
#include "ui/ContrastSetting.h"
#include "ui/KeyboardSetting.h"
#include "ui/LargeTextSetting.h"
#include "ui/OkMessageBox.h"
#include "ui/OnScreenKeyboardSetting.h"
#include "ui/ScreenPolish.h"
#include "ui/SharedFonts.h"
#include "ui/SkinButton.h"
#include "ui/TabControl.h"
#include "ui/TouchSetting.h"
#include "ui/WaitCursor.h"

#include <QCheckBox>
#include <QPlainTextEdit>
#include <QWheelEvent>

namespace glimora::maintenance {

namespace {

constexpr int TabsId = 1102;
constexpr int EditorId = 1103;
constexpr int StripId = 1104;
constexpr int GridId = 1106;
constexpr int DataControlId = 1024;
constexpr int TitleId = 1152;
constexpr int ExecuteButton = 1003;
constexpr int SaveButton = 1004;
constexpr int CancelButton = 1005;
constexpr int ExitButton = 1006;
constexpr int HelpButton = 1007;
constexpr int HintsBox = 1108;
constexpr int TouchBox = 1109;
constexpr int PolishBox = 1116;
constexpr int KeyboardBox = 1117;
constexpr int SearchBox = 1119;
constexpr int SnapshotBox = 1120;
constexpr int ScheduleBox = 1121;
constexpr int QuestionsBox = 1125;
constexpr int StatusBox = 1122;
constexpr int PrintBox = 1123;
constexpr int ScreenKeyboardBox = 1118;
constexpr int ExportBox = 1124;
constexpr int CountsBox = 1126;
constexpr int SeveralValuesBox = 1127;
constexpr int TidyBox = 1128;
constexpr int ReadAloudBox = 1131;
constexpr int LargeTextBox = 1129;
constexpr int ContrastBox = 1130;
constexpr quintptr ConfigHelpContext = 0x20084;

const char* const tabCaptions[ConfigDialog::TabCount] = { "查询指令", "导入指令", "数据库名称", "公司名称",
    "报表名称", "标题名称", "对应关系", "批量处理", "扩展" };

struct StoredSetting
{
    const char* section;
    const char* key;
};
// Tabs 0, 1 and 2.
const StoredSetting storedSettings[]
    = { { "select", "select" }, { "insert", "inserttext" }, { "system", "database" } };

bool isSettingTab(int tab)
{
    return tab >= ConfigDialog::QueryStatementTab && tab <= ConfigDialog::DatabaseNameTab;
}

QString readStored(int tab)
{
    const StoredSetting& setting = storedSettings[tab];
    return settings::ReadSetting(
        QString::fromLatin1(setting.section), QString::fromLatin1(setting.key), QString());
}

QString& sharedCaption(int tab)
{
    data::CatalogueCaptions& captions = data::CatalogueCaptions::shared();
    return tab == ConfigDialog::CompanyNameTab ? captions.companyName : captions.reportTitle;
}

// The filter-list keys of the query screen; 14 and 15 are not configured here.
QList<int> correspondenceKeys()
{
    QList<int> keys;
    for (int i = 1; i <= 19; ++i) {
        if (i != 14 && i != 15)
            keys.append(i);
    }
    return keys;
}

const QString comfil = QStringLiteral("comfil");

} // namespace

ConfigDialog::ConfigDialog(QWidget* parent)
    : TemplateDialog(131, parent)
{
    onSelectionChanged(TabsId, &ConfigDialog::OnTabChanged);
    onClicked(SaveButton, &ConfigDialog::OnSave);
    onClicked(CancelButton, &ConfigDialog::OnCancel);
    onClicked(ExecuteButton, &ConfigDialog::OnExecute);
    onClicked(ExitButton, &ConfigDialog::OnExit);
    onClicked(HelpButton, &ConfigDialog::OnHelp);
    onClicked(HintsBox, &ConfigDialog::OnHintsToggled);
    onClicked(TouchBox, &ConfigDialog::OnTouchToggled);
    onClicked(PolishBox, &ConfigDialog::OnPolishToggled);
    onClicked(KeyboardBox, &ConfigDialog::OnKeyboardToggled);
    onClicked(SearchBox, &ConfigDialog::OnSearchToggled);
    onClicked(SnapshotBox, &ConfigDialog::OnSnapshotToggled);
    onClicked(ScheduleBox, &ConfigDialog::OnScheduleToggled);
    onClicked(QuestionsBox, &ConfigDialog::OnQuestionsToggled);
    onClicked(CountsBox, &ConfigDialog::OnCountsToggled);
    onClicked(SeveralValuesBox, &ConfigDialog::OnSeveralValuesToggled);
    onClicked(TidyBox, &ConfigDialog::OnTidyToggled);
    onClicked(StatusBox, &ConfigDialog::OnStatusToggled);
    onClicked(PrintBox, &ConfigDialog::OnPrintToggled);
    onClicked(ReadAloudBox, &ConfigDialog::OnReadAloudToggled);
    onClicked(ScreenKeyboardBox, &ConfigDialog::OnScreenKeyboardToggled);
    onClicked(ExportBox, &ConfigDialog::OnExportToggled);
    onClicked(LargeTextBox, &ConfigDialog::OnLargeTextToggled);
    onClicked(ContrastBox, &ConfigDialog::OnContrastToggled);
    onMouseWheel(&ConfigDialog::OnMouseWheel);
    // Return moves on instead of pressing a button, but in the editor it starts a new line:
    // the correspondence tab and the statement console are edited line by line.
    enableEnterAsTab({ EditorId });
    OnInitDialog();
}

void ConfigDialog::OnInitDialog()
{
    setColors(ui::SkinnedDialogColors::pattern(161));
    control(ExecuteButton)->setEnabled(false);
    auto* tabs = control<ui::TabControl>(TabsId);
    for (int tab = 0; tab < TabCount; ++tab) {
        if (tab != ExtensionTab || ExtensionSettings::inUse())
            tabs->addTab(QString::fromUtf8(tabCaptions[tab]));
    }
    tabs->setCurrentIndex(QueryStatementTab);

    const struct
    {
        int id;
        const char* caption;
    } buttons[] = { { SaveButton, "保存" }, { CancelButton, "取消" }, { ExitButton, "退出" },
        { HelpButton, "帮助" }, { ExecuteButton, "执行" } };
    for (const auto& button : buttons) {
        ui::SkinButton* skinButton = this->skinButton(button.id);
        skinButton->setCaption(QString::fromUtf8(button.caption));
        skinButton->setBitmapId(162);
        skinButton->setCaptionFont(4);
    }
    control<QCheckBox>(HintsBox)->setChecked(data::ErrorHints::enabled());
    control<QCheckBox>(TouchBox)->setChecked(ui::TouchSetting::enabled());
    control<QCheckBox>(PolishBox)->setChecked(ui::ScreenPolish::enabled());
    control<QCheckBox>(KeyboardBox)->setChecked(ui::KeyboardSetting::enabled());
    control<QCheckBox>(SearchBox)->setChecked(query::SearchIndex::enabled());
    control<QCheckBox>(SnapshotBox)->setChecked(settings::SnapshotSetting::enabled());
    control<QCheckBox>(ScheduleBox)->setChecked(settings::ScheduleSetting::enabled());
    control<QCheckBox>(QuestionsBox)->setChecked(query::ScreenQuestions::askedAfterJobs());
    control<QCheckBox>(CountsBox)->setChecked(settings::ChoiceSetting::counts());
    control<QCheckBox>(SeveralValuesBox)->setChecked(settings::ChoiceSetting::multiSelect());
    control<QCheckBox>(TidyBox)->setChecked(settings::ChoiceSetting::tidy());
    control<QCheckBox>(StatusBox)->setChecked(settings::StatusSetting::enabled());
    control<QCheckBox>(ExportBox)->setChecked(settings::ExportSetting::enabled());
    control<QCheckBox>(PrintBox)->setChecked(settings::PrintSetting::enabled());
    control<QCheckBox>(ReadAloudBox)->setChecked(settings::ReadAloudSetting::enabled());
    control<QCheckBox>(ScreenKeyboardBox)->setTristate(true);
    showScreenKeyboardScope();
    control<QCheckBox>(LargeTextBox)->setTristate(true);
    showLargeTextMode();
    control<QCheckBox>(ContrastBox)->setChecked(ui::ContrastSetting::enabled());
    setEditorText(readStored(QueryStatementTab));
    control(EditorId)->setFocus();
    control(TitleId)->setFont(ui::sharedFont(2));
}

void ConfigDialog::chooseTab(int tab)
{
    auto* tabs = control<ui::TabControl>(TabsId);
    tabs->setCurrentIndex(tab);
    OnTabChanged();
}

QString ConfigDialog::editorText() const
{
    return control<QPlainTextEdit>(EditorId)->toPlainText();
}

void ConfigDialog::setEditorText(const QString& text)
{
    control<QPlainTextEdit>(EditorId)->setPlainText(text);
}

QString ConfigDialog::correspondenceText()
{
    QString text;
    for (const int i : correspondenceKeys()) {
        const QString key = QStringLiteral("com%1").arg(i);
        text += key + QLatin1Char('=') + settings::ReadSetting(comfil, key, QString()) + QLatin1Char('\n');
    }
    return text;
}

void ConfigDialog::showEditor(const QString& text, bool storable)
{
    control(EditorId)->show();
    control(GridId)->hide();
    control(SaveButton)->setEnabled(storable);
    control(CancelButton)->setEnabled(storable);
    setEditorText(text);
}

void ConfigDialog::OnTabChanged()
{
    m_currentTab = control<ui::TabControl>(TabsId)->currentIndex();
    if (isSettingTab(m_currentTab)) {
        control(ExecuteButton)->setEnabled(false);
        showEditor(readStored(m_currentTab), true);
        control(EditorId)->setFocus();
    } else if (m_currentTab == CompanyNameTab || m_currentTab == ReportTitleTab) {
        control(ExecuteButton)->setEnabled(false);
        showEditor(sharedCaption(m_currentTab), true);
        control(EditorId)->setFocus();
    } else if (m_currentTab == ColumnTitlesTab) {
        for (const int id : { ExecuteButton, SaveButton, CancelButton })
            control(id)->setEnabled(false);
        control(EditorId)->hide();
        control(GridId)->show();
        repaint();
        bindCatalogueGrid();
    } else if (m_currentTab == CorrespondenceTab) {
        control(ExecuteButton)->setEnabled(false);
        showEditor(settings::withoutTrailingAsciiBlanks(correspondenceText()), true);
        control(EditorId)->setFocus();
    } else if (m_currentTab == BatchTab) {
        showEditor(QString(), false);
        // Byte-wise: "SA" is another login as far as this console is concerned.
        if (data::SharedDatabase::login().userName != QLatin1String("sa")) {
            ui::OkMessageBox::show(this, QString::fromUtf8("对不起，为保证数据安全,只有sa用户可使用此功能"));
            return;
        }
        control(ExecuteButton)->setEnabled(true);
        control(EditorId)->setFocus();
    } else if (m_currentTab == ExtensionTab) {
        control(ExecuteButton)->setEnabled(false);
        showEditor(ExtensionSettings::text(), true);
        control(EditorId)->setFocus();
    }
    control(StripId)->update();
}

void ConfigDialog::bindCatalogueGrid()
{
    const data::LoginValues& login = data::SharedDatabase::login();
    auto* dataControl = control<components::CAdodc>(DataControlId);
    auto* grid = control<components::CDataGrid>(GridId);
    try {
        dataControl->SetConnectionString(data::ConnectionString::forDataControl(
            login.serverName, login.databaseName, login.userName, login.password));
        dataControl->SetRecordSource(ConfigStatements::catalogueRows());
        dataControl->Refresh();
        m_recordset = dataControl->Recordset();
        grid->SetDataSource(m_recordset);
        components::CColumns columns = grid->Columns();
        const char* const captions[] = { "序号", "名称", "宽度", "代码" };
        for (int i = 0; i < 4; ++i)
            columns.Item(i).SetCaption(QString::fromUtf8(captions[i]));
        columns.Item(3).SetLocked(true);
        columns.Item(4).SetVisible(false);
    } catch (const data::DbError& error) {
        ui::OkMessageBox::show(this, data::ErrorHints::text(error), error.nativeError());
        return;
    }
    grid->setFocus();
}

namespace {

QString notWritten()
{
    return QString::fromUtf8("设置文件无法写入，修改未保存.");
}

// The query and import statements become part of a statement; the database name does not.
bool holdsStatement(int tab)
{
    return tab == ConfigDialog::QueryStatementTab || tab == ConfigDialog::ImportStatementTab;
}

QString refusalText(StatementOnOneLine::Refusal refusal)
{
    return refusal == StatementOnOneLine::Refusal::BreakInsideQuotes
        ? QString::fromUtf8("引号中的文字不能换行，修改未保存.")
        : QString::fromUtf8("“--”注释中不能含有/*或*/，修改未保存.");
}

} // namespace

void ConfigDialog::OnSave()
{
    const QString text = editorText();
    if (isSettingTab(m_currentTab)) {
        // The file keeps a value on one line: a "--" comment would swallow the lines after it.
        QString stored = text;
        if (holdsStatement(m_currentTab)) {
            const StatementOnOneLine oneLine = StatementOnOneLine::from(text);
            if (oneLine.refusal != StatementOnOneLine::Refusal::None) {
                ui::OkMessageBox::show(this, refusalText(oneLine.refusal));
                return;
            }
            stored = oneLine.text;
        }
        const StoredSetting& setting = storedSettings[m_currentTab];
        if (!settings::WriteSetting(
                QString::fromLatin1(setting.section), QString::fromLatin1(setting.key), stored)) {
            ui::OkMessageBox::show(this, notWritten());
            return;
        }
        setEditorText(QString());
    } else if (m_currentTab == CompanyNameTab || m_currentTab == ReportTitleTab) {
        const int nober = m_currentTab == CompanyNameTab ? 100 : 101;
        // No row updated is nothing saved too: the catalogue may lack the row, set up
        // without its workbook.
        long updated = 0;
        try {
            data::Command& command = data::SharedDatabase::command();
            command.SetCommandText(ConfigStatements::updateCaption(nober, text));
            command.Execute(&updated);
        } catch (const data::DbError&) {
            updated = 0;
        }
        if (updated == 0) {
            ui::OkMessageBox::show(this, QString::fromUtf8("数据库异常，修改未保存."));
            return;
        }
        sharedCaption(m_currentTab) = text;
    } else if (m_currentTab == CorrespondenceTab) {
        // One key=value per line; a line without "=" is a value for an empty key. Keys are
        // written as typed and none is ever removed.
        const QString lines = text + QLatin1Char('\n');
        qsizetype position = 0;
        for (qsizetype end = lines.indexOf(QLatin1Char('\n'), position); end != -1;
             end = lines.indexOf(QLatin1Char('\n'), position)) {
            const QString line = lines.mid(position, end - position);
            const qsizetype equals = line.indexOf(QLatin1Char('='));
            const QString key = equals == -1 ? QString() : line.left(equals);
            const QString value = equals == -1 ? line : line.mid(equals + 1);
            if (!settings::WriteSetting(comfil, key, value)) {
                // The text stays, so that saving again writes every line.
                ui::OkMessageBox::show(this, notWritten());
                return;
            }
            position = end + 1;
        }
        setEditorText(QString());
        // A new filter column is indexed now, while the administrator waits, not a visitor.
        if (query::ScreenQuestions::askedAfterJobs()) {
            const ui::WaitCursor wait;
            query::ScreenQuestions::ask(data::SharedDatabase::connection());
        }
    } else if (m_currentTab == ExtensionTab) {
        const ExtensionSettings::Parsed parsed = ExtensionSettings::parse(text, loadedCatalogue());
        if (!parsed.refusal.isEmpty()) {
            ui::OkMessageBox::show(this, parsed.refusal);
            return;
        }
        if (!ExtensionSettings::write(parsed.entries)) {
            ui::OkMessageBox::show(this, notWritten());
            return;
        }
        setEditorText(ExtensionSettings::text());
    }
}

// The field catalogue as the query screen reads it, for checking what names its columns;
// empty when the server cannot give it.
query::FieldCatalogue ConfigDialog::loadedCatalogue()
{
    query::FieldCatalogue catalogue;
    try {
        data::Command& command = data::SharedDatabase::command();
        command.SetCommandText(query::QueryStatements::catalogue());
        for (data::Recordset rows = command.Execute(); !rows.EndOfFile(); rows.MoveNext()) {
            data::CatalogueEntry entry;
            entry.engl = rows.Item(0).Value().toString();
            entry.chna = rows.Item(1).Value().toString();
            if (!catalogue.append(entry))
                break;
        }
    } catch (const data::DbError&) {
        catalogue.clear();
    }
    return catalogue;
}

// A box that switches a setting at once: when uinfo.ini cannot be written the box goes back
// and says so. True when the setting was written.
bool ConfigDialog::writeSwitch(int boxId, const std::function<bool(bool)>& write)
{
    auto* box = control<QCheckBox>(boxId);
    if (write(box->isChecked()))
        return true;
    box->setChecked(!box->isChecked());
    ui::OkMessageBox::show(this, notWritten());
    return false;
}

// Takes effect at once, for every screen: the setting is read whenever a message is shown.
void ConfigDialog::OnHintsToggled()
{
    writeSwitch(HintsBox, &data::ErrorHints::setEnabled);
}

// Seen by the query screen the next time a list opens.
void ConfigDialog::OnTouchToggled()
{
    writeSwitch(TouchBox, &ui::TouchSetting::setEnabled);
}

// The screens read the setting whenever they draw.
void ConfigDialog::OnPolishToggled()
{
    if (writeSwitch(PolishBox, &ui::ScreenPolish::setEnabled))
        update();
}

// Screens opened from now on take focus by Tab and mark it.
void ConfigDialog::OnKeyboardToggled()
{
    writeSwitch(KeyboardBox, &ui::KeyboardSetting::setEnabled);
}

// The next import or restore saves a snapshot first, and the menu offers to undo it.
void ConfigDialog::OnSnapshotToggled()
{
    writeSwitch(SnapshotBox, &settings::SnapshotSetting::setEnabled);
}

// The station takes its backups from its next start on.
void ConfigDialog::OnScheduleToggled()
{
    writeSwitch(ScheduleBox, &settings::ScheduleSetting::setEnabled);
}

// The next import or restore ends by having the server index the query screen's first questions.
void ConfigDialog::OnQuestionsToggled()
{
    writeSwitch(QuestionsBox, &query::ScreenQuestions::setAskedAfterJobs);
}

// The query screen opened from now on counts the records behind each value button.
void ConfigDialog::OnCountsToggled()
{
    writeSwitch(CountsBox, &settings::ChoiceSetting::setCounts);
}

// The query screen opened from now on lets a filter list take several values.
void ConfigDialog::OnSeveralValuesToggled()
{
    writeSwitch(SeveralValuesBox, &settings::ChoiceSetting::setMultiSelect);
}

// The query screen opened from now on hides the value buttons that hold no value.
void ConfigDialog::OnTidyToggled()
{
    writeSwitch(TidyBox, &settings::ChoiceSetting::setTidy);
}

// The station writes its heartbeat from its next start on, and the menu shows the status page.
void ConfigDialog::OnStatusToggled()
{
    writeSwitch(StatusBox, &settings::StatusSetting::setEnabled);
}

// Data management opened from now on offers the export.
void ConfigDialog::OnExportToggled()
{
    writeSwitch(ExportBox, &settings::ExportSetting::setEnabled);
}

// The query screen opened from now on offers its read-aloud button.
void ConfigDialog::OnReadAloudToggled()
{
    writeSwitch(ReadAloudBox, &settings::ReadAloudSetting::setEnabled);
}

// The query screen opened from now on offers printing and shows the record's QR code.
void ConfigDialog::OnPrintToggled()
{
    writeSwitch(PrintBox, &settings::PrintSetting::setEnabled);
}

// The query screen opened from now on shows the search entry; an import indexes for it.
void ConfigDialog::OnSearchToggled()
{
    writeSwitch(SearchBox, &query::SearchIndex::setEnabled);
}

// Three states for the three scopes: a part-ticked box brings the keyboard to the query screen
// alone, a ticked one to every screen. Screens opened from now on see it.
void ConfigDialog::OnScreenKeyboardToggled()
{
    const Qt::CheckState state = control<QCheckBox>(ScreenKeyboardBox)->checkState();
    const ui::OnScreenKeyboardSetting::Scope scope = state == Qt::Checked
        ? ui::OnScreenKeyboardSetting::Everywhere
        : state == Qt::PartiallyChecked ? ui::OnScreenKeyboardSetting::QueryScreen
                                        : ui::OnScreenKeyboardSetting::Off;
    if (!ui::OnScreenKeyboardSetting::setScope(scope))
        ui::OkMessageBox::show(this, notWritten());
    showScreenKeyboardScope();
}

void ConfigDialog::showScreenKeyboardScope()
{
    static const char* const captions[] = { "屏幕键盘", "屏幕键盘：查询界面", "屏幕键盘：所有界面" };
    static const Qt::CheckState states[] = { Qt::Unchecked, Qt::PartiallyChecked, Qt::Checked };
    const int scope = int(ui::OnScreenKeyboardSetting::scope());
    auto* box = control<QCheckBox>(ScreenKeyboardBox);
    box->setCheckState(states[scope]);
    box->setText(QString::fromUtf8(captions[scope]));
}

// A part-ticked box shows the query screen's 大字 button, a ticked one also starts the screen
// large. Query screens opened from now on see it.
void ConfigDialog::OnLargeTextToggled()
{
    const Qt::CheckState state = control<QCheckBox>(LargeTextBox)->checkState();
    const ui::LargeTextSetting::Mode mode = state == Qt::Checked ? ui::LargeTextSetting::StartLarge
        : state == Qt::PartiallyChecked                          ? ui::LargeTextSetting::Button
                                                                 : ui::LargeTextSetting::Off;
    if (!ui::LargeTextSetting::setMode(mode))
        ui::OkMessageBox::show(this, notWritten());
    showLargeTextMode();
}

void ConfigDialog::showLargeTextMode()
{
    static const char* const captions[] = { "大字模式", "大字模式：按钮", "大字模式：默认大字" };
    static const Qt::CheckState states[] = { Qt::Unchecked, Qt::PartiallyChecked, Qt::Checked };
    const int mode = int(ui::LargeTextSetting::mode());
    auto* box = control<QCheckBox>(LargeTextBox);
    box->setCheckState(states[mode]);
    box->setText(QString::fromUtf8(captions[mode]));
}

// Every screen draws its skins from the high-contrast set from its next draw on.
void ConfigDialog::OnContrastToggled()
{
    if (writeSwitch(ContrastBox, &ui::ContrastSetting::setEnabled))
        update();
}

void ConfigDialog::OnCancel()
{
    if (isSettingTab(m_currentTab))
        setEditorText(readStored(m_currentTab));
    else if (m_currentTab == CompanyNameTab || m_currentTab == ReportTitleTab)
        setEditorText(sharedCaption(m_currentTab));
    else if (m_currentTab == CorrespondenceTab)
        setEditorText(correspondenceText());
    else if (m_currentTab == ExtensionTab)
        setEditorText(ExtensionSettings::text());
    else
        return;
    control(EditorId)->setFocus();
}

void ConfigDialog::OnExecute()
{
    const QString statement = settings::withoutAsciiBlanks(editorText());
    try {
        data::Command& command = data::SharedDatabase::command();
        command.SetCommandText(statement);
        command.Execute();
    } catch (const data::DbError&) {
        ui::OkMessageBox::show(this, QString::fromUtf8("指令未被执行，请检查后重试"));
        return;
    }
    setEditorText(QString());
    ui::OkMessageBox::show(this, QString::fromUtf8("指令执行完成"));
}

void ConfigDialog::OnExit()
{
    endDialog(ui::IDOK);
}

void ConfigDialog::OnHelp()
{
    platform::HtmlHelpA(0, "help.chm", platform::HH_HELP_CONTEXT, ConfigHelpContext);
}

bool ConfigDialog::OnMouseWheel(QWidget*, QWheelEvent* event)
{
    if (m_currentTab != ColumnTitlesTab)
        return false;
    return moveRecordByWheel(this, m_recordset, *control<components::CDataGrid>(GridId), *event);
}

} // namespace glimora::maintenance

#include "query/QueryDialog.h"

#include "components/CAdodc.h"
#include "components/CWebBrowser2.h"
#include "data/CatalogueCaptions.h"
#include "data/Command.h"
#include "data/ConnectionLoss.h"
#include "data/DbError.h"
#include "data/SharedDatabase.h"
#include "data/ValueReaders.h"
#include "query/QueryStatements.h"
#include "query/TitleStrip.h"
#include "settings/SettingsFile.h"
#include "ui/AboutDialog.h"
#include "ui/DropDownCombo.h"
#include "ui/OkMessageBox.h"
#include "ui/OnScreenKeyboard.h"
#include "ui/SharedFonts.h"
#include "ui/SkinButton.h"
#include "ui/TouchSetting.h"

#include <QDebug>
#include <QLabel>
#include <QScreen>

namespace glimora::query {

namespace {

const QString System = QStringLiteral("system");

QString utf8(const char* text)
{
    return QString::fromUtf8(text);
}

QueryDialog::ConnectionLossHandler& lossHandler()
{
    static QueryDialog::ConnectionLossHandler handler;
    return handler;
}

} // namespace

void QueryDialog::setConnectionLossHandler(ConnectionLossHandler handler)
{
    lossHandler() = std::move(handler);
}

bool QueryDialog::closeOnLostConnection(const data::DbError& error)
{
    if (!lossHandler() || !data::isConnectionLost(error))
        return false;
    lossHandler()(error.description());
    if (!m_ready)
        m_closedAtSetup = true;
    endDialog(ui::IDCANCEL);
    return true;
}

QueryDialog::QueryDialog(QWidget* parent)
    : TemplateDialog(102, parent)
{
    onClicked(valueButtonIds(), &QueryDialog::OnValueButton);
    onClicked(1057, &QueryDialog::OnFirstLevel);
    onClicked(1058, &QueryDialog::OnPreviousLevel);
    onClicked(1059, &QueryDialog::OnNextLevel);
    onClicked(1060, &QueryDialog::OnLastLevel);
    onClicked(1137, &QueryDialog::OnPageUp);
    onClicked(1138, &QueryDialog::OnPageDown);
    onClicked(1126, &QueryDialog::OnSecondaryPageUp);
    onClicked(1061, &QueryDialog::OnSecondaryPageDown);
    onClicked(1125, &QueryDialog::OnQuery);
    onClicked(1171, &QueryDialog::OnClear);
    QList<int> lists;
    for (int n = 1; n <= FilterCount; ++n)
        lists << filterListId(n);
    onDropDown(lists, &QueryDialog::OnFilterDropDown);
    onClicked(1143, &QueryDialog::OnCategoryTab);
    onClicked(1144, &QueryDialog::OnConditionTab);
    onClicked(1145, &QueryDialog::OnDataViewTab);
    onClicked(1146, &QueryDialog::OnPictureViewTab);
    onDoubleClicked(1140, &QueryDialog::OnClosePicture);
    onPaint(&QueryDialog::OnPaint);
    onTimer(&QueryDialog::OnTimer);
    onKeyPreTranslate(&QueryDialog::OnKeyPreTranslate);
    onMousePreTranslate(&QueryDialog::OnMousePreTranslate);
    enableEscapeSwallowing();
    enableEnterAsTab();

    m_titleStrip = new TitleStrip(this);
    m_ready = OnInitDialog();
    // The lists below the display area rise above the keyboard, with their tabs and buttons.
    if (ui::OnScreenKeyboard* keyboard
        = ui::OnScreenKeyboard::attachTo(this, ui::OnScreenKeyboardSetting::QueryScreen))
        keyboard->setRisingBand([this]() { return displayBottom(); });
}

QueryDialog::~QueryDialog() = default;

QList<int> QueryDialog::valueButtonIds()
{
    return idRange(1003, 1023) + idRange(1025, 1032) + idRange(1036, 1056);
}

int QueryDialog::filterListId(int n)
{
    static const int first[] = { 1000, 1001, 1002 };
    return n <= 3 ? first[n - 1] : 1058 + n;
}

int QueryDialog::filterLabelId(int n)
{
    static const int first[] = { 1034, 1035, 1078 };
    return n <= 3 ? first[n - 1] : 1075 + n;
}

ui::DropDownCombo* QueryDialog::filterList(int n) const
{
    return control<ui::DropDownCombo>(filterListId(n));
}

QLabel* QueryDialog::filterLabel(int n) const
{
    return control<QLabel>(filterLabelId(n));
}

int QueryDialog::exec()
{
    // A screen that closed itself while setting up has nothing to run.
    if (m_closedAtSetup)
        return result();
    return TemplateDialog::exec();
}

void QueryDialog::fail(const QString& message)
{
    // For the journal too: a kiosk's screen ends here, and a box says nothing once tapped away.
    qWarning().noquote() << "glimora:" << message;
    ui::OkMessageBox::show(this, message);
    if (!m_ready)
        m_closedAtSetup = true;
    endDialog(ui::IDCANCEL);
}

bool QueryDialog::OnInitDialog()
{
    setColors(ui::SkinnedDialogColors::solid(Qt::white));

    try {
        data::SharedDatabase::reopen(data::SharedDatabase::login().databaseName);
    } catch (const data::DbError& error) {
        if (!closeOnLostConnection(error))
            fail(utf8("数据库异常，请稍后再试。"));
        return false;
    }

    for (const int id : { 1057, 1058, 1059, 1060 })
        skinButton(id)->setBitmapId(159);
    for (const int id : { 1061, 1125, 1126 })
        skinButton(id)->setBitmapId(160);
    skinButton(1171)->setBitmapId(186);
    for (const int id : { 1057, 1058, 1059, 1060, 1125, 1137, 1138, 1171 })
        skinButton(id)->setCaptionFont(4);

    try {
        if (!loadCatalogue()) {
            fail(utf8("系统未配置，请先登入后台完成系统配置后再试!"));
            return false;
        }
    } catch (const data::DbError& error) {
        if (!closeOnLostConnection(error))
            fail(utf8("数据库异常，请检查后再试"));
        return false;
    }

    if (QScreen* screen = this->screen())
        setGeometry(screen->availableGeometry());
    setWindowState(windowState() | Qt::WindowMaximized);
    m_mode = 0;

    const bool touch = ui::TouchSetting::enabled();
    for (int n = 1; n <= FilterCount; ++n) {
        // The template's 30-point font leaves room for three characters in a list; the
        // title's font keeps a value readable from a step away.
        ui::DropDownCombo* list = filterList(n);
        list->setFont(ui::sharedFont(2));
        list->setFingerSized(touch);
        list->resize(list->width(), list->sizeHint().height());
    }
    if (!LoadTitles()) {
        data::CatalogueCaptions::shared().companyName = utf8("晴岚软件公司");
        data::CatalogueCaptions::shared().reportTitle = utf8("公共信息查询表");
    }
    SetupFilterLabels();
    nameControlsForScreenReaders();
    control(1169)->hide();
    LayoutPanel();
    ApplyMode();
    setUpCounts();
    RunLevel(m_drillDown.levelColumn(1));
    if (m_closedAtSetup)
        return false;

    m_titleStrip->raise();
    m_browser = control<components::CWebBrowser2>(1156);
    if (m_browser) {
        m_browser->Navigate(homePageAddress());
        m_browser->setGeometry(0, 0, 0, 0);
    }
    setUpSearch();
    setUpPrinting();
    setUpSeveralValues();
    setUpReadAloud();
    setUpLargeText();
    styleUnskinnedControls();
    return true;
}

bool QueryDialog::loadCatalogue()
{
    data::Command& command = data::SharedDatabase::command();
    command.SetCommandText(QueryStatements::catalogue());
    data::SharedDatabase::setRecordset(command.Execute());
    data::Recordset& rows = data::SharedDatabase::recordset();
    m_catalogue.clear();
    if (rows.BOF() && rows.EndOfFile())
        return false;
    QStringList levels;
    rows.MoveFirst();
    // Rows past the 59 slots are left out.
    while (!rows.EndOfFile() && m_catalogue.count() < FieldCatalogue::Slots - 1) {
        CatalogueEntry entry;
        entry.engl = data::ValueText(0);
        entry.chna = data::ValueText(1);
        entry.width = int(data::ValueNumber(2));
        m_catalogue.append(entry);
        // A name that is no plain column name could change the statements: it is no level.
        if (!rows.Item(3).Value().isNull() && QueryStatements::isColumnName(entry.engl))
            levels << entry.engl;
        rows.MoveNext();
    }
    m_drillDown.setLevelColumns(levels);
    return !m_catalogue.isEmpty();
}

QString QueryDialog::companyName()
{
    return data::CatalogueCaptions::shared().companyName;
}

QString QueryDialog::reportTitle()
{
    return data::CatalogueCaptions::shared().reportTitle;
}

bool QueryDialog::LoadTitles()
{
    data::CatalogueCaptions& titles = data::CatalogueCaptions::shared();
    titles.companyName.clear();
    titles.reportTitle.clear();
    try {
        data::Command& command = data::SharedDatabase::command();
        command.SetCommandText(QueryStatements::titles());
        data::SharedDatabase::setRecordset(command.Execute());
        data::Recordset& rows = data::SharedDatabase::recordset();
        if (rows.BOF() && rows.EndOfFile())
            return false;
        rows.MoveFirst();
        titles.companyName = data::ValueText(0);
        rows.MoveNext();
        // With the company name alone, the report title keeps its default.
        titles.reportTitle = rows.EndOfFile() ? utf8("公共信息查询表") : data::ValueText(0);
    } catch (const data::DbError&) {
        return false;
    }
    return true;
}

void QueryDialog::ApplyMode()
{
    const std::pair<int, const char*> captions[] = { { 1057, "最前" }, { 1058, "向前" }, { 1059, "向后" },
        { 1060, "最后" }, { 1125, "查询" }, { 1137, "上翻" }, { 1138, "下翻" }, { 1171, "清除" } };
    for (const auto& [id, caption] : captions)
        skinButton(id)->setCaption(utf8(caption));

    const QList<int> visibleSlots = valueButtonIds().mid(0, ValueChoices::VisibleButtons);
    if (m_mode == 0) {
        for (int n = 1; n <= FilterCount; ++n) {
            filterList(n)->hide();
            filterLabel(n)->hide();
            control(visibleSlots[n - 1])->show();
        }
        control(visibleSlots[19])->show();
        tidyValueButtons();
        control(1125)->hide();
        control(1171)->hide();
        control(1141)->show();
        control(1141)->setFont(screenFont(1));
        for (const int id : { 1057, 1058, 1059, 1060 })
            control(id)->setEnabled(true);
        if (m_drillDown.level() > 0) {
            m_drillDown.setLevel(m_drillDown.level() - 1);
            RunLevel(m_drillDown.levelValue(m_drillDown.level()));
        }
    } else {
        control(1125)->show();
        control(1171)->show();
        for (int n = 1; n <= FilterCount; ++n) {
            filterList(n)->show();
            filterLabel(n)->show();
            control(visibleSlots[n - 1])->hide();
        }
        control(visibleSlots[19])->hide();
        for (const int id : { 1057, 1058, 1059, 1060 })
            control(id)->setEnabled(false);
        BuildFilterWhere();
        control(1141)->hide();
    }
    // Large captions of the lists or of the breadcrumb, whichever shows, set the tab row's place.
    if (m_largeText)
        LayoutPanel();
}

bool QueryDialog::OnSysCommand(unsigned int commandId)
{
    constexpr unsigned int aboutCommand = 0x0010;
    if ((commandId & 0xFFF0) != aboutCommand)
        return false;
    emit aboutBoxRequested();
    ui::AboutDialog about(this);
    about.exec();
    return true;
}

} // namespace glimora::query

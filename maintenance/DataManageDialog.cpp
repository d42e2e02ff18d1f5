#include "maintenance/DataManageDialog.h"
#include "query/SearchIndex.h"

#include "components/CAdodc.h"
#include "components/CDataGrid.h"
#include "components/RecordsetTableModel.h"
#include "data/ConnectionString.h"
#include "data/DbError.h"
#include "data/ErrorHints.h"
#include "data/SharedDatabase.h"
#include "data/ValueReaders.h"
#include "maintenance/DataManageStatements.h"
#include "maintenance/WheelScroll.h"
#include "platform/HtmlHelp.h"
#include "settings/ExportSetting.h"
#include "settings/Settings.h"
#include "settings/SettingsFile.h"
#include "ui/FileDialog.h"
#include "ui/OkMessageBox.h"
#include "ui/SharedFonts.h"
#include "ui/SkinButton.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTimer>
#include <QTreeWidget>
#include <QWheelEvent>

#include <exception>
#include <limits>

namespace glimora::maintenance {

namespace {

constexpr int DataControlId = 1024;
constexpr int GridId = 1106;
constexpr int TreeId = 1127;
constexpr int TitleId = 1168;
constexpr int NewRecordButton = 1025;
constexpr int UploadButton = 1020;
constexpr int ExitButton = 1021;
constexpr int HelpButton = 1022;
constexpr int ExportButton = 1026;
constexpr quintptr DataHelpContext = 0x20082;

bool isPictureColumn(const QString& name)
{
    static const QStringList pictures = [] {
        QStringList names;
        for (int i = 51; i <= 59; ++i)
            names << QStringLiteral("d%1").arg(i);
        return names;
    }();
    return pictures.contains(name);
}

QString uploadFailed()
{
    return QString::fromUtf8("上传失败，请稍后再试");
}

} // namespace

DataManageDialog::DataManageDialog(QWidget* parent, Opening opening)
    : TemplateDialog(176, parent)
{
    onClicked(NewRecordButton, &DataManageDialog::OnNewRecord);
    onClicked(UploadButton, &DataManageDialog::OnUploadPicture);
    onClicked(ExitButton, &DataManageDialog::OnExit);
    onClicked(HelpButton, &DataManageDialog::OnHelp);
    onClicked(ExportButton, &DataManageDialog::OnExport);
    onDoubleClicked(GridId, &DataManageDialog::OnGridDoubleClicked);
    onMouseWheel(&DataManageDialog::OnMouseWheel);
    enableEnterAsTab();
    m_entryOnly = opening == Opening::NewRecord;
    if (m_entryOnly)
        control<components::CDataGrid>(GridId)->recordsetModel()->setRowEditable(
            [this](int row) { return m_addedRows.contains(row); });
    OnInitDialog();
    // Without the new record, the typing would land in a record that already exists.
    if (opening == Opening::NewRecord && !m_closedAtOpening && !m_recordset.isNull() && addRecord())
        readyFirstCellForTyping();
}

DataManageDialog::~DataManageDialog()
{
    // The grid outlives the rows it asks about: an editor committed as it goes must not ask.
    control<components::CDataGrid>(GridId)->recordsetModel()->setRowEditable({});
}

int DataManageDialog::exec()
{
    if (m_closedAtOpening)
        return result();
    return TemplateDialog::exec();
}

void DataManageDialog::closeAtOpening()
{
    m_closedAtOpening = true;
    endDialog(ui::IDCANCEL);
}

void DataManageDialog::OnInitDialog()
{
    setColors(ui::SkinnedDialogColors::pattern(183));
    const struct
    {
        int id;
        const char* caption;
    } buttons[] = { { NewRecordButton, "新增" }, { UploadButton, "图片" }, { ExitButton, "退出" },
        { HelpButton, "帮助" }, { ExportButton, "导出" } };
    for (const auto& button : buttons) {
        ui::SkinButton* skinButton = this->skinButton(button.id);
        skinButton->setCaption(QString::fromUtf8(button.caption));
        skinButton->setBitmapId(162);
        skinButton->setCaptionFont(4);
    }
    control(TitleId)->setFont(ui::sharedFont(2));
    control(UploadButton)->setEnabled(false);
    // Off, the screen is as it always was. Data entry, a right of its own, reads nothing out.
    if (settings::ExportSetting::enabled() && !m_entryOnly)
        showExportButton(*this);

    if (!loadCatalogue())
        return;

    auto* tree = control<QTreeWidget>(TreeId);
    QPalette palette = tree->palette();
    palette.setColor(QPalette::Text, QColor(0, 0, 255));
    tree->setPalette(palette);
    tree->clear();
    tree->addTopLevelItem(new QTreeWidgetItem(QStringList { QString::fromUtf8("项目选择器") }));
    m_filter = DataManageStatements::recordFilter();
    loadGrid();
}

bool DataManageDialog::loadCatalogue()
{
    data::Recordset& rows = data::SharedDatabase::recordset();
    try {
        data::Command& command = data::SharedDatabase::command();
        command.SetCommandText(DataManageStatements::catalogue());
        data::SharedDatabase::setRecordset(command.Execute());
    } catch (const data::DbError& error) {
        ui::OkMessageBox::show(this, data::ErrorHints::text(error), error.nativeError());
        closeAtOpening();
        return false;
    } catch (const std::exception&) {
        ui::OkMessageBox::show(this, QString::fromUtf8("数据库异常，请检查后再试"));
        closeAtOpening();
        return false;
    }
    try {
        if (rows.BOF() && rows.EndOfFile()) {
            ui::OkMessageBox::show(this, QString::fromUtf8("系统未配置，请先配置系统后再试!"));
            closeAtOpening();
            return false;
        }
        rows.MoveFirst();
        for (int slot = 1; slot < CatalogueSlots && !rows.EndOfFile(); ++slot) {
            data::CatalogueEntry& entry = m_catalogue[slot];
            entry.engl = data::ValueText(0);
            entry.chna = data::ValueText(1);
            entry.width = int(data::ValueNumber(2));
            rows.MoveNext();
        }
    } catch (const data::DbError&) {
        ui::OkMessageBox::show(this, QString::fromUtf8("数据库异常，请检查后再试"));
        closeAtOpening();
        return false;
    }
    return true;
}

void DataManageDialog::loadGrid()
{
    const data::LoginValues& login = data::SharedDatabase::login();
    auto* dataControl = control<components::CAdodc>(DataControlId);
    auto* grid = control<components::CDataGrid>(GridId);
    dataControl->SetConnectionString(data::ConnectionString::forDataControl(
        login.serverName, login.databaseName, login.userName, login.password));
    const QString columnList
        = settings::ReadSetting(QStringLiteral("select"), QStringLiteral("select"), QString());
    if (columnList.isEmpty())
        return;
    try {
        const QString source = DataManageStatements::records(columnList, m_filter);
        dataControl->SetRecordSource(source);
        dataControl->Refresh();
        m_recordSource = source;
        m_recordset = dataControl->Recordset();
        if (query::SearchIndex::enabled())
            keepSearchIndex();
        grid->SetDataSource(m_recordset);
        components::CColumns columns = grid->Columns();
        for (int index = 0; index < columns.Count(); ++index) {
            components::CColumn column = columns.Item(index);
            const QString name = column.Caption();
            m_columnNames.append(name);
            for (int slot = 1; slot < CatalogueSlots; ++slot) {
                const data::CatalogueEntry& entry = m_catalogue[slot];
                if (entry.engl != name)
                    continue;
                column.SetCaption(entry.chna);
                column.SetWidth(float(entry.width));
                if (isPictureColumn(name)) {
                    column.SetVisible(false);
                    control(UploadButton)->setEnabled(true);
                }
                break;
            }
        }
    } catch (const data::DbError& error) {
        ui::OkMessageBox::show(this, data::ErrorHints::text(error), error.nativeError());
    }
}

void DataManageDialog::OnNewRecord()
{
    addRecord();
}

bool DataManageDialog::addRecord()
{
    try {
        const QString firstField = m_recordset.Item(0).Name();
        m_recordset.AddNew(firstField, data::Variant::fromString(QString()));
        m_addedRows.insert(int(m_recordset.AbsolutePosition()) - 1);
    } catch (const data::DbError&) {
        return false;
    }
    control<components::CDataGrid>(GridId)->Refresh();
    return true;
}

void DataManageDialog::readyFirstCellForTyping()
{
    auto* grid = control<components::CDataGrid>(GridId);
    grid->Refresh();
    const QModelIndex current = grid->currentIndex();
    if (!current.isValid())
        return;
    int column = 0;
    while (column < grid->model()->columnCount() - 1 && grid->isColumnHidden(column))
        ++column;
    grid->setCurrentIndex(grid->model()->index(current.row(), column));
    grid->scrollTo(grid->currentIndex());
    grid->setFocus();
    // The editor opens once the screen is shown, so the first key lands in it.
    QTimer::singleShot(0, grid, [grid]() {
        if (grid->currentIndex().isValid())
            grid->edit(grid->currentIndex());
    });
}

void DataManageDialog::OnUploadPicture()
{
    const data::LoginValues& login = data::SharedDatabase::login();
    // The old platform started in this computer's network folder when the server was
    // elsewhere; here the settings folder is where such a file is shared from.
    const QString folder = login.serverName.compare(login.computerName, Qt::CaseInsensitive) != 0
        ? settings::Settings::instance().directory
        : QString();
    const QString path = ui::FileDialog::getOpenFileName(
        this, QStringLiteral("jpg File(*.jpg)|*.jpg|word File(*.doc)|*.doc||"), folder);
    if (!settings::Settings::instance().directory.isEmpty())
        QDir::setCurrent(settings::Settings::instance().directory);
    if (path.isEmpty())
        return;
    try {
        if (m_recordset.isNull() || m_recordset.EndOfFile() || m_recordset.BOF()
            || (m_entryOnly && !m_addedRows.contains(int(m_recordset.AbsolutePosition()) - 1))) {
            ui::OkMessageBox::show(this, QString::fromUtf8("请选择对应记录"));
            return;
        }
    } catch (const data::DbError&) {
        ui::OkMessageBox::show(this, QString::fromUtf8("请选择对应记录"));
        return;
    }
    storePicture(path);
}

bool DataManageDialog::storePicture(const QString& path)
{
    // Opening a pipe waits for a writer and a device may never end: regular files only.
    const QFileInfo info(path);
    if (info.exists() && !info.isFile()) {
        m_fileBytes = data::Variant::null();
        ui::OkMessageBox::show(this, QString::fromUtf8("只能上传普通文件：") + path);
        return false;
    }
    // An image column holds at most 2^31 - 1 bytes; a larger file is not read into memory,
    // nor more than that of one that grows while it is read.
    constexpr qint64 limit = std::numeric_limits<qint32>::max();
    QFile file(path);
    QByteArray bytes;
    bool whole = file.open(QIODevice::ReadOnly) && file.size() <= limit;
    if (whole) {
        bytes.reserve(file.size());
        while (whole && bytes.size() <= limit) {
            const QByteArray chunk = file.read(qMin<qint64>(qint64(1) << 20, limit + 1 - bytes.size()));
            whole = file.error() == QFileDevice::NoError;
            if (chunk.isEmpty())
                break;
            bytes += chunk;
        }
        whole = whole && bytes.size() <= limit;
    }
    if (!whole) {
        m_fileBytes = data::Variant::null();
        ui::OkMessageBox::show(this, path);
        ui::OkMessageBox::show(this, uploadFailed());
        return false;
    }
    file.close();
    m_fileBytes = data::Variant::fromBytes(bytes);
    bytes = QByteArray();

    // d51 whatever picture column made the button available: the query screen shows d51.
    // A write that fails in any way (memory too) leaves no pending value behind for the next
    // row change to store after the person was told it failed.
    const auto cancel = [this] {
        try {
            m_recordset.CancelUpdate();
        } catch (const data::DbError&) {
        }
    };
    try {
        m_recordset.Item(QStringLiteral("d51")).SetValue(m_fileBytes);
    } catch (const data::DbError& error) {
        cancel();
        ui::OkMessageBox::show(this, data::ErrorHints::text(error), error.nativeError());
        ui::OkMessageBox::show(this, uploadFailed());
        return false;
    } catch (const std::exception&) {
        cancel();
        ui::OkMessageBox::show(this, uploadFailed());
        return false;
    }
    try {
        m_recordset.UpdateBatch(data::Recordset::AffectCurrent);
    } catch (const std::exception&) {
        cancel();
        ui::OkMessageBox::show(this, uploadFailed());
        return false;
    }
    return true;
}

QList<RecordExport::Column> DataManageDialog::exportColumns() const
{
    auto* grid = control<components::CDataGrid>(GridId);
    components::CColumns columns = grid->Columns();
    struct Shown
    {
        QString name, caption;
        bool taken = false;
    };
    QList<Shown> shown;
    for (int index = 0; index < columns.Count(); ++index) {
        components::CColumn column = columns.Item(index);
        if (column.Visible() && index < m_columnNames.size())
            shown.append({ m_columnNames.at(index), column.Caption() });
    }
    QList<RecordExport::Column> result;
    for (int slot = 1; slot < CatalogueSlots; ++slot) {
        const data::CatalogueEntry& entry = m_catalogue[slot];
        if (entry.engl.isEmpty())
            continue;
        for (Shown& column : shown) {
            if (!column.taken && column.name == entry.engl) {
                result.append({ column.name, column.caption });
                column.taken = true;
                break;
            }
        }
    }
    // A column the catalogue does not know keeps its place after those it does.
    for (const Shown& column : std::as_const(shown)) {
        if (!column.taken)
            result.append({ column.name, column.caption });
    }
    return result;
}

// The row of buttons moves left by half a step, so that the five stay centred.
void DataManageDialog::showExportButton(ui::TemplateDialog& dialog)
{
    const int halfStep = (dialog.control(UploadButton)->x() - dialog.control(NewRecordButton)->x()) / 2;
    for (const int id : { NewRecordButton, UploadButton, ExitButton, HelpButton, ExportButton })
        dialog.control(id)->move(dialog.control(id)->x() - halfStep, dialog.control(id)->y());
    dialog.control(ExportButton)->show();
}

void DataManageDialog::OnExport()
{
    if (m_recordSource.isEmpty()) {
        ui::OkMessageBox::show(this, QString::fromUtf8("没有可以导出的记录"));
        return;
    }
    const QString path = ui::FileDialog::getSaveFileNameOfKind(this, RecordExport::fileFilter());
    if (!settings::Settings::instance().directory.isEmpty())
        QDir::setCurrent(settings::Settings::instance().directory);
    if (path.isEmpty())
        return;
    const data::LoginValues& login = data::SharedDatabase::login();
    const RecordExport job(data::ConnectionString::forDataControl(
                               login.serverName, login.databaseName, login.userName, login.password),
        m_recordSource, exportColumns(), path);
    const RecordExport::Result result
        = m_exportRunner ? m_exportRunner(job) : job.run(std::function<bool(qint64)>());
    switch (result.outcome) {
    case RecordExport::Outcome::Done:
        ui::OkMessageBox::show(this,
            QString::fromUtf8("导出完成：%1 条记录已写入\n%2")
                .arg(result.records)
                .arg(QDir::toNativeSeparators(path)));
        break;
    case RecordExport::Outcome::Cancelled:
        ui::OkMessageBox::show(this, QString::fromUtf8("导出已取消，没有写入文件。"));
        break;
    case RecordExport::Outcome::Failed:
        ui::OkMessageBox::show(this,
            QString::fromUtf8("导出失败，没有写入文件。")
                + (result.reason.isEmpty() ? QString() : QStringLiteral("\n") + result.reason));
        break;
    }
}

// A written record's values join the search index; a deleted one's find nothing once gone.
void DataManageDialog::keepSearchIndex()
{
    m_recordset.subscribe([this](const data::RecordsetChange& change) {
        if (change.kind != data::RecordsetChange::Kind::RowChanged)
            return;
        const data::Recordset& recordset = m_recordset;
        QStringList names, values;
        for (int field = 0; field < recordset.FieldCount(); ++field) {
            const data::Variant value = recordset.valueAt(change.row, field);
            if (value.kind() != data::Variant::Kind::String)
                continue;
            names.append(recordset.Item(field).Name());
            values.append(value.toString());
        }
        try {
            query::SearchIndex::add(
                data::SharedDatabase::connection(), query::SearchIndex::columns(), names, values);
        } catch (const data::DbError&) {
            // The record is stored; a rebuild from the back office mends the index.
        }
    });
}

void DataManageDialog::OnGridDoubleClicked()
{
    int row = -1;
    try {
        if (m_recordset.isNull() || m_recordset.State() == data::Recordset::StateClosed || m_recordset.BOF()
            || m_recordset.EndOfFile())
            return;
        row = int(m_recordset.AbsolutePosition()) - 1;
    } catch (const data::DbError&) {
        return;
    }
    // Data entry may take back a record it added, never another.
    if (m_entryOnly && !m_addedRows.contains(row))
        return;
    // A double click is also how people start editing a cell: never delete unasked.
    if (!ui::OkMessageBox::askYesNo(this, QString::fromUtf8("确定删除当前记录吗？")))
        return;
    try {
        m_recordset.Delete(data::Recordset::AffectCurrent);
        // The rows below move up one.
        QSet<int> added;
        for (const int addedRow : std::as_const(m_addedRows)) {
            if (addedRow != row)
                added.insert(addedRow > row ? addedRow - 1 : addedRow);
        }
        m_addedRows = added;
    } catch (const data::DbError& error) {
        ui::OkMessageBox::show(this, data::ErrorHints::text(error), error.nativeError());
    }
    control<components::CDataGrid>(GridId)->Refresh();
}

void DataManageDialog::OnExit()
{
    endDialog(ui::IDCANCEL);
}

void DataManageDialog::OnHelp()
{
    platform::HtmlHelpA(0, "help.chm", platform::HH_HELP_CONTEXT, DataHelpContext);
}

bool DataManageDialog::OnMouseWheel(QWidget*, QWheelEvent* event)
{
    return moveRecordByWheel(this, m_recordset, *control<components::CDataGrid>(GridId), *event);
}

} // namespace glimora::maintenance

#include "backoffice/StationStatusDialog.h"

#include "backoffice/StationPresence.h"
#include "backoffice/StatusStatements.h"
#include "data/DbError.h"
#include "data/ErrorHints.h"
#include "data/SharedDatabase.h"
#include "ui/OkMessageBox.h"
#include "ui/SharedFonts.h"
#include "ui/SkinButton.h"
#include "ui/TouchSetting.h"

#include <QHeaderView>
#include <QScroller>
#include <QTreeWidget>

namespace glimora::backoffice {

namespace {

constexpr int StationList = 1002;
constexpr int RefreshButton = 1;
constexpr int ExitButton = 2;
constexpr int Title = 1170;

QString utf8(const char* text)
{
    return QString::fromUtf8(text);
}

QString timeText(const data::Variant& value)
{
    return value.kind() == data::Variant::Kind::DateTime
        ? value.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
        : QString();
}

QString text(const data::Variant& value)
{
    return value.kind() == data::Variant::Kind::String ? value.toString() : QString();
}

QString lastError(qint64 number, const QString& text)
{
    if (text.isEmpty())
        return number != 0 ? QLatin1Char('#') + QString::number(number) : QString();
    return number != 0 ? QLatin1Char('#') + QString::number(number) + QLatin1Char(' ') + text : text;
}

} // namespace

StationStatusDialog::StationStatusDialog(QWidget* parent)
    : TemplateDialog(183, parent)
{
    onClicked(RefreshButton, &StationStatusDialog::OnRefresh);
    onClicked(ExitButton, &StationStatusDialog::OnExit);
    OnInitDialog();
}

void StationStatusDialog::OnInitDialog()
{
    for (const auto& [id, caption] :
        { std::pair { RefreshButton, "刷新" }, std::pair { ExitButton, "退出" } }) {
        ui::SkinButton* button = skinButton(id);
        button->setCaption(QString::fromUtf8(caption));
        button->setBitmapId(162);
        button->setCaptionFont(4);
    }
    setColors(ui::SkinnedDialogColors::pattern(161));
    control(Title)->setFont(ui::sharedFont(2));

    auto* list = control<QTreeWidget>(StationList);
    list->setHeaderHidden(false);
    list->setColumnCount(ColumnCount);
    list->setHeaderLabels({ utf8("站点"), utf8("状态"), utf8("版本"), utf8("启动于"), utf8("最近心跳"),
        utf8("最近查询"), utf8("错误数"), utf8("最近错误"), utf8("最近备份") });
    list->setRootIsDecorated(false);
    list->setUniformRowHeights(true);
    list->setAlternatingRowColors(true);
    list->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    list->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    list->header()->setStretchLastSection(false);
    // A finger drags the list both ways; the columns are wider than the page.
    QScroller::grabGesture(list->viewport(),
        ui::TouchSetting::enabled() ? QScroller::LeftMouseButtonGesture : QScroller::TouchGesture);
    if (ui::TouchSetting::enabled())
        list->setStyleSheet(QStringLiteral("QTreeWidget::item { min-height: 40px; }"));
    OnRefresh();
}

void StationStatusDialog::OnRefresh()
{
    auto* list = control<QTreeWidget>(StationList);
    list->clear();
    try {
        data::Command& command = data::SharedDatabase::command();
        command.SetCommandText(StatusStatements::createTable());
        command.Execute();
        command.SetCommandText(StatusStatements::stations());
        data::SharedDatabase::setRecordset(command.Execute());
        data::Recordset& rows = data::SharedDatabase::recordset();
        if (!(rows.BOF() && rows.EndOfFile()))
            rows.MoveFirst();
        while (!rows.EndOfFile()) {
            auto value = [&rows](int field) { return rows.Item(field).Value(); };
            const QDateTime lastBeat = value(4).toDateTime();
            const int beatSeconds = int(value(3).toInt64());
            const bool online = StationPresence::online(lastBeat, beatSeconds, value(11).toDateTime());
            auto* item = new QTreeWidgetItem(list);
            item->setText(NameColumn, text(value(0)));
            item->setText(
                PresenceColumn, StationPresence::text(lastBeat, beatSeconds, value(11).toDateTime()));
            item->setForeground(PresenceColumn, online ? QColor(0, 128, 0) : QColor(192, 0, 0));
            item->setText(VersionColumn, text(value(1)));
            item->setText(StartedColumn, timeText(value(2)));
            item->setText(BeatColumn, timeText(value(4)));
            item->setText(QuestionColumn, timeText(value(5)));
            item->setText(ErrorsColumn, QString::number(value(6).toInt64()));
            item->setText(LastErrorColumn, lastError(value(7).toInt64(), text(value(8)).simplified()));
            const QString problem = text(value(10)).simplified();
            item->setText(BackupColumn,
                problem.isEmpty() ? timeText(value(9))
                                  : utf8("失败：") + problem
                        + (value(9).isNull() ? QString()
                                             : utf8("（上次成功 ") + timeText(value(9)) + utf8("）")));
            if (!problem.isEmpty())
                item->setForeground(BackupColumn, QColor(192, 0, 0));
            rows.MoveNext();
        }
    } catch (const data::DbError& error) {
        ui::OkMessageBox::show(this, data::ErrorHints::text(error), error.nativeError());
    }
    for (int column = 0; column < ColumnCount; ++column)
        list->resizeColumnToContents(column);
}

void StationStatusDialog::OnExit()
{
    endDialog(ui::IDOK);
}

} // namespace glimora::backoffice

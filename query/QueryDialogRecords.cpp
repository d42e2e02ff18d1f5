// The drill-down, the filter lists and the loading of records: every statement the query
// screen sends after set-up starts here.
#include "query/QueryDialog.h"

#include "components/CAdodc.h"
#include "data/Command.h"
#include "data/ConnectionString.h"
#include "data/DbError.h"
#include "data/SharedDatabase.h"
#include "data/ValueReaders.h"
#include "query/LastVisitorQuestion.h"
#include "query/QueryStatements.h"
#include "query/ScreenQuestions.h"
#include "query/SearchStatements.h"
#include "query/ValueButtonRows.h"
#include "settings/ChoiceSetting.h"
#include "settings/SettingsFile.h"
#include "ui/DropDownCombo.h"
#include "ui/OkMessageBox.h"
#include "ui/SharedFonts.h"
#include "ui/SkinButton.h"
#include "ui/TouchSetting.h"

#include <QLabel>
#include <QLineEdit>

namespace glimora::query {

namespace {

QString utf8(const char* text)
{
    return QString::fromUtf8(text);
}

} // namespace

void QueryDialog::RunLevel(const QString& value)
{
    const int level = m_drillDown.level();
    m_whereClause.clear();
    if (m_drillDown.levelColumn(1).isEmpty())
        return;
    const QString next = m_drillDown.levelColumn(level + 1);
    if (m_ready)
        LastVisitorQuestion::noteNow();
    QString statement;
    if (level == 0) {
        statement = QueryStatements::distinctValues(value);
    } else {
        m_whereClause = QueryStatements::drillDownCondition(
            m_drillDown.levelColumns(), m_drillDown.levelValues(), level, value);
        statement = QueryStatements::distinctValues(next, m_whereClause);
    }
    data::Command& command = data::SharedDatabase::command();
    command.SetCommandText(statement);
    m_choices.clear();
    showValueButtons();

    if (!next.isEmpty()) {
        try {
            data::SharedDatabase::setRecordset(command.Execute());
            data::Recordset& rows = data::SharedDatabase::recordset();
            if (rows.BOF() && rows.EndOfFile()) {
                // No step is taken: the condition stays the one of the page on display.
                m_whereClause = m_pageWhereClause;
                return;
            }
            QStringList values;
            QStringList captions;
            rows.MoveFirst();
            while (!rows.EndOfFile()) {
                const data::Variant value = rows.Item(0).Value();
                const QString text = data::ValueText(value);
                const QString stored = QueryStatements::storedText(value, text);
                // Moments of one day are one day on the buttons, and one button finds them all.
                const bool repeated
                    = !captions.isEmpty() && captions.last() == text && values.last() == stored;
                if (!text.isEmpty() && !repeated) {
                    captions << text;
                    values << stored;
                }
                rows.MoveNext();
            }
            m_choices.setValues(values, withCounts(values, captions, next, m_whereClause));
        } catch (const data::DbError& error) {
            if (!closeOnLostConnection(error))
                fail(utf8("数据库异常，请稍后后再试"));
            return;
        }
        showValueButtons();
    }
    if (QWidget* first = control(valueButtonIds().first()); first->isEnabled())
        first->setFocus();

    m_drillDown.chose(value);
    auto* breadcrumb = control<QLabel>(1141);
    breadcrumb->setText(m_drillDown.breadcrumb());
    breadcrumb->repaint();
    LoadRecords();
}

QStringList QueryDialog::withCounts(
    const QStringList& values, const QStringList& captions, const QString& column, const QString& where)
{
    if (!m_valueCounts)
        return captions;
    const std::optional<ValueCounts::Counts> counts = m_valueCounts->count(
        QueryStatements::valueCounts(column, where), data::SharedDatabase::loginConnectionString());
    if (!counts)
        return captions;
    QStringList counted;
    for (qsizetype n = 0; n < captions.size(); ++n) {
        // A value the count did not see (written since) goes without one rather than a wrong one.
        const std::optional<qint64> found = ValueCounts::countOf(*counts, values.value(n));
        counted << (found ? captions[n] + QStringLiteral(" (%1)").arg(*found) : captions[n]);
    }
    return counted;
}

void QueryDialog::showValueButtons()
{
    const bool plain
        = settings::ReadSetting(QStringLiteral("show"), QStringLiteral("ower"), QStringLiteral("1"))
        == QStringLiteral("0");
    m_choices.setButtons(ValueButtonRows::Rows * valueButtonsPerRow());
    const QStringList captions = m_choices.visibleCaptions();
    const QList<int> ids = valueButtonIds();
    for (int slot = 1; slot <= ids.size(); ++slot) {
        const QString caption = slot <= captions.size() ? captions[slot - 1] : QString();
        QWidget* widget = control(ids[slot - 1]);
        if (ui::SkinButton* button = skinButton(ids[slot - 1])) {
            button->setCaption(caption);
            if (plain && !caption.isEmpty())
                button->setText(caption);
        } else if (auto* pushButton = qobject_cast<QPushButton*>(widget)) {
            pushButton->setText(caption);
        }
        widget->setEnabled(!caption.isEmpty());
        widget->update();
    }
    tidyValueButtons();
}

void QueryDialog::OnValueButton(int id)
{
    const int slot = int(valueButtonIds().indexOf(id)) + 1;
    if (m_choices.isMoreButton(slot)) {
        m_choices.nextPage();
        showValueButtons();
        return;
    }
    const QString value = m_choices.visibleValue(slot);
    if (!value.isEmpty()) {
        RunLevel(value);
        return;
    }
    const ui::SkinButton* button = skinButton(id);
    RunLevel(button ? button->caption() : control<QPushButton>(id)->text());
}

components::CAdodc* QueryDialog::dataControl()
{
    if (auto* control = this->control<components::CAdodc>(1024))
        return control;
    // Without the registered components (a test of the bare screen) the screen keeps one of its own.
    if (!m_ownDataControl) {
        m_ownDataControl = new components::CAdodc(this);
        m_ownDataControl->hide();
    }
    return m_ownDataControl;
}

void QueryDialog::LoadRecords()
{
    const QString select
        = settings::ReadSetting(QStringLiteral("select"), QStringLiteral("select"), QString());
    if (select.isEmpty()) {
        ui::OkMessageBox::show(this, utf8("未配置查询语句，请选完成系统的必要配置再试。"));
        m_whereClause = m_pageWhereClause;
        return;
    }
    if (m_ready)
        LastVisitorQuestion::noteNow();
    const data::LoginValues& login = data::SharedDatabase::login();
    components::CAdodc* records = dataControl();
    records->SetConnectionString(data::ConnectionString::forDataControl(
        login.serverName, login.databaseName, login.userName, login.password));
    records->SetRecordSource(m_searchQuery.isEmpty()
            ? QueryStatements::records(select, m_whereClause)
            : SearchStatements::records(select, searchColumns(), m_searchQuery));
    try {
        records->Refresh();
        m_touchedRow = -1;
        m_resultCursor = records->Recordset();
        if (!(m_resultCursor.BOF() && m_resultCursor.EndOfFile()))
            m_resultCursor.MoveFirst();
    } catch (const data::DbError& error) {
        // A wrong column in the settings or a condition the server refuses: the visitor is
        // told and the page on display stays.
        if (!closeOnLostConnection(error))
            ui::OkMessageBox::show(this, utf8("查询失败，请检查系统配置或查询条件后再试。"));
        m_whereClause = m_pageWhereClause;
        return;
    }
    m_pageWhereClause = m_whereClause;
    if (m_resultCursor.BOF() && m_resultCursor.EndOfFile()) {
        // The picture view clears the picture of the records before.
        if (m_pictureView)
            ShowRecordPicture();
        update();
        return;
    }
    if (m_pictureView)
        ShowRecordPicture();
    update();
}

void QueryDialog::SetupFilterLabels()
{
    for (int n = 1; n <= FilterCount; ++n) {
        filterList(n)->setEnabled(false);
        const CatalogueEntry* entry = m_catalogue.find(ScreenQuestions::filterColumn(n));
        if (!entry)
            continue;
        filterLabel(n)->setText(entry->chna);
        filterLabel(n)->setFont(ui::sharedFont(3));
        filterList(n)->setEnabled(true);
        filterList(n)->setAccessibleName(entry->chna);
    }
}

void QueryDialog::FillFilterList(const QString& column, int listId)
{
    auto* list = control<ui::DropDownCombo>(listId);
    list->clear();
    list->addString(QString());
    if (column.isEmpty())
        return;
    if (m_ready)
        LastVisitorQuestion::noteNow();
    data::Command& command = data::SharedDatabase::command();
    command.SetCommandText(QueryStatements::distinctValues(column));
    try {
        data::SharedDatabase::setRecordset(command.Execute());
        data::Recordset& rows = data::SharedDatabase::recordset();
        if (rows.BOF() && rows.EndOfFile())
            return;
        const int number = QueryStatements::columnNumber(column);
        const int listNumber = filterNumberOf(listId);
        // Text and number columns of the equality lists; a date column keeps one value.
        const bool takesSeveral
            = m_chosenSeveral && listNumber >= 1 && listNumber <= 13 && (number < 16 || number > 20);
        QString lastText;
        QString lastStored;
        rows.MoveFirst();
        while (!rows.EndOfFile()) {
            const data::Variant value = rows.Item(0).Value();
            const QString text = QueryStatements::filterEntryText(value, number);
            const QString stored = QueryStatements::storedText(value, text);
            if (!text.isEmpty() && (text != lastText || stored != lastStored)) {
                const int index = list->addString(text);
                list->setItemData(index, stored);
                if (takesSeveral)
                    list->setItemData(index,
                        m_chosen.isChosen(listNumber, stored) ? Qt::Checked : Qt::Unchecked,
                        Qt::CheckStateRole);
            }
            lastText = text;
            lastStored = stored;
            rows.MoveNext();
        }
        // Emptied with the list, the ticked values stay what it holds.
        if (takesSeveral && !m_chosen.stored(listNumber).isEmpty())
            list->setEditText(m_chosen.text(listNumber));
        if (m_valueCounts && listNumber >= 1 && listNumber <= 13 && number >= 1 && number <= 50)
            showEntryCounts(list, column, listNumber);
    } catch (const data::DbError& error) {
        if (!closeOnLostConnection(error))
            ui::OkMessageBox::show(this, command.CommandText() + utf8("数据库异常，请检查后再试"));
    }
}

void QueryDialog::OnFilterDropDown(int id)
{
    for (int n = 1; n <= FilterCount; ++n) {
        if (filterListId(n) == id) {
            filterList(n)->setPopupFitsEntries(ui::TouchSetting::enabled());
            FillFilterList(ScreenQuestions::filterColumn(n), id);
            return;
        }
    }
}

QueryStatements::FilterCondition QueryDialog::listsCondition(
    int without, std::array<QStringList, 20>& anyOf) const
{
    std::array<QString, 20> columns;
    std::array<QString, 20> texts;
    std::array<QString, 20> stored;
    for (int n = 1; n <= FilterCount; ++n) {
        if (n == without)
            continue;
        const ui::DropDownCombo* list = filterList(n);
        columns[n] = ScreenQuestions::filterColumn(n);
        texts[n] = list->currentText();
        // Entries ticked as they were listed, the text not typed over since: compared as stored.
        if (!m_chosen.stored(n).isEmpty() && texts[n] == m_chosen.text(n)) {
            if (m_chosen.stored(n).size() == 1)
                stored[n] = m_chosen.stored(n).first();
            else
                anyOf[n] = m_chosen.stored(n);
            continue;
        }
        // An entry chosen as it was listed: compared as it is stored.
        const QVariant entry = list->itemData(list->currentIndex());
        if (entry.isValid() && list->itemText(list->currentIndex()) == texts[n])
            stored[n] = entry.toString();
    }
    return QueryStatements::filterCondition(columns, texts, stored, anyOf);
}

void QueryDialog::BuildFilterWhere()
{
    std::array<QStringList, 20> anyOf;
    const QueryStatements::FilterCondition condition = listsCondition(0, anyOf);
    if (!condition.ok()) {
        ui::OkMessageBox::show(this,
            condition.refusedDate
                ? utf8("“%1”不是日期，这里请输入日期，例如 2024-01-01。").arg(condition.refused)
                : utf8("“%1”不是数字，这里请输入数字，例如 12 或 12.50。").arg(condition.refused));
        return;
    }
    m_whereClause = condition.where;
    LoadRecords();
    // A refused statement leaves the page, and what it was held to, as it was.
    if (m_pageWhereClause == condition.where) {
        m_severalValuesWhere = condition.where;
        m_pageSeveralValues.clear();
        for (int n = 1; n <= FilterCount; ++n) {
            if (!anyOf[n].isEmpty())
                m_pageSeveralValues.insert(ScreenQuestions::filterColumn(n), m_chosen.text(n));
        }
    }
}

QHash<QString, QString> QueryDialog::pageSeveralValues() const
{
    // A page asked since, of a step, a search or other lists, holds nothing to several values.
    if (!m_searchQuery.isEmpty() || m_severalValuesWhere != m_pageWhereClause)
        return {};
    return m_pageSeveralValues;
}

void QueryDialog::showEntryCounts(ui::DropDownCombo* list, const QString& column, int n)
{
    // Each entry counts as a pick would: with what the other lists hold, in place of this one's.
    std::array<QStringList, 20> anyOf;
    const QueryStatements::FilterCondition others = listsCondition(n, anyOf);
    if (!others.ok())
        return;
    const std::optional<ValueCounts::Counts> counts
        = m_valueCounts->count(QueryStatements::valueCounts(column, others.where),
            data::SharedDatabase::loginConnectionString(), QueryStatements::columnNumber(column));
    if (!counts)
        return;
    for (int index = 0; index < list->count(); ++index) {
        if (list->itemText(index).isEmpty())
            continue;
        // The entries are the whole table's values: one that the other lists' records lack
        // leads to none, and saying so spares the visitor an empty page.
        const qint64 found = ValueCounts::countOf(*counts, list->itemData(index).toString()).value_or(0);
        list->setItemData(index, found, ui::DropDownCombo::CountRole);
        list->setItemData(
            index, list->itemText(index) + QStringLiteral(" (%1)").arg(found), Qt::AccessibleTextRole);
    }
}

int QueryDialog::filterNumberOf(int listId)
{
    for (int n = 1; n <= FilterCount; ++n) {
        if (filterListId(n) == listId)
            return n;
    }
    return 0;
}

void QueryDialog::setUpCounts()
{
    if (!settings::ChoiceSetting::counts())
        return;
    m_valueCounts = std::make_unique<ValueCounts>();
    for (int n = 1; n <= 13; ++n)
        filterList(n)->showCounts();
    m_valueCounts->open(data::SharedDatabase::loginConnectionString());
}

void QueryDialog::setUpSeveralValues()
{
    m_chosenSeveral = settings::ChoiceSetting::multiSelect();
    if (!m_chosenSeveral)
        return;
    for (int n = 1; n <= 13; ++n) {
        ui::DropDownCombo* list = filterList(n);
        connect(list, &QComboBox::activated, this, [this, n](int index) { OnFilterPicked(n, index); });
        // A text typed over the ticked values is what the list holds from then on.
        if (QLineEdit* edit = list->lineEdit())
            connect(edit, &QLineEdit::textEdited, this, [this, n] { m_chosen.clear(n); });
    }
}

void QueryDialog::OnFilterPicked(int n, int index)
{
    ui::DropDownCombo* list = filterList(n);
    if (list->itemText(index).isEmpty()) {
        m_chosen.clear(n);
        return;
    }
    // A date column's list keeps one value, as without the setting.
    if (!list->itemData(index, Qt::CheckStateRole).isValid())
        return;
    const QString text = list->itemText(index);
    const QVariant stored = list->itemData(index);
    m_chosen.toggle(n, text, stored.isValid() ? stored.toString() : text);
    list->setItemData(
        index, m_chosen.isChosen(n, stored.toString()) ? Qt::Checked : Qt::Unchecked, Qt::CheckStateRole);
    list->setEditText(m_chosen.text(n));
}

} // namespace glimora::query

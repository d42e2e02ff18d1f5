// What a visitor can press: level navigation, page buttons, tabs, filter buttons, the close
// picture, and where the control panel stands on the full-screen window.
#include "query/QueryDialog.h"

#include "data/DbError.h"
#include "query/ValueButtonRows.h"
#include "settings/ChoiceSetting.h"
#include "settings/SettingsFile.h"
#include "ui/BitmapStatic.h"
#include "ui/DropDownCombo.h"
#include "ui/LargeText.h"
#include "ui/OnScreenKeyboard.h"
#include "ui/SharedFonts.h"
#include "ui/SkinButton.h"

#include <QLabel>

#include <algorithm>
#include <climits>

namespace glimora::query {

namespace {

int showInt(const char* key)
{
    return settings::ReadSettingInt(QStringLiteral("show"), QString::fromLatin1(key), QStringLiteral("50"));
}

// A move of the cursor that fails at either end of the records.
bool tryMove(data::Recordset& cursor, void (data::Recordset::*move)())
{
    try {
        (cursor.*move)();
        return true;
    } catch (const data::DbError&) {
        return false;
    }
}

} // namespace

void QueryDialog::OnFirstLevel()
{
    RunLevel(*m_drillDown.first());
}

void QueryDialog::OnPreviousLevel()
{
    if (const auto value = m_drillDown.back())
        RunLevel(*value);
}

void QueryDialog::OnNextLevel()
{
    if (const auto value = m_drillDown.forward())
        RunLevel(*value);
}

void QueryDialog::OnLastLevel()
{
    RunLevel(*m_drillDown.last());
}

void QueryDialog::OnPageDown()
{
    if (m_resultCursor.isNull() || m_resultCursor.EndOfFile())
        return;
    if (m_pictureView) {
        if (tryMove(m_resultCursor, &data::Recordset::MoveNext))
            ShowRecordPicture();
        return;
    }
    for (int i = 0; i < m_pageStep; ++i) {
        if (!tryMove(m_resultCursor, &data::Recordset::MoveNext))
            break;
    }
    update();
}

void QueryDialog::OnPageUp()
{
    if (m_resultCursor.isNull() || m_resultCursor.BOF())
        return;
    if (m_pictureView) {
        if (tryMove(m_resultCursor, &data::Recordset::MovePrevious))
            ShowRecordPicture();
        return;
    }
    for (int i = 0; i < m_pageStep; ++i) {
        if (!tryMove(m_resultCursor, &data::Recordset::MovePrevious) || m_resultCursor.BOF()) {
            tryMove(m_resultCursor, &data::Recordset::MoveFirst);
            break;
        }
    }
    update();
}

void QueryDialog::OnSecondaryPageDown()
{
    skinButton(1061)->setCaption(QString::fromUtf8("下翻1"));
    skinButton(1126)->setCaption(QString::fromUtf8("上翻1"));
    if (m_resultCursor.isNull() || m_resultCursor.EndOfFile())
        return;
    drawResultPageNow();
}

void QueryDialog::OnSecondaryPageUp()
{
    skinButton(1061)->setCaption(QString::fromUtf8("下翻1"));
    skinButton(1126)->setCaption(QString::fromUtf8("上翻1"));
    if (m_resultCursor.isNull() || (m_resultCursor.BOF() && m_resultCursor.EndOfFile()))
        return;
    for (int i = 0; i < 2 * m_pageStep && !m_resultCursor.BOF(); ++i)
        tryMove(m_resultCursor, &data::Recordset::MovePrevious);
    if (m_resultCursor.BOF())
        tryMove(m_resultCursor, &data::Recordset::MoveFirst);
    drawResultPageNow();
}

void QueryDialog::OnQuery()
{
    BuildFilterWhere();
}

void QueryDialog::OnClear()
{
    for (int n = 1; n <= FilterCount; ++n)
        filterList(n)->setEditText(QString());
    m_chosen.clearAll();
}

void QueryDialog::OnCategoryTab()
{
    m_mode = 0;
    ApplyMode();
}

void QueryDialog::OnConditionTab()
{
    m_mode = 1;
    ApplyMode();
}

void QueryDialog::OnDataViewTab()
{
    m_pictureView = false;
    control(1169)->hide();
    update();
}

void QueryDialog::OnPictureViewTab()
{
    ShowRecordPicture();
}

void QueryDialog::OnClosePicture()
{
    if (m_lockedIn)
        return;
    endDialog(ui::IDOK);
}

void QueryDialog::resizeEvent(QResizeEvent* event)
{
    TemplateDialog::resizeEvent(event);
    if (m_ready)
        LayoutPanel();
    placeSearchEntry();
}

int QueryDialog::displayBottom() const
{
    // Where the tab row stands in its place, even while it has risen above the keyboard.
    const ui::OnScreenKeyboard* keyboard = ui::OnScreenKeyboard::of(this);
    return control(1140)->geometry().top() + (keyboard ? keyboard->liftedBy() : 0);
}

void QueryDialog::LayoutPanel()
{
    const int topBlank = showInt("topblank");
    const int butBlank = showInt("butblank");
    const int width = this->width();
    control(1142)->setGeometry(0, 0, width, topBlank);

    QList<int> moved = valueButtonIds().mid(0, ValueChoices::VisibleButtons);
    for (int n = 1; n <= FilterCount; ++n)
        moved << filterListId(n) << filterLabelId(n);
    moved << 1141 << 1057 << 1058 << 1059 << 1060 << 1061 << 1125 << 1126 << 1137 << 1138 << 1171;
    // Laid out again from the template's places whenever the window changes size.
    if (m_templatePlaces.isEmpty()) {
        for (const int id : moved + QList<int> { 1147 })
            m_templatePlaces.insert(id, control(id)->geometry());
    }

    QWidget* panel = control(1147);
    const QRect before = m_templatePlaces.value(1147);
    const int dx = (width - before.width()) / 2 - before.left();
    const int dy = height() - butBlank - (before.top() + before.height());
    panel->move(before.topLeft() + QPoint(dx, dy));

    auto* closePicture = control<ui::BitmapStatic>(1140);
    const QSize closeSize = closePicture->bitmapSize();
    const QSize tab = tabSize(closeSize.height());
    const int rowTop = panel->y() - tab.height();
    const int tabs[] = { 1143, 1144, 1145, 1146 };
    for (int i = 0; i < 4; ++i)
        control(tabs[i])->setGeometry((tab.width() + 2) * i, rowTop, tab.width(), tab.height());
    const int closeLeft = 4 * (tab.width() + 2);
    int lastRight = closeLeft - 2;
    closePicture->setGeometry(closeLeft, rowTop, closeSize.width() - 2, tab.height());
    if (settings::ReadSetting(QStringLiteral("system"), QStringLiteral("close"), QStringLiteral("yes"))
        == QStringLiteral("yes")) {
        closePicture->show();
        lastRight = closeLeft + closeSize.width() - 2;
    } else {
        closePicture->hide();
    }
    control(1148)->setGeometry(lastRight + 2, rowTop, std::max(0, width - lastRight - 2), tab.height());

    for (const int id : moved)
        control(id)->setGeometry(m_templatePlaces.value(id).translated(dx, dy));

    // A window narrower than the panel (a 1024-pixel kiosk) would cut off controls at both
    // ends: they move closer together instead, and the lists and captions, which stand edge
    // to edge, narrow with them, so that all stay on screen without overlapping.
    if (before.width() > width) {
        int left = INT_MAX;
        for (const int id : moved)
            left = std::min(left, control(id)->x());
        double factor = 1.0;
        for (const int id : moved) {
            const QWidget* widget = control(id);
            if (widget->x() > left)
                factor
                    = std::min(factor, double(width - 2 - widget->width() - 2) / double(widget->x() - left));
        }
        factor = std::max(factor, 0.0);
        for (const int id : moved) {
            QWidget* widget = control(id);
            const bool narrows = qobject_cast<ui::DropDownCombo*>(widget) || qobject_cast<QLabel*>(widget);
            widget->setGeometry(2 + int((widget->x() - left) * factor), widget->y(),
                narrows ? int(widget->width() * factor) : widget->width(), widget->height());
        }
    }
    fitLargeText();
    m_valueButtonPlaces.clear();
    for (const int id : valueButtonIds().mid(0, ValueChoices::VisibleButtons))
        m_valueButtonPlaces.append(control(id)->geometry());
    showValueButtons();
    placePrintButton();
    placeLargeTextButton();
    placeReadAloudButton();
    update();
}

void QueryDialog::tidyValueButtons()
{
    if (m_mode != 0)
        return;
    const QList<int> ids = valueButtonIds().mid(0, ValueChoices::VisibleButtons);
    if (m_valueButtonPlaces.size() != ids.size()) {
        m_valueButtonPlaces.clear();
        for (const int id : ids)
            m_valueButtonPlaces.append(control(id)->geometry());
    }
    const bool tidy = settings::ChoiceSetting::tidy();
    const int perRow = m_choices.buttons() / ValueButtonRows::Rows;
    const QList<QRect> full = ValueButtonRows::widened(m_valueButtonPlaces, perRow);
    // The last page of a long level keeps its "更多…" on the last button: its place comes last.
    const QStringList captions = m_choices.visibleCaptions();
    QList<int> shown;
    for (int slot = 0; slot < m_choices.buttons(); ++slot) {
        if (!tidy || !captions.value(slot).isEmpty())
            shown.append(slot);
    }
    const QList<QRect> places = tidy ? ValueButtonRows::spread(full, int(shown.size()), perRow) : full;
    for (int slot = 0; slot < ids.size(); ++slot) {
        const qsizetype order = shown.indexOf(slot);
        QWidget* button = control(ids[slot]);
        button->setVisible(order >= 0);
        button->setGeometry(order >= 0 ? places[order] : m_valueButtonPlaces[slot]);
    }
}

int QueryDialog::valueButtonsPerRow() const
{
    if (!m_largeText || m_valueButtonPlaces.size() != ValueChoices::VisibleButtons)
        return ValueButtonRows::PerRow;
    const ui::SkinButton* first = skinButton(valueButtonIds().first());
    const QFont font = ui::LargeText::enlarged(ui::sharedFont(first ? first->captionFont() : 1));
    QStringList captions = m_choices.captions();
    captions << ValueChoices::moreCaption();
    for (const int perRow : { 10, 5, 4, 3, 2 }) {
        const QSize size = ValueButtonRows::widened(m_valueButtonPlaces, perRow).first().size();
        if (std::all_of(captions.cbegin(), captions.cend(),
                [&](const QString& caption) { return ui::LargeText::fits(caption, font, size); }))
            return perRow;
    }
    return 1;
}

} // namespace glimora::query

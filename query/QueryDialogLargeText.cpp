// Large text: the 大字 button in the tab band, and what it enlarges on the screen.
#include "query/QueryDialog.h"

#include "ui/BitmapStatic.h"
#include "ui/ControlColours.h"
#include "ui/DropDownCombo.h"
#include "ui/KeyboardSetting.h"
#include "ui/LargeText.h"
#include "ui/LargeTextSetting.h"
#include "ui/SharedFonts.h"
#include "ui/SkinButton.h"

#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <functional>
#include <map>

namespace glimora::query {

namespace {

constexpr int TabIds[] = { 1143, 1144, 1145, 1146 };
const char* const TabCaptions[] = { "分类查询", "条件查询", "数据模式", "图片模式" };

} // namespace

QFont QueryDialog::screenFont(int sharedFontIndex) const
{
    const QFont& font = ui::sharedFont(sharedFontIndex);
    return m_largeText ? ui::LargeText::enlarged(font) : font;
}

void QueryDialog::setUpLargeText()
{
    const ui::LargeTextSetting::Mode mode = ui::LargeTextSetting::mode();
    if (mode == ui::LargeTextSetting::Off)
        return;
    m_largeTextButton = new QPushButton(QString::fromUtf8("大字"), this);
    m_largeTextButton->setObjectName(QStringLiteral("largeTextButton"));
    m_largeTextButton->setCheckable(true);
    m_largeTextButton->setFocusPolicy(ui::KeyboardSetting::enabled() ? Qt::TabFocus : Qt::NoFocus);
    connect(m_largeTextButton, &QPushButton::clicked, this, [this](bool on) { setLargeText(on); });
    m_largeTextButton->show();
    setLargeText(mode == ui::LargeTextSetting::StartLarge);
}

bool QueryDialog::startsLarge()
{
    return ui::LargeTextSetting::mode() == ui::LargeTextSetting::StartLarge;
}

void QueryDialog::setLargeText(bool on)
{
    m_largeText = on;
    for (ui::SkinButton* button : findChildren<ui::SkinButton*>())
        button->setLargeText(on);
    for (int n = 1; n <= FilterCount; ++n) {
        filterLabel(n)->setFont(screenFont(3));
        filterList(n)->setFont(screenFont(2));
    }
    control(1141)->setFont(screenFont(1));
    for (int i = 0; i < 4; ++i) {
        control<ui::BitmapStatic>(TabIds[i])->setCaption(
            on ? QString::fromUtf8(TabCaptions[i]) : QString(), screenFont(4));
    }
    if (m_largeTextButton)
        m_largeTextButton->setChecked(on);
    styleUnskinnedControls();
    if (m_ready || m_largeTextButton)
        LayoutPanel();
    update();
}

void QueryDialog::styleUnskinnedControls()
{
    for (QPushButton* button : { m_largeTextButton, m_readAloudButton }) {
        if (!button)
            continue;
        button->setFont(screenFont(4));
        button->setStyleSheet(ui::ControlColours::bandButtonStyleSheet());
    }
    for (int n = 1; n <= FilterCount; ++n)
        ui::ControlColours::applyTo(filterList(n));
    if (m_searchEntry) {
        m_searchEntry->setFont(screenFont(2));
        ui::ControlColours::applyTo(m_searchEntry);
        placeSearchEntry();
    }
}

// The size of one tab: the template's, or in large text as large as its caption needs.
QSize QueryDialog::tabSize(int templateHeight) const
{
    if (!m_largeText)
        return { 100, templateHeight };
    const QFontMetrics metrics(screenFont(4));
    int widest = 0;
    for (const char* caption : TabCaptions)
        widest = std::max(widest, metrics.horizontalAdvance(QString::fromUtf8(caption)));
    return { std::max(100, widest + 16), std::max(templateHeight, metrics.height() + 8) };
}

// At the far right of the tab band, as large as a tab.
void QueryDialog::placeLargeTextButton()
{
    if (!m_largeTextButton)
        return;
    const QRect tab = control(1143)->geometry();
    m_largeTextButton->setGeometry(width() - 4 - tab.width(), tab.top(), tab.width(), tab.height());
    m_largeTextButton->raise();
}

// Two buttons side by side share the room from the first's left to the second's right, as far
// as `left` where one's caption would not fit.
void QueryDialog::widenPair(int firstId, int secondId, int left)
{
    ui::SkinButton* first = skinButton(firstId);
    ui::SkinButton* second = skinButton(secondId);
    if (!first || !second)
        return;
    constexpr int Gap = 6;
    const QFontMetrics metrics(ui::LargeText::enlarged(ui::sharedFont(first->captionFont())));
    int needed = 0;
    for (const ui::SkinButton* button : { first, second })
        needed = std::max(needed, metrics.horizontalAdvance(button->caption()) + 10);
    const int right = second->geometry().right();
    const int start = std::min(first->x(), std::max(left, right + 1 - 2 * needed - Gap));
    const int wide = (right + 1 - start - Gap) / 2;
    if (wide <= first->width() && wide <= second->width())
        return;
    first->setGeometry(start, first->y(), wide, first->height());
    second->setGeometry(right + 1 - wide, second->y(), wide, second->height());
}

// Large captions need taller labels and lists than the template's: a list grows downwards,
// its label stands right above it, wrapped to its width, and each row of lists rises above the
// labels of the row under it. The buttons beside them widen to hold their captions.
void QueryDialog::fitLargeText()
{
    if (!m_largeText)
        return;
    QWidget* breadcrumb = control(1141);
    const int needed = QFontMetrics(breadcrumb->font()).height() + 2;
    if (breadcrumb->height() < needed)
        breadcrumb->setGeometry(
            breadcrumb->x(), breadcrumb->y() - (needed - breadcrumb->height()), breadcrumb->width(), needed);

    // The lists on screen, row by row, from the bottom row up; each with whether its label is its own.
    std::map<int, QList<std::pair<int, bool>>, std::greater<>> rows;
    for (int n = 1; n <= FilterCount; ++n) {
        ui::DropDownCombo* list = filterList(n);
        list->resize(list->width(), std::max(list->height(), list->sizeHint().height()));
        // The second list of a range has its label elsewhere, and no caption in it.
        const bool labelAbove = std::abs(filterLabel(n)->geometry().bottom() - list->y()) <= list->height();
        if (!list->isHidden())
            rows[list->y()].append({ n, labelAbove });
    }
    int top = INT_MAX;
    for (const auto& [rowTop, row] : rows) {
        int bottom = rowTop;
        for (const auto& [n, labelAbove] : row)
            bottom = std::max(bottom, filterList(n)->geometry().bottom());
        const int lift = top == INT_MAX ? 0 : std::max(0, bottom + 4 - top);
        for (const auto& [n, labelAbove] : row) {
            ui::DropDownCombo* list = filterList(n);
            list->move(list->x(), list->y() - lift);
            top = std::min(top, list->y());
            QLabel* label = filterLabel(n);
            if (!labelAbove || label->text().isEmpty())
                continue;
            const QFontMetrics metrics(label->font());
            const int lines = int(ui::LargeText::lines(label->text(), label->font(), list->width()).size());
            const int height = lines * metrics.lineSpacing() + 2;
            label->setGeometry(list->x(), list->y() - height, list->width(), height);
            label->raise();
            top = std::min(top, label->y());
        }
    }

    // The page buttons stand clear of the value buttons, the lists and the query buttons.
    int besideRight = 0;
    for (const int id :
        valueButtonIds().mid(0, ValueChoices::VisibleButtons) + QList<int> { 1074, 1076, 1077, 1125 })
        besideRight = std::max(besideRight, control(id)->geometry().right());
    for (const auto& [firstId, secondId] : { std::pair { 1057, 1058 }, { 1059, 1060 }, { 1137, 1138 } })
        widenPair(firstId, secondId, besideRight + 8);
    widenPair(1171, 1125, control(1171)->x());

    // The tab row stands above whatever grew into its place.
    if (!breadcrumb->isHidden())
        top = std::min(top, breadcrumb->y());
    const int lift = control(1143)->geometry().bottom() + 1 - top;
    if (top == INT_MAX || lift <= 0)
        return;
    for (const int id : { 1143, 1144, 1145, 1146, 1140, 1148 })
        control(id)->move(control(id)->pos() - QPoint(0, lift));
}

} // namespace glimora::query

// Large text: the 大字 button in the tab band, and what it enlarges on the screen.
#include "query/QueryDialog.h"

#include "ui/BitmapStatic.h"
#include "ui/ContrastSetting.h"
#include "ui/DropDownCombo.h"
#include "ui/KeyboardSetting.h"
#include "ui/LargeText.h"
#include "ui/LargeTextSetting.h"
#include "ui/SharedFonts.h"
#include "ui/SkinButton.h"

#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>

#include <algorithm>
#include <climits>
#include <cstdlib>

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
    if (m_largeTextButton) {
        m_largeTextButton->setChecked(on);
        m_largeTextButton->setFont(screenFont(4));
        m_largeTextButton->setStyleSheet(ui::ContrastSetting::enabled()
                ? QStringLiteral(
                    "QPushButton { background: #FFEB3B; color: black; border: 2px solid black;"
                    " border-radius: 6px; } QPushButton:checked { background: black; color: white; }")
                : QStringLiteral(
                    "QPushButton { background: #174E9C; color: white; border: 1px solid #EAF2FC;"
                    " border-radius: 6px; } QPushButton:checked { background: #F2A12C; color: #0B254A; }"));
    }
    if (m_ready || m_largeTextButton)
        LayoutPanel();
    update();
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

// Large captions need taller labels and lists than the template's: a list grows downwards,
// its label stands right above it, over the room the template leaves between the rows.
void QueryDialog::fitLargeText()
{
    if (!m_largeText)
        return;
    QWidget* breadcrumb = control(1141);
    const int needed = QFontMetrics(breadcrumb->font()).height() + 2;
    if (breadcrumb->height() < needed)
        breadcrumb->setGeometry(
            breadcrumb->x(), breadcrumb->y() - (needed - breadcrumb->height()), breadcrumb->width(), needed);
    for (int n = 1; n <= FilterCount; ++n) {
        ui::DropDownCombo* list = filterList(n);
        list->resize(list->width(), std::max(list->height(), list->sizeHint().height()));
        // A caption wider than its list reaches over its neighbours', which are centred.
        QLabel* label = filterLabel(n);
        // The second list of a range has its label elsewhere, and no caption in it.
        if (std::abs(label->geometry().bottom() - list->y()) > list->height())
            continue;
        const QFontMetrics metrics(label->font());
        const int height = std::max(label->height(), metrics.height() + 2);
        const int wide
            = std::min(width(), std::max(label->width(), metrics.horizontalAdvance(label->text()) + 4));
        const int left = std::clamp(label->geometry().center().x() - wide / 2, 0, width() - wide);
        label->setGeometry(left, list->y() - height, wide, height);
        label->raise();
    }
    // The tab row stands above whatever grew into its place.
    int top = INT_MAX;
    for (int n = 1; n <= FilterCount; ++n) {
        if (!filterLabel(n)->isHidden() && filterLabel(n)->y() < filterList(n)->y())
            top = std::min(top, filterLabel(n)->y());
    }
    if (!breadcrumb->isHidden())
        top = std::min(top, breadcrumb->y());
    const int lift = control(1143)->geometry().bottom() + 1 - top;
    if (top == INT_MAX || lift <= 0)
        return;
    for (const int id : { 1143, 1144, 1145, 1146, 1140, 1148 })
        control(id)->move(control(id)->pos() - QPoint(0, lift));
}

} // namespace glimora::query

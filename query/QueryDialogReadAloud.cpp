// Reading the screen aloud, and the names a screen reader announces.
#include "query/QueryDialog.h"

#include "data/DbError.h"
#include "query/ReadAloudText.h"
#include "query/ReadAloudVoice.h"
#include "query/ResultPage.h"
#include "settings/ReadAloudSetting.h"
#include "ui/BitmapStatic.h"
#include "ui/DropDownCombo.h"
#include "ui/KeyboardSetting.h"
#include "ui/OkMessageBox.h"
#include "ui/SkinButton.h"

#include <QPushButton>

namespace glimora::query {

namespace {

QString utf8(const char* text)
{
    return QString::fromUtf8(text);
}

} // namespace

void QueryDialog::nameControlsForScreenReaders()
{
    const std::pair<int, const char*> tabs[]
        = { { 1143, "分类查询" }, { 1144, "条件查询" }, { 1145, "数据模式" }, { 1146, "图片模式" } };
    for (const auto& [id, name] : tabs) {
        auto* tab = control<ui::BitmapStatic>(id);
        tab->setAccessibleName(utf8(name));
        tab->setAccessibleRole(QAccessible::PageTab);
    }
    control(1140)->setAccessibleName(utf8("关闭"));
    // The band's filler notifies but does nothing.
    control<ui::BitmapStatic>(1148)->setAccessibleRole(QAccessible::Graphic);
    for (int n = 1; n <= FilterCount; ++n) {
        if (filterList(n)->accessibleName().isEmpty())
            filterList(n)->setAccessibleName(utf8("未用的查询条件%1").arg(n));
    }
}

void QueryDialog::setUpReadAloud()
{
    if (!settings::ReadAloudSetting::enabled())
        return;
    // Drawn by the style like the 大字 button beside it, so that it scales with the tabs.
    m_readAloudButton = new QPushButton(utf8("朗读"), this);
    m_readAloudButton->setObjectName(QStringLiteral("readAloudButton"));
    m_readAloudButton->setAccessibleName(utf8("朗读"));
    m_readAloudButton->setFocusPolicy(ui::KeyboardSetting::enabled() ? Qt::TabFocus : Qt::NoFocus);
    connect(m_readAloudButton, &QPushButton::clicked, this, [this] { OnReadAloud(); });
    placeReadAloudButton();
    m_readAloudButton->show();
}

// At the right end of the tab band, sized like a tab, left of the large-text button's place.
void QueryDialog::placeReadAloudButton()
{
    if (!m_readAloudButton)
        return;
    constexpr int Margin = 4;
    const QRect tab = control(1143)->geometry();
    int right = width() - Margin;
    if (const QWidget* large
        = findChild<QWidget*>(QStringLiteral("largeTextButton"), Qt::FindDirectChildrenOnly);
        large && !large->isHidden())
        right -= tab.width() + Margin;
    m_readAloudButton->setGeometry(right - tab.width(), tab.y(), tab.width(), tab.height());
    m_readAloudButton->raise();
}

void QueryDialog::noteTouchedRow(const QPoint& at)
{
    if (!m_readAloudButton || m_pictureView || m_resultCursor.isNull())
        return;
    const int row = m_drawnRows.rowAt(at.y());
    // A touch beside the rows keeps the record touched before.
    if (row < 0)
        return;
    m_touchedRow = row;
    m_touchedPageStart = m_resultCursor.AbsolutePosition();
}

QString QueryDialog::readAloudText() const
{
    if (m_resultCursor.isNull() || (m_resultCursor.BOF() && m_resultCursor.EndOfFile()))
        return m_searchQuery.isEmpty() ? ResultPage::emptyMessage() : searchFoundNothing();
    // A touch on a page turned since stands for no record of the page on display.
    const bool touched
        = !m_pictureView && m_touchedRow >= 0 && m_resultCursor.AbsolutePosition() == m_touchedPageStart;
    return ReadAloudText::ofRecord(
        m_catalogue, m_resultCursor, m_whereClause, touched ? m_touchedRow : 0, pageSeveralValues());
}

void QueryDialog::OnReadAloud()
{
    inputSeen();
    if (!m_voice) {
        m_voice = new ReadAloudVoice(this);
        connect(m_voice, &ReadAloudVoice::failed, this,
            [this](const QString& message) { ui::OkMessageBox::show(this, message); });
    }
    QString text;
    try {
        text = readAloudText();
    } catch (const data::DbError& error) {
        if (!closeOnLostConnection(error))
            ui::OkMessageBox::show(this, utf8("数据库异常，请稍后再试。"));
        return;
    }
    if (const QString problem = m_voice->say(text); !problem.isEmpty())
        ui::OkMessageBox::show(this, problem);
}

} // namespace glimora::query

#include "ui/DropDownCombo.h"

#include "ui/FingerSizedStyle.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QLineEdit>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStyleOptionComboBox>
#include <QTest>

#include <gtest/gtest.h>

using glimora::ui::DropDownCombo;
using glimora::ui::FingerSizedStyle;

namespace {

QStringList entries(const QComboBox& combo)
{
    QStringList texts;
    for (int i = 0; i < combo.count(); ++i)
        texts.append(combo.itemText(i));
    return texts;
}

QStringList utf8(std::initializer_list<const char*> texts)
{
    QStringList list;
    for (const char* text : texts)
        list.append(QString::fromUtf8(text));
    return list;
}

TEST(DropDownCombo, SortedListKeepsPinyinOrder)
{
    DropDownCombo combo(true);
    for (const QString& text : utf8({ "张三", "李四", "", "王五", "阿姨", "北京", "重庆", "10", "9" }))
        combo.addString(text);
    EXPECT_EQ(entries(combo), utf8({ "", "10", "9", "阿姨", "北京", "重庆", "李四", "王五", "张三" }));
}

TEST(DropDownCombo, AddStringReturnsTheSortedPlace)
{
    DropDownCombo combo(true);
    combo.addString(QString::fromUtf8("北京"));
    combo.addString(QString::fromUtf8("上海"));
    EXPECT_EQ(combo.addString(QString::fromUtf8("广州")), 1);
    EXPECT_EQ(combo.addString(QString::fromUtf8("上海")), 3); // after its equal
}

TEST(DropDownCombo, UnsortedAndInsertedEntriesStayWhereTheyArePut)
{
    DropDownCombo unsorted(false);
    for (const QString& text : utf8({ "张三", "李四", "阿姨" }))
        unsorted.addString(text);
    EXPECT_EQ(entries(unsorted), utf8({ "张三", "李四", "阿姨" }));

    // Recent user names: inserted at 0, 1, 2 even into a sorted box.
    DropDownCombo users(true);
    users.insertString(0, QStringLiteral("zoe"));
    users.insertString(1, QStringLiteral("adam"));
    users.insertString(2, QString());
    EXPECT_EQ(entries(users), QStringList({ QStringLiteral("zoe"), QStringLiteral("adam"), QString() }));
}

TEST(DropDownCombo, AddingNeverChangesWhatIsTyped)
{
    DropDownCombo combo(true);
    EXPECT_TRUE(combo.isEditable());
    combo.addString(QStringLiteral("b"));
    EXPECT_EQ(combo.currentText(), QString());
    combo.lineEdit()->setText(QStringLiteral("typed"));
    combo.addString(QStringLiteral("a"));
    EXPECT_EQ(combo.currentText(), QStringLiteral("typed"));
}

TEST(DropDownCombo, OpeningAsksForEntriesFirst)
{
    DropDownCombo combo(true);
    combo.show();
    int countWhenAsked = -1;
    QObject::connect(&combo, &DropDownCombo::dropDownOpening, [&combo, &countWhenAsked]() {
        countWhenAsked = combo.count();
        combo.clear();
        combo.addString(QString());
        combo.addString(QStringLiteral("x"));
    });
    combo.showPopup();
    EXPECT_EQ(countWhenAsked, 0);
    EXPECT_EQ(combo.count(), 2);
    combo.hidePopup();
}

// A finger that drags over an open list scrolls it; only a tap picks an entry.
TEST(DropDownCombo, PicksOnATapButNotOnASwipe)
{
    DropDownCombo combo(false);
    for (int i = 0; i < 40; ++i)
        combo.addString(QStringLiteral("entry %1").arg(i));
    combo.setCurrentIndex(0);
    combo.show();
    QSignalSpy activated(&combo, &QComboBox::activated);

    combo.showPopup();
    QAbstractItemView* view = combo.view();
    QWidget* viewport = view->viewport();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(view->window()));
    const QPoint start = view->visualRect(combo.model()->index(5, 0)).center();
    const QPoint end = start - QPoint(0, 3 * view->visualRect(combo.model()->index(0, 0)).height());
    QTest::mousePress(viewport, Qt::LeftButton, {}, start);
    for (int step = 1; step <= 4; ++step)
        QTest::mouseMove(viewport, start + (end - start) * step / 4);
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, end);
    EXPECT_EQ(activated.count(), 0);
    EXPECT_EQ(combo.currentIndex(), 0);

    const QPoint tap = view->visualRect(combo.model()->index(3, 0)).center();
    QTest::mouseMove(viewport, tap);
    QTest::mousePress(viewport, Qt::LeftButton, {}, tap);
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, tap);
    ASSERT_EQ(activated.count(), 1);
    EXPECT_EQ(combo.currentText(), QStringLiteral("entry 3"));
}

// For a finger the arrow, rows and scroll bar are large, a swipe of a finger scrolls the open
// list, and a tap on the box's text opens it; without the setting the template's look stays.
TEST(DropDownCombo, FingerSizedOnlyWhenAsked)
{
    DropDownCombo combo(false);
    for (int i = 0; i < 60; ++i)
        combo.addString(QStringLiteral("entry %1").arg(i));
    combo.resize(200, combo.sizeHint().height());
    combo.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&combo));
    const auto arrowWidth = [&combo]() {
        QStyleOptionComboBox option;
        option.initFrom(&combo);
        option.editable = true;
        return combo.style()
            ->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxArrow, &combo)
            .width();
    };
    const int plainArrow = arrowWidth();
    EXPECT_LT(plainArrow, FingerSizedStyle::TargetSize);
    QTest::mouseClick(combo.lineEdit(), Qt::LeftButton);
    EXPECT_FALSE(combo.view()->isVisible()) << "a click on the text only places the cursor";

    combo.setFingerSized(true);
    EXPECT_EQ(arrowWidth(), FingerSizedStyle::TargetSize);
    QTest::mouseClick(combo.lineEdit(), Qt::LeftButton);
    QAbstractItemView* view = combo.view();
    ASSERT_TRUE(view->isVisible());
    ASSERT_TRUE(QTest::qWaitForWindowExposed(view->window()));
    EXPECT_GE(view->visualRect(combo.model()->index(0, 0)).height(), FingerSizedStyle::TargetSize);
    QScrollBar* bar = view->verticalScrollBar();
    EXPECT_EQ(bar->width(), FingerSizedStyle::ScrollBarWidth);

    QSignalSpy activated(&combo, &QComboBox::activated);
    QWidget* viewport = view->viewport();
    const QPoint start(viewport->width() / 2, viewport->height() - 20);
    const auto swipe = [viewport, start](int pauseBeforeLifting) {
        QTest::mousePress(viewport, Qt::LeftButton, {}, start);
        for (int step = 1; step <= 10; ++step)
            QTest::mouseMove(viewport, start - QPoint(0, 15 * step), 15);
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, start - QPoint(0, 150), pauseBeforeLifting);
    };
    swipe(200);
    EXPECT_EQ(bar->value(), 150) << "the list follows the finger, and stays where it stopped";
    QTest::qWait(100);
    EXPECT_EQ(bar->value(), 150);
    swipe(15);
    EXPECT_EQ(bar->value(), 300);
    EXPECT_TRUE(QTest::qWaitFor([bar]() { return bar->value() > 400; }, 1000)) << "a quick swipe glides on";
    EXPECT_EQ(activated.count(), 0) << "a swipe picks nothing";
    combo.hidePopup();

    combo.setFingerSized(false);
    EXPECT_EQ(arrowWidth(), plainArrow);
}

// A range list wants a typed price: after a tap on its text opened the list, a keyboard's
// keys still go into the text, and a tap on an entry still picks it.
TEST(DropDownCombo, FingerSizedListStillTakesTyping)
{
    DropDownCombo combo(false);
    for (int i = 0; i < 40; ++i)
        combo.addString(QString::number(i * 3));
    combo.setFingerSized(true);
    combo.show();
    QApplication::setActiveWindow(&combo);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&combo));
    QTest::mouseClick(combo.lineEdit(), Qt::LeftButton);
    ASSERT_TRUE(combo.view()->isVisible());
    for (const QChar key : QStringLiteral("12.5"))
        QTest::keyClicks(QApplication::focusWidget(), key);
    EXPECT_EQ(combo.currentText(), QStringLiteral("12.5"));
    EXPECT_FALSE(combo.view()->isVisible());

    QSignalSpy activated(&combo, &QComboBox::activated);
    QTest::mouseClick(combo.lineEdit(), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(combo.view()->window()));
    QWidget* viewport = combo.view()->viewport();
    const QPoint tap = combo.view()->visualRect(combo.model()->index(3, 0)).center();
    QTest::mouseMove(viewport, tap);
    QTest::mouseClick(viewport, Qt::LeftButton, {}, tap);
    ASSERT_EQ(activated.count(), 1);
    EXPECT_EQ(combo.currentText(), QStringLiteral("9"));
}

// A finger that opens the list on its arrow and slides on moves the list from where it opened
// at the chosen entry, not from its top.
TEST(DropDownCombo, FingerSlidFromTheArrowMovesTheListFromItsEntry)
{
    DropDownCombo combo(false);
    for (int i = 0; i < 60; ++i)
        combo.addString(QStringLiteral("entry %1").arg(i));
    combo.setCurrentIndex(50);
    combo.setFingerSized(true);
    combo.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&combo));
    QStyleOptionComboBox option;
    option.initFrom(&combo);
    option.editable = true;
    const QPoint arrow = combo.style()
                             ->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxArrow, &combo)
                             .center();
    QTest::mouseMove(&combo, arrow);
    QTest::mousePress(&combo, Qt::LeftButton, {}, arrow);
    QAbstractItemView* view = combo.view();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(view->window()));
    const int opened = view->verticalScrollBar()->value();
    ASSERT_GT(opened, 0);
    const QPoint target = view->visualRect(combo.model()->index(51, 0)).center();
    QTest::mouseMove(view->viewport(), target);
    const int slid = view->viewport()->mapToGlobal(target).y() - combo.mapToGlobal(arrow).y();
    EXPECT_EQ(view->verticalScrollBar()->value(), opened - slid);
    QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, target);
}

} // namespace

#include "ui/DropDownCombo.h"

#include <QLineEdit>
#include <QSignalSpy>

#include <gtest/gtest.h>

using glimora::ui::DropDownCombo;

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

} // namespace

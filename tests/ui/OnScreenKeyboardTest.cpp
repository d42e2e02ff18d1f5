#include "ui/OnScreenKeyboard.h"
#include "platform/PhysicalKeyboard.h"
#include "settings/SettingsFile.h"
#include "tests/support/KeyTaps.h"
#include "tests/support/TempWorkspace.h"
#include "ui/CandidateBar.h"
#include "ui/OnScreenKeyboardSetting.h"
#include "ui/PinyinCandidates.h"
#include "ui/TemplateDialog.h"

#include <gtest/gtest.h>
#include <QLineEdit>
#include <QTest>

using namespace glimora;
using ui::KeyboardLayout;
using ui::OnScreenKeyboard;

namespace {

QString utf8(const char* text)
{
    return QString::fromUtf8(text);
}

class OnScreenKeyboardTest : public ::testing::Test
{
protected:
    explicit OnScreenKeyboardTest(const char* osk = "2")
    {
        workspace.writeFile("uinfo.ini", QByteArray("[show]\nosk=") + osk + "\n");
        settings::setSettingsDirectory(QString());
        window.resize(1000, 700);
        entry = new QLineEdit(&window);
        entry->setGeometry(20, 20, 300, 40);
        keyboard = OnScreenKeyboard::attachTo(&window, ui::OnScreenKeyboardSetting::Everywhere);
    }

    // A finger on the entry.
    void touchEntry() { QTest::mouseClick(entry, Qt::LeftButton, {}, QPoint(5, 5)); }

    TempWorkspace workspace;
    QWidget window;
    QLineEdit* entry;
    OnScreenKeyboard* keyboard;
};

class OffKeyboardTest : public OnScreenKeyboardTest
{
protected:
    OffKeyboardTest()
        : OnScreenKeyboardTest("0")
    {
    }
};

} // namespace

TEST(PinyinCandidatesTest, InitialsAndFullSpellingsFindTheirWords)
{
    ui::PinyinCandidates& pinyin = ui::PinyinCandidates::shared();
    ASSERT_TRUE(pinyin.isOpen());
    EXPECT_TRUE(pinyin.candidates("yh", 0, 10).contains(utf8("银行")));
    EXPECT_EQ(pinyin.candidates("yinhang", 0, 1), QStringList { utf8("银行") });
    // A word for the first syllables leaves the rest to spell on.
    const int bank = int(pinyin.candidates("yinhangka", 0, 10).indexOf(utf8("银行")));
    ASSERT_GE(bank, 0);
    EXPECT_EQ(pinyin.lettersCovered("yinhangka", bank), 7);
    EXPECT_EQ(pinyin.lettersCovered("yinhangka", 0), 9);
    EXPECT_EQ(pinyin.count(""), 0);
}

TEST_F(OnScreenKeyboardTest, InitialsThenATapOnTheWordTypeIt)
{
    ASSERT_NE(keyboard, nullptr);
    EXPECT_FALSE(keyboard->isVisibleTo(&window));
    touchEntry();
    ASSERT_TRUE(keyboard->isVisibleTo(&window));
    EXPECT_EQ(keyboard->entry(), entry);
    EXPECT_EQ(keyboard->currentLayout(), KeyboardLayout::Pinyin);
    // Docked at the bottom, clear of the entry, with keys a finger can hit.
    EXPECT_EQ(keyboard->geometry().bottom(), window.height() - 1);
    EXPECT_FALSE(keyboard->geometry().intersects(entry->geometry()));
    EXPECT_GE(keyboard->keyRect("q").width(), 44);
    EXPECT_GE(keyboard->keyRect("q").height(), 44);

    ASSERT_TRUE(tapKeys(keyboard, "yh"));
    EXPECT_EQ(keyboard->spelling(), "yh");
    EXPECT_EQ(entry->text(), "");
    ASSERT_TRUE(tapKey(keyboard, utf8("银行")));
    EXPECT_EQ(entry->text(), utf8("银行"));
    EXPECT_EQ(keyboard->spelling(), "");
    EXPECT_TRUE(keyboard->candidateBar()->shownWords().isEmpty());

    // Backspace takes back a letter of the spelling first, then the entry's characters.
    ASSERT_TRUE(tapKeys(keyboard, "zg"));
    ASSERT_TRUE(tapKey(keyboard, utf8("退格")));
    EXPECT_EQ(keyboard->spelling(), "z");
    ASSERT_TRUE(tapKey(keyboard, utf8("退格")));
    ASSERT_TRUE(tapKey(keyboard, utf8("退格")));
    EXPECT_EQ(entry->text(), utf8("银"));
    ASSERT_TRUE(tapKey(keyboard, utf8("清空")));
    EXPECT_EQ(entry->text(), "");
}

TEST_F(OnScreenKeyboardTest, TheWordsPageOnByArrowAndBySwipe)
{
    touchEntry();
    ASSERT_TRUE(tapKey(keyboard, "y"));
    ui::CandidateBar* bar = keyboard->candidateBar();
    const QStringList first = bar->shownWords();
    ASSERT_GE(first.size(), 3);
    ASSERT_TRUE(tapKey(keyboard, utf8("▶")));
    EXPECT_EQ(bar->pageStart(), first.size());
    EXPECT_NE(bar->shownWords(), first);
    ASSERT_TRUE(tapKey(keyboard, utf8("◀")));
    EXPECT_EQ(bar->shownWords(), first);

    // A swipe to the left from a word turns the page and types nothing.
    const QRect word = keyboard->keyRect(first[1]);
    QWidget* button = keyboard->childAt(word.center());
    QTest::mousePress(button, Qt::LeftButton, {}, button->rect().center());
    QTest::mouseMove(button, button->rect().center() - QPoint(keyboard->side() * 2, 0));
    QTest::mouseRelease(
        button, Qt::LeftButton, {}, button->rect().center() - QPoint(keyboard->side() * 2, 0));
    QTest::qWait(0);
    EXPECT_EQ(bar->pageStart(), first.size());
    EXPECT_EQ(entry->text(), "");
}

TEST_F(OnScreenKeyboardTest, TheLayoutKeysSwitchAndEachTypesItsOwn)
{
    touchEntry();
    ASSERT_TRUE(tapKey(keyboard, "123"));
    EXPECT_EQ(keyboard->currentLayout(), KeyboardLayout::Digits);
    EXPECT_TRUE(keyboard->keyRect("q").isEmpty());
    EXPECT_FALSE(keyboard->candidateBar()->isVisibleTo(keyboard));
    ASSERT_TRUE(tapKeys(keyboard, "2024-01/3:5."));
    EXPECT_EQ(entry->text(), "2024-01/3:5.");
    ASSERT_TRUE(tapKey(keyboard, utf8("清空")));

    ASSERT_TRUE(tapKey(keyboard, "ABC"));
    EXPECT_EQ(keyboard->currentLayout(), KeyboardLayout::Latin);
    // Latin letters go straight to the entry.
    ASSERT_TRUE(tapKeys(keyboard, "sa"));
    ASSERT_TRUE(tapKey(keyboard, utf8("空格")));
    EXPECT_EQ(entry->text(), "sa ");
    EXPECT_EQ(keyboard->spelling(), "");

    ASSERT_TRUE(tapKey(keyboard, utf8("拼音")));
    EXPECT_EQ(keyboard->currentLayout(), KeyboardLayout::Pinyin);
    ASSERT_TRUE(tapKeys(keyboard, "yinhang"));
    // Space takes the first word.
    ASSERT_TRUE(tapKey(keyboard, utf8("空格")));
    EXPECT_EQ(entry->text(), utf8("sa 银行"));

    ASSERT_TRUE(tapKey(keyboard, utf8("隐藏")));
    EXPECT_FALSE(keyboard->isVisibleTo(&window));
}

TEST_F(OnScreenKeyboardTest, TheEntrysOwnLimitHolds)
{
    entry->setMaxLength(3);
    touchEntry();
    ASSERT_TRUE(tapKey(keyboard, "123"));
    ASSERT_TRUE(tapKeys(keyboard, "12345"));
    EXPECT_EQ(entry->text(), "123");
}

TEST_F(OnScreenKeyboardTest, ASmallWindowGrowsToHoldItAndShrinksBack)
{
    ui::TemplateDialog login(129);
    const QSize before = login.size();
    OnScreenKeyboard* own = OnScreenKeyboard::of(&login);
    ASSERT_NE(own, nullptr);
    auto* field = login.findChild<QLineEdit*>();
    ASSERT_NE(field, nullptr);
    QTest::mouseClick(field, Qt::LeftButton, {}, QPoint(3, 3));
    ASSERT_TRUE(own->isVisibleTo(&login));
    EXPECT_EQ(login.height(), before.height() + own->height());
    EXPECT_EQ(own->y(), before.height());
    ASSERT_TRUE(tapKey(own, utf8("隐藏")));
    EXPECT_EQ(login.size(), before);
}

TEST_F(OffKeyboardTest, NoKeyboardAndTheEntryAsItWas)
{
    EXPECT_EQ(keyboard, nullptr);
    ui::TemplateDialog login(129);
    EXPECT_EQ(OnScreenKeyboard::of(&login), nullptr);
    touchEntry();
    EXPECT_TRUE(window.findChildren<OnScreenKeyboard*>().isEmpty());
}

namespace {

const QByteArray keyboardDevice = "I: Bus=0011 Vendor=0001 Product=0001 Version=ab41\n"
                                  "N: Name=\"AT Translated Set 2 keyboard\"\n"
                                  "H: Handlers=sysrq kbd event3 leds \n"
                                  "B: EV=120013\n"
                                  "B: KEY=402000000 3803078f800d001 feffffdfffefffff fffffffffffffffe\n"
                                  "B: LED=7\n";
const QByteArray otherDevices = "N: Name=\"Power Button\"\n"
                                "H: Handlers=kbd event0 \n"
                                "B: EV=3\n"
                                "B: KEY=10000000000000 0\n"
                                "\n"
                                "N: Name=\"ILITEK Multi-Touch\"\n"
                                "H: Handlers=mouse0 event5 \n"
                                "B: EV=1b\n"
                                "B: KEY=400 0 0 0 0 0\n";

} // namespace

TEST(PhysicalKeyboardTest, OnlyADeviceWithLetterKeysCountsAndItsAbsenceBringsTheKeyboardToEveryScreen)
{
    EXPECT_TRUE(platform::PhysicalKeyboard::listedIn(otherDevices + "\n" + keyboardDevice));
    EXPECT_FALSE(platform::PhysicalKeyboard::listedIn(otherDevices));
    EXPECT_FALSE(platform::PhysicalKeyboard::listedIn(QByteArray()));

    TempWorkspace workspace;
    workspace.writeFile("uinfo.ini", "[show]\nosk=1\n");
    settings::setSettingsDirectory(QString());
    workspace.writeFile("devices", otherDevices);
    qputenv("GLIMORA_INPUT_DEVICES", workspace.filePath("devices").toLocal8Bit());
    EXPECT_TRUE(ui::OnScreenKeyboardSetting::covers(ui::OnScreenKeyboardSetting::Everywhere));
    workspace.writeFile("devices", keyboardDevice);
    EXPECT_FALSE(ui::OnScreenKeyboardSetting::covers(ui::OnScreenKeyboardSetting::Everywhere));
    EXPECT_TRUE(ui::OnScreenKeyboardSetting::covers(ui::OnScreenKeyboardSetting::QueryScreen));
    // Unreadable: as with a keyboard, the setting alone decides.
    qputenv("GLIMORA_INPUT_DEVICES", workspace.filePath("missing").toLocal8Bit());
    EXPECT_FALSE(ui::OnScreenKeyboardSetting::covers(ui::OnScreenKeyboardSetting::Everywhere));
    qunsetenv("GLIMORA_INPUT_DEVICES");
}

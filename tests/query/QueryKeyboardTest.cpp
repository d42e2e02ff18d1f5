#include "data/StatementRecorder.h"
#include "platform/FakeIdleClock.h"
#include "query/QueryDialog.h"
#include "query/SearchStatements.h"
#include "settings/SettingsFile.h"
#include "tests/query/QueryStation.h"
#include "tests/support/KeyTaps.h"
#include "tests/support/WaitFor.h"
#include "ui/DropDownCombo.h"

#include <gtest/gtest.h>
#include <QAbstractItemView>
#include <QLineEdit>
#include <QTest>

using namespace glimora;
using query::QueryDialog;

namespace {

const QString Records = QStringLiteral("select d1,d2,d3,d4,d5,d26,d7,d6,d16,d8,d51 from inquiry");

// The demo station, whose osk setting brings the keyboard to the query screen's lists.
class KeyboardQueryScreenTest : public ::testing::Test
{
protected:
    KeyboardQueryScreenTest()
        : station(demoSettings())
    {
        station.importDemoRecords();
        platform::IdleClock::setCurrent(&clock);
        data::StatementRecorder::start();
    }
    ~KeyboardQueryScreenTest() override
    {
        data::StatementRecorder::stop();
        platform::IdleClock::setCurrent(nullptr);
    }

    static void click(QueryDialog& dialog, int id) { QTest::mouseClick(dialog.control(id), Qt::LeftButton); }
    static void touchText(ui::DropDownCombo* list)
    {
        QTest::mouseClick(list->lineEdit(), Qt::LeftButton, {}, QPoint(5, 5));
    }
    QStringList sent()
    {
        const QStringList statements = data::StatementRecorder::statements();
        data::StatementRecorder::clear();
        return statements;
    }

    platform::FakeIdleClock clock;
    QueryStation station;
};

} // namespace

TEST_F(KeyboardQueryScreenTest, APriceTypedOnTheDigitsFiltersAndTheKeyboardLeavesWithTheLists)
{
    QueryDialog dialog;
    dialog.show();
    click(dialog, 1144);
    sent();
    ui::OnScreenKeyboard* keyboard = ui::OnScreenKeyboard::of(&dialog);
    ASSERT_NE(keyboard, nullptr);
    EXPECT_FALSE(keyboard->isVisibleTo(&dialog));

    auto* from = dialog.control<ui::DropDownCombo>(1074); // list 16: price from
    touchText(from);
    ASSERT_TRUE(keyboard->isVisibleTo(&dialog));
    EXPECT_EQ(keyboard->entry(), from);
    // The tap was for typing: the list stays closed and nothing is fetched.
    EXPECT_FALSE(from->view()->isVisible());
    EXPECT_TRUE(sent().isEmpty());
    EXPECT_FALSE(keyboard->geometry().intersects(QRect(from->mapTo(&dialog, QPoint()), from->size())));

    ASSERT_TRUE(tapKey(keyboard, "123"));
    ASSERT_TRUE(tapKeys(keyboard, "10.5"));
    EXPECT_EQ(from->currentText(), "10.5");
    click(dialog, 1125);
    const QString where = " d26>=10.5";
    EXPECT_EQ(sent(), QStringList { Records + " where " + where });
    EXPECT_EQ(dialog.whereClause(), where);
    const long total = dialog.resultCursor().RecordCount();
    EXPECT_EQ(total, long(station.rows("select count(*) from inquiry where " + where).value(0).toDouble()));

    click(dialog, 1143);
    EXPECT_FALSE(keyboard->isVisibleTo(&dialog));
}

TEST_F(KeyboardQueryScreenTest, TheHomePageTakesTheKeyboardAway)
{
    QueryDialog dialog;
    click(dialog, 1144);
    ui::OnScreenKeyboard* keyboard = ui::OnScreenKeyboard::of(&dialog);
    touchText(dialog.control<ui::DropDownCombo>(1000));
    ASSERT_TRUE(tapKeys(keyboard, "yh"));
    ASSERT_TRUE(keyboard->isVisibleTo(&dialog));
    clock.advance(60001);
    dialog.IdleCheck();
    EXPECT_TRUE(dialog.homePageShown());
    EXPECT_FALSE(keyboard->isVisibleTo(&dialog));
    EXPECT_EQ(keyboard->spelling(), "");
}

TEST_F(KeyboardQueryScreenTest, WithTheSettingOffATapOpensTheListAsAlways)
{
    ASSERT_TRUE(settings::WriteSetting("show", "osk", "0"));
    QueryDialog dialog;
    click(dialog, 1144);
    EXPECT_EQ(ui::OnScreenKeyboard::of(&dialog), nullptr);
    auto* from = dialog.control<ui::DropDownCombo>(1074);
    touchText(from);
    EXPECT_TRUE(from->view()->isVisible());
    from->hidePopup();
    EXPECT_TRUE(dialog.findChildren<ui::OnScreenKeyboard*>().isEmpty());
}

TEST_F(KeyboardQueryScreenTest, TheSearchEntryTakesLettersAsTypedForItsInitials)
{
    QueryDialog dialog;
    dialog.show();
    auto* entry = dialog.findChild<QLineEdit*>(QStringLiteral("searchEntry"));
    ASSERT_NE(entry, nullptr);
    QTest::mouseClick(entry, Qt::LeftButton, {}, QPoint(5, 5));
    ui::OnScreenKeyboard* keyboard = ui::OnScreenKeyboard::of(&dialog);
    ASSERT_NE(keyboard, nullptr);
    ASSERT_TRUE(keyboard->isVisibleTo(&dialog));
    ASSERT_TRUE(tapKeys(keyboard, "amxl"));
    EXPECT_EQ(entry->text(), "amxl");
    EXPECT_EVENTUALLY(sent().join('\n').contains(query::SearchStatements::storedKey("amxl")));
}

#include "query/DrillDown.h"
#include "query/ValueChoices.h"

#include <gtest/gtest.h>

using glimora::query::DrillDown;
using glimora::query::ValueChoices;

namespace {

// A drill-down over d1, d2, d3 whose steps are taken as the screen takes them: the value
// returned by a navigation button is then chosen.
struct Walk
{
    Walk() { path.setLevelColumns({ "d1", "d2", "d3" }); }
    void step(const QString& value) { path.chose(value); }
    void replay(const std::optional<QString>& value)
    {
        if (value)
            path.chose(*value);
    }
    DrillDown path;
};

} // namespace

TEST(DrillDownTest, BackAndForwardReplayTheStoredPath)
{
    Walk walk;
    walk.step("d1"); // set-up: the top list
    EXPECT_EQ(walk.path.level(), 1);
    EXPECT_FALSE(walk.path.back()); // "向前" at the top does nothing
    EXPECT_EQ(walk.path.level(), 1);

    walk.step("A");
    walk.step("B");
    EXPECT_EQ(walk.path.level(), 3);
    EXPECT_EQ(walk.path.breadcrumb(), QString::fromUtf8("当前位置： A  B  "));

    walk.replay(walk.path.back()); // the list under A
    EXPECT_EQ(walk.path.level(), 2);
    EXPECT_EQ(walk.path.levelValue(1), "A");
    walk.replay(walk.path.forward()); // B again
    EXPECT_EQ(walk.path.level(), 3);
    EXPECT_FALSE(walk.path.forward()); // nothing chosen below B yet
}

TEST(DrillDownTest, FirstThenANewChoiceAndLastReplaysTheDeeperValues)
{
    Walk walk;
    walk.step("d1");
    walk.step("A");
    walk.step("B");
    const auto top = walk.path.first();
    ASSERT_TRUE(top);
    EXPECT_EQ(*top, "d1");
    walk.replay(top);
    EXPECT_EQ(walk.path.level(), 1);
    walk.step("C");
    const auto last = walk.path.last();
    ASSERT_TRUE(last);
    EXPECT_EQ(walk.path.level(), 2);
    EXPECT_EQ(*last, "B"); // B under C
    walk.replay(last);
    EXPECT_EQ(walk.path.breadcrumb(), QString::fromUtf8("当前位置： C  B  "));
}

TEST(DrillDownTest, LastWithNothingStoredIsTheTopList)
{
    Walk walk;
    walk.step("d1");
    const auto last = walk.path.last();
    ASSERT_TRUE(last);
    EXPECT_EQ(walk.path.level(), 0);
    EXPECT_EQ(*last, "d1");
}

TEST(ValueChoicesTest, EveryValueOfALongLevelIsReachable)
{
    QStringList values;
    for (int i = 0; i < 120; ++i)
        values << QStringLiteral("v%1").arg(i);
    ValueChoices choices;
    choices.setValues(values);
    ASSERT_TRUE(choices.isPaged());
    EXPECT_EQ(choices.pageCount(), 7); // 19 a page

    QStringList seen;
    for (int page = 0; page < choices.pageCount(); ++page) {
        const QStringList captions = choices.visibleCaptions();
        ASSERT_EQ(captions.size(), 20);
        EXPECT_EQ(captions[19], ValueChoices::moreCaption());
        EXPECT_TRUE(choices.isMoreButton(20));
        for (int slot = 1; slot < 20; ++slot) {
            if (!captions[slot - 1].isEmpty())
                seen << captions[slot - 1];
        }
        choices.nextPage();
    }
    EXPECT_EQ(seen, values);
    EXPECT_EQ(choices.page(), 0); // round to the first page again

    choices.setValues(values.mid(0, 20)); // exactly the buttons: no paging
    EXPECT_FALSE(choices.isPaged());
    EXPECT_EQ(choices.visibleCaptions(), values.mid(0, 20));
    EXPECT_FALSE(choices.isMoreButton(20));

    // Large text's ten buttons: nine values a page, the page kept on the value first on display.
    choices.setValues(values);
    for (int page = 0; page < 3; ++page)
        choices.nextPage();
    choices.setButtons(10);
    EXPECT_EQ(choices.visibleValue(1), values[57 - 57 % 9]);
    EXPECT_TRUE(choices.isMoreButton(10));
    EXPECT_EQ(choices.visibleCaptions()[9], ValueChoices::moreCaption());
    EXPECT_EQ(choices.visibleCaptions()[10], QString());
    EXPECT_EQ(choices.visibleValue(11), QString());
    seen.clear();
    for (int page = 0; page < choices.pageCount(); ++page) {
        for (int slot = 1; slot < 10; ++slot) {
            if (const QString value = choices.visibleValue(slot); !value.isEmpty() && !seen.contains(value))
                seen << value;
        }
        choices.nextPage();
    }
    EXPECT_EQ(seen.size(), values.size());
}

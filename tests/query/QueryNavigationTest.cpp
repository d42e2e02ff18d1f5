#include "data/SharedDatabase.h"
#include "data/StatementRecorder.h"
#include "platform/FakeIdleClock.h"
#include "query/LastVisitorQuestion.h"
#include "query/QueryDialog.h"
#include "query/ValueButtonRows.h"
#include "settings/SettingsFile.h"
#include "tests/query/QueryStation.h"
#include "tests/support/CommaDecimalLocale.h"
#include "ui/DropDownCombo.h"
#include "ui/OkMessageBox.h"
#include "ui/SkinButton.h"

#include <gtest/gtest.h>
#include <QAbstractItemView>
#include <QApplication>
#include <QBuffer>
#include <QImage>
#include <QMessageBox>
#include <QPointer>
#include <QTest>
#include <QTimer>

using namespace glimora;
using query::QueryDialog;

namespace {

const QString Records = QStringLiteral("select d1,d2,d3,d51 from inquiry");

QString hexImage(const char* format, int width = 40, int height = 30)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::darkGreen);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return QStringLiteral("0x") + QString::fromLatin1(bytes.toHex());
}

// A station of a few records whose page holds four rows on the offscreen screen.
class NavigationTest : public ::testing::Test
{
protected:
    explicit NavigationTest(const QByteArray& extra = QByteArray())
        : station("[select]\nselect=d1,d2,d3,d51\n[comfil]\ncom1=d1\n" + extra)
    {
        platform::IdleClock::setCurrent(&clock);
        station.execute("insert inquiry(d1,d2,d3,d51) values('A','B','x'," + hexImage("PNG") + ")"
            + " insert inquiry(d1,d2,d3,d51) values('A','B','y',NULL)"
            + " insert inquiry(d1,d2,d3,d51) values('A','B2','z',0xD0CF11E0A1B11AE100000000)"
            + " insert inquiry(d1,d2,d3,d51) values('C','B','w'," + hexImage("JPEG").left(60) + ")");
        data::StatementRecorder::start();
    }
    ~NavigationTest() override
    {
        data::StatementRecorder::stop();
        platform::IdleClock::setCurrent(nullptr);
    }

    void makeDialog()
    {
        dialog = std::make_unique<QueryDialog>();
        dialog->setWindowState(Qt::WindowNoState);
        dialog->resize(800, 600);
        paint();
        sent();
    }
    void paint() { dialog->grab(); }
    void click(int id)
    {
        QTest::mouseClick(dialog->control(id), Qt::LeftButton);
        paint();
    }
    void choose(const QString& value)
    {
        for (const int id : QueryDialog::valueButtonIds().mid(0, 20)) {
            if (dialog->skinButton(id)->caption() == value) {
                click(id);
                return;
            }
        }
        ADD_FAILURE() << "no button " << value.toStdString();
    }
    QStringList sent()
    {
        const QStringList statements = data::StatementRecorder::statements();
        data::StatementRecorder::clear();
        return statements;
    }
    long position() const { return dialog->resultCursor().AbsolutePosition(); }
    // A tap on the entry of the open list, as a finger gives it.
    void tap(ui::DropDownCombo* list, const QString& text)
    {
        list->showPopup();
        const int index = list->findText(text);
        ASSERT_GE(index, 0) << text.toStdString();
        QAbstractItemView* view = list->view();
        QTest::mouseClick(
            view->viewport(), Qt::LeftButton, {}, view->visualRect(view->model()->index(index, 0)).center());
        paint();
    }

    platform::FakeIdleClock clock;
    QueryStation station;
    std::unique_ptr<QueryDialog> dialog;
};

} // namespace

TEST_F(NavigationTest, LevelButtonsReplayTheStoredPath)
{
    makeDialog();
    click(1058); // 向前 at the top list
    EXPECT_TRUE(sent().isEmpty());

    choose("A");
    choose("B");
    EXPECT_EQ(dialog->level(), 3);
    sent();
    click(1058); // 向前: the list under A
    EXPECT_EQ(sent(),
        (QStringList {
            "select distinct d2 from inquiry where  d1='A' order by d2", Records + " where  d1='A'" }));
    EXPECT_EQ(dialog->level(), 2);
    click(1059); // 向后: B again
    EXPECT_EQ(sent(),
        (QStringList { "select distinct d3 from inquiry where  d1='A' and d2='B' order by d3",
            Records + " where  d1='A' and d2='B'" }));
    EXPECT_EQ(dialog->level(), 3);

    click(1057); // 最前
    EXPECT_EQ(sent(), (QStringList { "select distinct d1 from inquiry  order by d1", Records }));
    choose("C");
    sent();
    click(1060); // 最后 replays B under C
    EXPECT_EQ(sent(),
        (QStringList { "select distinct d3 from inquiry where  d1='C' and d2='B' order by d3",
            Records + " where  d1='C' and d2='B'" }));
    EXPECT_EQ(dialog->level(), 3);
}

// Where a full row stands, a short row spreads its buttons with equal room between them.
TEST(ValueButtonRows, AShortRowSpreadsAndAFullRowStaysPut)
{
    QList<QRect> places;
    for (int n = 0; n < 20; ++n)
        places.append(QRect(10 + (n % 10) * 60, n < 10 ? 100 : 180, 50, 40));
    EXPECT_EQ(query::ValueButtonRows::spread(places, 0), QList<QRect>());
    const QList<QRect> twelve = query::ValueButtonRows::spread(places, 12);
    ASSERT_EQ(twelve.size(), 12);
    EXPECT_EQ(twelve.mid(0, 10), places.mid(0, 10));
    // 590 pixels across, two buttons of 50: 490 of room, a quarter at either end.
    EXPECT_EQ(twelve[10], QRect(10 + 122, 180, 50, 40));
    EXPECT_EQ(twelve[11], QRect(10 + 367 + 50, 180, 50, 40));

    // Four to a row over the same 590 pixels with the same gaps of 10: 140 wide.
    const QList<QRect> wide = query::ValueButtonRows::widened(places, 4);
    ASSERT_EQ(wide.size(), 8);
    EXPECT_EQ(wide[0], QRect(10, 100, 140, 40));
    EXPECT_EQ(wide[7], QRect(10 + 3 * 150, 180, 140, 40));
    EXPECT_EQ(query::ValueButtonRows::spread(wide, 6, 4)[4].width(), 140);
}

namespace {

class TidyNavigationTest : public NavigationTest
{
protected:
    TidyNavigationTest()
        : NavigationTest("[show]\ntidy=1\n")
    {
    }
    QList<int> shownButtons() const
    {
        QList<int> shown;
        for (const int id : QueryDialog::valueButtonIds().mid(0, 20)) {
            if (!dialog->control(id)->isHidden())
                shown.append(id);
        }
        return shown;
    }
};

} // namespace

// A level of two values shows two buttons spread over the first row, and no "x" buttons; the
// condition tab and back keep it so, and a level with nothing under it hides every button.
TEST_F(TidyNavigationTest, EmptyButtonsAreHiddenAndTheRestFillTheirRow)
{
    makeDialog();
    const QList<int> ids = QueryDialog::valueButtonIds().mid(0, 20);
    ASSERT_EQ(shownButtons(), (QList<int> { ids[0], ids[1] }));
    const QRect first = dialog->control(ids[0])->geometry();
    const QRect second = dialog->control(ids[1])->geometry();
    const QRect rowEnd = dialog->control(ids[9])->geometry();
    EXPECT_EQ(first.y(), second.y());
    EXPECT_GT(second.left() - first.right(), first.width());
    EXPECT_LE(rowEnd.right() - second.right(), second.left() - first.right());

    click(1144); // 条件查询
    click(1143); // 分类查询
    EXPECT_EQ(shownButtons(), (QList<int> { ids[0], ids[1] }));
    EXPECT_EQ(dialog->control(ids[1])->geometry(), second);

    choose("A");
    choose("B");
    EXPECT_EQ(shownButtons().size(), 2); // x and y
    choose("x");
    EXPECT_EQ(shownButtons(), QList<int>());
}

// The status page tells when a visitor last asked: opening the screen is no question.
TEST_F(NavigationTest, OnlyAVisitorsQuestionIsTimed)
{
    const std::optional<QDateTime> before = query::LastVisitorQuestion::at();
    makeDialog();
    EXPECT_EQ(query::LastVisitorQuestion::at(), before);
    const QDateTime asked = QDateTime::currentDateTime();
    choose("A");
    ASSERT_TRUE(query::LastVisitorQuestion::at());
    EXPECT_GE(*query::LastVisitorQuestion::at(), asked);
}

TEST_F(NavigationTest, LastWithNothingStoredShowsTheTopList)
{
    makeDialog();
    click(1060);
    EXPECT_EQ(sent(), (QStringList { "select distinct d1 from inquiry  order by d1", Records }));
    EXPECT_EQ(dialog->level(), 1);
}

TEST_F(NavigationTest, PagingThroughExactlyOneFullPage)
{
    makeDialog();
    ASSERT_EQ(dialog->pageStep(), 4); // (tab row 305 - 90) / 45
    click(1137); // 上翻 on the first page
    EXPECT_EQ(position(), 1);
    click(1138); // 下翻: past the end, an empty page
    EXPECT_TRUE(dialog->resultCursor().EndOfFile());
    click(1138); // nothing more
    EXPECT_TRUE(dialog->resultCursor().EndOfFile());
    click(1137); // the same four records again
    EXPECT_EQ(position(), 1);
    EXPECT_EQ(dialog->pageStep(), 4);
}

TEST_F(NavigationTest, SecondaryPageButtonsGetTheirCaptionsAndStepTwoPagesBack)
{
    makeDialog();
    EXPECT_EQ(dialog->skinButton(1061)->caption(), "");
    click(1061);
    EXPECT_EQ(dialog->skinButton(1061)->caption(), QString::fromUtf8("下翻1"));
    EXPECT_EQ(dialog->skinButton(1126)->caption(), QString::fromUtf8("上翻1"));
    EXPECT_EQ(position(), 1); // the page on display drawn again
    click(1138);
    click(1126); // two pages back from the end: the first record
    EXPECT_EQ(position(), 1);
}

TEST_F(NavigationTest, PictureViewStepsRecordByRecord)
{
    makeDialog();
    click(1146);
    ASSERT_TRUE(dialog->pictureView());
    EXPECT_FALSE(dialog->picture().isNull());
    QWidget* frame = dialog->control(1169);
    EXPECT_TRUE(frame->isVisibleTo(dialog.get()));
    // The defaults: the box starts at y 55 and is 1.33 times as wide as high.
    const QRect box = frame->geometry();
    EXPECT_EQ(box.top(), 55);
    EXPECT_EQ(box.height(), dialog->displayBottom() - 55);
    EXPECT_EQ(box.width(), int(box.height() * 1.33f));

    click(1138); // a NULL after a picture: the message, no stale picture
    EXPECT_EQ(position(), 2);
    EXPECT_TRUE(dialog->picture().isNull());
    EXPECT_FALSE(frame->isVisibleTo(dialog.get()));
    click(1138); // a Word file
    EXPECT_TRUE(dialog->picture().isNull());
    click(1138); // a damaged JPEG
    EXPECT_TRUE(dialog->picture().isNull());
    click(1138); // past the last record
    EXPECT_TRUE(dialog->resultCursor().EndOfFile());
    click(1137); // back to the last record
    EXPECT_EQ(position(), 4);
    for (int i = 0; i < 3; ++i)
        click(1137);
    EXPECT_EQ(position(), 1);
    EXPECT_FALSE(dialog->picture().isNull());

    click(1145); // the data view
    EXPECT_FALSE(dialog->pictureView());
    EXPECT_FALSE(frame->isVisibleTo(dialog.get()));
}

TEST_F(NavigationTest, ThePictureRatioIsReadAlikeWhereDecimalsTakeAComma)
{
    const CommaDecimalLocale locale;
    ASSERT_TRUE(locale.active()) << locale.problem().toStdString();
    makeDialog();
    click(1146);
    const QRect box = dialog->control(1169)->geometry();
    EXPECT_EQ(box.width(), int(box.height() * 1.33f));
}

TEST_F(NavigationTest, AQueryWithoutRecordsLeavesNoPictureOfAnEarlierRecord)
{
    makeDialog();
    click(1146);
    ASSERT_FALSE(dialog->picture().isNull());
    const QRect box = dialog->control(1169)->geometry();
    const auto showsPicture = [&] {
        const QImage screen = dialog->grab().toImage();
        return screen.pixel(box.center()) == QColor(Qt::darkGreen).rgb();
    };
    ASSERT_TRUE(showsPicture());

    click(1144);
    dialog->control<ui::DropDownCombo>(1000)->setEditText("none");
    sent();
    click(1125);
    EXPECT_EQ(sent(), QStringList { Records + " where  d1='none'" });
    EXPECT_TRUE(dialog->pictureView());
    EXPECT_TRUE(dialog->picture().isNull());
    EXPECT_FALSE(dialog->control(1169)->isVisibleTo(dialog.get()));
    EXPECT_FALSE(showsPicture());

    // The next query with records shows its first record's picture again.
    dialog->control<ui::DropDownCombo>(1000)->setEditText("A");
    click(1125);
    EXPECT_TRUE(showsPicture());
}

TEST_F(NavigationTest, HomePageComesBackWhenIdleAndLeavesAtTheFirstTouch)
{
    makeDialog();
    EXPECT_TRUE(dialog->isTimerActive(0));
    EXPECT_FALSE(dialog->homePageShown());
    clock.advance(150);
    dialog->IdleCheck();
    EXPECT_FALSE(dialog->homePageShown());
    clock.advance(100); // 250 ms > 200 ms
    dialog->IdleCheck();
    ASSERT_TRUE(dialog->homePageShown());
    EXPECT_FALSE(dialog->isTimerActive(0));
    QWidget* browser = dialog->control(1156);
    EXPECT_EQ(browser->geometry(), QRect(0, 50, 800, dialog->displayBottom() - 50));

    // A click on the home page itself hides it.
    QTest::mouseClick(browser, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_FALSE(dialog->homePageShown());
    EXPECT_TRUE(dialog->isTimerActive(0));

    // In the picture view the frame hides under the home page and returns at a key press.
    click(1146);
    clock.touch();
    clock.advance(500);
    dialog->IdleCheck();
    EXPECT_TRUE(dialog->homePageShown());
    EXPECT_FALSE(dialog->control(1169)->isVisibleTo(dialog.get()));
    QTest::keyClick(dialog->control(1003), Qt::Key_A);
    EXPECT_FALSE(dialog->homePageShown());
    EXPECT_TRUE(dialog->control(1169)->isVisibleTo(dialog.get()));
}

TEST_F(NavigationTest, IdleTimeIsRightAcrossTheWrapOfTheTickCount)
{
    makeDialog();
    clock.setTickCount(0xFFFFFF00u);
    clock.touch();
    clock.advance(0x80); // still before the wrap: 128 ms
    dialog->IdleCheck();
    EXPECT_FALSE(dialog->homePageShown());
    clock.advance(0x100); // across it: 384 ms
    dialog->IdleCheck();
    EXPECT_TRUE(dialog->homePageShown());
}

// A box or an open list left behind when the idle time passes would stand over the home page
// and take the first tap: the idle closes them first, the box as its OK.
namespace {

class PriceListNavigationTest : public NavigationTest
{
protected:
    PriceListNavigationTest()
        : NavigationTest("com16=d26\n")
    {
    }
};

} // namespace

TEST_F(PriceListNavigationTest, IdleClosesAnOpenBoxAndListSoThatTheFirstTapReachesTheHomePage)
{
    makeDialog();
    dialog->show();
    click(1144);
    dialog->control<ui::DropDownCombo>(1074)->setEditText("abc");
    QPointer<QMessageBox> box;
    bool leftOpen = false;
    QTimer::singleShot(0, [&]() {
        box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        clock.advance(1000); // and nobody touches the station
    });
    // Without the idle closing it, the box would wait for ever.
    QTimer::singleShot(3000, [&]() {
        if (auto* open = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            leftOpen = true;
            open->done(QMessageBox::Ok);
        }
    });
    ui::OkMessageBox::clearShownTexts();
    ui::OkMessageBox::setAutoAnswer(QMessageBox::NoButton); // a real box, as a visitor gets it
    click(1125);
    ui::OkMessageBox::setAutoAnswer(QMessageBox::Ok);
    ASSERT_EQ(ui::OkMessageBox::shownTexts().size(), 1);
    EXPECT_TRUE(ui::OkMessageBox::shownTexts()[0].contains("abc"));
    EXPECT_FALSE(leftOpen);
    EXPECT_TRUE(box.isNull() || !box->isVisible());
    EXPECT_TRUE(dialog->homePageShown());
    QTest::mouseClick(dialog->control(1156), Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_FALSE(dialog->homePageShown());

    auto* list = dialog->control<ui::DropDownCombo>(1000);
    list->showPopup();
    ASSERT_TRUE(list->view()->isVisible());
    clock.advance(1000);
    dialog->IdleCheck();
    EXPECT_FALSE(list->view()->isVisible());
    EXPECT_TRUE(dialog->homePageShown());
}

TEST_F(NavigationTest, EscapeIsSwallowedAndTheClosePictureEndsTheScreen)
{
    makeDialog();
    dialog->show();
    QTest::keyClick(dialog.get(), Qt::Key_Escape);
    EXPECT_TRUE(dialog->isVisible());
    dialog->control(1003)->setFocus();
    QTest::keyClick(dialog->control(1003), Qt::Key_Return); // Enter moves on, it does not press
    EXPECT_TRUE(sent().isEmpty());
    QTest::mouseDClick(dialog->control(1140), Qt::LeftButton);
    EXPECT_EQ(dialog->result(), ui::IDOK);
}

namespace {

class NoCloseNavigationTest : public NavigationTest
{
protected:
    NoCloseNavigationTest()
        : NavigationTest("[system]\nclose=no\n[show]\npiclw=0\n")
    {
    }
};

} // namespace

TEST_F(NoCloseNavigationTest, WithoutTheClosePictureTheDisplayStillEndsAtTheTabRow)
{
    makeDialog();
    EXPECT_FALSE(dialog->control(1140)->isVisibleTo(dialog.get()));
    EXPECT_EQ(dialog->displayBottom(), dialog->control(1143)->geometry().top());
    click(1146);
    EXPECT_EQ(dialog->control(1169)->geometry(), QRect(0, 55, 800, dialog->displayBottom() - 55));
}

namespace {

class SeveralValuesNavigationTest : public NavigationTest
{
protected:
    SeveralValuesNavigationTest()
        : NavigationTest("[show]\nmultiselect=1\n")
    {
        station.execute("insert inquiry(d1,d2,d3) values('O''Neil','B','v')");
    }
};

} // namespace

// Ticked values of one list are any of them, each quoted; a second tap takes one back, the
// list shows them joined, and 清除 forgets them.
TEST_F(SeveralValuesNavigationTest, ATickedValueAddsToTheListAndASecondTapTakesItBack)
{
    makeDialog();
    dialog->show();
    click(1144); // 条件查询
    auto* list = dialog->control<ui::DropDownCombo>(1000);
    tap(list, "A");
    tap(list, "O'Neil");
    EXPECT_EQ(list->currentText(), QString::fromUtf8("A 或 O'Neil"));
    list->showPopup();
    EXPECT_EQ(list->itemData(list->findText("A"), Qt::CheckStateRole), Qt::Checked);
    EXPECT_EQ(list->itemData(list->findText("C"), Qt::CheckStateRole), Qt::Unchecked);
    list->hidePopup();
    sent();
    click(1125); // 查询
    EXPECT_EQ(sent(), QStringList { Records + " where  d1 in ('A','O''Neil')" });
    EXPECT_EQ(dialog->resultCursor().RecordCount(), 4);
    EXPECT_TRUE(dialog->printSlip().summary.contains(QString::fromUtf8(" : A 或 O'Neil")))
        << dialog->printSlip().summary.toStdString();
    EXPECT_TRUE(dialog->readAloudText().contains(QString::fromUtf8("A 或 O'Neil")))
        << dialog->readAloudText().toStdString();

    tap(list, "A");
    EXPECT_EQ(list->currentText(), "O'Neil");
    sent();
    click(1125);
    EXPECT_EQ(sent(), QStringList { Records + " where  d1='O''Neil'" });

    click(1171); // 清除
    tap(list, "C");
    EXPECT_EQ(list->currentText(), "C");
}

namespace {

class CountsNavigationTest : public NavigationTest
{
protected:
    CountsNavigationTest()
        : NavigationTest("[show]\ncounts=1\n")
    {
    }
    QStringList captions() const
    {
        QStringList shown;
        for (const int id : QueryDialog::valueButtonIds().mid(0, 20)) {
            if (dialog->control(id)->isEnabled())
                shown << dialog->skinButton(id)->caption();
        }
        return shown;
    }
};

} // namespace

// The buttons say how many records lie under the path and each value, counted beside the
// screen's own statements, which stay as they were; a count over its budget leaves the buttons
// without numbers, and the button still leads to its value.
TEST_F(CountsNavigationTest, EachButtonSaysHowManyRecordsItLeadsTo)
{
    makeDialog();
    ASSERT_TRUE(dialog->valueCounts());
    dialog->valueCounts()->setBudget(10000); // a loaded machine may be slow to answer
    click(1057); // 最前: the first level again
    EXPECT_EQ(captions(), (QStringList { "A (3)", "C (1)" }));
    EXPECT_EQ(sent(),
        (QStringList { "select distinct d1 from inquiry  order by d1",
            "select d1, count(*) from inquiry group by d1", Records }));
    choose("A (3)");
    EXPECT_EQ(captions(), (QStringList { "B (2)", "B2 (1)" }));
    EXPECT_TRUE(sent().contains("select d2, count(*) from inquiry where  d1='A' group by d2"));

    dialog->valueCounts()->setBudget(0);
    click(1057);
    EXPECT_EQ(captions(), (QStringList { "A", "C" }));
    choose("C");
    EXPECT_EQ(dialog->level(), 2);
}

// The connection opening ahead is no count under way: the screen's first count waits for it
// within its budget. A value shown in another letter case than the server grouped it under
// finds its count, unless two groups differ only in case.
TEST_F(CountsNavigationTest, TheFirstCountWaitsForTheOpeningConnectionAndCaseDoesNotHideACount)
{
    makeDialog();
    const QString login = data::SharedDatabase::loginConnectionString();
    query::ValueCounts counts(10000);
    counts.open(login);
    const auto first = counts.count("select d1, count(*) from inquiry group by d1", login);
    ASSERT_TRUE(first);
    EXPECT_EQ(query::ValueCounts::countOf(*first, "A"), 3);

    using Counts = query::ValueCounts::Counts;
    EXPECT_EQ(query::ValueCounts::countOf(Counts { { "a", 4 } }, "A"), 4);
    EXPECT_EQ(query::ValueCounts::countOf(Counts { { "a", 1 }, { "A", 3 } }, "A"), 3);
    EXPECT_EQ(query::ValueCounts::countOf(Counts { { "a", 1 }, { "A", 3 } }, "b"), std::nullopt);
    EXPECT_EQ(
        query::ValueCounts::countOf(Counts { { "a", 1 }, { "A", 3 } }, QString::fromUtf8("á")), std::nullopt);
}

namespace {

// The entries of an open list as the list shows them, and as a screen reader reads them.
QStringList entries(const ui::DropDownCombo* list)
{
    QStringList shown;
    for (int n = 1; n < list->count(); ++n) {
        const QVariant count = list->itemData(n, ui::DropDownCombo::CountRole);
        const QString text
            = list->itemText(n) + (count.isValid() ? QStringLiteral(" (%1)").arg(count.toInt()) : "");
        EXPECT_EQ(list->itemData(n, Qt::AccessibleTextRole).toString(), count.isValid() ? text : QString());
        shown << text;
    }
    return shown;
}

class CountedListsTest : public NavigationTest
{
protected:
    CountedListsTest()
        : NavigationTest("com2=d2\n[show]\ncounts=1\nmultiselect=1\n")
    {
    }
};

} // namespace

// Each entry counts the records a pick leads to under what the other lists hold, the lists'
// statements stay as they are, and a pick puts the bare value into the list.
TEST_F(CountedListsTest, EachEntrySaysHowManyRecordsAPickLeadsTo)
{
    makeDialog();
    dialog->show();
    dialog->valueCounts()->setBudget(10000);
    click(1144); // 条件查询
    auto* kinds = dialog->filterList(1);
    auto* forms = dialog->filterList(2);
    sent();
    kinds->showPopup();
    EXPECT_EQ(entries(kinds), (QStringList { "A (3)", "C (1)" }));
    kinds->hidePopup();
    tap(forms, "B");
    sent();
    kinds->showPopup();
    EXPECT_EQ(sent(),
        (QStringList { "select distinct d1 from inquiry  order by d1",
            "select d1, count(*) from inquiry where  d2='B' group by d1" }));
    EXPECT_EQ(entries(kinds), (QStringList { "A (2)", "C (1)" }));
    tap(kinds, "A");
    EXPECT_EQ(kinds->currentText(), "A");
    tap(kinds, "C");
    EXPECT_EQ(kinds->currentText(), QString::fromUtf8("A 或 C"));
    sent();
    click(1125); // 查询
    EXPECT_EQ(sent(), QStringList { Records + " where  d1 in ('A','C') and d2='B'" });
    EXPECT_EQ(dialog->resultCursor().RecordCount(), 3);
    EXPECT_TRUE(dialog->printSlip().summary.contains(QString::fromUtf8(" : A 或 C")))
        << dialog->printSlip().summary.toStdString();

    forms->showPopup();
    EXPECT_TRUE(sent().contains("select d2, count(*) from inquiry where  d1 in ('A','C') group by d2"));
    EXPECT_EQ(entries(forms), (QStringList { "B (3)", "B2 (1)" }));
    forms->hidePopup();
    // A value that the other lists' records lack says so.
    click(1171); // 清除
    tap(forms, "B2");
    kinds->showPopup();
    EXPECT_EQ(entries(kinds), (QStringList { "A (1)", "C (0)" }));
    kinds->hidePopup();
    // Over the budget the entries go without counts.
    dialog->valueCounts()->setBudget(0);
    kinds->showPopup();
    EXPECT_EQ(entries(kinds), (QStringList { "A", "C" }));
}

// A number longer than a double holds counts only where a pick of its entry finds it.
TEST_F(CountedListsTest, ALongNumberCountsOnlyWhereItsEntryFindsIt)
{
    station.execute(
        "update inquiry set d21=7 where d3='x' update inquiry set d21=12345678901234567 where d3='y'");
    ASSERT_TRUE(settings::WriteSetting("comfil", "com3", "d21"));
    makeDialog();
    dialog->show();
    dialog->valueCounts()->setBudget(10000);
    click(1144); // 条件查询
    auto* numbers = dialog->filterList(3);
    numbers->showPopup();
    EXPECT_EQ(entries(numbers), (QStringList { "0 (0)", "12345678901234568 (0)", "7 (1)" }));
}

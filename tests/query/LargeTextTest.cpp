#include "ui/LargeText.h"
#include "data/StatementRecorder.h"
#include "platform/FakeIdleClock.h"
#include "query/QueryDialog.h"
#include "query/ResultPage.h"
#include "tests/query/QueryStation.h"
#include "ui/BitmapStatic.h"
#include "ui/DropDownCombo.h"
#include "ui/SharedFonts.h"
#include "ui/SkinButton.h"

#include <gtest/gtest.h>
#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>
#include <QTest>

using namespace glimora;
using query::QueryDialog;
using query::ResultPage;

namespace {

int capHeight(const QFont& font)
{
    return QFontMetrics(font).capHeight();
}

class LargeTextTest : public ::testing::Test
{
protected:
    void open(const QByteArray& show, QSize size = { 1024, 768 })
    {
        // The demo's own lines of the two settings are left out: `show` alone sets them.
        QByteArray settings;
        for (const QByteArray& line : demoSettings().split('\n')) {
            if (!line.startsWith("largetext=") && !line.startsWith("contrast="))
                settings += line + '\n';
        }
        settings.replace("[show]\r\n", "[show]\r\n" + show).replace("[show]\n", "[show]\n" + show);
        dialog.reset();
        station.reset();
        station = std::make_unique<QueryStation>(settings);
        station->importDemoRecords();
        platform::IdleClock::setCurrent(&clock);
        dialog = std::make_unique<QueryDialog>();
        dialog->setWindowState(Qt::WindowNoState);
        dialog->resize(size);
        dialog->grab();
    }
    void TearDown() override
    {
        dialog.reset();
        platform::IdleClock::setCurrent(nullptr);
    }
    void click(int id)
    {
        QTest::mouseClick(dialog->control(id), Qt::LeftButton);
        dialog->grab();
    }

    platform::FakeIdleClock clock;
    std::unique_ptr<QueryStation> station;
    std::unique_ptr<QueryDialog> dialog;
};

} // namespace

// Capitals of at least 19 pixels, 4.8 mm on the station's 0.264 mm pixels, on every caption
// the button enlarges; the idle home page takes the screen back to its own size.
TEST_F(LargeTextTest, TheButtonMakesCapitalsAtLeastNineteenPixelsHighUntilTheHomePage)
{
    open("largetext=1\n");
    QPushButton* button = dialog->largeTextButton();
    ASSERT_TRUE(button);
    EXPECT_EQ(button->text(), QString::fromUtf8("大字"));
    EXPECT_EQ(button->geometry().right(), dialog->width() - 5);
    EXPECT_EQ(button->size(), dialog->control(1143)->size());
    EXPECT_FALSE(dialog->largeText());
    const int bottomBefore = dialog->displayBottom();

    QTest::mouseClick(button, Qt::LeftButton);
    ASSERT_TRUE(dialog->largeText());
    for (int n = 1; n <= 6; ++n)
        EXPECT_GE(capHeight(ui::LargeText::enlarged(ui::sharedFont(n))), ui::LargeText::MinimumCapPixels)
            << n;
    for (const int id : QueryDialog::valueButtonIds().mid(0, 20) + QList<int> { 1057, 1137, 1125 })
        EXPECT_GE(capHeight(dialog->skinButton(id)->captionLayout().font), 19) << id;
    EXPECT_GE(capHeight(dialog->filterLabel(1)->font()), 19);
    EXPECT_GE(capHeight(dialog->filterList(1)->font()), 19);
    EXPECT_GE(capHeight(dialog->control(1141)->font()), 19);
    EXPECT_GE(capHeight(button->font()), 19);
    EXPECT_EQ(dialog->control<ui::BitmapStatic>(1144)->caption(), QString::fromUtf8("条件查询"));
    // The larger tabs stand higher, and take their room from the page, not from the panel.
    EXPECT_LT(dialog->displayBottom(), bottomBefore);

    clock.advance(10 * 60 * 1000);
    dialog->IdleCheck();
    EXPECT_FALSE(dialog->largeText());
    EXPECT_FALSE(button->isChecked());
    EXPECT_EQ(dialog->displayBottom(), bottomBefore);
}

// Enlarged columns that pass the page's width start the record's next line; none is cut.
TEST_F(LargeTextTest, WideColumnsFlowOntoMoreLinesInsideThePage)
{
    const QList<int> widths { 60, 0, 130, 180, 120, 90 };
    const ResultPage::Flow ordinary = ResultPage::flow(widths, 2.0, 600, false);
    EXPECT_EQ(ordinary.bands, 1);
    EXPECT_EQ(ordinary.places[5].x, 490);
    EXPECT_EQ(ordinary.places[5].width, 90);

    const ResultPage::Flow large = ResultPage::flow(widths, 2.0, 600, true);
    EXPECT_EQ(large.bands, 3);
    for (int j = 0; j < widths.size(); ++j) {
        const ResultPage::Place& place = large.places[j];
        EXPECT_EQ(place.width, widths[j] * 2) << j;
        EXPECT_LE(place.x + place.width, 600) << j;
    }
    EXPECT_EQ(large.places[3].band, 1);
    EXPECT_EQ(large.places[4].x, 360);
    EXPECT_EQ(large.places[5].band, 2);
    EXPECT_EQ(large.places[5].x, 0);
    // A column wider than the page alone keeps to the page.
    EXPECT_EQ(ResultPage::flow({ 400 }, 2.0, 600, true).places[0].width, 600);
}

// Fewer records to a page in large text, at both screen sizes and in both modes, and the page
// buttons still reach every record, one page after another.
TEST_F(LargeTextTest, PagingInLargeTextReachesEveryRecord)
{
    for (const QSize size : { QSize(1024, 768), QSize(1280, 1024) }) {
        open("largetext=2\n", size);
        ASSERT_TRUE(dialog->largeText());
        click(1144);
        dialog->filterList(1)->setEditText(QString::fromUtf8("中成药"));
        click(1125);
        const QStringList counted
            = station->rows("select count(*) from inquiry where " + dialog->whereClause());
        ASSERT_EQ(counted.size(), 1) << dialog->whereClause().toStdString();
        const long records = long(counted.first().toDouble());
        ASSERT_GT(records, 10);
        const int largeStep = dialog->pageStep();
        QTest::mouseClick(dialog->largeTextButton(), Qt::LeftButton);
        dialog->grab();
        EXPECT_GT(dialog->pageStep(), largeStep) << size.width();
        QTest::mouseClick(dialog->largeTextButton(), Qt::LeftButton);
        dialog->grab();
        ASSERT_GE(dialog->pageStep(), 1) << size.width();
        ASSERT_EQ(dialog->pageStep(), largeStep);

        long first = dialog->resultCursor().AbsolutePosition();
        EXPECT_EQ(first, 1);
        while (first + dialog->pageStep() <= records) {
            click(1138);
            const long next = dialog->resultCursor().AbsolutePosition();
            ASSERT_EQ(next, first + largeStep) << size.width();
            first = next;
        }
        EXPECT_GT(first + largeStep, records);
        EXPECT_LE(first, records);
    }
}

// Without the setting the screen is the one it always was: no button, template-sized tabs,
// the shared fonts.
TEST_F(LargeTextTest, OffInABareSettingsFileNothingChanges)
{
    open("");
    EXPECT_FALSE(dialog->largeTextButton());
    EXPECT_FALSE(dialog->findChild<QPushButton*>(QStringLiteral("largeTextButton")));
    const int tabs[] = { 1143, 1144, 1145, 1146 };
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(dialog->control(tabs[i])->x(), 102 * i);
        EXPECT_EQ(dialog->control(tabs[i])->width(), 100);
        EXPECT_TRUE(dialog->control<ui::BitmapStatic>(tabs[i])->caption().isEmpty());
    }
    EXPECT_EQ(dialog->control(1140)->x(), 408);
    EXPECT_EQ(dialog->skinButton(1003)->captionLayout().font, ui::sharedFont(1));
    EXPECT_EQ(dialog->filterLabel(1)->font(), ui::sharedFont(3));
    EXPECT_EQ(dialog->control(1141)->font(), ui::sharedFont(1));
}

// At both screen sizes every caption stands whole: the value buttons, fewer and wider to a row
// where counts lengthen them, every value still reached through "更多…"; the labels of the
// filter lists wrapped above their lists, clear of every other list and label; the buttons
// beside them on one line each.
TEST_F(LargeTextTest, EveryCaptionStandsWholeAndNothingOverlaps)
{
    for (const QSize size : { QSize(1024, 768), QSize(1280, 1024) }) {
        open("largetext=2\n", size);
        ASSERT_TRUE(dialog->largeText());
        const auto whole = [](const ui::SkinButton* button) {
            const ui::SkinButton::CaptionLayout layout = button->captionLayout();
            return ui::LargeText::fits(button->caption(), layout.font, button->size());
        };
        for (int step = 0; step < 2; ++step) {
            QStringList reached;
            const QStringList values = dialog->valueChoices().values();
            for (int page = 0; page < dialog->valueChoices().pageCount(); ++page) {
                QList<QRect> taken;
                for (const int id : QueryDialog::valueButtonIds().mid(0, 20)) {
                    const ui::SkinButton* button = dialog->skinButton(id);
                    if (button->isHidden())
                        continue;
                    EXPECT_TRUE(whole(button)) << button->caption().toStdString() << " " << size.width();
                    EXPECT_TRUE(dialog->rect().contains(button->geometry()));
                    for (const QRect& other : taken)
                        EXPECT_FALSE(other.intersects(button->geometry())) << id;
                    taken << button->geometry();
                    const int slot = int(QueryDialog::valueButtonIds().indexOf(id)) + 1;
                    if (!dialog->valueChoices().isMoreButton(slot))
                        reached << dialog->valueChoices().visibleValue(slot);
                }
                if (dialog->valueChoices().isPaged())
                    click(QueryDialog::valueButtonIds()[dialog->valueChoices().buttons() - 1]);
            }
            reached.removeAll(QString());
            EXPECT_EQ(reached.size(), values.size()) << size.width();
            click(QueryDialog::valueButtonIds().first());
        }
        for (const int id : { 1057, 1058, 1059, 1060, 1137, 1138 })
            EXPECT_TRUE(whole(dialog->skinButton(id))) << id << " " << size.width();

        click(1144);
        EXPECT_TRUE(whole(dialog->skinButton(1171)));
        EXPECT_TRUE(whole(dialog->skinButton(1125)));
        QList<QWidget*> placed;
        for (int n = 1; n <= QueryDialog::FilterCount; ++n) {
            QLabel* label = dialog->filterLabel(n);
            // Lists 14 and 15 stand outside the window, in the template's place.
            if (!dialog->filterList(n)->isHidden()
                && dialog->rect().contains(dialog->filterList(n)->geometry()))
                placed << dialog->filterList(n);
            if (!label->isHidden() && !label->text().isEmpty() && dialog->rect().contains(label->geometry()))
                placed << label;
        }
        for (QWidget* widget : placed) {
            if (auto* label = qobject_cast<QLabel*>(widget)) {
                const QFontMetrics metrics(label->font());
                const QStringList lines = ui::LargeText::lines(label->text(), label->font(), label->width());
                EXPECT_LE(int(lines.size()) * metrics.lineSpacing(), label->height())
                    << label->text().toStdString();
            }
            for (QWidget* other : placed) {
                if (other != widget) {
                    EXPECT_FALSE(widget->geometry().intersects(other->geometry()))
                        << size.width() << " " << widget->metaObject()->className() << " "
                        << widget->geometry().y() << " " << other->geometry().y();
                }
            }
        }
        EXPECT_LE(dialog->control(1143)->geometry().bottom(), dialog->filterLabel(1)->y());
    }
}

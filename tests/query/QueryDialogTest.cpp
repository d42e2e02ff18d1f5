#include "query/QueryDialog.h"
#include "data/Command.h"
#include "data/SharedDatabase.h"
#include "data/StatementRecorder.h"
#include "query/ResultPage.h"
#include "query/ValueChoices.h"
#include "settings/SettingsFile.h"
#include "tests/query/QueryStation.h"
#include "ui/DropDownCombo.h"
#include "ui/OkMessageBox.h"
#include "ui/SkinButton.h"

#include <gtest/gtest.h>
#include <QAbstractItemView>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QScreen>
#include <QTest>
#include <QTimer>

using namespace glimora;
using query::QueryDialog;

namespace {

const QString Records = QStringLiteral("select d1,d2,d3,d4,d5,d26,d7,d6,d16,d8,d51 from inquiry");

QString utf8(const char* text)
{
    return QString::fromUtf8(text);
}

class QueryScreenTest : public ::testing::Test
{
protected:
    explicit QueryScreenTest(const QByteArray& settings = QByteArray())
        : station(settings)
    {
        data::StatementRecorder::start();
    }
    ~QueryScreenTest() override { data::StatementRecorder::stop(); }

    static QString caption(const QueryDialog& dialog, int id) { return dialog.skinButton(id)->caption(); }
    static void click(QueryDialog& dialog, int id) { QTest::mouseClick(dialog.control(id), Qt::LeftButton); }
    QStringList sent()
    {
        const QStringList statements = data::StatementRecorder::statements();
        data::StatementRecorder::clear();
        return statements;
    }
    QStringList firstColumn(const QString& statement)
    {
        QStringList values;
        for (const QString& row : station.rows(statement))
            values << row.section('|', 0, 0);
        return values;
    }
    int count(const QString& where)
    {
        return station.rows("select count(*) from inquiry where " + where).value(0).toDouble();
    }
    static int recordCount(const QueryDialog& dialog)
    {
        data::Recordset cursor = dialog.resultCursor();
        const long position = cursor.AbsolutePosition();
        const long total = cursor.RecordCount();
        cursor.SetAbsolutePosition(position);
        return int(total);
    }

    QueryStation station;
};

class DemoQueryScreenTest : public QueryScreenTest
{
protected:
    DemoQueryScreenTest()
        : QueryScreenTest(demoSettings())
    {
        station.importDemoRecords();
        // Buttons are pressed by their values here; the counts have tests of their own.
        settings::WriteSetting("show", "counts", "0");
    }
};

} // namespace

TEST_F(DemoQueryScreenTest, OpensOnTheFirstLevelWithEveryRecord)
{
    QueryDialog dialog;
    ASSERT_TRUE(dialog.isReady());
    EXPECT_TRUE(ui::OkMessageBox::shownTexts().isEmpty());
    EXPECT_EQ(sent(),
        (QStringList { "select engl,chna,withe,sort  from contrast where right(chna,1)<>'h' order by sort",
            "select chna from contrast where nober>=100 and nober<=101 order by nober asc",
            "select distinct d1 from inquiry  order by d1", Records }));
    EXPECT_EQ(dialog.level(), 1);
    EXPECT_EQ(dialog.companyName(), utf8("晴川市第一人民医院"));
    EXPECT_EQ(dialog.reportTitle(), utf8("药品及医疗服务价格公示"));
    const QStringList kinds = firstColumn("select distinct d1 from inquiry  order by d1");
    ASSERT_FALSE(kinds.isEmpty());
    EXPECT_EQ(caption(dialog, 1003), kinds[0]);
    EXPECT_EQ(recordCount(dialog), 480);
    EXPECT_EQ(dialog.control<QLabel>(1141)->text(), utf8("当前位置： "));
    // The navigation and command captions.
    EXPECT_EQ(caption(dialog, 1057), utf8("最前"));
    EXPECT_EQ(caption(dialog, 1138), utf8("下翻"));
    EXPECT_EQ(dialog.skinButton(1060)->bitmapId(), 159);
    EXPECT_EQ(dialog.skinButton(1171)->bitmapId(), 186);
    // The filter lists wait behind the other tab, captioned from the catalogue.
    EXPECT_FALSE(dialog.control(1000)->isVisibleTo(&dialog));
    EXPECT_EQ(dialog.control<QLabel>(1034)->text(), utf8("类别"));
    EXPECT_TRUE(dialog.control(1000)->isEnabled());
    // An unconfigured list matches the empty slot 0: enabled, without a caption.
    EXPECT_TRUE(dialog.control(1067)->isEnabled());
    EXPECT_EQ(dialog.control<QLabel>(1081)->text(), "");
}

TEST_F(DemoQueryScreenTest, AVisitorDrillsDownThreeLevelsThenFilters)
{
    QueryDialog dialog;
    sent();
    const QString kind = caption(dialog, 1003);
    click(dialog, 1003);
    const QString where1 = " d1='" + kind + "'";
    EXPECT_EQ(sent(),
        (QStringList { "select distinct d2 from inquiry where " + where1 + " order by d2",
            Records + " where " + where1 }));
    EXPECT_EQ(recordCount(dialog), count(where1));

    const QString form = caption(dialog, 1003);
    click(dialog, 1003);
    const QString where2 = where1 + " and d2='" + form + "'";
    EXPECT_EQ(sent(),
        (QStringList { "select distinct d3 from inquiry where " + where2 + " order by d3",
            Records + " where " + where2 }));
    EXPECT_EQ(dialog.control<QLabel>(1141)->text(), utf8("当前位置： ") + kind + "  " + form + "  ");

    // The deepest level: no list below, the buttons are empty.
    const QString name = caption(dialog, 1003);
    click(dialog, 1003);
    const QString where3 = where2 + " and d3='" + name + "'";
    EXPECT_EQ(sent(), QStringList { Records + " where " + where3 });
    EXPECT_EQ(dialog.whereClause(), where3);
    EXPECT_EQ(dialog.level(), 4);
    EXPECT_FALSE(dialog.control(1003)->isEnabled());
    EXPECT_EQ(recordCount(dialog), count(where3));
    dialog.grab();
    EXPECT_GT(dialog.pageStep(), 0);

    // To the filter lists: the empty lists select everything.
    click(dialog, 1144);
    EXPECT_EQ(dialog.mode(), 1);
    EXPECT_EQ(sent(), QStringList { Records });
    EXPECT_TRUE(dialog.control(1000)->isVisibleTo(&dialog));
    EXPECT_FALSE(dialog.control(1003)->isVisibleTo(&dialog));

    auto* kinds = dialog.control<ui::DropDownCombo>(1000);
    kinds->showPopup();
    kinds->hidePopup();
    EXPECT_EQ(sent(), QStringList { "select distinct d1 from inquiry  order by d1" });
    EXPECT_EQ(kinds->itemText(0), "");
    EXPECT_EQ(kinds->count(), firstColumn("select distinct d1 from inquiry  order by d1").size() + 1);

    kinds->setEditText(kind);
    dialog.control<ui::DropDownCombo>(1074)->setEditText("10"); // list 16: price from
    dialog.control<ui::DropDownCombo>(1075)->setEditText(" 50 "); // list 17: price to
    click(dialog, 1125);
    const QString where = " d1='" + kind + "' and d26>=10 and d26<=50";
    EXPECT_EQ(sent(), QStringList { Records + " where " + where });
    EXPECT_EQ(recordCount(dialog), count(where));

    // Back to the value buttons: the current level is rebuilt.
    click(dialog, 1143);
    EXPECT_EQ(dialog.mode(), 0);
    EXPECT_EQ(dialog.level(), 4);
    EXPECT_EQ(dialog.whereClause(), where3);
}

// Makers of one long prefix must read apart. With `touch` on, as in the demo, a list's pop-up
// is as wide as its longest entry needs, within the screen; off, it keeps its field's width.
// Either way nothing is cut out of the middle of an entry.
TEST_F(DemoQueryScreenTest, AListPopUpIsAsWideAsItsLongestEntryWithTouchOn)
{
    QueryDialog dialog;
    dialog.show();
    click(dialog, 1144);
    auto* makers = dialog.control<ui::DropDownCombo>(1062);
    EXPECT_EQ(settings::ReadSetting("show", "touch", ""), "1");
    for (const bool touch : { true, false }) {
        if (!touch) {
            ASSERT_TRUE(settings::WriteSetting("show", "touch", "0"));
        }
        makers->showPopup();
        QApplication::processEvents();
        ASSERT_GE(makers->findText(utf8("北京仟草中药饮片有限公司")), 0);
        ASSERT_GE(makers->findText(utf8("北京同仁堂科技发展股份有限公司")), 0);
        const QAbstractItemView* view = makers->view();
        int longest = 0;
        for (int i = 0; i < makers->count(); ++i)
            longest = std::max(longest, view->fontMetrics().horizontalAdvance(makers->itemText(i)));
        const QRect popup = view->window()->geometry();
        if (touch) {
            EXPECT_GE(view->viewport()->width(), view->sizeHintForColumn(0));
            EXPECT_GT(view->viewport()->width(), longest);
            EXPECT_TRUE(makers->screen()->availableGeometry().contains(popup));
        } else {
            EXPECT_EQ(popup.width(), makers->width());
        }
        EXPECT_NE(view->textElideMode(), Qt::ElideMiddle);
        makers->hidePopup();
    }
}

// With `keyboard` on, as in the demo, Tab walks the four tabs left to right, Shift+Tab back,
// and on into the lists; Space presses a tab, and the control with focus is ringed; off, a tab takes no
// focus.
TEST_F(DemoQueryScreenTest, TheTabsAndListsAreReachedByTabWithKeyboardOn)
{
    const auto pressTab = []() {
        QWidget* focus = QApplication::focusWidget();
        QTest::keyClick(focus ? focus : QApplication::activeWindow(), Qt::Key_Tab);
        QWidget* now = QApplication::focusWidget();
        while (now && now->parentWidget() && !now->parentWidget()->inherits("glimora::ui::TemplateDialog"))
            now = now->parentWidget();
        return now;
    };
    {
        QueryDialog dialog;
        dialog.show();
        QApplication::setActiveWindow(&dialog);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
        const QColor ring(255, 140, 0);
        const auto expectNoRing = [&ring](const char* when) {
            if (QWidget* focus = QApplication::focusWidget()) {
                const QImage unmarked = focus->grab().toImage();
                EXPECT_NE(unmarked.pixelColor(2, unmarked.height() / 2), ring) << when;
            }
        };
        expectNoRing("no ring before a key is pressed");
        // A tap that changes the page hides the control holding focus; focus moves on unmarked.
        click(dialog, 1144);
        expectNoRing("no ring after a tap");
        click(dialog, 1143);
        if (QWidget* focus = QApplication::focusWidget()) {
            focus->setEnabled(false);
            expectNoRing("no ring after the control holding focus is disabled");
            focus->setEnabled(true);
        }
        const QList<QWidget*> tabs { dialog.control(1143), dialog.control(1144), dialog.control(1145),
            dialog.control(1146) };
        int presses = 0;
        while (pressTab() != tabs[0] && presses < 60)
            ++presses;
        ASSERT_LT(presses, 60) << "Tab never reaches the first tab";
        EXPECT_EQ((QList<QWidget*> { tabs[0], pressTab(), pressTab(), pressTab() }), tabs);
        for (int n = 0; n < 3; ++n)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
        ASSERT_EQ(QApplication::focusWidget(), tabs[0]) << "Shift+Tab walks back";
        const QImage marked = tabs[0]->grab().toImage();
        EXPECT_EQ(marked.pixelColor(2, marked.height() / 2), ring);
        ASSERT_EQ(pressTab(), tabs[1]);
        QTest::keyClick(tabs[1], Qt::Key_Space);
        auto* firstList = dialog.control<ui::DropDownCombo>(1000);
        ASSERT_TRUE(firstList->isVisible()) << "Space on 条件查询 shows the filter lists";
        QWidget* next = pressTab();
        // The tab row's own buttons (大字, 朗读) come before the lists.
        for (int n = 0; n < 6 && next != firstList; ++n)
            next = pressTab();
        EXPECT_EQ(next, firstList);
    }
    ASSERT_TRUE(settings::WriteSetting("show", "keyboard", "0"));
    QueryDialog plain;
    EXPECT_EQ(plain.control(1144)->focusPolicy(), Qt::NoFocus);
}

TEST_F(DemoQueryScreenTest, AValueWithQuotesIsFoundAndTheStationStaysUp)
{
    station.execute("insert inquiry(d1,d2,d3,d26) values('A O''Brien','6''2\"','x',1)");
    QueryDialog dialog;
    int id = 0;
    for (const int candidate : QueryDialog::valueButtonIds().mid(0, 19)) {
        if (caption(dialog, candidate) == "A O'Brien")
            id = candidate;
    }
    ASSERT_NE(id, 0);
    sent();
    click(dialog, id);
    click(dialog, 1003);
    EXPECT_EQ(sent(),
        (QStringList { "select distinct d2 from inquiry where  d1='A O''Brien' order by d2",
            Records + " where  d1='A O''Brien'",
            "select distinct d3 from inquiry where  d1='A O''Brien' and d2='6''2\"' order by d3",
            Records + " where  d1='A O''Brien' and d2='6''2\"'" }));
    EXPECT_TRUE(ui::OkMessageBox::shownTexts().isEmpty());
    EXPECT_EQ(recordCount(dialog), 1);
    EXPECT_EQ(caption(dialog, 1003), "x");
}

namespace {

class PlainQueryScreenTest : public QueryScreenTest
{
protected:
    PlainQueryScreenTest()
        : QueryScreenTest("[select]\nselect=d1,d2,d3\n")
    {
    }

    int buttonOf(const QueryDialog& dialog, const QString& value)
    {
        for (const int id : QueryDialog::valueButtonIds().mid(0, 20)) {
            if (caption(dialog, id) == value)
                return id;
        }
        return 0;
    }
};

} // namespace

// The buttons show values without the blanks around them; the statements must still find
// the records as they are stored.
TEST_F(PlainQueryScreenTest, ValuesWithBlanksAroundThemReachTheirRecords)
{
    station.execute("insert inquiry(d1,d2,d3) values(' lead','B','x')"
                    " insert inquiry(d1,d2,d3) values('tab\t','C','y')"
                    " insert inquiry(d1,d2,d3) values('feed\n','D','z')"
                    " insert inquiry(d1,d2,d3) values('pad  ','E','w')");
    QueryDialog dialog;
    const std::tuple<const char*, const char*, const char*> cases[] = { { "lead", " lead", "B" },
        { "tab", "tab\t", "C" }, { "feed", "feed\n", "D" }, { "pad", "pad", "E" } };
    for (const auto& [shown, sentValue, below] : cases) {
        click(dialog, 1057);
        const int id = buttonOf(dialog, shown);
        ASSERT_NE(id, 0) << shown;
        sent();
        click(dialog, id);
        const QString where = QStringLiteral(" d1='%1'").arg(sentValue);
        EXPECT_EQ(sent(),
            (QStringList { "select distinct d2 from inquiry where " + where + " order by d2",
                "select d1,d2,d3 from inquiry where " + where }));
        EXPECT_EQ(recordCount(dialog), 1) << shown;
        EXPECT_EQ(caption(dialog, 1003), below);
        EXPECT_EQ(dialog.control<QLabel>(1141)->text(), utf8("当前位置： ") + shown + "  ");
    }
    // A step replayed by "向前" and "向后" sends the stored value again.
    click(dialog, 1057);
    click(dialog, buttonOf(dialog, "lead"));
    click(dialog, 1003);
    click(dialog, 1058);
    sent();
    click(dialog, 1059);
    EXPECT_EQ(sent(),
        (QStringList { "select distinct d3 from inquiry where  d1=' lead' and d2='B' order by d3",
            "select d1,d2,d3 from inquiry where  d1=' lead' and d2='B'" }));
    EXPECT_EQ(recordCount(dialog), 1);
}

// An entry chosen in a filter list finds the records it was read from, as a value button does.
TEST_F(PlainQueryScreenTest, AChosenFilterEntryFindsItsRecordsAsStored)
{
    settings::WriteSetting("comfil", "com1", "d1");
    station.execute(
        "insert inquiry(d1,d2,d3) values(' lead','B','x') insert inquiry(d1,d2,d3) values('feed\n','D','z')"
        " insert inquiry(d1,d2,d3) values('pad  ','E','w')");
    QueryDialog dialog;
    click(dialog, 1144);
    auto* list = dialog.control<ui::DropDownCombo>(1000);
    const std::pair<const char*, const char*> cases[]
        = { { "lead", " lead" }, { "feed", "feed\n" }, { "pad", "pad" } };
    for (const auto& [shown, stored] : cases) {
        list->showPopup();
        list->hidePopup();
        list->setCurrentIndex(list->findText(shown));
        ASSERT_EQ(list->currentText(), shown);
        sent();
        click(dialog, 1125);
        EXPECT_EQ(sent(),
            QStringList { QStringLiteral("select d1,d2,d3 from inquiry where  d1='%1'").arg(stored) });
        EXPECT_EQ(recordCount(dialog), 1) << shown;
    }
    // A typed text is taken as typed, without the blanks around it.
    list->setEditText("  lead ");
    sent();
    click(dialog, 1125);
    EXPECT_EQ(sent(), QStringList { "select d1,d2,d3 from inquiry where  d1='lead'" });
}

// The summary line and the hidden columns follow the condition: it must stay the one of the
// records on display when a new one brings no records to display.
TEST_F(PlainQueryScreenTest, TheConditionStaysWithThePageOnDisplay)
{
    station.execute(
        "insert inquiry(d1,d2,d3) values('A','B','x') insert inquiry(d1,d2,d3) values('C','D','y')");
    QueryDialog dialog;
    const auto summary = [&] {
        return query::ResultPage(dialog.catalogue(), dialog.resultCursor(), dialog.whereClause())
            .columns()
            .summary;
    };
    click(dialog, buttonOf(dialog, "A"));
    click(dialog, 1003);
    click(dialog, 1057);
    click(dialog, buttonOf(dialog, "C"));
    EXPECT_EQ(summary(), utf8("类别 : C"));
    // "最后" replays B under C, where there is none: the list stays empty, the page is C's.
    sent();
    click(dialog, 1060);
    EXPECT_EQ(sent(), QStringList { "select distinct d3 from inquiry where  d1='C' and d2='B' order by d3" });
    EXPECT_EQ(dialog.whereClause(), " d1='C'");
    EXPECT_EQ(summary(), utf8("类别 : C"));

    // A record query that fails keeps the page and its condition.
    click(dialog, 1057);
    settings::WriteSetting("select", "select", "d1,nosuch");
    click(dialog, buttonOf(dialog, "A"));
    EXPECT_EQ(
        ui::OkMessageBox::shownTexts(), QStringList { utf8("查询失败，请检查系统配置或查询条件后再试。") });
    EXPECT_EQ(dialog.whereClause(), "");
    EXPECT_EQ(recordCount(dialog), 2);
    EXPECT_EQ(summary(), "");
}

TEST_F(DemoQueryScreenTest, ANonNumberInANumericListIsRefusedWithoutAStatement)
{
    QueryDialog dialog;
    click(dialog, 1144);
    const QString before = dialog.whereClause();
    const long position = dialog.resultCursor().AbsolutePosition();
    sent();
    dialog.control<ui::DropDownCombo>(1074)->setEditText("1 or 1=1");
    click(dialog, 1125);
    EXPECT_TRUE(sent().isEmpty());
    ASSERT_EQ(ui::OkMessageBox::shownTexts().size(), 1);
    EXPECT_TRUE(ui::OkMessageBox::shownTexts()[0].contains("1 or 1=1"));
    EXPECT_EQ(dialog.whereClause(), before);
    EXPECT_EQ(dialog.resultCursor().AbsolutePosition(), position);
}

TEST_F(DemoQueryScreenTest, ClearEmptiesTheListsWithoutAQuery)
{
    QueryDialog dialog;
    click(dialog, 1144);
    dialog.control<ui::DropDownCombo>(1000)->setEditText("x");
    sent();
    click(dialog, 1171);
    EXPECT_TRUE(sent().isEmpty());
    EXPECT_EQ(dialog.control<ui::DropDownCombo>(1000)->currentText(), "");
    click(dialog, 1125);
    EXPECT_EQ(sent(), QStringList { Records });
}

namespace {

class MisconfiguredQueryScreenTest : public QueryScreenTest
{
protected:
    MisconfiguredQueryScreenTest()
        : QueryScreenTest("[select]\nselect=d1,nosuch\n[comfil]\ncom1=d1;drop table inquiry\ncom2=d2\n")
    {
    }
};

} // namespace

TEST_F(MisconfiguredQueryScreenTest, DataControlErrorsAndBadColumnNamesDoNotEndTheProgram)
{
    station.execute("insert inquiry(d1,d2) values('A','B')");
    QueryDialog dialog;
    EXPECT_TRUE(dialog.isReady());
    EXPECT_EQ(
        ui::OkMessageBox::shownTexts(), QStringList { utf8("查询失败，请检查系统配置或查询条件后再试。") });
    EXPECT_NE(dialog.result(), ui::IDCANCEL);

    // The list of a column name that is no plain name stays without a column: nothing is sent.
    click(dialog, 1144);
    sent();
    auto* list = dialog.control<ui::DropDownCombo>(1000);
    list->showPopup();
    list->hidePopup();
    EXPECT_TRUE(sent().isEmpty());
    EXPECT_EQ(list->count(), 1);
    EXPECT_EQ(dialog.control<QLabel>(1035)->text(), utf8("剂型"));
    EXPECT_EQ(station.rows("select count(*) from inquiry"), QStringList { "1.000000" });
}

TEST_F(QueryScreenTest, WithoutASelectSettingEveryLoadShowsTheMessage)
{
    station.execute("insert inquiry(d1,d2) values('A','B')");
    QueryDialog dialog;
    click(dialog, 1003);
    EXPECT_EQ(
        ui::OkMessageBox::shownTexts(), QStringList(2, utf8("未配置查询语句，请选完成系统的必要配置再试。")));
    EXPECT_EQ(dialog.level(), 2);
}

TEST_F(QueryScreenTest, ALevelOf120ValuesIsReachablePageByPage)
{
    QString batch;
    for (int i = 0; i < 120; ++i)
        batch += QStringLiteral(" insert inquiry(d1,d2) values('v%1','w')").arg(i, 3, 10, QLatin1Char('0'));
    station.execute(batch);
    QueryDialog dialog;
    EXPECT_EQ(caption(dialog, 1022), query::ValueChoices::moreCaption());
    QStringList seen;
    for (int page = 0; page < 7; ++page) {
        for (const int id : QueryDialog::valueButtonIds().mid(0, 19)) {
            if (!caption(dialog, id).isEmpty())
                seen << caption(dialog, id);
        }
        click(dialog, 1022);
    }
    EXPECT_EQ(seen.size(), 120);
    EXPECT_EQ(seen.last(), "v119");
    for (const int id : QueryDialog::valueButtonIds().mid(20))
        EXPECT_FALSE(dialog.control(id)->isEnabled());
    // A value on a later page is chosen like any other.
    click(dialog, 1022);
    click(dialog, 1022);
    const QString chosen = caption(dialog, 1005);
    EXPECT_EQ(chosen, "v040");
    sent();
    click(dialog, 1005);
    EXPECT_EQ(sent().value(0), "select distinct d2 from inquiry where  d1='v040' order by d2");
}

TEST_F(QueryScreenTest, AnEmptyCatalogueClosesTheScreenWithTheConfigurationMessage)
{
    station.execute("update contrast set chna='xh'");
    QueryDialog dialog;
    EXPECT_FALSE(dialog.isReady());
    EXPECT_EQ(
        ui::OkMessageBox::shownTexts(), QStringList { utf8("系统未配置，请先登入后台完成系统配置后再试!") });
    EXPECT_EQ(dialog.exec(), ui::IDCANCEL);
}

TEST_F(QueryScreenTest, OneTitleRowKeepsTheDefaultReportTitle)
{
    station.execute("delete contrast where nober=101");
    QueryDialog dialog;
    EXPECT_EQ(dialog.companyName(), utf8("晴川市第一人民医院"));
    EXPECT_EQ(dialog.reportTitle(), utf8("公共信息查询表"));
}

TEST_F(QueryScreenTest, AboutCommandOpensTheAboutBoxIgnoringTheLowFourBits)
{
    QueryDialog dialog;
    int opened = 0;
    QObject::connect(&dialog, &QueryDialog::aboutBoxRequested, [&] {
        ++opened;
        QTimer::singleShot(0, [] {
            if (QWidget* modal = QApplication::activeModalWidget())
                modal->close();
        });
    });
    EXPECT_TRUE(dialog.OnSysCommand(0x0010));
    EXPECT_TRUE(dialog.OnSysCommand(0x001F));
    EXPECT_FALSE(dialog.OnSysCommand(0xF060)); // close goes to the default handling
    EXPECT_FALSE(dialog.OnSysCommand(0x0020));
    EXPECT_EQ(opened, 2);
}

namespace {

class TracedQueryScreenTest : public QueryScreenTest
{
protected:
    TracedQueryScreenTest()
        : QueryScreenTest("[system]\ntrace=trace.log\n[select]\nselect=d1,d2\n")
    {
    }
};

} // namespace

TEST_F(TracedQueryScreenTest, TheTraceHoldsEveryStatementOnALine)
{
    station.execute("insert inquiry(d1,d2) values('A','B')");
    {
        QueryDialog dialog;
        click(dialog, 1003);
        settings::WriteSetting("select", "select", "d1,nosuch");
        click(dialog, 1057);
    }
    const QStringList lines
        = QString::fromUtf8(station.workspace.readFile("trace.log")).split('\n', Qt::SkipEmptyParts);
    // Set-up: catalogue, titles, first level, records; then a level and its records; then
    // the top list and the failing records.
    ASSERT_GE(lines.size(), 8);
    EXPECT_TRUE(lines[0].endsWith(
        "\tselect engl,chna,withe,sort  from contrast where right(chna,1)<>'h' order by sort"));
    EXPECT_TRUE(lines[1].contains("\trows -\tselect chna from contrast"));
    EXPECT_TRUE(lines.last().contains("\terror ")) << lines.last().toStdString();
    EXPECT_TRUE(lines.last().contains("select d1,nosuch"));
    for (const QString& line : lines)
        EXPECT_EQ(line.split('\t').size(), 4) << line.toStdString();
}

TEST_F(QueryScreenTest, AnUnwritableTraceNeverStopsTheStation)
{
    station.workspace.writeFile("trace.log/keep", "");
    settings::WriteSetting("system", "trace", "trace.log");
    station.execute("insert inquiry(d1,d2) values('A','B')");
    QueryDialog dialog;
    EXPECT_TRUE(dialog.isReady());
    EXPECT_EQ(dialog.level(), 1);
}

namespace {

// Dates with a time of day, as the data grid and workbooks store them, on a date level
// above a text level, in a filter list and in a range.
class DateQueryScreenTest : public PlainQueryScreenTest
{
protected:
    DateQueryScreenTest()
    {
        settings::WriteSetting("select", "select", "d1,d16,d3");
        settings::WriteSetting("comfil", "com1", "d16");
        settings::WriteSetting("comfil", "com18", "d16");
        settings::WriteSetting("show", "head1", "d16");
        station.execute("update contrast set sort=NULL update contrast set sort=1 where engl='d16'"
                        " update contrast set sort=2 where engl='d1'"
                        " insert inquiry(d1,d16,d3) values('A','2012-05-01 10:30:00','x')"
                        " insert inquiry(d1,d16,d3) values('B','2012-05-01','y')"
                        " insert inquiry(d1,d16,d3) values('C','2012-05-02 23:59:59.997','z')");
    }
};

} // namespace

TEST_F(DateQueryScreenTest, EveryRecordOfADayIsReachedByItsDay)
{
    QueryDialog dialog;
    EXPECT_EQ(caption(dialog, 1003), "2012-05-01");
    EXPECT_EQ(caption(dialog, 1004), "2012-05-02");
    EXPECT_EQ(caption(dialog, 1005), "");
    sent();
    click(dialog, 1003);
    const QString day = " d16>='20120501' and d16<'20120502'";
    EXPECT_EQ(sent(),
        (QStringList { "select distinct d1 from inquiry where " + day + " order by d1",
            "select d1,d16,d3 from inquiry where " + day }));
    EXPECT_EQ(recordCount(dialog), 2);
    EXPECT_EQ(caption(dialog, 1003), "A");
    EXPECT_EQ(caption(dialog, 1004), "B");
    const auto summary = [&] {
        return query::ResultPage(dialog.catalogue(), dialog.resultCursor(), dialog.whereClause())
            .columns()
            .summary;
    };
    const QString dayName = dialog.catalogue().displayName("d16");
    EXPECT_EQ(summary(), dayName + " : 2012-05-01");
    dialog.grab();
    click(dialog, 1138); // 下翻 past both records, 上翻 back to the first
    EXPECT_TRUE(dialog.resultCursor().EndOfFile());
    click(dialog, 1137);
    EXPECT_EQ(dialog.resultCursor().AbsolutePosition(), 1);
    click(dialog, 1003);
    EXPECT_EQ(dialog.whereClause(), day + " and d1='A'");
    EXPECT_EQ(recordCount(dialog), 1);
    EXPECT_EQ(summary(), dayName + " : 2012-05-01");
    click(dialog, 1058); // 向前 replays the day
    EXPECT_EQ(dialog.whereClause(), day);
    EXPECT_EQ(recordCount(dialog), 2);

    click(dialog, 1144);
    auto* list = dialog.control<ui::DropDownCombo>(1000);
    list->showPopup();
    list->hidePopup();
    EXPECT_EQ(list->count(), 3);
    list->setCurrentIndex(list->findText("2012-05-01"));
    click(dialog, 1125);
    EXPECT_EQ(recordCount(dialog), 2);
    EXPECT_EQ(summary(), dayName + " : 2012-05-01");
    list->setEditText("2012-05-02");
    click(dialog, 1125);
    EXPECT_EQ(recordCount(dialog), 1);

    // A range ends with the whole of its last day; it fixes no day of its own.
    list->setEditText("");
    dialog.control<ui::DropDownCombo>(1076)->setEditText("2012-05-01");
    dialog.control<ui::DropDownCombo>(1077)->setEditText("2012-05-02");
    sent();
    click(dialog, 1125);
    EXPECT_EQ(
        sent(), QStringList { "select d1,d16,d3 from inquiry where  d16>='20120501' and d16<'20120503'" });
    EXPECT_EQ(recordCount(dialog), 3);
    EXPECT_EQ(summary(), "");
    dialog.control<ui::DropDownCombo>(1077)->setEditText("2012-05-01");
    click(dialog, 1125);
    EXPECT_EQ(recordCount(dialog), 2);

    // A typed date that is no day stays here; full-width digits are the same day.
    sent();
    dialog.control<ui::DropDownCombo>(1076)->setEditText("abc");
    click(dialog, 1125);
    EXPECT_TRUE(sent().isEmpty());
    EXPECT_EQ(ui::OkMessageBox::shownTexts(),
        QStringList { utf8("“abc”不是日期，这里请输入日期，例如 2024-01-01。") });
    dialog.control<ui::DropDownCombo>(1076)->setEditText(utf8("２０１２－０５－０１"));
    click(dialog, 1125);
    EXPECT_EQ(
        sent(), QStringList { "select d1,d16,d3 from inquiry where  d16>='20120501' and d16<'20120502'" });
}

TEST_F(DemoQueryScreenTest, ALostConnectionShowsTheBoxOrGoesToTheKiosksHandler)
{
    const struct Unset
    {
        ~Unset() { QueryDialog::setConnectionLossHandler({}); }
    } unset;
    for (const bool kiosk : { false, true }) {
        QString heard;
        if (kiosk)
            QueryDialog::setConnectionLossHandler([&heard](const QString& text) { heard = text; });
        ui::OkMessageBox::clearShownTexts();
        QueryDialog dialog;
        ASSERT_TRUE(dialog.isReady());
        // The server ends the screen's session, as a restarted server or a pulled cable would.
        data::Command& command = data::SharedDatabase::command();
        command.SetCommandText("select @@spid");
        data::SharedDatabase::setRecordset(command.Execute());
        station.execute(
            "kill " + QString::number(data::SharedDatabase::recordset().Item(0).Value().toInt64()));

        click(dialog, 1003);
        EXPECT_EQ(dialog.result(), ui::IDCANCEL) << kiosk;
        if (kiosk) {
            EXPECT_TRUE(ui::OkMessageBox::shownTexts().isEmpty());
            EXPECT_TRUE(heard.contains("transport-level error")) << heard.toStdString();
        } else {
            EXPECT_EQ(ui::OkMessageBox::shownTexts(), QStringList { utf8("数据库异常，请稍后后再试") });
        }
    }
}

TEST_F(DemoQueryScreenTest, TheEmbeddedServersFolderGoneIsALostConnectionToo)
{
    const struct Unset
    {
        ~Unset() { QueryDialog::setConnectionLossHandler({}); }
    } unset;
    QString heard;
    QueryDialog::setConnectionLossHandler([&heard](const QString& text) { heard = text; });
    QueryDialog dialog;
    ASSERT_TRUE(dialog.isReady());
    ASSERT_TRUE(QDir(station.workspace.filePath("sqldata")).removeRecursively());
    click(dialog, 1003);
    EXPECT_EQ(dialog.result(), ui::IDCANCEL);
    EXPECT_TRUE(ui::OkMessageBox::shownTexts().isEmpty());
    EXPECT_TRUE(heard.contains("cannot be opened")) << heard.toStdString();
}

// Enter moves on from a list on this screen, but on a tab that keys reached it presses the tab.
TEST_F(DemoQueryScreenTest, EnterPressesATabWithKeyboardOn)
{
    QueryDialog dialog;
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    QWidget* tab = dialog.control(1144);
    tab->setFocus(Qt::TabFocusReason);
    QTest::keyClick(tab, Qt::Key_Return);
    EXPECT_TRUE(dialog.control(1000)->isVisible()) << "Enter on 条件查询 shows the filter lists";
    EXPECT_EQ(QApplication::focusWidget(), tab);
}

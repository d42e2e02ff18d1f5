#include "query/ResultPage.h"
#include "data/Connection.h"
#include "data/Recordset.h"
#include "query/FieldCatalogue.h"
#include "settings/SettingsFile.h"
#include "tests/query/QueryStation.h"
#include "ui/SharedFonts.h"

#include <QFontMetrics>

#include <gtest/gtest.h>
#include <QImage>
#include <QPainter>

using namespace glimora;
using query::CatalogueEntry;
using query::FieldCatalogue;
using query::ResultPage;

namespace {

const QRgb Blue = qRgb(0, 0, 255);

class ResultPageTest : public ::testing::Test
{
protected:
    ResultPageTest()
        : station("[system]\ndatabase=page\n")
    {
        const std::tuple<const char*, const char*, int> entries[] = { { "类别", "d1", 60 },
            { "名称", "d2", 70 }, { "图片", "d51", 45 }, { "单价", "d26", 80 }, { "日期", "d16", 90 } };
        for (const auto& [chna, engl, width] : entries)
            catalogue.append(CatalogueEntry { QString::fromUtf8(chna), engl, width });
        station.execute("insert inquiry(d1,d2,d26,d16,d51) values('A',' one ',12.5,'2012-03-04',0x0102)"
                        " insert inquiry(d1,d2,d26) values('A','two',12)"
                        " insert inquiry(d1,d2) values('B','three')");
    }

    data::Recordset open(const QString& select, const QString& where = QString())
    {
        data::Connection connection = data::Connection::create();
        connection.Open("Driver={SQL Server};Server=(LOCAL);Database=page;Uid=sa;pwd=station");
        data::Recordset records = data::Recordset::create();
        records.Open("select " + select + " from inquiry" + (where.isEmpty() ? QString() : " where " + where),
            connection);
        if (!(records.BOF() && records.EndOfFile()))
            records.MoveFirst();
        return records;
    }

    // Draws a page 800 wide with the tab row at `bottom`; returns the page step.
    int draw(const data::Recordset& records, const QString& where, int bottom)
    {
        image = QImage(800, bottom + 40, QImage::Format_RGB32);
        image.fill(Qt::gray);
        QPainter painter(&image);
        ResultPage page(catalogue, records, where);
        return page.draw(painter, 0, 800, bottom);
    }

    QueryStation station;
    FieldCatalogue catalogue;
    QImage image;
};

} // namespace

TEST_F(ResultPageTest, RowsPerPageFollowTheGeometry)
{
    EXPECT_EQ(ResultPage::Geometry().rowsPerPage(600), 11);
    ResultPage::Geometry flat;
    flat.rowHeight = 0;
    EXPECT_EQ(flat.rowsPerPage(600), 0);
}

TEST_F(ResultPageTest, ThreeRecordsOnRoomForEightLeaveRuledRowsAndTheCursorOnTheFirst)
{
    data::Recordset records = open("d1,d2,d26");
    // (460 - 30 - 15 - 20 - 50 + 25) / 45 = 8 rows.
    EXPECT_EQ(draw(records, QString(), 460), 8);
    EXPECT_EQ(records.AbsolutePosition(), 1);
    for (int row = 0; row < 8; ++row)
        EXPECT_EQ(image.pixel(400, 90 + 45 * row), Blue) << row;
    EXPECT_EQ(image.pixel(400, 459), Blue); // the closing line at B - 1
    EXPECT_EQ(image.pixel(400, 100), qRgb(255, 255, 255));
    EXPECT_NE(image.pixel(400, 470), qRgb(255, 255, 255)); // nothing below the tab row's top

    // A page that stops before the end steps by the rows drawn, here 2 of 3 records.
    EXPECT_EQ(draw(records, QString(), 180), 2);
    EXPECT_EQ(records.AbsolutePosition(), 1);
}

TEST_F(ResultPageTest, FixedValuesGoToTheSummaryAndTheirColumnsLeaveTheTable)
{
    data::Recordset records = open("d1,d2,d26", "d1='A'");
    ResultPage page(catalogue, records, " d1='A'");
    const ResultPage::Columns columns = page.columns();
    EXPECT_EQ(columns.summary, QString::fromUtf8("类别 : A"));
    EXPECT_EQ(columns.widths, (QList<int> { 0, 70, 80 }));

    // Two fixed heads, a range that never counts as fixed.
    ResultPage two(catalogue, records, " d1='A' and d2='one' and d26>=1");
    EXPECT_EQ(two.columns().summary, QString::fromUtf8("类别 : A          名称 : one"));
    EXPECT_EQ(two.columns().widths, (QList<int> { 0, 0, 80 }));
}

// The lowest row of the summary's text, and the rule under it at 50 - 25 + 30 + 15.
TEST_F(ResultPageTest, PolishedTheSummaryStandsClearOfItsRule)
{
    const auto lowestText = [this] {
        int lowest = -1;
        for (int y = 40; y < 70; ++y) {
            for (int x = 2; x < 300; ++x) {
                const QColor c(image.pixel(x, y));
                if (c.blue() > 150 && c.red() < 200)
                    lowest = y;
            }
        }
        return lowest;
    };
    const QString where = QStringLiteral("d1='A'");
    draw(open("d1,d2,d26", where), where, 460);
    ASSERT_EQ(image.pixel(300, 70), Blue);
    const int asEver = lowestText();
    EXPECT_GT(asEver, 67); // unpolished, on the rule
    settings::WriteSetting(QStringLiteral("show"), QStringLiteral("polish"), QStringLiteral("1"));
    draw(open("d1,d2,d26", where), where, 460);
    ASSERT_EQ(image.pixel(300, 70), Blue);
    EXPECT_LE(lowestText(), 67);
    EXPECT_GE(lowestText(), 55);
    EXPECT_LE(lowestText(), asEver);
}

TEST_F(ResultPageTest, CaptionsLineUpWithTheirCellsWhenThePictureIsSelected)
{
    data::Recordset records = open("d1,d51,d2,d7");
    ResultPage page(catalogue, records, QString());
    EXPECT_EQ(page.columns().widths, (QList<int> { 60, 0, 70, 0 })); // d7 has no catalogue entry
    draw(records, QString(), 400);
    // Caption lines at x + 2 of each shown column: 2 and 62; none where d51 would have pushed d2.
    EXPECT_EQ(image.pixel(2, 80), Blue);
    EXPECT_EQ(image.pixel(62, 80), Blue);
    EXPECT_NE(image.pixel(107, 80), Blue);
    EXPECT_NE(image.pixel(132, 80), Blue);
}

TEST_F(ResultPageTest, NoRecordShowsTheEmptyMessageOnly)
{
    data::Recordset records = open("d1", "d1='none'");
    EXPECT_EQ(draw(records, " d1='none'", 400), -1);
    EXPECT_EQ(image.pixel(400, 90), qRgb(255, 255, 255)); // no ruled rows
    bool text = false;
    for (int x = 0; x < 800 && !text; ++x)
        for (int y = 200; y < 260 && !text; ++y)
            text = qBlue(image.pixel(x, y)) > qRed(image.pixel(x, y)) + 60;
    EXPECT_TRUE(text);
}

TEST_F(ResultPageTest, CellValuesAreFormattedByTheirType)
{
    data::Recordset records = open("d1,d2,d26,d16,d51,d27");
    const auto cell = [&](const char* name) { return ResultPage::FormatCellValue(records, 0, name); };
    EXPECT_EQ(cell("d2"), "one");
    EXPECT_EQ(cell("d26"), "12.50");
    EXPECT_EQ(cell("d16"), "2012-03-04");
    EXPECT_EQ(cell("d51"), "*");
    EXPECT_EQ(cell("d27"), "");
    EXPECT_EQ(ResultPage::FormatCellValue(records, 2, QString()), "12.50");
    records.MoveNext();
    EXPECT_EQ(cell("d26"), "12");
    EXPECT_EQ(cell("d51"), "");
}

// A value wider than its column: the old page cut it off at both ends.
TEST(ResultPageCellTest, AValueWiderThanItsColumnIsWrappedWithinTheRowNotCut)
{
    const QFont& font = ui::sharedFont(3);
    const QFontMetrics metrics(font);
    const int rowHeight = 45;
    ASSERT_GE(rowHeight / metrics.lineSpacing(), 2);

    const QString name = QString::fromUtf8("太极集团重庆涪陵制药厂有限公司");
    EXPECT_EQ(
        ResultPage::cellLines(name, font, metrics.horizontalAdvance(name), rowHeight), QStringList { name });

    const int width = metrics.horizontalAdvance(name) * 2 / 3;
    const QStringList wrapped = ResultPage::cellLines(name, font, width, rowHeight);
    EXPECT_EQ(wrapped.size(), 2);
    EXPECT_EQ(wrapped.join(QString()), name);
    for (const QString& line : wrapped)
        EXPECT_LE(metrics.horizontalAdvance(line), width);

    // More than the row holds: the lines it holds, the last one ending in an ellipsis.
    const QString longer = name.repeated(4);
    const QStringList cut = ResultPage::cellLines(longer, font, width, rowHeight);
    EXPECT_EQ(cut.size(), rowHeight / metrics.lineSpacing());
    EXPECT_TRUE(cut.last().endsWith(QChar(0x2026)));
    EXPECT_TRUE(longer.startsWith(cut.first()));
    for (const QString& line : cut)
        EXPECT_LE(metrics.horizontalAdvance(line), width);
}

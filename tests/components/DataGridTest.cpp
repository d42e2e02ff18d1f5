#include "components/CAdodc.h"
#include "components/CDataGrid.h"
#include "components/CellFormat.h"
#include "components/RecordsetTableModel.h"
#include "data/DbError.h"
#include "tests/components/GridDatabase.h"
#include "ui/OkMessageBox.h"

#include "tests/support/WaitFor.h"
#include <gtest/gtest.h>
#include <QAbstractItemModelTester>
#include <QApplication>
#include <QLineEdit>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

using namespace glimora::components;
using glimora::data::DbError;
using glimora::data::Recordset;
using glimora::ui::OkMessageBox;

namespace {

// The statement and set-up of the configuration screen's catalogue tab.
const QString catalogueStatement
    = QStringLiteral("select sort,chna,withe,engl,nober from contrast where nober<52");

class DataGridTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        OkMessageBox::clearShownTexts();
        OkMessageBox::setAutoAnswer(QMessageBox::Ok);
        m_database.createCatalogue();
        m_database.createRecords();
    }

    void TearDown() override { OkMessageBox::setAutoAnswer(QMessageBox::NoButton); }

    // Binds the grid as the screens do: data control first, then the grid to its record set.
    Recordset bind(const QString& statement)
    {
        m_control.SetConnectionString(m_database.connectionString());
        m_control.SetRecordSource(statement);
        m_control.Refresh();
        Recordset recordset = m_control.Recordset();
        // Qt 6.4's tester fetches more rows while it still counts the reset as running.
        m_tester.reset();
        m_grid.SetDataSource(recordset);
        m_tester = std::make_unique<QAbstractItemModelTester>(
            m_grid.model(), QAbstractItemModelTester::FailureReportingMode::Fatal);
        m_grid.resize(600, 300);
        m_grid.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&m_grid));
        return recordset;
    }

    // Types into a cell and commits with Return, as a person edits in place.
    void typeInto(int row, int column, const QString& text)
    {
        const QModelIndex index = m_grid.model()->index(row, column);
        m_grid.setCurrentIndex(index);
        m_grid.edit(index);
        auto* editor = m_grid.viewport()->findChild<QLineEdit*>();
        ASSERT_NE(editor, nullptr);
        editor->setText(text);
        const QPointer<QLineEdit> open(editor);
        QTest::keyClick(editor, Qt::Key_Return);
        // The delegate commits in a queued call, then lets the editor go.
        EXPECT_EVENTUALLY(open.isNull());
    }

    QString cell(int row, int column) const { return m_grid.model()->index(row, column).data().toString(); }

    GridDatabase m_database;
    CAdodc m_control;
    CDataGrid m_grid;
    std::unique_ptr<QAbstractItemModelTester> m_tester;
};

TEST_F(DataGridTest, ColumnsFollowTheSelectListAndTakeTheScreensSettings)
{
    bind(catalogueStatement);
    CColumns columns = m_grid.Columns();
    ASSERT_EQ(columns.Count(), 5);
    const QStringList names { "sort", "chna", "withe", "engl", "nober" };
    for (int i = 0; i < columns.Count(); ++i)
        EXPECT_EQ(columns.Item(i).Caption(), names[i]);

    columns.Item(1).SetCaption(QStringLiteral("名称"));
    columns.Item(2).SetWidth(95.5f); // a float, as the catalogue width comes
    columns.Item(4).SetVisible(false);
    EXPECT_EQ(columns.Item(1).Caption(), QStringLiteral("名称"));
    EXPECT_EQ(m_grid.model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("名称"));
    EXPECT_EQ(columns.Item(2).Width(), 96.0f);
    EXPECT_EQ(m_grid.columnWidth(2), 96);
    EXPECT_FALSE(columns.Item(4).Visible());
    EXPECT_TRUE(m_grid.isColumnHidden(4));
    EXPECT_TRUE(columns.Item(3).Visible());
    // The largest catalogue widths stay wide instead of wrapping round to nothing.
    for (const float huge : { 2147483647.0f, 4294967296.0f, 1e30f }) {
        columns.Item(3).SetWidth(huge);
        EXPECT_EQ(m_grid.columnWidth(3), 1 << 16) << huge;
        EXPECT_TRUE(columns.Item(3).Visible());
    }
    EXPECT_THROW(columns.Item(5), DbError);
    EXPECT_THROW(columns.Item(-1), DbError);

    // A new binding starts again from the field names, all shown.
    bind(QStringLiteral("select d1,d60 from inquiry"));
    EXPECT_EQ(m_grid.Columns().Count(), 2);
    EXPECT_EQ(m_grid.Columns().Item(0).Caption(), QStringLiteral("d1"));
    EXPECT_TRUE(m_grid.Columns().Item(1).Visible());
}

TEST_F(DataGridTest, AnEditInPlaceReachesTheTable)
{
    bind(catalogueStatement);
    typeInto(1, 1, QStringLiteral("住址"));
    EXPECT_EQ(m_database.scalarText(QStringLiteral("select chna from contrast where nober=2")),
        QStringLiteral("住址"));
    EXPECT_EQ(cell(1, 1), QStringLiteral("住址"));

    typeInto(2, 2, QStringLiteral("60"));
    EXPECT_EQ(m_database.scalarText(QStringLiteral("select withe from contrast where nober=3")),
        QStringLiteral("60"));
    EXPECT_EQ(cell(2, 2), QStringLiteral("60"));
    EXPECT_TRUE(OkMessageBox::shownTexts().isEmpty());
}

TEST_F(DataGridTest, ALockedColumnRefusesEdits)
{
    bind(catalogueStatement);
    m_grid.Columns().Item(3).SetLocked(true);
    EXPECT_TRUE(m_grid.Columns().Item(3).Locked());
    const QModelIndex code = m_grid.model()->index(0, 3);
    EXPECT_FALSE(m_grid.model()->flags(code) & Qt::ItemIsEditable);

    m_grid.setCurrentIndex(code);
    m_grid.edit(code);
    EXPECT_EQ(m_grid.viewport()->findChild<QLineEdit*>(), nullptr);
    EXPECT_FALSE(m_grid.model()->setData(code, QStringLiteral("d9")));
    EXPECT_EQ(m_database.scalarText(QStringLiteral("select engl from contrast where nober=1")),
        QStringLiteral("d1"));

    // Unlocking gives editing back.
    m_grid.Columns().Item(3).SetLocked(false);
    EXPECT_TRUE(m_grid.model()->flags(code) & Qt::ItemIsEditable);
}

TEST_F(DataGridTest, AnEditThatCollidesWithAnotherWriterIsShownAndOverwritesNothing)
{
    bind(catalogueStatement);
    m_database.execute(QStringLiteral("update contrast set chna='别人改的' where nober=1"));

    typeInto(0, 1, QStringLiteral("我的"));
    EXPECT_EVENTUALLY(OkMessageBox::shownTexts().size() == 1);
    EXPECT_EQ(m_database.scalarText(QStringLiteral("select chna from contrast where nober=1")),
        QStringLiteral("别人改的"));
    EXPECT_EQ(cell(0, 1), QStringLiteral("姓名")); // the cell is restored, not left with the typed text

    // The next edit of another row still goes through.
    typeInto(1, 1, QStringLiteral("时间"));
    EXPECT_EQ(m_database.scalarText(QStringLiteral("select chna from contrast where nober=2")),
        QStringLiteral("时间"));
}

TEST_F(DataGridTest, TextThatDoesNotFitTheColumnIsRefusedWithAMessage)
{
    bind(catalogueStatement);
    typeInto(0, 2, QStringLiteral("八十"));
    EXPECT_EVENTUALLY(OkMessageBox::shownTexts().size() == 1);
    EXPECT_TRUE(OkMessageBox::shownTexts().first().contains(QStringLiteral("八十")));
    EXPECT_EQ(
        m_database.scalarText(QStringLiteral("select withe from contrast where nober=1")).toDouble(), 80.0);
    EXPECT_EQ(cell(0, 2), QStringLiteral("80"));
}

TEST_F(DataGridTest, TheCurrentRowAndTheCurrentRecordFollowEachOther)
{
    Recordset recordset = bind(catalogueStatement);
    EXPECT_EQ(m_grid.currentIndex().row(), 0);

    m_grid.setCurrentIndex(m_grid.model()->index(2, 1));
    EXPECT_EQ(recordset.AbsolutePosition(), 3);
    EXPECT_EQ(recordset.Item(QStringLiteral("chna")).Value().toString(), QStringLiteral("金额"));

    // The screens move the record set (the mouse wheel); the grid catches up by itself.
    recordset.MovePrevious();
    EXPECT_EVENTUALLY(m_grid.currentIndex().row() == 1);
    recordset.MoveFirst();
    m_grid.Refresh();
    EXPECT_EQ(m_grid.currentIndex().row(), 0);
    recordset.MovePrevious(); // BOF: no current row
    EXPECT_EVENTUALLY(!m_grid.currentIndex().isValid());
}

TEST_F(DataGridTest, RowsDeletedOrAddedThroughTheRecordsetAppearInTheGrid)
{
    Recordset recordset = bind(QStringLiteral("select d1,d16,d26 from inquiry"));
    ASSERT_EQ(m_grid.model()->rowCount(), 2);
    m_grid.Columns().Item(0).SetWidth(150);
    m_grid.Columns().Item(2).SetVisible(false);

    // Data management deletes the current record on a double click.
    QSignalSpy doubleClicks(&m_grid, &CDataGrid::DblClick);
    const QRect second = m_grid.visualRect(m_grid.model()->index(1, 0));
    QTest::mouseClick(m_grid.viewport(), Qt::LeftButton, {}, second.center());
    QTest::mouseDClick(m_grid.viewport(), Qt::LeftButton, {}, second.center());
    EXPECT_EQ(doubleClicks.count(), 1);
    EXPECT_EQ(m_grid.viewport()->findChild<QLineEdit*>(), nullptr); // a double click opens no editor
    EXPECT_EQ(recordset.AbsolutePosition(), 2);
    recordset.Delete(Recordset::AffectCurrent);
    EXPECT_EVENTUALLY(m_grid.model()->rowCount() == 1);
    EXPECT_EQ(cell(0, 0), QStringLiteral("张三"));
    EXPECT_EQ(m_database.scalarText(QStringLiteral("select count(*) from inquiry")).toInt(), 1);
    // The screen's column settings survive the change.
    EXPECT_EQ(m_grid.Columns().Item(0).Width(), 150.0f);
    EXPECT_FALSE(m_grid.Columns().Item(2).Visible());

    recordset.AddNew(QStringLiteral("d1"), glimora::data::Variant::fromString(QStringLiteral("王五")));
    EXPECT_EVENTUALLY(m_grid.model()->rowCount() == 2);
    EXPECT_EQ(cell(1, 0), QStringLiteral("王五"));
    EXPECT_EVENTUALLY(m_grid.currentIndex().row() == 1);
}

TEST_F(DataGridTest, PicturesDatesAndDecimalsReadAsPeopleExpect)
{
    bind(QStringLiteral("select d1,d16,d26,d51 from inquiry"));
    EXPECT_EQ(cell(0, 0), QStringLiteral("张三"));
    EXPECT_EQ(cell(0, 1), QStringLiteral("2024-01-31"));
    EXPECT_EQ(cell(0, 2), QStringLiteral("12.50"));
    EXPECT_EQ(cell(0, 3), CellFormat::pictureMarker());
    EXPECT_EQ(cell(1, 2), QStringLiteral("3.00"));
    EXPECT_EQ(cell(1, 3), QString());
    // Pictures are uploaded from files, never typed.
    EXPECT_FALSE(m_grid.model()->flags(m_grid.model()->index(0, 3)) & Qt::ItemIsEditable);

    typeInto(1, 1, QStringLiteral("2024-02-29"));
    EXPECT_TRUE(OkMessageBox::shownTexts().isEmpty());
    EXPECT_EQ(cell(1, 1), QStringLiteral("2024-02-29"));
}

TEST_F(DataGridTest, ALargeResultIsReadOnlyAsFarAsItIsShown)
{
    QStringList rows;
    for (int i = 0; i < 3000; ++i)
        rows.append(QStringLiteral("('row %1', 1.5)").arg(i));
    m_database.execute(QStringLiteral("INSERT INTO inquiry (d1, d26) VALUES ") + rows.join(QLatin1Char(',')));

    Recordset recordset = bind(QStringLiteral("select d60,d1,d26 from inquiry"));
    QApplication::processEvents();
    const long shown = recordset.fetchedRecordCount();
    EXPECT_FALSE(recordset.allRecordsFetched());
    EXPECT_LT(shown, 1000);
    EXPECT_EQ(m_grid.model()->rowCount(), shown);

    m_grid.verticalScrollBar()->setValue(m_grid.verticalScrollBar()->maximum());
    EXPECT_EVENTUALLY(m_grid.model()->rowCount() > shown);
    EXPECT_EQ(m_grid.model()->rowCount(), recordset.fetchedRecordCount());

    // Moving the record set beyond what was fetched brings the grid along.
    const int beyond = m_grid.model()->rowCount() + 5;
    recordset.SetAbsolutePosition(beyond);
    EXPECT_EVENTUALLY(m_grid.currentIndex().row() == beyond - 1);
}

TEST_F(DataGridTest, TheDataControlRaisesRefreshFailuresAndKeepsItsRecordset)
{
    m_control.SetConnectionString(m_database.connectionString());
    EXPECT_THROW(m_control.Refresh(), DbError); // no record source yet
    EXPECT_TRUE(m_control.Recordset().isNull());

    m_control.SetRecordSource(QStringLiteral("select d1 from inquiry"));
    m_control.Refresh();
    const Recordset first = m_control.Recordset();
    EXPECT_TRUE(first.isUpdatable());

    m_control.SetRecordSource(QStringLiteral("select nosuchcolumn from inquiry"));
    EXPECT_THROW(m_control.Refresh(), DbError);
    EXPECT_EQ(m_control.Recordset(), first);
    EXPECT_EQ(first.Item(0).Value().toString(), QStringLiteral("张三"));

    m_control.SetConnectionString(QStringLiteral("Driver={NoSuchDriver};Database=x"));
    m_control.SetRecordSource(QStringLiteral("select d1 from inquiry"));
    EXPECT_THROW(m_control.Refresh(), DbError);
}

} // namespace

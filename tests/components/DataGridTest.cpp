#include "components/CAdodc.h"
#include "components/CDataGrid.h"
#include "components/CellFormat.h"
#include "components/RecordsetTableModel.h"
#include "data/DbError.h"
#include "tests/components/GridDatabase.h"
#include "tests/support/DesktopTimeZone.h"
#include "ui/OkMessageBox.h"

#include "tests/support/WaitFor.h"
#include <gtest/gtest.h>
#include <QAbstractItemModelTester>
#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTextCursor>

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
    // `changeBeforeBinding` runs on another connection after the result is open, before the
    // grid takes it.
    Recordset bind(const QString& statement, const QString& changeBeforeBinding = QString())
    {
        m_control.SetConnectionString(m_database.connectionString());
        m_control.SetRecordSource(statement);
        m_control.Refresh();
        if (!changeBeforeBinding.isEmpty())
            m_database.execute(changeBeforeBinding);
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
        auto* editor = openEditor<QLineEdit>(m_grid);
        ASSERT_NE(editor, nullptr);
        editor->setText(text);
        const QPointer<QLineEdit> open(editor);
        QTest::keyClick(editor, Qt::Key_Return);
        // The delegate commits in a queued call, then lets the editor go.
        EXPECT_EVENTUALLY(open.isNull());
    }

    // The editor open in the grid; editors closed earlier may linger hidden until deleted.
    template <class T> static T* openEditor(const QAbstractItemView& view)
    {
        for (T* editor : view.viewport()->findChildren<T*>()) {
            if (editor->isVisible())
                return editor;
        }
        return nullptr;
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
    // The cell shows what the table holds, not the typed text, so that a second try can succeed.
    EXPECT_EVENTUALLY(cell(0, 1) == QStringLiteral("别人改的"));

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

// Stored date-times have no time zone: an hour that the desktop's clock skips in spring is
// still a time a record may hold, and is shown as stored.
TEST_F(DataGridTest, ATimeInTheDesktopsDaylightSavingGapIsTakenAndShownAsTyped)
{
    const DesktopTimeZone berlin("Europe/Berlin");
    bind(QStringLiteral("select d1,d16 from inquiry"));
    typeInto(1, 1, QStringLiteral("2024-03-31 02:30:00"));
    EXPECT_TRUE(OkMessageBox::shownTexts().isEmpty());
    EXPECT_EQ(cell(1, 1), QStringLiteral("2024-03-31 02:30:00"));
    EXPECT_EQ(m_database.scalarText(
                  QStringLiteral("select convert(varchar(30),d16,121) from inquiry where d1='李四'")),
        QStringLiteral("2024-03-31 02:30:00.000"));
    // Read back, in a zone whose clock was also put forward then (China, 1988).
    const DesktopTimeZone shanghai("Asia/Shanghai");
    typeInto(0, 1, QStringLiteral("1988-04-17 02:30"));
    bind(QStringLiteral("select d1,d16 from inquiry"));
    EXPECT_EQ(cell(0, 1), QStringLiteral("1988-04-17 02:30:00"));
    EXPECT_EQ(cell(1, 1), QStringLiteral("2024-03-31 02:30:00"));
}

// ---- large results: read as far as shown, written without reading the rest ----

TEST_F(DataGridTest, ALargeResultShowsItsSizeAndCtrlEndReachesItsLastRecordAtOnce)
{
    m_database.addNumberedRecords(3000);
    Recordset recordset = bind(QStringLiteral("select d60,d1,d26 from inquiry"));
    QApplication::processEvents();
    EXPECT_FALSE(recordset.allRecordsFetched());
    EXPECT_LT(recordset.fetchedRecordCount(), 1000);
    // The scroll bar spans the whole result, not the rows read so far.
    EXPECT_EQ(m_grid.model()->rowCount(), 3002);
    EXPECT_GT(m_grid.verticalScrollBar()->maximum(), 2900);

    // Dragged to the middle, the grid shows the rows there once it has read them.
    m_grid.verticalScrollBar()->setValue(1500);
    EXPECT_EVENTUALLY(cell(1500, 1) == QStringLiteral("row 1498"));
    EXPECT_FALSE(recordset.allRecordsFetched());

    m_grid.setFocus();
    QTest::keyClick(&m_grid, Qt::Key_End, Qt::ControlModifier);
    EXPECT_EVENTUALLY(m_grid.currentIndex().row() == 3001);
    EXPECT_EQ(recordset.AbsolutePosition(), 3002);
    EXPECT_EQ(cell(3001, 1), QStringLiteral("row 2999"));
    EXPECT_EQ(m_grid.model()->rowCount(), 3002);
    QTest::keyClick(&m_grid, Qt::Key_Home, Qt::ControlModifier);
    EXPECT_EVENTUALLY(recordset.AbsolutePosition() == 1);
    EXPECT_TRUE(OkMessageBox::shownTexts().isEmpty());
}

TEST_F(DataGridTest, ACountThatPromisedMoreRowsThanTheResultHasIsPutRight)
{
    m_database.addNumberedRecords(600);
    // Rows added after the result was read are not in it, but in the count made afterwards.
    Recordset recordset = bind(QStringLiteral("select d60,d1 from inquiry"),
        QStringLiteral("insert into inquiry (d1) values ('later 1'), ('later 2')"));
    EXPECT_EQ(m_grid.model()->rowCount(), 604);

    m_grid.setFocus();
    QTest::keyClick(&m_grid, Qt::Key_End, Qt::ControlModifier);
    EXPECT_EVENTUALLY(m_grid.model()->rowCount() == 602);
    EXPECT_EVENTUALLY(m_grid.currentIndex().row() == 601);
    EXPECT_EQ(recordset.AbsolutePosition(), 602);
    EXPECT_EQ(cell(601, 1), QStringLiteral("row 599"));
    EXPECT_TRUE(OkMessageBox::shownTexts().isEmpty());
}

TEST_F(DataGridTest, ACountThatPromisedFewerRowsThanTheResultHasIsPutRight)
{
    m_database.addNumberedRecords(600);
    // Rows deleted after the result was read are still in it, but not in the count.
    Recordset recordset = bind(QStringLiteral("select d60,d1 from inquiry"),
        QStringLiteral("delete from inquiry where d60 in (3, 4)"));
    EXPECT_EQ(m_grid.model()->rowCount(), 600);

    m_grid.setFocus();
    QTest::keyClick(&m_grid, Qt::Key_End, Qt::ControlModifier);
    EXPECT_EVENTUALLY(m_grid.model()->rowCount() == 602);
    EXPECT_EVENTUALLY(m_grid.currentIndex().row() == 601);
    EXPECT_EQ(recordset.AbsolutePosition(), 602);
    EXPECT_EQ(cell(601, 1), QStringLiteral("row 599"));
    EXPECT_TRUE(OkMessageBox::shownTexts().isEmpty());
}

// Edits and deletes read none of the rest; a new record comes after it all, as it will after
// reopening, with only the keys of the rest read on the way.
TEST_F(DataGridTest, EditsAndDeletesOnALargeResultReadNoneOfItsRestAndANewRecordComesLast)
{
    m_database.addNumberedRecords(3000);
    Recordset recordset = bind(QStringLiteral("select d60,d1,d26 from inquiry"));
    QApplication::processEvents();
    const long read = recordset.fetchedRecordCount();
    ASSERT_LT(read, 1000);

    typeInto(1, 1, QStringLiteral("改过"));
    EXPECT_EQ(m_database.scalarText(QStringLiteral("select d1 from inquiry where d60 = 2")),
        QStringLiteral("改过"));
    EXPECT_TRUE(OkMessageBox::shownTexts().isEmpty());
    recordset.SetAbsolutePosition(3);
    recordset.Delete(Recordset::AffectCurrent);
    EXPECT_EQ(m_database.scalarText(QStringLiteral("select count(*) from inquiry where d60 = 3")),
        QStringLiteral("0"));
    EXPECT_FALSE(recordset.allRecordsFetched());
    EXPECT_LE(recordset.fetchedRecordCount(), read);

    recordset.AddNew(QStringLiteral("d1"), glimora::data::Variant::fromString(QStringLiteral("新的")));
    EXPECT_EQ(m_database.scalarText(QStringLiteral("select count(*) from inquiry where d1 = N'新的'")),
        QStringLiteral("1"));
    EXPECT_EQ(recordset.AbsolutePosition(), 3002);
    EXPECT_LT(recordset.heldRecordCount(), Recordset::HeldRecordLimit);
    EXPECT_EVENTUALLY(m_grid.currentIndex().row() == 3001);
    EXPECT_EQ(cell(3001, 1), QStringLiteral("新的"));
    EXPECT_EVENTUALLY(cell(3000, 1) == QStringLiteral("row 2999"));
    EXPECT_EQ(m_grid.model()->rowCount(), 3002);
    typeInto(3001, 2, QStringLiteral("7.5"));
    EXPECT_EQ(m_database.scalarText(QStringLiteral("select d26 from inquiry where d1 = N'新的'")),
        QStringLiteral("7.50"));
    EXPECT_TRUE(OkMessageBox::shownTexts().isEmpty());
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

// ---- edits are never lost or misplaced ----

TEST_F(DataGridTest, AnOpenEditStaysWithItsRecordWhenRowsAboveItGo)
{
    m_database.execute(
        QStringLiteral("insert into inquiry (d1) values ('王五'); insert into inquiry (d1) values "
                       "('赵六'); insert into inquiry (d1) values ('钱七')"));
    Recordset recordset = bind(QStringLiteral("select d60,d1 from inquiry"));
    ASSERT_EQ(m_grid.model()->rowCount(), 5);

    // Someone types into the fourth row (赵六, key 4) ...
    const QModelIndex fourth = m_grid.model()->index(3, 1);
    m_grid.setCurrentIndex(fourth);
    m_grid.edit(fourth);
    auto* editor = openEditor<QLineEdit>(m_grid);
    ASSERT_NE(editor, nullptr);
    editor->setText(QStringLiteral("改过"));
    // ... while the screen deletes the second record and adds one, in one handler.
    recordset.SetAbsolutePosition(2);
    recordset.Delete(Recordset::AffectCurrent);
    recordset.AddNew(QStringLiteral("d1"), glimora::data::Variant::fromString(QStringLiteral("孙八")));
    if (QWidget* open = openEditor<QLineEdit>(m_grid))
        QTest::keyClick(open, Qt::Key_Return);
    QApplication::processEvents();

    EXPECT_EQ(m_database.scalarText(QStringLiteral("select d1 from inquiry where d60 = 4")),
        QStringLiteral("改过"));
    EXPECT_EQ(m_database.scalarText(QStringLiteral("select d1 from inquiry where d60 = 5")),
        QStringLiteral("钱七"));
    EXPECT_EQ(m_database.scalarText(QStringLiteral("select d1 from inquiry where d60 = 2")), QString());
    // At once, with no timer in between, the grid shows the record set as it is.
    ASSERT_EQ(m_grid.model()->rowCount(), 5);
    const QStringList expected { "张三", "王五", "改过", "钱七", "孙八" };
    for (int row = 0; row < 5; ++row)
        EXPECT_EQ(cell(row, 1), expected[row]) << row;
    EXPECT_EQ(m_grid.currentIndex().row(), 4);
}

TEST_F(DataGridTest, ARefusedEditIsShownBeforeTheGridGoes)
{
    bind(QStringLiteral("select d1,d26 from inquiry"));
    const QModelIndex amount = m_grid.model()->index(0, 1);
    m_grid.setCurrentIndex(amount);
    m_grid.edit(amount);
    auto* editor = openEditor<QLineEdit>(m_grid);
    ASSERT_NE(editor, nullptr);
    editor->setText(QStringLiteral("十二"));
    m_grid.hide(); // the screen closes with the editor open
    EXPECT_EQ(OkMessageBox::shownTexts().size(), 1); // at once, not by a call that dies with the grid
    EXPECT_EQ(m_database.scalarText(QStringLiteral("select d26 from inquiry where d60 = 1")),
        QStringLiteral("12.50"));

    // A grid destroyed while it still shows a refused edit reports it as well.
    OkMessageBox::clearShownTexts();
    auto grid = std::make_unique<CDataGrid>();
    grid->SetDataSource(m_control.Recordset());
    grid->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(grid.get()));
    const QModelIndex name = grid->model()->index(1, 0);
    grid->setCurrentIndex(name);
    grid->edit(name);
    auto* second = openEditor<QLineEdit>(*grid);
    ASSERT_NE(second, nullptr);
    second->setText(QString(300, QLatin1Char('x'))); // longer than nvarchar(255)
    QTest::keyClick(second, Qt::Key_Return);
    grid.reset();
    EXPECT_EQ(OkMessageBox::shownTexts().size(), 1);
}

TEST_F(DataGridTest, LongTextIsEditedWholeAndWrittenOnlyWhenChanged)
{
    const QString longText = QString(40000, QChar(u'长')) + QStringLiteral("\n第二行");
    m_database.execute(QStringLiteral("create table notes (id int not null primary key, body ntext null, tag "
                                      "nvarchar(10) null); insert into notes values (1, N'")
        + longText + QStringLiteral("', 'a')"));
    bind(QStringLiteral("select id,body,tag from notes"));

    const QModelIndex body = m_grid.model()->index(0, 1);
    m_grid.setCurrentIndex(body);
    m_grid.edit(body);
    auto* editor = openEditor<QPlainTextEdit>(m_grid);
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->toPlainText(), longText);
    // Another writer changes the row; an editor left unchanged must not write (nor conflict).
    m_database.execute(QStringLiteral("update notes set tag = 'b'"));
    m_grid.setCurrentIndex(m_grid.model()->index(0, 0));
    QApplication::processEvents();
    EXPECT_TRUE(OkMessageBox::shownTexts().isEmpty());
    EXPECT_EQ(m_database.scalarText(QStringLiteral("select len(body) from notes")).toInt(), longText.size());

    bind(QStringLiteral("select id,body,tag from notes"));
    m_grid.setCurrentIndex(body);
    m_grid.edit(body);
    editor = openEditor<QPlainTextEdit>(m_grid);
    ASSERT_NE(editor, nullptr);
    editor->setPlainText(longText + QStringLiteral("!"));
    m_grid.setCurrentIndex(m_grid.model()->index(0, 0));
    QApplication::processEvents();
    EXPECT_TRUE(OkMessageBox::shownTexts().isEmpty());
    const QString stored = m_database.scalarText(QStringLiteral("select body from notes"));
    EXPECT_EQ(stored.size(), longText.size() + 1);
    EXPECT_TRUE(stored == longText + QStringLiteral("!")) << stored.right(10).toStdString();
}

TEST_F(DataGridTest, RebindingOrReopeningWritesTheOpenEditorFirstAndRebuildsTheColumns)
{
    Recordset recordset = bind(catalogueStatement);
    const QModelIndex caption = m_grid.model()->index(0, 1);
    m_grid.setCurrentIndex(caption);
    m_grid.edit(caption);
    auto* editor = openEditor<QLineEdit>(m_grid);
    ASSERT_NE(editor, nullptr);
    editor->setText(QStringLiteral("名字"));
    m_control.SetRecordSource(QStringLiteral("select d1,d26 from inquiry"));
    m_control.Refresh();
    m_tester.reset(); // see bind()
    m_grid.SetDataSource(m_control.Recordset());
    EXPECT_EQ(m_database.scalarText(QStringLiteral("select chna from contrast where nober=1")),
        QStringLiteral("名字"));
    EXPECT_EQ(m_grid.Columns().Count(), 2);

    // Close and Open of the bound record set in one handler: new fields, new captions, and an
    // edit goes to the table now read.
    Recordset bound = m_control.Recordset();
    m_grid.Columns().Item(1).SetVisible(false);
    m_grid.edit(m_grid.model()->index(1, 0));
    editor = openEditor<QLineEdit>(m_grid);
    ASSERT_NE(editor, nullptr);
    editor->setText(QStringLiteral("李四四"));
    bound.Close();
    glimora::data::Connection connection = glimora::data::Connection::create();
    connection.Open(m_database.connectionString());
    bound.Open(QStringLiteral("select nober,chna,engl from contrast"), connection);
    m_tester = std::make_unique<QAbstractItemModelTester>(
        m_grid.model(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    EXPECT_EQ(m_database.scalarText(QStringLiteral("select d1 from inquiry where d60 = 2")),
        QStringLiteral("李四四"));
    ASSERT_EQ(m_grid.Columns().Count(), 3);
    EXPECT_EQ(m_grid.Columns().Item(1).Caption(), QStringLiteral("chna"));
    EXPECT_TRUE(m_grid.Columns().Item(1).Visible());
    typeInto(0, 1, QStringLiteral("名"));
    EXPECT_EQ(m_database.scalarText(QStringLiteral("select chna from contrast where nober=1")),
        QStringLiteral("名"));
    EXPECT_EQ(m_database.scalarText(QStringLiteral("select d1 from inquiry where d60 = 1")),
        QStringLiteral("张三"));
}

TEST_F(DataGridTest, WhatIsTypedIntoARecordBeingDeletedIsWrittenOrShownFirst)
{
    Recordset recordset = bind(QStringLiteral("select d1,d26 from inquiry"));
    // A value the column refuses, typed into the record that the screen then deletes.
    const QModelIndex amount = m_grid.model()->index(1, 1);
    m_grid.setCurrentIndex(amount);
    m_grid.edit(amount);
    auto* editor = openEditor<QLineEdit>(m_grid);
    ASSERT_NE(editor, nullptr);
    editor->setText(QStringLiteral("十二"));
    recordset.Delete(Recordset::AffectCurrent);
    EXPECT_EVENTUALLY(OkMessageBox::shownTexts().size() == 1);
    EXPECT_TRUE(OkMessageBox::shownTexts().first().contains(QStringLiteral("十二")));
    EXPECT_EQ(m_database.scalarText(QStringLiteral("select count(*) from inquiry")), QStringLiteral("1"));

    // Text that can be written is written, and the record then goes without a conflict.
    OkMessageBox::clearShownTexts();
    const QModelIndex name = m_grid.model()->index(0, 0);
    m_grid.setCurrentIndex(name);
    m_grid.edit(name);
    editor = openEditor<QLineEdit>(m_grid);
    ASSERT_NE(editor, nullptr);
    editor->setText(QStringLiteral("改过"));
    recordset.Delete(Recordset::AffectCurrent);
    QApplication::processEvents();
    EXPECT_TRUE(OkMessageBox::shownTexts().isEmpty());
    EXPECT_EQ(m_database.scalarText(QStringLiteral("select count(*) from inquiry")), QStringLiteral("0"));
    EXPECT_EQ(m_grid.model()->rowCount(), 0);
}

// One character typed changes no other: CR LF line breaks (the editor's own are LF),
// non-breaking spaces, line separators, and each line break of its own kind stay as they were.
TEST_F(DataGridTest, TheMultiLineEditorChangesNothingButWhatIsTyped)
{
    const QString texts[] = {
        QStringLiteral("第一行\r\n第二行"),
        QStringLiteral("甲") + QChar(0x00A0) + QStringLiteral("乙\n丙") + QChar(0x2028)
            + QStringLiteral("丁"),
        QStringLiteral("a\rb"),
        QStringLiteral("a\r\nb\nc"),
    };
    for (const QString& original : texts) {
        SCOPED_TRACE(original.toStdString());
        m_database.execute(QStringLiteral("update inquiry set d1 = N'%1' where d60 = 1").arg(original));
        bind(QStringLiteral("select d60,d1 from inquiry"));
        const QModelIndex text = m_grid.model()->index(0, 1);
        m_grid.setCurrentIndex(text);
        m_grid.edit(text);
        auto* editor = openEditor<QPlainTextEdit>(m_grid);
        ASSERT_NE(editor, nullptr);
        editor->moveCursor(QTextCursor::End);
        QTest::keyClicks(editor, QStringLiteral("!"));
        m_grid.setCurrentIndex(m_grid.model()->index(1, 1));
        QApplication::processEvents();
        EXPECT_TRUE(OkMessageBox::shownTexts().isEmpty());
        EXPECT_EQ(
            m_database.scalarText(QStringLiteral("select d1 from inquiry where d60 = 1")), original + u'!');
    }

    // Two lines joined: the break of the line after them keeps its kind.
    m_database.execute(QStringLiteral("update inquiry set d1 = N'a\r\nb\nc' where d60 = 1"));
    bind(QStringLiteral("select d60,d1 from inquiry"));
    m_grid.setCurrentIndex(m_grid.model()->index(0, 1));
    m_grid.edit(m_grid.model()->index(0, 1));
    auto* editor = openEditor<QPlainTextEdit>(m_grid);
    ASSERT_NE(editor, nullptr);
    editor->moveCursor(QTextCursor::Start);
    editor->moveCursor(QTextCursor::EndOfBlock);
    QTest::keyClick(editor, Qt::Key_Delete);
    m_grid.setCurrentIndex(m_grid.model()->index(1, 1));
    QApplication::processEvents();
    EXPECT_EQ(m_database.scalarText(QStringLiteral("select d1 from inquiry where d60 = 1")),
        QStringLiteral("ab\nc"));
}

} // namespace

// ---- a large result costs what is shown, wherever the grid goes ----

namespace {

// Rows held in memory after a move: what the screen shows plus the record set's cache.
constexpr long heldAtMost = Recordset::HeldRecordLimit;

} // namespace

TEST_F(DataGridTest, MovingThroughALargeResultHoldsOnlyWhatIsShownPlusACache)
{
    m_database.addNumberedRecords(20000);
    Recordset recordset = bind(QStringLiteral("select d60,d1,d26 from inquiry"));
    m_grid.setFocus();
    QTest::keyClick(&m_grid, Qt::Key_End, Qt::ControlModifier);
    EXPECT_EVENTUALLY(m_grid.currentIndex().row() == 20001);
    EXPECT_EVENTUALLY(cell(20001, 1) == QStringLiteral("row 19999"));
    EXPECT_EQ(recordset.fetchedRecordCount(), 20002);
    EXPECT_LE(recordset.heldRecordCount(), heldAtMost);

    // Pages up from the end, then the first rows again: read anew, shown as stored.
    for (int i = 0; i < 5; ++i)
        QTest::keyClick(&m_grid, Qt::Key_PageUp);
    const int pagedTo = m_grid.currentIndex().row();
    EXPECT_LT(pagedTo, 20001);
    EXPECT_EVENTUALLY(cell(pagedTo, 1) == QStringLiteral("row %1").arg(pagedTo - 2));
    QTest::keyClick(&m_grid, Qt::Key_Home, Qt::ControlModifier);
    EXPECT_EVENTUALLY(recordset.AbsolutePosition() == 1);
    EXPECT_EVENTUALLY(cell(0, 1) == QStringLiteral("张三") && cell(1, 1) == QStringLiteral("李四"));

    // The scroll bar dragged here and there: each place shows its own rows, and what the
    // grid holds stays bounded.
    for (const int row : { 15000, 3000, 19990, 7777, 40 }) {
        m_grid.verticalScrollBar()->setValue(row);
        EXPECT_EVENTUALLY(cell(row, 1) == QStringLiteral("row %1").arg(row - 2)) << row;
        EXPECT_LE(recordset.heldRecordCount(), heldAtMost);
    }
    // The record set reads as ADO's does: positions, the count, the last record.
    recordset.SetAbsolutePosition(12345);
    EXPECT_EQ(recordset.Item(1).Value().toString(), QStringLiteral("row 12342"));
    EXPECT_EQ(recordset.AbsolutePosition(), 12345);
    recordset.MoveLast();
    EXPECT_EQ(recordset.Item(1).Value().toString(), QStringLiteral("row 19999"));
    recordset.MoveFirst();
    EXPECT_EQ(recordset.Item(1).Value().toString(), QStringLiteral("张三"));
    EXPECT_EQ(recordset.RecordCount(), 20002);
    EXPECT_LE(recordset.heldRecordCount(), heldAtMost);
    EXPECT_TRUE(OkMessageBox::shownTexts().isEmpty());
}

TEST_F(DataGridTest, EditsAndDeletesFarFromTheFirstRowsReachTheirOwnRecords)
{
    m_database.addNumberedRecords(20000);
    Recordset recordset = bind(QStringLiteral("select d60,d1,d26 from inquiry"));
    m_grid.setFocus();
    QTest::keyClick(&m_grid, Qt::Key_End, Qt::ControlModifier);
    EXPECT_EVENTUALLY(m_grid.currentIndex().row() == 20001);
    typeInto(20001, 1, QStringLiteral("末行"));
    EXPECT_EQ(m_database.scalarText(QStringLiteral("select d1 from inquiry where d60 = 20002")),
        QStringLiteral("末行"));

    // A delete near the end, as data management's double click does: the record goes, the
    // rows after it move up, and the next edit there reaches the record now shown.
    m_grid.setCurrentIndex(m_grid.model()->index(19998, 1));
    EXPECT_EVENTUALLY(recordset.AbsolutePosition() == 19999);
    recordset.Delete(Recordset::AffectCurrent);
    EXPECT_EQ(m_database.scalarText(QStringLiteral("select count(*) from inquiry where d60 = 19999")),
        QStringLiteral("0"));
    EXPECT_EQ(m_grid.model()->rowCount(), 20001);
    EXPECT_EVENTUALLY(cell(19998, 1) == QStringLiteral("row 19997"));
    EXPECT_EQ(cell(20000, 1), QStringLiteral("末行"));
    typeInto(19998, 1, QStringLiteral("删后"));
    EXPECT_EQ(m_database.scalarText(QStringLiteral("select d1 from inquiry where d60 = 20000")),
        QStringLiteral("删后"));

    // Back at the top, rows read anew: an edit there goes to its record, and a record added
    // now joins at the end.
    QTest::keyClick(&m_grid, Qt::Key_Home, Qt::ControlModifier);
    EXPECT_EVENTUALLY(cell(1, 1) == QStringLiteral("李四"));
    typeInto(1, 2, QStringLiteral("8.25"));
    EXPECT_EQ(m_database.scalarText(QStringLiteral("select d26 from inquiry where d60 = 2")),
        QStringLiteral("8.25"));
    recordset.AddNew(QStringLiteral("d1"), glimora::data::Variant::fromString(QStringLiteral("新的")));
    EXPECT_EQ(m_grid.model()->rowCount(), 20002);
    EXPECT_EVENTUALLY(cell(20001, 1) == QStringLiteral("新的"));
    typeInto(20001, 2, QStringLiteral("1.25"));
    EXPECT_EQ(m_database.scalarText(QStringLiteral("select d26 from inquiry where d1 = N'新的'")),
        QStringLiteral("1.25"));
    EXPECT_EQ(m_database.scalarText(QStringLiteral("select count(*) from inquiry")), QStringLiteral("20002"));
    EXPECT_LE(recordset.heldRecordCount(), heldAtMost);
    EXPECT_TRUE(OkMessageBox::shownTexts().isEmpty());
}

TEST_F(DataGridTest, ARecordChangedOrDeletedByAnotherWhileOutOfMemoryIsShownAsStoredAndNeverMistaken)
{
    m_database.addNumberedRecords(20000);
    Recordset recordset = bind(QStringLiteral("select d60,d1,d26 from inquiry"));
    m_grid.setFocus();
    QTest::keyClick(&m_grid, Qt::Key_End, Qt::ControlModifier);
    EXPECT_EVENTUALLY(m_grid.currentIndex().row() == 20001);
    // Records visited far from the first ones, as a screen moving through the set would: the
    // first rows are let go.
    for (long position = 2000; position <= 20000; position += 500)
        recordset.SetAbsolutePosition(position);
    EXPECT_LE(recordset.heldRecordCount(), heldAtMost);
    m_database.execute(QStringLiteral("update inquiry set d1 = N'别人改的' where d60 = 5"));
    m_database.execute(QStringLiteral("delete from inquiry where d60 in (6, 7)"));

    QTest::keyClick(&m_grid, Qt::Key_Home, Qt::ControlModifier);
    EXPECT_EVENTUALLY(cell(4, 1) == QStringLiteral("别人改的"));
    // The records deleted by the other keep their rows, empty; the rows after them stay put.
    EXPECT_EQ(cell(5, 1), QString());
    EXPECT_EQ(cell(7, 1), QStringLiteral("row 5"));
    // An edit of a deleted record is refused and reaches no other record.
    typeInto(5, 1, QStringLiteral("不该写"));
    EXPECT_EVENTUALLY(OkMessageBox::shownTexts().size() == 1);
    EXPECT_EQ(m_database.scalarText(QStringLiteral("select count(*) from inquiry where d1 = N'不该写'")),
        QStringLiteral("0"));
    OkMessageBox::clearShownTexts();
    typeInto(4, 2, QStringLiteral("2.50"));
    EXPECT_TRUE(OkMessageBox::shownTexts().isEmpty());
    EXPECT_EQ(m_database.scalarText(QStringLiteral("select d26 from inquiry where d60 = 5")),
        QStringLiteral("2.50"));
    EXPECT_EQ(m_database.scalarText(QStringLiteral("select d1 from inquiry where d60 = 5")),
        QStringLiteral("别人改的"));
}

TEST_F(DataGridTest, PicturesAreReadOnlyForTheRowsOnScreen)
{
    m_database.addNumberedRecords(5000);
    m_database.execute(QStringLiteral("update inquiry set d51 = 0x") + QStringLiteral("FFD8").repeated(1000));
    Recordset recordset = bind(QStringLiteral("select d60,d1,d51 from inquiry"));
    EXPECT_EVENTUALLY(cell(0, 2) == CellFormat::pictureMarker());
    m_grid.setFocus();
    QTest::keyClick(&m_grid, Qt::Key_End, Qt::ControlModifier);
    EXPECT_EVENTUALLY(m_grid.currentIndex().row() == 5001);
    EXPECT_EVENTUALLY(cell(5001, 2) == CellFormat::pictureMarker());
    const int shown = m_grid.viewport()->height() / m_grid.rowHeight(0) + 1;
    EXPECT_LE(recordset.heldPictureRecordCount(), 4 * shown + 300);
    // The current record's picture is there for the screen that asks for it.
    EXPECT_EQ(recordset.Item(2).Value().toBytes().size(), 2000);
    recordset.SetAbsolutePosition(2500);
    EXPECT_EQ(recordset.Item(2).Value().toBytes().size(), 2000);
    EXPECT_LE(recordset.heldPictureRecordCount(), 4 * shown + 300);
}

TEST_F(DataGridTest, ARecordWhoseKeyWasEditedIsFoundAgainByItsNewKey)
{
    QStringList rows;
    for (int i = 1; i <= 4000; ++i)
        rows.append(QStringLiteral("(%1, N'k%1')").arg(i));
    m_database.execute(
        QStringLiteral("create table keyed (id decimal(9,0) not null primary key, t nvarchar(20) null)"));
    m_database.execute(QStringLiteral("insert into keyed (id, t) values ") + rows.join(QLatin1Char(',')));
    Recordset recordset = bind(QStringLiteral("select id,t from keyed"));
    // Typed as 90001.0, stored as 90001: the record is found again by the key it has.
    typeInto(0, 0, QStringLiteral("90001.0"));
    EXPECT_EQ(
        m_database.scalarText(QStringLiteral("select t from keyed where id = 90001")), QStringLiteral("k1"));

    // Far away and back: the first row is read again by its new key, and edits reach it.
    m_grid.setFocus();
    QTest::keyClick(&m_grid, Qt::Key_End, Qt::ControlModifier);
    EXPECT_EVENTUALLY(m_grid.currentIndex().row() == 3999);
    EXPECT_LE(recordset.heldRecordCount(), heldAtMost);
    QTest::keyClick(&m_grid, Qt::Key_Home, Qt::ControlModifier);
    EXPECT_EVENTUALLY(cell(0, 1) == QStringLiteral("k1"));
    EXPECT_EQ(cell(0, 0), QStringLiteral("90001"));
    typeInto(0, 1, QStringLiteral("first"));
    EXPECT_EQ(m_database.scalarText(QStringLiteral("select t from keyed where id = 90001")),
        QStringLiteral("first"));
    EXPECT_EQ(m_database.scalarText(QStringLiteral("select count(*) from keyed where t = N'first'")),
        QStringLiteral("1"));
    EXPECT_TRUE(OkMessageBox::shownTexts().isEmpty());
}

TEST_F(DataGridTest, ThirtyEightDigitsAreTypedSavedAndShownWhole)
{
    m_database.execute(
        QStringLiteral("create table wide (id numeric(20,0) not null primary key, "
                       "d decimal(38,10) null); insert into wide values (12345678901234567890, 0)"));
    bind(QStringLiteral("select id,d from wide"));
    EXPECT_EQ(cell(0, 0), QStringLiteral("12345678901234567890"));
    typeInto(0, 1, QStringLiteral("-1234567890123456789012345678.0123456789"));
    EXPECT_TRUE(OkMessageBox::shownTexts().isEmpty());
    EXPECT_EQ(m_database.scalarText(QStringLiteral("select cast(d as varchar(60)) from wide "
                                                   "where id = 12345678901234567890")),
        QStringLiteral("-1234567890123456789012345678.0123456789"));
    EXPECT_EQ(cell(0, 1), QStringLiteral("-1234567890123456789012345678.0123456789"));
}

TEST_F(DataGridTest, RowsThatCannotBeReadAgainAreReportedOnceAndLeftEmpty)
{
    m_database.addNumberedRecords(3000);
    m_database.execute(QStringLiteral("update inquiry set d51 = 0xFFD8"));
    Recordset recordset = bind(QStringLiteral("select d60,d1,d51 from inquiry"));
    EXPECT_EVENTUALLY(cell(0, 2) == CellFormat::pictureMarker());
    m_grid.setFocus();
    QTest::keyClick(&m_grid, Qt::Key_End, Qt::ControlModifier);
    EXPECT_EVENTUALLY(m_grid.currentIndex().row() == 3001);
    EXPECT_TRUE(OkMessageBox::shownTexts().isEmpty());

    m_database.execute(QStringLiteral("drop table inquiry"));
    m_grid.scrollTo(m_grid.model()->index(1500, 0), QAbstractItemView::PositionAtTop);
    EXPECT_EVENTUALLY(OkMessageBox::shownTexts().size() == 1);
    EXPECT_TRUE(OkMessageBox::shownTexts().first().contains(QStringLiteral("inquiry")))
        << OkMessageBox::shownTexts().first().toStdString();
    // Repainting the rows that failed neither asks again nor tells again.
    for (int i = 0; i < 5; ++i) {
        m_grid.viewport()->repaint();
        QTest::qWait(20);
    }
    EXPECT_EQ(OkMessageBox::shownTexts().size(), 1);
    EXPECT_EQ(cell(1500, 1), QString());
}

#include "maintenance/DataManageDialog.h"

#include "components/CDataGrid.h"
#include "components/ComponentFactories.h"
#include "data/StatementRecorder.h"
#include "settings/SettingsFile.h"
#include "tests/maintenance/MaintenanceStation.h"
#include "tests/support/NamedPipe.h"
#include "tests/support/WaitFor.h"
#include "ui/FileDialog.h"
#include "ui/OkMessageBox.h"
#include "ui/SkinButton.h"

#include <gtest/gtest.h>
#include <QBuffer>
#include <QImage>
#include <QLineEdit>
#include <QPointer>
#include <QRandomGenerator>
#include <QTest>
#include <QTreeWidget>

using namespace glimora;
using maintenance::DataManageDialog;

namespace {

QString u(const char* text)
{
    return QString::fromUtf8(text);
}

QByteArray settingsWith(const QByteArray& columns, const QByteArray& systemKeys = {})
{
    QByteArray text = "[system]\r\ndatabase=nivo\r\n" + systemKeys;
    if (!columns.isNull())
        text += "[select]\r\nselect=" + columns + "\r\n";
    return text;
}

class DataManageDialogTest : public ::testing::Test
{
protected:
    void SetUp() override { components::ComponentFactories::install(); }
    void TearDown() override { data::StatementRecorder::stop(); }

    void open(const QByteArray& columns, const QByteArray& systemKeys = {})
    {
        station.reset(); // one station at a time: each owns the process-wide objects
        station = std::make_unique<MaintenanceStation>(settingsWith(columns, systemKeys));
        station->execute(u("insert inquiry(d1,d2,d21) values('张三','内科',3)"));
        station->execute(u("insert inquiry(d1,d2,d21) values(NULL,'无名',4)"));
        station->execute(u("insert inquiry(d1,d2,d21) values('李四','外科',5)"));
    }
    std::unique_ptr<DataManageDialog> show(
        DataManageDialog::Opening opening = DataManageDialog::Opening::Browse)
    {
        auto dialog = std::make_unique<DataManageDialog>(nullptr, opening);
        dialog->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
        return dialog;
    }
    // Types into the cell being edited, as a keyboard does, and moves on with Return.
    static void typeAndReturn(const QString& text)
    {
        for (const QChar c : text)
            QTest::sendKeyEvent(
                QTest::Click, QApplication::focusWidget(), Qt::Key_unknown, QString(c), Qt::NoModifier);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    }
    static components::CDataGrid* grid(DataManageDialog& dialog)
    {
        return dialog.control<components::CDataGrid>(1106);
    }
    QString writeFile(const QString& name, const QByteArray& bytes)
    {
        station->workspace().writeFile(name, bytes);
        return station->workspace().filePath(name);
    }

    std::unique_ptr<MaintenanceStation> station;
};

} // namespace

TEST_F(DataManageDialogTest, AnEmptyStatementLeavesTheGridEmptyAndUploadOff)
{
    open(QByteArray());
    data::StatementRecorder::start();
    auto dialog = show();
    EXPECT_TRUE(dialog->isOpen());
    EXPECT_EQ(data::StatementRecorder::statements(),
        QStringList { "select engl,chna,withe,sort from contrast where right(chna,1)<>'h' order by sort" });
    EXPECT_EQ(grid(*dialog)->model()->columnCount(), 0);
    EXPECT_FALSE(dialog->control(1020)->isEnabled());
    EXPECT_TRUE(ui::OkMessageBox::shownTexts().isEmpty());
    auto* tree = dialog->control<QTreeWidget>(1127);
    ASSERT_EQ(tree->topLevelItemCount(), 1);
    EXPECT_EQ(tree->topLevelItem(0)->text(0), u("项目选择器"));
    EXPECT_EQ(dialog->skinButton(1025)->caption(), u("新增"));
    EXPECT_EQ(dialog->skinButton(1020)->caption(), u("图片"));
}

TEST_F(DataManageDialogTest, ColumnsTakeTheCatalogueAndRecordsWithoutD1AreNotListed)
{
    open("d1,d2,d21");
    station->execute(u("update contrast set chna='科室h' where engl='d2'"));
    const QStringList catalogue
        = station->rows("select engl,chna,withe from contrast where engl in ('d1','d21')");
    data::StatementRecorder::start();
    auto dialog = show();
    EXPECT_EQ(
        data::StatementRecorder::statements().value(1), "select d1,d2,d21 from inquiry where d1 like '%'");
    components::CColumns columns = grid(*dialog)->Columns();
    ASSERT_EQ(columns.Count(), 3);
    for (const QString& row : catalogue) {
        const QStringList cells = row.split('|');
        const int index = cells[0] == "d1" ? 0 : 2;
        EXPECT_EQ(columns.Item(index).Caption(), cells[1]);
        EXPECT_EQ(columns.Item(index).Width(), cells[2].toFloat());
    }
    EXPECT_EQ(columns.Item(1).Caption(), "d2"); // a hidden field keeps its column name
    EXPECT_EQ(grid(*dialog)->model()->rowCount(), 2);
    EXPECT_FALSE(dialog->control(1020)->isEnabled());
}

TEST_F(DataManageDialogTest, APictureColumnIsHiddenAndEnablesTheUpload)
{
    for (const QByteArray& picture : { QByteArray("d51"), QByteArray("d53") }) {
        open("d1," + picture + ",d2");
        station->execute("update contrast set chna='pic', engl='" + QString::fromLatin1(picture)
            + "' where nober=(select max(nober) from contrast where nober<52)");
        auto dialog = show();
        EXPECT_TRUE(grid(*dialog)->isColumnHidden(1)) << picture.constData();
        EXPECT_FALSE(grid(*dialog)->isColumnHidden(2));
        EXPECT_TRUE(dialog->control(1020)->isEnabled()) << picture.constData();
    }
}

TEST_F(DataManageDialogTest, WithoutACatalogueTheScreenClosesAsItOpens)
{
    open("d1");
    station->execute(u("update contrast set chna=chna+'h'"));
    {
        DataManageDialog dialog;
        EXPECT_FALSE(dialog.isOpen());
        EXPECT_EQ(dialog.exec(), ui::IDCANCEL); // returns at once
        EXPECT_EQ(ui::OkMessageBox::shownTexts(), QStringList { u("系统未配置，请先配置系统后再试!") });
    }
    ui::OkMessageBox::clearShownTexts();
    station->execute("drop table contrast");
    DataManageDialog dialog;
    EXPECT_FALSE(dialog.isOpen());
    ASSERT_EQ(ui::OkMessageBox::shownTexts().size(), 1);
    EXPECT_TRUE(ui::OkMessageBox::shownTexts()[0].contains("contrast"))
        << ui::OkMessageBox::shownTexts()[0].toStdString();
}

TEST_F(DataManageDialogTest, NewRecordAndDataEntry)
{
    open("d1,d2");
    auto dialog = show();
    QTest::mouseClick(dialog->control(1025), Qt::LeftButton);
    EXPECT_EQ(station->scalar("select count(*) from inquiry where d1=''"), "1");
    EXPECT_EVENTUALLY(grid(*dialog)->model()->rowCount() == 3);
    dialog.reset();

    // Data entry opens with a new record whose first cell takes the typing.
    dialog = show(DataManageDialog::Opening::NewRecord);
    EXPECT_EQ(station->scalar("select count(*) from inquiry where d1=''"), "2");
    QLineEdit* editor = nullptr;
    EXPECT_EVENTUALLY((editor = grid(*dialog)->viewport()->findChild<QLineEdit*>()) != nullptr);
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(grid(*dialog)->currentIndex().row(), 3);
    EXPECT_EQ(grid(*dialog)->currentIndex().column(), 0);
    for (const QChar c : u("王五"))
        QTest::sendKeyEvent(
            QTest::Click, QApplication::focusWidget(), Qt::Key_unknown, QString(c), Qt::NoModifier);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_EVENTUALLY(station->scalar(u("select count(*) from inquiry where d1='王五'")) == "1");
    EXPECT_EQ(station->scalar("select count(*) from inquiry where d1=''"), "1");
    EXPECT_TRUE(ui::OkMessageBox::shownTexts().isEmpty());
}

// The grid reads a large table in blocks; a record added there still comes last, where it is
// found again after reopening, and is the one typed into.
TEST_F(DataManageDialogTest, ANewRecordOnALargeTableComesLast)
{
    open("d1,d2");
    QStringList rows;
    for (int i = 0; i < 1440; ++i)
        rows.append(QStringLiteral("('row %1','x')").arg(i));
    station->execute("insert inquiry(d1,d2) values " + rows.join(','));
    int listed = 1442;
    for (const auto opening : { DataManageDialog::Opening::Browse, DataManageDialog::Opening::NewRecord }) {
        auto dialog = show(opening);
        components::CDataGrid* table = grid(*dialog);
        if (opening == DataManageDialog::Opening::Browse)
            QTest::mouseClick(dialog->control(1025), Qt::LeftButton);
        else
            EXPECT_EVENTUALLY(table->viewport()->findChild<QLineEdit*>() != nullptr);
        ++listed;
        EXPECT_EQ(station->scalar("select count(*) from inquiry where d1 like '%'"), QString::number(listed));
        EXPECT_EVENTUALLY(table->model()->rowCount() == listed);
        EXPECT_EQ(table->currentIndex().row(), listed - 1);
        EXPECT_EQ(table->model()->index(listed - 1, 0).data().toString(), QString());
        EXPECT_EQ(station->scalar("select max(d60) from inquiry where d1=''"),
            station->scalar("select max(d60) from inquiry"));
        dialog.reset();

        auto reopened = show();
        components::CDataGrid* again = grid(*reopened);
        EXPECT_EQ(again->model()->rowCount(), listed);
        again->setFocus();
        QTest::keyClick(again, Qt::Key_End, Qt::ControlModifier);
        EXPECT_EVENTUALLY(again->currentIndex().row() == listed - 1);
        EXPECT_EQ(again->model()->index(listed - 1, 0).data().toString(), QString());
        EXPECT_EQ(again->model()
                      ->index(listed - (opening == DataManageDialog::Opening::Browse ? 2 : 3), 0)
                      .data()
                      .toString(),
            u("row 1439"));
    }
    EXPECT_TRUE(ui::OkMessageBox::shownTexts().isEmpty());
}

TEST_F(DataManageDialogTest, UploadStoresTheFileBytesIntoD51OfTheCurrentRecord)
{
    open("d1,d51");
    QByteArray jpeg;
    {
        QImage image(40, 30, QImage::Format_RGB32);
        image.fill(Qt::darkCyan);
        QBuffer buffer(&jpeg);
        buffer.open(QIODevice::WriteOnly);
        ASSERT_TRUE(image.save(&buffer, "JPG"));
    }
    const QString path = writeFile("photo.JPG", jpeg);
    auto dialog = show();
    data::Recordset records = dialog->recordset();
    records.MoveFirst();
    records.MoveNext(); // 李四
    ui::FileDialog::setNextFileName(path);
    QTest::mouseClick(dialog->control(1020), Qt::LeftButton);
    EXPECT_EQ(ui::FileDialog::lastFilter(), "jpg File(*.jpg)|*.jpg|word File(*.doc)|*.doc||");
    EXPECT_TRUE(ui::OkMessageBox::shownTexts().isEmpty())
        << ui::OkMessageBox::shownTexts().join(',').toStdString();
    EXPECT_EQ(station->bytes(u("select d51 from inquiry where d1='李四'")), jpeg);
    EXPECT_EQ(station->scalar(u("select count(*) from inquiry where d51 is not null")), "1");

    // Any size, byte for byte: 50 MB of every byte value.
    QByteArray large(50 * 1024 * 1024, Qt::Uninitialized);
    QRandomGenerator generator(14);
    generator.fillRange(reinterpret_cast<quint32*>(large.data()), large.size() / 4);
    const QString document = writeFile("minutes.doc", large);
    records.MoveFirst(); // 张三
    ui::FileDialog::setNextFileName(document);
    QTest::mouseClick(dialog->control(1020), Qt::LeftButton);
    EXPECT_TRUE(ui::OkMessageBox::shownTexts().isEmpty());
    EXPECT_TRUE(station->bytes(u("select d51 from inquiry where d1='张三'")) == large);
}

TEST_F(DataManageDialogTest, UploadNeedsARecordAndAReadableFile)
{
    open("d1,d51");
    const QString path = writeFile("photo.jpg", "not really a jpeg");
    auto dialog = show();
    data::Recordset records = dialog->recordset();

    ui::FileDialog::setNextFileName(QString()); // cancelled
    QTest::mouseClick(dialog->control(1020), Qt::LeftButton);
    EXPECT_TRUE(ui::OkMessageBox::shownTexts().isEmpty());

    records.MoveLast();
    records.MoveNext();
    ui::FileDialog::setNextFileName(path);
    QTest::mouseClick(dialog->control(1020), Qt::LeftButton);
    EXPECT_EQ(ui::OkMessageBox::shownTexts(), QStringList { u("请选择对应记录") });

    ui::OkMessageBox::clearShownTexts();
    records.MoveFirst();
    const QString missing = station->workspace().filePath("gone.jpg");
    ui::FileDialog::setNextFileName(missing);
    QTest::mouseClick(dialog->control(1020), Qt::LeftButton);
    EXPECT_EQ(ui::OkMessageBox::shownTexts(), (QStringList { missing, u("上传失败，请稍后再试") }));
    EXPECT_EQ(station->scalar("select count(*) from inquiry where d51 is not null"), "0");

    // Larger than an image column holds: refused without being read (the file is sparse).
    ui::OkMessageBox::clearShownTexts();
    const QString huge = station->workspace().filePath("huge.doc");
    {
        QFile file(huge);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.resize(qint64(1) << 31));
    }
    ui::FileDialog::setNextFileName(huge);
    QTest::mouseClick(dialog->control(1020), Qt::LeftButton);
    EXPECT_EQ(ui::OkMessageBox::shownTexts(), (QStringList { huge, u("上传失败，请稍后再试") }));
    records.MoveNext();
    records.MoveFirst();
    EXPECT_EQ(station->scalar("select count(*) from inquiry where d51 is not null"), "0");
}

TEST_F(DataManageDialogTest, ADoubleClickAsksBeforeDeleting)
{
    open("d1,d2");
    auto dialog = show();
    components::CDataGrid* table = grid(*dialog);
    const QRect cell = table->visualRect(table->model()->index(0, 1));
    data::StatementRecorder::start();

    ui::OkMessageBox::setNextAnswer(QMessageBox::No);
    QTest::mouseDClick(table->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
    EXPECT_EQ(ui::OkMessageBox::shownTexts(), QStringList { u("确定删除当前记录吗？") });
    EXPECT_EQ(station->scalar(u("select count(*) from inquiry where d1='张三'")), "1");

    ui::OkMessageBox::setNextAnswer(QMessageBox::Yes);
    QTest::mouseDClick(table->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
    EXPECT_EQ(station->scalar(u("select count(*) from inquiry where d1='张三'")), "0");
    EXPECT_EQ(station->scalar("select count(*) from inquiry"), "2");
    EXPECT_EVENTUALLY(table->model()->rowCount() == 1);
    EXPECT_EQ(table->model()->index(0, 0).data().toString(), u("李四"));
}

TEST_F(DataManageDialogTest, TheWheelMovesTheCurrentRecord)
{
    open("d1,d2");
    auto dialog = show();
    data::Recordset records = dialog->recordset();
    QWidget* viewport = grid(*dialog)->viewport();
    const auto turn = [&](int delta) {
        QWheelEvent wheel(QPointF(5, 5), viewport->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, delta),
            Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(viewport, &wheel);
    };
    ASSERT_EQ(records.AbsolutePosition(), 1);
    turn(-120);
    EXPECT_EQ(records.AbsolutePosition(), 2);
    EXPECT_EQ(grid(*dialog)->currentIndex().row(), 1);
    turn(-120);
    EXPECT_TRUE(records.EndOfFile());
    turn(-120);
    EXPECT_TRUE(records.EndOfFile());
    turn(120);
    EXPECT_EQ(records.AbsolutePosition(), 2);
}

TEST_F(DataManageDialogTest, DataEntryThatCannotAddARecordOpensNoOtherRecordForTyping)
{
    // An empty text is no number: the new record cannot be stored, and the typing meant
    // for it must not land in a record that already exists.
    open("d21,d1");
    auto dialog = show(DataManageDialog::Opening::NewRecord);
    EXPECT_EQ(station->scalar("select count(*) from inquiry"), "3");
    QCoreApplication::processEvents();
    EXPECT_EQ(grid(*dialog)->viewport()->findChild<QLineEdit*>(), nullptr);
}

// Data entry adds records and changes no other: the records already there take no typing,
// no delete and no picture, and Return on the new record's last cell does not wrap round
// into the first record, whose text would stand selected under the next keys.
TEST_F(DataManageDialogTest, DataEntryChangesNoRecordButTheOnesItAdds)
{
    open("d1,d2,d51");
    const QString path = writeFile("photo.jpg", "picture bytes");
    auto dialog = show(DataManageDialog::Opening::NewRecord);
    components::CDataGrid* table = grid(*dialog);
    EXPECT_EVENTUALLY(table->viewport()->findChild<QLineEdit*>() != nullptr);
    const int added = table->currentIndex().row();
    ASSERT_EQ(added, 2);
    typeAndReturn(u("王五"));
    typeAndReturn(u("外科"));
    typeAndReturn(u("赵六"));
    EXPECT_EVENTUALLY(station->scalar(u("select count(*) from inquiry where d1='王五'")) == "1");
    QCoreApplication::processEvents();
    const QStringList before = { u("张三|内科"), u("NULL|无名"), u("李四|外科") };
    EXPECT_EQ(station->rows("select d1,d2 from inquiry where d60<=3 order by d60"), before);
    EXPECT_FALSE(table->model()->flags(table->model()->index(0, 0)) & Qt::ItemIsEditable);
    EXPECT_TRUE(table->model()->flags(table->model()->index(added, 0)) & Qt::ItemIsEditable);

    // Neither a delete nor a picture for a record that was there before.
    table->setCurrentIndex(table->model()->index(0, 1));
    ui::OkMessageBox::setNextAnswer(QMessageBox::Yes);
    QTest::mouseDClick(table->viewport(), Qt::LeftButton, Qt::NoModifier,
        table->visualRect(table->model()->index(0, 1)).center());
    EXPECT_TRUE(ui::OkMessageBox::shownTexts().isEmpty())
        << ui::OkMessageBox::shownTexts().join(',').toStdString();
    ui::FileDialog::setNextFileName(path);
    QTest::mouseClick(dialog->control(1020), Qt::LeftButton);
    EXPECT_EQ(ui::OkMessageBox::shownTexts(), QStringList { u("请选择对应记录") });
    EXPECT_EQ(station->rows("select d1,d2 from inquiry where d60<=3 order by d60"), before);
    EXPECT_EQ(station->scalar("select count(*) from inquiry where d51 is not null"), "0");

    // The record added here takes its picture.
    ui::OkMessageBox::clearShownTexts();
    table->setCurrentIndex(table->model()->index(added, 0));
    ui::FileDialog::setNextFileName(path);
    QTest::mouseClick(dialog->control(1020), Qt::LeftButton);
    EXPECT_TRUE(ui::OkMessageBox::shownTexts().isEmpty())
        << ui::OkMessageBox::shownTexts().join(',').toStdString();
    EXPECT_EQ(station->bytes(u("select d51 from inquiry where d1='王五'")), QByteArray("picture bytes"));
}

TEST_F(DataManageDialogTest, ReturnOnTheLastCellStaysOnTheLastRecord)
{
    open("d1,d2");
    auto dialog = show();
    components::CDataGrid* table = grid(*dialog);
    const QModelIndex last = table->model()->index(table->model()->rowCount() - 1, 1);
    table->setCurrentIndex(last);
    table->setFocus();
    table->edit(last);
    EXPECT_EVENTUALLY(table->viewport()->findChild<QLineEdit*>() != nullptr);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_End);
    QTest::sendKeyEvent(QTest::Click, QApplication::focusWidget(), Qt::Key_unknown, u("!"), Qt::NoModifier);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_EVENTUALLY(station->scalar(u("select d2 from inquiry where d1='李四'")) == u("外科!"));
    EXPECT_EQ(table->currentIndex().row(), last.row());
    for (const QLineEdit* editor : table->viewport()->findChildren<QLineEdit*>())
        EXPECT_FALSE(editor->isVisible());
    EXPECT_EQ(station->scalar(u("select d1 from inquiry where d2='内科'")), u("张三"));
}

// A delete refused because someone else changed or deleted the record shows what is stored
// now, and a second try deletes it.
TEST_F(DataManageDialogTest, ADeleteRefusedByAnotherWriterCanBeTriedAgain)
{
    open("d1,d2");
    auto dialog = show();
    components::CDataGrid* table = grid(*dialog);
    const auto deleteRow = [&](int row) {
        ui::OkMessageBox::clearShownTexts();
        ui::OkMessageBox::setNextAnswer(QMessageBox::Yes);
        QTest::mouseDClick(table->viewport(), Qt::LeftButton, Qt::NoModifier,
            table->visualRect(table->model()->index(row, 1)).center());
    };
    station->execute(u("update inquiry set d2='改' where d1='张三'"));
    deleteRow(0);
    EXPECT_EQ(ui::OkMessageBox::shownTexts().size(), 2); // the question, then the conflict
    EXPECT_EQ(station->scalar(u("select count(*) from inquiry where d1='张三'")), "1");
    EXPECT_EVENTUALLY(table->model()->index(0, 1).data().toString() == u("改"));
    deleteRow(0);
    EXPECT_EQ(ui::OkMessageBox::shownTexts().size(), 1);
    EXPECT_EQ(station->scalar(u("select count(*) from inquiry where d1='张三'")), "0");

    station->execute(u("delete from inquiry where d1='李四'"));
    EXPECT_EVENTUALLY(table->model()->rowCount() == 1);
    deleteRow(0);
    deleteRow(0);
    EXPECT_EVENTUALLY(table->model()->rowCount() == 0);
    EXPECT_EQ(station->scalar("select count(*) from inquiry"), "1");
}

// Data entry may take back a record it added, and on a table of that one record alone Return
// on its last cell does not wrap round to its first.
TEST_F(DataManageDialogTest, DataEntryTakesBackItsOwnRecordAndNeverWrapsOnOne)
{
    open("d1,d2");
    station->execute("delete from inquiry");
    auto dialog = show(DataManageDialog::Opening::NewRecord);
    components::CDataGrid* table = grid(*dialog);
    EXPECT_EVENTUALLY(table->viewport()->findChild<QLineEdit*>() != nullptr);
    ASSERT_EQ(table->model()->rowCount(), 1);
    typeAndReturn(u("王五"));
    typeAndReturn(u("外科"));
    EXPECT_EVENTUALLY(station->rows("select d1,d2 from inquiry") == QStringList { u("王五|外科") });
    EXPECT_EQ(table->currentIndex().column(), 1);
    for (const QLineEdit* editor : table->viewport()->findChildren<QLineEdit*>())
        EXPECT_FALSE(editor->isVisible());

    QTest::mouseClick(dialog->control(1025), Qt::LeftButton);
    EXPECT_EVENTUALLY(table->model()->rowCount() == 2);
    ASSERT_EQ(station->scalar("select count(*) from inquiry"), "2");
    table->setCurrentIndex(table->model()->index(0, 1));
    ui::OkMessageBox::setNextAnswer(QMessageBox::Yes);
    QTest::mouseDClick(table->viewport(), Qt::LeftButton, Qt::NoModifier,
        table->visualRect(table->model()->index(0, 1)).center());
    EXPECT_EQ(ui::OkMessageBox::shownTexts(), QStringList { u("确定删除当前记录吗？") });
    EXPECT_EQ(station->scalar(u("select count(*) from inquiry where d1='王五'")), "0");
    EXPECT_EVENTUALLY(table->model()->rowCount() == 1);
    // The one left is still the screen's own.
    EXPECT_TRUE(table->model()->flags(table->model()->index(0, 0)) & Qt::ItemIsEditable);
}

TEST_F(DataManageDialogTest, ADoubleClickDeletesTheRecordClickedNotTheOneBefore)
{
    open("d1,d2");
    auto dialog = show();
    components::CDataGrid* table = grid(*dialog);
    table->setCurrentIndex(table->model()->index(1, 0)); // 李四
    ui::OkMessageBox::setNextAnswer(QMessageBox::Yes);
    // As a mouse sends it: the first click, then the second as a double click.
    const QPoint point = table->visualRect(table->model()->index(0, 1)).center();
    QTest::mouseClick(table->viewport(), Qt::LeftButton, Qt::NoModifier, point);
    QTest::mouseDClick(table->viewport(), Qt::LeftButton, Qt::NoModifier, point);
    EXPECT_EQ(station->scalar(u("select count(*) from inquiry where d1='张三'")), "0");
    EXPECT_EQ(station->scalar(u("select count(*) from inquiry where d1='李四'")), "1");
}

// Opening a named pipe waits for a writer and a device never ends: the screen refuses both
// instead of hanging, and stores nothing.
TEST_F(DataManageDialogTest, UploadRefusesWhatIsNotARegularFile)
{
    open("d1,d51");
    const QString pipe = station->workspace().filePath("photo.jpg");
    const NamedPipe fifo(pipe, NamedPipe::Release::Readers);
    ASSERT_TRUE(fifo.isMade());
    auto dialog = show();
    data::Recordset records = dialog->recordset();
    records.MoveFirst();
    for (const QString& path : { pipe, QStringLiteral("/dev/null"), station->workspace().path() }) {
        ui::OkMessageBox::clearShownTexts();
        ui::FileDialog::setNextFileName(path);
        QTest::mouseClick(dialog->control(1020), Qt::LeftButton);
        EXPECT_EQ(ui::OkMessageBox::shownTexts(), QStringList { u("只能上传普通文件：") + path });
    }
    EXPECT_EQ(station->scalar("select count(*) from inquiry where d51 is not null"), "0");
}

// The server's refusals of an edit, in English, come with a Chinese sentence of what to do once
// the station asks for it; a bare uinfo.ini shows the server's text as it always did.
TEST_F(DataManageDialogTest, RefusedEditsSayInChineseWhatToDoWithHintsOn)
{
    const QString conflict = QStringLiteral(
        "Row cannot be located for updating. Some values may have been changed since it was last read.");
    const auto refusedEdits = [&](const QByteArray& systemKeys) {
        open("d1,d2", systemKeys);
        auto dialog = show();
        components::CDataGrid* table = grid(*dialog);
        const auto typeInto = [&](int row, const QString& text) {
            ui::OkMessageBox::clearShownTexts();
            table->setCurrentIndex(table->model()->index(row, 1));
            table->setFocus();
            typeAndReturn(text);
            EXPECT_EVENTUALLY(!ui::OkMessageBox::shownTexts().isEmpty());
            return ui::OkMessageBox::shownTexts().value(0);
        };
        station->execute(u("update inquiry set d2='改' where d1='张三'"));
        const QString changedMeanwhile = typeInto(0, u("儿科"));
        const QString tooLong = typeInto(1, QString(256, QLatin1Char('x')));
        EXPECT_EQ(station->rows("select d2 from inquiry where d1 is not null order by d60"),
            (QStringList { u("改"), u("外科") }));
        return QStringList { changedMeanwhile, tooLong };
    };

    EXPECT_EQ(refusedEdits({}), (QStringList { conflict, "String or binary data would be truncated." }));
    const QStringList hinted = refusedEdits("hints=1\r\n");
    EXPECT_EQ(hinted.value(0),
        u("这条记录在您打开之后已被他人修改或删除，您的修改没有保存。表格现在显示数据库中保存的内容，请核对后"
          "重新修改。\n\n")
            + conflict + u("\n错误号 0x80040E38"));
    EXPECT_TRUE(hinted.value(1).startsWith(u("内容超过了该列允许的长度")));
    EXPECT_TRUE(hinted.value(1).endsWith(u("\n\nString or binary data would be truncated.\n错误号 8152")));
}

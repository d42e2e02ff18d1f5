#include "backoffice/JobStarter.h"
#include "backoffice/JobStatements.h"
#include "backoffice/LongJob.h"
#include "backoffice/ProgressDialog.h"
#include "components/ComponentFactories.h"
#include "data/ConnectionString.h"
#include "data/SharedDatabase.h"
#include "engine/workbook/WorkbookReader.h"
#include "maintenance/DataManageDialog.h"
#include "maintenance/RecordExport.h"
#include "tests/maintenance/MaintenanceStation.h"
#include "ui/FileDialog.h"
#include "ui/OkMessageBox.h"
#include "ui/SkinButton.h"

#include <csignal>
#include <gtest/gtest.h>
#include <QAbstractButton>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <sys/resource.h>

using namespace glimora;
using maintenance::DataManageDialog;
using maintenance::RecordExport;

namespace {

QString u(const char* text)
{
    return QString::fromUtf8(text);
}

// The records whose values are hard to carry: quotes, commas, line breaks, markup, what looks
// like a sheet's escape, spaces at the ends, decimals of every size, dates to the millisecond.
const char* const hardRecords[] = {
    "insert inquiry(d1,d2,d16,d26,d21) values('甲\"引号\", 逗号','行一\r\n行二\n行三','2024-02-29 "
    "13:45:30.123',"
    "-12.50,999999999999999999)",
    "insert inquiry(d1,d2,d16,d26,d21) values(' 两端空格 ','<a>&amp;_x0041_\t','1900-03-01 00:00:00',"
    "1234567890123456.78,0)",
    "insert inquiry(d1,d2,d16,d26,d21) values('早','','1899-12-31 23:59:59',0.05,-7)",
    "insert inquiry(d1,d2,d16,d26,d21) values('空',NULL,NULL,NULL,NULL)",
};

struct Progress : backoffice::JobProgress
{
    void start(int) override { }
    void update(int) override { }
    void end(backoffice::JobOutcome outcome, const QString& reason) override
    {
        ended = outcome;
        description = reason;
    }
    backoffice::JobOutcome ended = backoffice::JobOutcome::Failed;
    QString description;
};

class ExportTest : public ::testing::Test
{
protected:
    void SetUp() override { components::ComponentFactories::install(); }

    void open(const QByteArray& columns = "d1,d2,d16,d26,d21,d51",
        const QByteArray& more = "[export]\r\nenabled=1\r\n")
    {
        station.reset();
        station = std::make_unique<MaintenanceStation>(
            "[system]\r\ndatabase=nivo\r\n[select]\r\nselect=" + columns + "\r\n" + more);
    }
    QString connectionString() const
    {
        const data::LoginValues& login = data::SharedDatabase::login();
        return data::ConnectionString::forDataControl(
            login.serverName, login.databaseName, login.userName, login.password);
    }
    RecordExport exportOf(
        const QString& path, const QString& statement = u("select d1,d2 from inquiry order by d1"))
    {
        return RecordExport(
            connectionString(), statement, { { u("d1"), u("名称") }, { u("d2"), u("说明") } }, path);
    }
    // Every file of the workspace's export folder: what a failed export must not leave.
    QStringList filesIn(const QString& folder) const
    {
        return QDir(folder).entryList(QDir::Files | QDir::NoDotAndDotDot);
    }
    QString folder() const
    {
        const QString path = station->workspace().filePath(u("out"));
        QDir().mkpath(path);
        return path;
    }
    void insertMany(int count)
    {
        station->execute(u("insert inquiry(d1,d2) values('记录','%1')").arg(QString(200, u'长')));
        for (int have = 1; have < count; have *= 2)
            station->execute(u("insert inquiry(d1,d2) select d1,d2 from inquiry"));
    }

    std::unique_ptr<MaintenanceStation> station;
};

} // namespace

// The workbook that data management writes goes back in through the import job as the same
// records, value for value; the file has the shown columns only, in the catalogue's order.
TEST_F(ExportTest, AWorkbookExportImportsBackIntoTheSameRecords)
{
    open();
    for (const char* record : hardRecords)
        station->execute(u(record));
    DataManageDialog dialog;
    ASSERT_TRUE(dialog.isOpen());
    const QList<RecordExport::Column> columns = dialog.exportColumns();
    QStringList names;
    for (const RecordExport::Column& column : columns)
        names << column.name;
    EXPECT_FALSE(names.contains(u("d51"))); // the picture column is hidden
    EXPECT_EQ(names.size(), 5);

    // CSV as the exact record of the values, before and after.
    const QString statement = u("select %1 from inquiry order by d1").arg(names.join(u(",")));
    const auto valuesNow = [&] {
        const QString csv = folder() + u("/values.csv");
        EXPECT_EQ(RecordExport(connectionString(), statement, columns, csv).run({}).outcome,
            RecordExport::Outcome::Done);
        QFile file(csv);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        return file.readAll();
    };
    const QByteArray before = valuesNow();

    // No extension typed: the filter's own.
    ui::FileDialog::setNextFileName(folder() + u("/records"));
    ui::OkMessageBox::clearShownTexts();
    dialog.skinButton(1026)->click();
    const QString workbook = folder() + u("/records.xlsx");
    ASSERT_TRUE(QFile::exists(workbook));
    EXPECT_EQ(ui::OkMessageBox::shownTexts(),
        QStringList { u("导出完成：4 条记录已写入\n") + QDir::toNativeSeparators(workbook) });

    station->execute(u("delete from inquiry"));
    QStringList fields;
    for (int i = 1; i <= names.size(); ++i)
        fields << u("f%1").arg(i);
    const QString insertText = u("(%1) select %2 from openrowset('MicroSoft.Jet.OleDB.4.0','Excel 5.0;HDR=no;"
                                 "Database=?%',%3$) where f1 is null or f1<>'%4'")
                                   .arg(names.join(u(",")), fields.join(u(",")), RecordExport::sheetName(),
                                       columns.first().caption);
    Progress progress;
    backoffice::LongJob::import(backoffice::JobStatements::import(insertText, workbook)).run(progress);
    ASSERT_EQ(progress.ended, backoffice::JobOutcome::Done) << progress.description.toStdString();
    EXPECT_EQ(QString::fromUtf8(valuesNow()), QString::fromUtf8(before));
}

// The values as written: a byte-order mark, quotes only where needed and doubled inside,
// line breaks kept inside quotes, decimals with their places, dates to the millisecond.
TEST_F(ExportTest, CsvHoldsTheValuesExactly)
{
    open();
    for (const char* record : hardRecords)
        station->execute(u(record));
    const QString path = folder() + u("/values.csv");
    const RecordExport job(connectionString(), u("select d1,d2,d16,d26,d21 from inquiry order by d26"),
        { { u("d1"), u("名称, 全称") }, { u("d2"), u("说明") }, { u("d16"), u("日期") },
            { u("d26"), u("价格") }, { u("d21"), u("数量") } },
        path);
    const RecordExport::Result result = job.run({});
    EXPECT_EQ(result.outcome, RecordExport::Outcome::Done);
    EXPECT_EQ(result.records, 4);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(file.readAll()),
        u("\xEF\xBB\xBF\"名称, 全称\",说明,日期,价格,数量\r\n"
          "空,,,,\r\n"
          "\"甲\"\"引号\"\", 逗号\",\"行一\r\n行二\n行三\",2024-02-29 "
          "13:45:30.123,-12.50,999999999999999999\r\n"
          "早,,1899-12-31 23:59:59,0.05,-7\r\n"
          " 两端空格 ,<a>&amp;_x0041_\t,1900-03-01 00:00:00,1234567890123456.78,0\r\n"));
}

// A text that a spreadsheet opening the CSV would run as a formula is kept a text by a leading
// apostrophe; a text that is only a signed number, and a number itself, stay as they are.
TEST_F(ExportTest, CsvTextsThatLookLikeFormulasStayTexts)
{
    open();
    station->execute(u("insert inquiry(d1,d2,d26) values('1','=1+2',-3.5)"));
    station->execute(u("insert inquiry(d1,d2) values('2','+86 10 1234')"));
    station->execute(u("insert inquiry(d1,d2) values('3','-HYPERLINK(\"x\")')"));
    station->execute(u("insert inquiry(d1,d2) values('4','@SUM(A1)')"));
    station->execute(u("insert inquiry(d1,d2) values('5','-12.50')"));
    station->execute(u("insert inquiry(d1,d2) values('6','a=b')"));
    const QString path = folder() + u("/formulas.csv");
    const RecordExport job(connectionString(), u("select d1,d2,d26 from inquiry order by d1"),
        { { u("d1"), u("=名称") }, { u("d2"), u("说明") }, { u("d26"), u("价格") } }, path);
    ASSERT_EQ(job.run({}).outcome, RecordExport::Outcome::Done);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(file.readAll()),
        u("\xEF\xBB\xBF'=名称,说明,价格\r\n"
          "1,'=1+2,-3.50\r\n"
          "2,'+86 10 1234,\r\n"
          "3,\"'-HYPERLINK(\"\"x\"\")\",\r\n"
          "4,'@SUM(A1),\r\n"
          "5,-12.50,\r\n"
          "6,a=b,\r\n"));
}

// A number beyond a double's range is no number a sheet can hold: its cell keeps it as a text,
// and the workbook stays readable.
TEST_F(ExportTest, AnEndlessNumberKeepsTheWorkbookReadable)
{
    open();
    station->execute(u("insert inquiry(d1) values('甲')"));
    const QString path = folder() + u("/endless.xlsx");
    const RecordExport job(connectionString(), u("select d1, 1e308*10 as d2 from inquiry"),
        { { u("d1"), u("名称") }, { u("d2"), u("说明") } }, path);
    ASSERT_EQ(job.run({}).outcome, RecordExport::Outcome::Done);
    const engine::WorkbookTable table = engine::readWorkbookSheet(path, RecordExport::sheetName(), true);
    ASSERT_EQ(table.rows.size(), 1);
    EXPECT_EQ(table.rows[0][1].toString(), u("inf"));
}

// A cancel, between records or after the last, leaves no file at all, and a file that was
// there under the chosen name stays as it was.
TEST_F(ExportTest, ACancelledExportLeavesNothingBehind)
{
    open();
    insertMany(2000);
    const QString kept = folder() + u("/kept.xlsx");
    QFile existing(kept);
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    existing.write("the earlier export");
    existing.close();
    for (const int stopAt : { 256, 2048 }) {
        for (const QString& name : { u("/new.xlsx"), u("/new.csv"), u("/kept.xlsx") }) {
            qint64 told = 0;
            const RecordExport::Result result = exportOf(folder() + name).run([&](qint64 records) {
                told = records;
                return records < stopAt;
            });
            EXPECT_EQ(result.outcome, RecordExport::Outcome::Cancelled);
            EXPECT_EQ(told, stopAt);
            EXPECT_EQ(filesIn(folder()), QStringList { u("kept.xlsx") });
        }
    }
    QFile after(kept);
    ASSERT_TRUE(after.open(QIODevice::ReadOnly));
    EXPECT_EQ(after.readAll(), "the earlier export");

    // Not cancelled, the same export replaces the file with the whole sheet.
    EXPECT_EQ(exportOf(kept).run([](qint64) { return true; }).outcome, RecordExport::Outcome::Done);
    const engine::WorkbookTable sheet = engine::readWorkbookSheet(kept, RecordExport::sheetName(), true);
    EXPECT_EQ(sheet.columnNames, QStringList({ u("名称"), u("说明") }));
    ASSERT_EQ(sheet.rows.size(), 2048);
    EXPECT_EQ(sheet.rows.last().last().toString(), QString(200, u'长'));
}

// A disk that fills up while the file is written: the export reports a failure and leaves
// nothing behind. The process's file-size limit stands in for the full disk, failing the
// writes at the file layer as a full disk does.
TEST_F(ExportTest, AFullDiskFailsTheExportAndLeavesNothingBehind)
{
    open();
    insertMany(2000); // several megabytes of text
    rlimit original {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &original), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = original;
    limited.rlim_cur = 256 * 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    const RecordExport::Result workbook = exportOf(folder() + u("/full.xlsx")).run({});
    const RecordExport::Result csv = exportOf(folder() + u("/full.csv")).run({});
    setrlimit(RLIMIT_FSIZE, &original);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(workbook.outcome, RecordExport::Outcome::Failed);
    EXPECT_EQ(csv.outcome, RecordExport::Outcome::Failed);
    EXPECT_FALSE(csv.reason.isEmpty());
    EXPECT_TRUE(filesIn(folder()).isEmpty()) << filesIn(folder()).join(u(" ")).toStdString();

    // The disk fills at the workbook's last bytes, which the file layer holds back until the
    // end. Texts that do not pack make a workbook larger than the database's own files grow.
    QStringList rows;
    for (int n = 0; n < 256; ++n) {
        QString text;
        for (int i = 0; i < 255; ++i)
            text += QChar(0x4E00 + QRandomGenerator::global()->bounded(20000));
        rows << u("('%1','%1','r')").arg(text);
    }
    station->execute(u("insert inquiry(d1,d2,d3) values") + rows.join(u(",")));
    for (int n = 0; n < 5; ++n)
        station->execute(u("insert inquiry(d1,d2,d3) select d2,d1,d3 from inquiry where d3='r'"));
    const RecordExport job
        = exportOf(folder() + u("/tail.xlsx"), u("select d1,d2 from inquiry where d3='r'"));
    ASSERT_EQ(job.run({}).outcome, RecordExport::Outcome::Done);
    limited.rlim_cur = rlim_t(QFileInfo(job.path()).size() - 10);
    ASSERT_TRUE(QFile::remove(job.path()));
    std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    const RecordExport::Result tail = job.run({});
    setrlimit(RLIMIT_FSIZE, &original);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(tail.outcome, RecordExport::Outcome::Failed);
    EXPECT_TRUE(filesIn(folder()).isEmpty()) << filesIn(folder()).join(u(" ")).toStdString();

    // The screen says so, in so many words.
    DataManageDialog dialog;
    dialog.setExportRunner([](const RecordExport& job) {
        RecordExport::Result result = job.run({});
        result.outcome = RecordExport::Outcome::Failed;
        result.reason = u("No space left on device");
        return result;
    });
    ui::FileDialog::setNextFileName(folder() + u("/full.csv"));
    ui::OkMessageBox::clearShownTexts();
    dialog.skinButton(1026)->click();
    EXPECT_EQ(ui::OkMessageBox::shownTexts(),
        QStringList { u("导出失败，没有写入文件。\nNo space left on device") });
}

// The back office runs the export beside its progress dialog, which tells nothing itself; the
// dialog's cancel reaches the export, which leaves no file.
TEST_F(ExportTest, TheProgressDialogRunsTheExportAndPassesOnItsCancel)
{
    open();
    for (const char* record : hardRecords)
        station->execute(u(record));
    ui::OkMessageBox::clearShownTexts();
    const RecordExport::Result whole
        = backoffice::JobStarter::runExport(exportOf(folder() + u("/whole.csv")));
    EXPECT_EQ(whole.outcome, RecordExport::Outcome::Done);
    EXPECT_EQ(whole.records, 4);

    const backoffice::LongJob job = backoffice::LongJob::exporting(exportOf(folder() + u("/cancelled.csv")));
    backoffice::ProgressDialog dialog;
    dialog.setJob(job);
    dialog.control<QAbstractButton>(2)->click(); // before the job has even started
    dialog.exec();
    EXPECT_EQ(dialog.outcome(), backoffice::JobOutcome::Cancelled);
    EXPECT_EQ(job.exportResult().outcome, RecordExport::Outcome::Cancelled);
    EXPECT_EQ(filesIn(folder()), QStringList { u("whole.csv") });
    EXPECT_TRUE(ui::OkMessageBox::shownTexts().isEmpty());
}

// Off in a bare uinfo.ini, the screen has no export button and its buttons stand where they
// always did; on, the five stand evenly, centred where the four were.
TEST_F(ExportTest, TheButtonIsThereOnlyWhenTheSettingIsOn)
{
    const QList<int> row { 1025, 1020, 1021, 1022 };
    const ui::TemplateDialog bare(176);
    open("d1,d2", QByteArray());
    {
        DataManageDialog dialog;
        dialog.show();
        EXPECT_FALSE(dialog.control(1026)->isVisible());
        for (const int id : row)
            EXPECT_EQ(dialog.control(id)->geometry(), bare.control(id)->geometry()) << id;
    }
    open("d1,d2");
    DataManageDialog dialog;
    dialog.show();
    EXPECT_TRUE(dialog.control(1026)->isVisible());
    EXPECT_EQ(dialog.skinButton(1026)->caption(), u("导出"));
    const int step = bare.control(1020)->x() - bare.control(1025)->x();
    for (const int id : row + QList<int> { 1026 }) {
        EXPECT_EQ(dialog.control(id)->y(), bare.control(1025)->y());
        EXPECT_EQ(dialog.control(id)->x(),
            bare.control(1025)->x() - step / 2 + int(row.indexOf(id) < 0 ? 4 : row.indexOf(id)) * step)
            << id;
    }

    // Data entry is a right of its own, which reads nothing out: it keeps the four buttons.
    DataManageDialog entry(nullptr, DataManageDialog::Opening::NewRecord);
    entry.show();
    EXPECT_FALSE(entry.control(1026)->isVisible());
    for (const int id : row)
        EXPECT_EQ(entry.control(id)->geometry(), bare.control(id)->geometry()) << id;
}

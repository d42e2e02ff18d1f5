#include "backoffice/AdminDialog.h"
#include "backoffice/JobStarter.h"
#include "backoffice/JobStatements.h"
#include "backoffice/LongJob.h"
#include "backoffice/ProgressDialog.h"
#include "backoffice/Snapshots.h"
#include "components/ComponentFactories.h"
#include "data/BackendRouter.h"
#include "data/SharedDatabase.h"
#include "platform/EventLog.h"
#include "query/QueryStatements.h"
#include "query/SearchStatements.h"
#include "settings/Settings.h"
#include "settings/SettingsFile.h"
#include "tests/backoffice/BackOfficeFixture.h"
#include "tests/backoffice/FakeServer.h"
#include "tests/support/TempWorkspace.h"
#include "tests/support/WaitFor.h"
#include "ui/SkinButton.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include <functional>
#include <optional>
#include <thread>

using namespace glimora;
using backoffice::AdminDialog;

namespace {

constexpr int ImportButton = 1004;
constexpr int BackupButton = 1005;
constexpr int RestoreButton = 1006;
constexpr int UndoButton = 1009;
constexpr int SearchIndexButton = 1014;

const char* const SystemError = "系统异常，请稍后重试。";

// The connection-killing script as sent, in the form for an empty `connect` or a template.
QString killScript(const QString& database, bool requestIdColumn)
{
    const QString head = requestIdColumn
        ? QStringLiteral(
            "create   table   table_sp_who(spid   int,   ecid   int,   status   varchar(100),   "
            "loginame   varchar(100),   hostname   varchar(100),   blk   int,   dbname   "
            "varchar(100),   cmd   varchar(100),request_id int )   insert   table_sp_who   exec   "
            "sp_who   declare   @spid   int       DECLARE   spid_db   CURSOR   FOR   SELECT   spid   "
            "FROM   table_sp_who   where   dbname='")
        : QStringLiteral(
            "create   table   table_sp_who(spid   int,   ecid   int,   status   varchar(100),   "
            "loginame   varchar(100),   hostname   varchar(100),   blk   int,   dbname   "
            "varchar(100),   cmd   varchar(100)  )   insert   table_sp_who   exec   sp_who   "
            "declare   @spid   int       DECLARE   spid_db   CURSOR   FOR   SELECT   spid   FROM   "
            "table_sp_who   where   dbname='");
    return head + database
        + QStringLiteral(
            "' OPEN   spid_db    FETCH   NEXT   FROM   spid_db   into   @spid    WHILE   "
            "@@FETCH_STATUS   =   0    BEGIN    exec('kill   '+convert(varchar(12),@spid))   FETCH   "
            "NEXT   FROM   spid_db   INTO   @spid     END     CLOSE   spid_db     DEALLOCATE   "
            "spid_db  drop   table   table_sp_who   ");
}

class JobsTest : public BackOfficeTest
{
protected:
    // The menu as the main screen, shown, as start-up runs it.
    void openMenu()
    {
        menu = std::make_unique<AdminDialog>();
        ASSERT_TRUE(menu->isOpen());
        ui::MainScreen::set(menu.get());
        menu->show();
    }

    // Clicks a job's button with the file dialog answered; returns what the job sent.
    QStringList runJob(int button, const QString& chosenFile)
    {
        ui::OkMessageBox::clearShownTexts();
        ui::FileDialog::setNextFileName(chosenFile);
        data::StatementRecorder::start();
        QTest::mouseClick(menu->control(button), Qt::LeftButton);
        data::StatementRecorder::stop();
        return data::StatementRecorder::statements();
    }

    QString inquiryCount() { return value("select count(*) from inquiry"); }

    std::unique_ptr<AdminDialog> menu;
};

// A session of another process in the database, answering each request with "ok" or the
// number of the error its statement failed with.
class OtherProcess
{
public:
    OtherProcess(const QString& dataDirectory, const QString& database)
    {
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(QStringLiteral(GLIMORA_BATCH_RUNNER), { dataDirectory, "--hold", database });
        m_ready = readLine() == "ready";
    }
    ~OtherProcess()
    {
        m_process.closeWriteChannel();
        m_process.waitForFinished(10000);
    }
    bool ready() const { return m_ready; }
    QByteArray request(const QByteArray& line)
    {
        m_process.write(line + "\n");
        return readLine();
    }

private:
    QByteArray readLine()
    {
        while (!m_process.canReadLine() && m_process.waitForReadyRead(30000)) { }
        return m_process.readLine().trimmed();
    }
    QProcess m_process;
    bool m_ready = false;
};

} // namespace

TEST(JobStatementsTest, BackupPathsAndQuotes)
{
    using namespace backoffice;
    EXPECT_EQ(JobStatements::backupPath("/b/nivo"), "/b/nivo.dbk");
    EXPECT_EQ(JobStatements::backupPath("/b/nivo.DBK"), "/b/nivo.DBK.dbk");
    EXPECT_EQ(JobStatements::backupPath("/b/nivo.dbk"), "/b/nivo.dbk");
    EXPECT_EQ(JobStatements::backup("nivo", "/b/O'Neil.dbk"),
        "backup   database   nivo  to   disk='/b/O''Neil.dbk' with init");
    EXPECT_EQ(JobStatements::import("", "/w/a.xls"), "insert inquiry");
    EXPECT_EQ(JobStatements::import(" select 1", "/w/a.xls"), "insert inquiry select 1");
    EXPECT_EQ(JobStatements::import(
                  "(d1) select f1 from openrowset('x','Database=?%',a$) where '?%'<>''", "/w/it's.xls"),
        "insert inquiry(d1) select f1 from openrowset('x','Database=/w/it''s.xls',a$) where "
        "'/w/it''s.xls'<>''");
}

TEST_F(JobsTest, ImportTheDemoWorkbookThroughTheMenu)
{
    // A quote in the folder name must reach the server as part of the path.
    QDir().mkpath(workspace.filePath("O'Neil"));
    const QString workbook = workspace.filePath("O'Neil/records.xls");
    ASSERT_TRUE(QFile::copy(GLIMORA_DEMO_DIR "/records.xls", workbook));
    openMenu();
    const QStringList sent = runJob(ImportButton, workbook);
    const QString tail = settings::ReadSetting("insert", "inserttext", "");
    EXPECT_EQ(sent,
        QStringList { "insert inquiry" + QString(tail).replace("?%", QString(workbook).replace("'", "''")) });
    EXPECT_TRUE(shown().isEmpty());
    EXPECT_EQ(inquiryCount(), "480");
    EXPECT_EQ(ui::FileDialog::lastFilter(), "(*.XLS)|*.XLS|(*.XLSX)|*.XLSX||");
    EXPECT_TRUE(menu->isVisible());
    EXPECT_EQ(QDir::currentPath(), settings::Settings::instance().directory);

    // Cancelling the file dialog sends nothing.
    EXPECT_TRUE(runJob(ImportButton, QString()).isEmpty());
    EXPECT_TRUE(shown().isEmpty());
}

TEST_F(JobsTest, AFailingImportImportsNothingAndShowsTheReason)
{
    const QString workbook = workspace.filePath("records.xls");
    ASSERT_TRUE(QFile::copy(GLIMORA_DEMO_DIR "/records.xls", workbook));
    // Every row of the workbook converts; the last row of the statement does not.
    settings::WriteSetting("insert", "inserttext",
        "(d1,d21) select f1,f10 from openrowset('MicroSoft.Jet.OleDB.4.0','Excel 5.0;HDR=no;Database=?%',"
        "records$) where f1<>'类别' union all select 'last','not a number'");
    openMenu();
    platform::EventLog::setUseJournal(false);
    platform::EventLog::setFolder(workspace.path());
    runJob(ImportButton, workbook);
    platform::EventLog::setFolder(QString());
    ASSERT_EQ(shown().size(), 2);
    EXPECT_FALSE(shown()[0].isEmpty());
    EXPECT_EQ(shown()[1], utf8(SystemError));
    EXPECT_EQ(inquiryCount(), "0");
    const QString log = QString::fromUtf8(workspace.readFile("glimora.log"));
    EXPECT_TRUE(log.contains(" job-start: import\n")) << log.toStdString();
    EXPECT_TRUE(log.contains(" job-end #8114: import failed: ")) << log.toStdString();

    // A workbook that is not there.
    runJob(ImportButton, workspace.filePath("missing.xls"));
    ASSERT_EQ(shown().size(), 2);
    EXPECT_EQ(shown()[1], utf8(SystemError));
    EXPECT_TRUE(menu->isVisible());
}

TEST_F(JobsTest, AWrongImportIsUndoneFromItsSnapshotAndSoIsTheUndo)
{
    settings::WriteSetting("backup", "snapshots", "10");
    sql("insert inquiry(d1,d2) values('kept','O''Neil') insert inquiry(d1) values(N'也留下')");
    const auto before = sql("select * from inquiry order by d60").rows;
    const QString workbook = workspace.filePath("records.xls");
    ASSERT_TRUE(QFile::copy(GLIMORA_DEMO_DIR "/records.xls", workbook));
    openMenu();
    EXPECT_TRUE(menu->control(UndoButton)->isVisible());

    const QStringList sent = runJob(ImportButton, workbook);
    ASSERT_EQ(backoffice::Snapshots::existing("nivo").size(), 1);
    const QString snapshot = backoffice::Snapshots::latest("nivo");
    EXPECT_TRUE(QFileInfo(snapshot).fileName().endsWith("-import.dbk")) << snapshot.toStdString();
    ASSERT_EQ(sent.size(), 3);
    EXPECT_EQ(sent[0], "backup   database   nivo  to   disk='" + snapshot + "' with init");
    EXPECT_EQ(sent[1], "restore verifyonly from disk='" + snapshot + "'");
    EXPECT_EQ(shown(), QStringList { utf8("导入完成。\n导入前的数据已保存为快照：\n") + snapshot });
    EXPECT_EQ(inquiryCount(), "482");

    ui::OkMessageBox::setNextAnswer(QMessageBox::Yes);
    runJob(UndoButton, QString());
    EXPECT_EQ(sql("select * from inquiry order by d60").rows, before);
    ASSERT_EQ(backoffice::Snapshots::existing("nivo").size(), 2);
    const QString beforeUndo = backoffice::Snapshots::latest("nivo");
    EXPECT_TRUE(beforeUndo.endsWith("-undo.dbk"));
    EXPECT_EQ(
        shown().last(), utf8("恢复完成，请退出后重新登入。\n恢复前的数据已保存为快照：\n") + beforeUndo);

    // The undo is undone the same way, from the snapshot it took.
    openMenu();
    ui::OkMessageBox::setNextAnswer(QMessageBox::Yes);
    runJob(UndoButton, QString());
    EXPECT_EQ(inquiryCount(), "482");
}

TEST_F(JobsTest, ASnapshotThatCannotBeSavedStopsTheJobBeforeItChangesAnything)
{
    settings::WriteSetting("backup", "snapshots", "10");
    workspace.writeFile("blocked", "a file where the folder would be");
    settings::WriteSetting("backup", "snapshotdir", "blocked/snapshots");
    sql("insert inquiry(d1) values('kept')");
    const QString workbook = workspace.filePath("records.xls");
    ASSERT_TRUE(QFile::copy(GLIMORA_DEMO_DIR "/records.xls", workbook));
    openMenu();
    runJob(ImportButton, workbook);
    ASSERT_EQ(shown().size(), 2);
    EXPECT_TRUE(shown()[0].startsWith(utf8("快照未能保存，数据没有改动。\n"))) << shown()[0].toStdString();
    EXPECT_EQ(inquiryCount(), "1");

    sql("backup database nivo to disk='" + workspace.filePath("other.dbk") + "'");
    sql("delete inquiry");
    runJob(RestoreButton, workspace.filePath("other.dbk"));
    EXPECT_TRUE(shown().value(0).startsWith(utf8("快照未能保存，数据没有改动。\n")));
    EXPECT_EQ(inquiryCount(), "0");
    EXPECT_TRUE(menu->isVisible());
}

TEST_F(JobsTest, WithoutSnapshotsTheMenuHasNoUndoAndAnImportSaysNothing)
{
    openMenu();
    EXPECT_FALSE(menu->control(UndoButton)->isVisible());
    const QString workbook = workspace.filePath("records.xls");
    ASSERT_TRUE(QFile::copy(GLIMORA_DEMO_DIR "/records.xls", workbook));
    EXPECT_EQ(runJob(ImportButton, workbook).size(), 1);
    EXPECT_TRUE(shown().isEmpty());
    EXPECT_FALSE(QFileInfo::exists(workspace.filePath("snapshots")));
}

TEST_F(JobsTest, RetentionKeepsTheNewestSnapshotsButNeverTheOneBeingRestored)
{
    settings::WriteSetting("backup", "snapshots", "10");
    QDir().mkpath(workspace.filePath("snapshots"));
    for (int day = 10; day < 22; ++day)
        workspace.writeFile(QStringLiteral("snapshots/nivo-202612%1-080000-import.dbk").arg(day), "x");
    workspace.writeFile("snapshots/nivo2-20261201-080000-import.dbk", "another database's");
    const QString oldest = workspace.filePath("snapshots/nivo-20261210-080000-import.dbk");
    backoffice::Snapshots::prune("nivo", oldest);
    QStringList left = backoffice::Snapshots::existing("nivo");
    ASSERT_EQ(left.size(), 11);
    EXPECT_EQ(left.first(), oldest);
    EXPECT_TRUE(left[1].endsWith("nivo-20261212-080000-import.dbk"));
    backoffice::Snapshots::prune("nivo");
    left = backoffice::Snapshots::existing("nivo");
    ASSERT_EQ(left.size(), 10);
    EXPECT_TRUE(left.first().endsWith("nivo-20261212-080000-import.dbk"));
    EXPECT_TRUE(QFileInfo::exists(workspace.filePath("snapshots/nivo2-20261201-080000-import.dbk")));
}

// A snapshot of data that the failed job left as it was would be the next undo's choice: that
// undo would restore the present and say it had undone the last job.
TEST_F(JobsTest, ASnapshotChosenForARestoreIsNotPrunedAfterwards)
{
    settings::WriteSetting("backup", "snapshots", "1");
    QDir().mkpath(workspace.filePath("snapshots"));
    const QString chosen = workspace.filePath("snapshots/nivo-20200101-080000-import.dbk");
    sql("backup database nivo to disk='" + chosen + "'");
    openMenu();
    runJob(RestoreButton, workspace.filePath("snapshots/../snapshots/nivo-20200101-080000-import.dbk"));
    EXPECT_TRUE(shown().value(0).startsWith(utf8("恢复完成")));
    EXPECT_TRUE(QFileInfo::exists(chosen));
}

TEST_F(JobsTest, AnUndoThatFailsBeforeChangingAnythingKeepsNoSnapshotOfItsOwn)
{
    settings::WriteSetting("backup", "snapshots", "10");
    QDir().mkpath(workspace.filePath("snapshots"));
    workspace.writeFile("snapshots/nivo-20200101-080000-import.dbk", "not a backup");
    const QString damaged = workspace.filePath("snapshots/nivo-20200101-080000-import.dbk");
    sql("insert inquiry(d1) values('kept')");
    openMenu();
    ui::OkMessageBox::setNextAnswer(QMessageBox::Yes);
    runJob(UndoButton, QString());
    EXPECT_EQ(shown().last(), utf8(SystemError));
    EXPECT_EQ(inquiryCount(), "1");
    EXPECT_EQ(backoffice::Snapshots::existing("nivo"), QStringList { damaged });
}

TEST_F(JobsTest, AnImportWhoseSearchIndexFailsSaysSoButIsNotReportedFailed)
{
    settings::WriteSetting("show", "search", "1");
    settings::WriteSetting("search", "columns", "zz");
    const QString workbook = workspace.filePath("records.xls");
    ASSERT_TRUE(QFile::copy(GLIMORA_DEMO_DIR "/records.xls", workbook));
    openMenu();
    runJob(ImportButton, workbook);
    EXPECT_EQ(inquiryCount(), "480");
    ASSERT_EQ(shown().size(), 1);
    EXPECT_TRUE(shown()[0].startsWith(utf8("数据已导入，但搜索索引未能更新"))) << shown()[0].toStdString();
    EXPECT_TRUE(menu->isVisible());
}

TEST_F(JobsTest, TheSearchIndexIsRebuiltFromTheMenuAndAfterARestore)
{
    settings::WriteSetting("show", "search", "1");
    settings::WriteSetting("search", "columns", "d1");
    // The records' d1, without the rank the search orders them by.
    const auto found = [this](const char* text) {
        QList<QStringList> rows = sql(query::SearchStatements::records("d1", { "d1" }, text)).rows;
        for (QStringList& row : rows)
            row = row.mid(0, 1);
        return rows;
    };
    sql("insert inquiry(d1) values('kept')");
    const QString backup = workspace.filePath("before.dbk");
    sql("backup database nivo to disk='" + backup + "'");
    sql("delete inquiry insert inquiry(d1) values('new')");
    openMenu();
    const int errors = platform::EventLog::shownErrors().count;
    runJob(SearchIndexButton, QString());
    EXPECT_EQ(shown(), QStringList { utf8("搜索索引已重建。") });
    // A job done is no error of the station's.
    EXPECT_EQ(platform::EventLog::shownErrors().count, errors);
    EXPECT_EQ(found("ne"), QList<QStringList> { { "new" } });

    // The backup holds no index: the restore builds one for the records it brought back.
    runJob(RestoreButton, backup);
    EXPECT_EQ(shown(), QStringList { utf8("恢复完成，请退出后重新登入。") });
    EXPECT_EQ(found("ke"), QList<QStringList> { { "kept" } });
    EXPECT_TRUE(found("ne").isEmpty());
}

TEST_F(JobsTest, WithTheSettingAnImportEndsByAskingTheScreensFirstQuestions)
{
    settings::WriteSetting("index", "questions", "1");
    settings::WriteSetting("comfil", "com1", "d2");
    settings::WriteSetting("comfil", "com2", "d2; drop table inquiry");
    const QString workbook = workspace.filePath("records.xls");
    ASSERT_TRUE(QFile::copy(GLIMORA_DEMO_DIR "/records.xls", workbook));
    openMenu();
    const QStringList sent = runJob(ImportButton, workbook);
    EXPECT_EQ(inquiryCount(), "480");
    // After the import, the catalogue for the first level, then the level and each list once.
    const qsizetype catalogue = sent.lastIndexOf(query::QueryStatements::catalogue());
    ASSERT_GT(catalogue, 0);
    EXPECT_EQ(sent.mid(catalogue + 1, 2),
        (QStringList {
            query::QueryStatements::distinctValues("d1"), query::QueryStatements::distinctValues("d2") }));
    EXPECT_EQ(sent.filter("d2; drop").size(), 0);
    EXPECT_EQ(sent.filter(query::QueryStatements::distinctValues("d2")).size(), 1);
    EXPECT_TRUE(shown().isEmpty());
}

TEST_F(JobsTest, BackUpChangeAndRestore)
{
    sql("insert inquiry(d1) values('kept') insert inquiry(d1) values('also kept')");
    openMenu();
    const QString chosen = workspace.filePath("nivo's copy");
    EXPECT_EQ(runJob(BackupButton, chosen),
        QStringList { "backup   database   nivo  to   disk='" + QString(chosen).replace("'", "''")
            + ".dbk' with init" });
    EXPECT_TRUE(shown().isEmpty());
    EXPECT_EQ(ui::FileDialog::lastFilter(), "morvex(*.dbk)|*.dbk||");
    ASSERT_TRUE(QFile::exists(chosen + ".dbk"));

    sql("delete inquiry where d1='kept' insert inquiry(d1) values('new')");
    const QStringList sent = runJob(RestoreButton, chosen + ".dbk");
    EXPECT_EQ(sent,
        (QStringList { "drop table table_sp_who ", killScript("nivo", false),
            " restore   database   nivo   from   disk='" + QString(chosen).replace("'", "''") + ".dbk' " }));
    EXPECT_EQ(shown(), QStringList { utf8("恢复完成，请退出后重新登入。") });
    EXPECT_EQ(sql("select d1 from inquiry order by d60").rows,
        (QList<QStringList> { { "kept" }, { "also kept" } }));
    // The menu was shown again, then asked to close: the run ends.
    EXPECT_EVENTUALLY(!menu->isVisible());
    EXPECT_EQ(menu->result(), ui::IDCANCEL);
}

// Run as start-up runs it, in the menu's own modal loop: every function returns to the menu,
// also those that hide it, and closing their last window does not end the program.
TEST_F(JobsTest, EveryFunctionOfTheMenuShowsItAgainAfterwards)
{
    const QString workbook = workspace.filePath("records.xls");
    ASSERT_TRUE(QFile::copy(GLIMORA_DEMO_DIR "/records.xls", workbook));
    components::ComponentFactories::install();
    menu = std::make_unique<AdminDialog>();
    ui::MainScreen::set(menu.get());
    QStringList seen;
    auto afterEach = [&](const QString& name) { seen << name + (menu->isVisible() ? " shown" : " hidden"); };
    // Dialogs of their own are closed as soon as they run.
    auto closeTheNextDialog = [&] {
        QTimer::singleShot(50, [&] {
            if (QWidget* dialog = QApplication::activeModalWidget(); dialog && dialog != menu.get())
                qobject_cast<QDialog*>(dialog)->reject();
        });
    };
    // Each step from the menu's own loop: a step that ended that loop leaves the rest undone.
    const std::vector<std::function<void()>> steps {
        [&] { runJob(ImportButton, workbook), afterEach("import"); },
        [&] { runJob(BackupButton, workspace.filePath("nivo")), afterEach("backup"); },
        [&] { runJob(RestoreButton, workspace.filePath("missing.dbk")), afterEach("failed restore"); },
        [&] {
            closeTheNextDialog(), QTest::mouseClick(menu->control(1003), Qt::LeftButton), afterEach("config");
        },
        [&] {
            closeTheNextDialog(), QTest::mouseClick(menu->control(1007), Qt::LeftButton), afterEach("users");
        },
        [&] {
            closeTheNextDialog(), QTest::mouseClick(menu->control(1008), Qt::LeftButton), afterEach("entry");
        },
        [&] {
            closeTheNextDialog(), QTest::mouseClick(menu->control(1010), Qt::LeftButton), afterEach("data");
        },
        [&] {
            closeTheNextDialog(), QTest::mouseClick(menu->control(1012), Qt::LeftButton),
                afterEach("password");
        },
        [&] {
            menu->skinButton(1011)->show();
            QTest::mouseClick(menu->control(1011), Qt::LeftButton);
        },
    };
    std::function<void(size_t)> runFrom = [&](size_t step) {
        steps[step]();
        if (step + 1 < steps.size())
            QTimer::singleShot(0, menu.get(), [&, step] { runFrom(step + 1); });
    };
    QTimer::singleShot(0, menu.get(), [&] { runFrom(0); });
    EXPECT_EQ(menu->exec(), ui::IDOK);
    EXPECT_EQ(seen,
        (QStringList { "import shown", "backup shown", "failed restore shown", "config shown", "users shown",
            "entry shown", "data shown", "password shown" }));
    EXPECT_EQ(inquiryCount(), "481"); // the import's records and data entry's new one
}

// The backup writes a file: its dialog is one for saving, and takes a name that is not there yet.
TEST_F(JobsTest, TheBackupIsSavedUnderANewNameTypedInItsDialog)
{
    openMenu();
    const QString typed = workspace.filePath("new backup"); // the dialog starts in the station's folder
    QFileDialog::AcceptMode mode = QFileDialog::AcceptOpen;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        mode = dialog->acceptMode();
        auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        ASSERT_NE(name, nullptr);
        QTest::keyClicks(name, QStringLiteral("new backup"));
        QPushButton* save = dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Save);
        if (save)
            QTest::mouseClick(save, Qt::LeftButton);
        if (dialog->isVisible())
            dialog->reject(); // refused: the test fails below instead of waiting for ever
    });
    QTest::mouseClick(menu->control(BackupButton), Qt::LeftButton);
    EXPECT_EQ(mode, QFileDialog::AcceptSave);
    EXPECT_TRUE(QFile::exists(typed + ".dbk"));
    EXPECT_TRUE(shown().isEmpty());
}

// An import refused for a reason the person can mend says in Chinese what to do, over the
// server's own words (the demo station shows these hints).
TEST_F(JobsTest, AnImportRefusedByTheServerSaysWhatToDo)
{
    openMenu();
    runJob(ImportButton, workspace.filePath("missing.xls"));
    ASSERT_EQ(shown().size(), 2);
    EXPECT_TRUE(shown()[0].startsWith(utf8("服务器无法读取所选的 Excel 文件。"))) << shown()[0].toStdString();
    EXPECT_TRUE(shown()[0].contains("\n\nThe OLE DB provider"));
    EXPECT_TRUE(shown()[0].endsWith(utf8("\n错误号 7399")));
    EXPECT_EQ(shown()[1], utf8(SystemError));

    // 导入数据 granted, but no server role that may read files.
    addUser("ann", "Ann-1", "1,1,1,1,1,1,1,1,1,1");
    ASSERT_EQ(logInThroughTheLoginDialog("ann", "Ann-1"), ui::IDOK);
    openMenu();
    const QString workbook = workspace.filePath("records.xls");
    ASSERT_TRUE(QFile::copy(GLIMORA_DEMO_DIR "/records.xls", workbook));
    runJob(ImportButton, workbook);
    ASSERT_EQ(shown().size(), 2);
    EXPECT_TRUE(shown()[0].startsWith(utf8("导入数据需要数据库服务器的 sysadmin 或 bulkadmin 角色")));
    EXPECT_TRUE(shown()[0].endsWith(utf8("\n错误号 7415")));
    EXPECT_EQ(inquiryCount(), "0");
}

TEST_F(JobsTest, ABackupThatFailsSaysSoWithoutTheReason)
{
    openMenu();
    runJob(BackupButton, workspace.filePath("no such folder/nivo"));
    EXPECT_EQ(shown(), QStringList { utf8(SystemError) });
    EXPECT_TRUE(menu->isVisible());
}

TEST_F(JobsTest, ADamagedBackupLeavesTheDatabaseAsItWas)
{
    sql("insert inquiry(d1) values('precious')");
    workspace.writeFile("damaged.dbk", QByteArray(4096, 'x'));
    openMenu();
    runJob(RestoreButton, workspace.filePath("damaged.dbk"));
    ASSERT_EQ(shown().size(), 2);
    EXPECT_EQ(shown()[1], utf8(SystemError));
    EXPECT_EQ(value("select d1 from inquiry"), "precious");
    EXPECT_TRUE(menu->isVisible());

    // The menu's statements go to the station's database again afterwards.
    const QString workbook = workspace.filePath("records.xls");
    ASSERT_TRUE(QFile::copy(GLIMORA_DEMO_DIR "/records.xls", workbook));
    runJob(ImportButton, workbook);
    EXPECT_TRUE(shown().isEmpty());
    EXPECT_EQ(inquiryCount(), "481");
}

TEST_F(JobsTest, AMenuThatCannotConnectAgainAfterAFailedRestoreSaysSoAndCloses)
{
    addUser("ann", "Ann-1", "1,1,1,1,1,1,1,1,1,1");
    ASSERT_EQ(logInThroughTheLoginDialog("ann", "Ann-1"), ui::IDOK);
    openMenu();
    // Another administrator changes the password meanwhile: no function could work any more.
    sql("exec sp_password NULL,'changed',ann", "master");
    runJob(RestoreButton, workspace.filePath("a.dbk"));
    EXPECT_EQ(shown(),
        (QStringList { utf8(SystemError), utf8("初始化失败，请确认您对指定服务器上的SQL是否有足够权限。") }));
    EXPECT_EVENTUALLY(!menu->isVisible());
    EXPECT_EQ(menu->result(), ui::IDCANCEL);
}

TEST_F(JobsTest, AnotherProcessInTheDatabaseIsKilledAndTheRestoreGoesAhead)
{
    sql("backup database nivo to disk='" + workspace.filePath("a.dbk") + "' with init");
    sql("insert inquiry(d1) values('after the backup')");
    OtherProcess other(workspace.filePath("sqldata"), "nivo");
    ASSERT_TRUE(other.ready());
    ASSERT_EQ(other.request("select"), "ok");
    openMenu();
    runJob(RestoreButton, workspace.filePath("a.dbk"));
    EXPECT_EQ(shown(), QStringList { utf8("恢复完成，请退出后重新登入。") });
    EXPECT_EQ(inquiryCount(), "0");
    EXPECT_EQ(other.request("select"), "10054"); // its connection was killed
}

TEST_F(JobsTest, FileDialogsStartInTheStationFolderForAnotherServer)
{
    openMenu();
    data::SharedDatabase::login().computerName = "localhost";
    runJob(BackupButton, QString());
    EXPECT_EQ(ui::FileDialog::lastDirectory(), QString());
    EXPECT_EQ(ui::FileDialog::lastMode(), ui::FileDialog::Mode::AnyFile);
    data::SharedDatabase::login().computerName = "another-machine";
    runJob(RestoreButton, QString());
    EXPECT_EQ(ui::FileDialog::lastDirectory(), settings::Settings::instance().directory);
}

TEST_F(JobsTest, TheProgressDialogCannotBeClosedWhileTheJobRuns)
{
    backoffice::ProgressDialog dialog;
    dialog.show();
    QTest::keyClick(&dialog, Qt::Key_Escape);
    dialog.close();
    EXPECT_TRUE(dialog.isVisible());
}

namespace {

// With `connect` holding a template (the form for a real SQL Server), on the embedded server.
class JobsWithTemplateTest : public JobsTest
{
protected:
    void SetUp() override
    {
        setUpStation("engine=embedded\nconnect=Driver={SQL Server};Server=??;Database=?;Uid=????;pwd=???\n");
    }
};

} // namespace

TEST_F(JobsWithTemplateTest, RestoreChecksTheFileDropsAndRestores)
{
    sql("insert inquiry(d1) values('kept')");
    openMenu();
    const QString backup = workspace.filePath("it's.dbk");
    runJob(BackupButton, backup);
    sql("delete inquiry");
    const QString quoted = QString(backup).replace("'", "''");
    EXPECT_EQ(runJob(RestoreButton, backup),
        (QStringList { "restore verifyonly from disk='" + quoted + "'", "drop table table_sp_who ",
            killScript("nivo", true), "BACKUP LOG nivo TO DISK = 'C:Ledgerly_Last.bak' WITH NORECOVERY ",
            "drop database nivo  restore   database   nivo   from   disk='" + quoted + "' " }));
    EXPECT_EQ(shown(), QStringList { utf8("恢复完成，请退出后重新登入。") });
    EXPECT_EQ(value("select d1 from inquiry"), "kept");
}

TEST_F(JobsWithTemplateTest, ADamagedBackupDropsNothing)
{
    sql("insert inquiry(d1) values('precious')");
    workspace.writeFile("damaged.dbk", QByteArray(4096, 'x'));
    openMenu();
    EXPECT_EQ(runJob(RestoreButton, workspace.filePath("damaged.dbk")),
        QStringList { "restore verifyonly from disk='" + workspace.filePath("damaged.dbk") + "'" });
    ASSERT_EQ(shown().size(), 2);
    EXPECT_FALSE(shown()[0].isEmpty());
    EXPECT_EQ(shown()[1], utf8(SystemError));
    EXPECT_EQ(value("select d1 from inquiry"), "precious");
}

// Long jobs on a server that records every batch and fails where a test says.
class LongJobTest : public ::testing::Test
{
protected:
    void start(const QByteArray& settings)
    {
        workspace.writeFile("uinfo.ini", "[system]\nengine=odbc\n" + settings);
        settings::Settings::instance().load();
        data::BackendRouter::setOdbcBackend(server);
        data::SharedDatabase::createObjects();
        data::SharedDatabase::connection().Open(
            QStringLiteral("Driver={SQL Server};Server=.;Uid=sa;pwd=secret"));
        data::SharedDatabase::command().SetActiveConnection(data::SharedDatabase::connection());
    }
    void TearDown() override
    {
        data::BackendRouter::setOdbcBackend(nullptr);
        data::SharedDatabase::releaseObjects();
        settings::setSettingsDirectory(QString());
    }
    // Run on a thread of its own, as the progress dialog runs it.
    void run(const backoffice::LongJob& job)
    {
        std::thread worker([&] { job.run(progress); });
        worker.join();
    }
    static backoffice::LongJob import()
    {
        return backoffice::LongJob::import(backoffice::JobStatements::import(" select 1", "x.xls"));
    }

    struct Recorder : backoffice::JobProgress
    {
        std::optional<backoffice::JobOutcome> outcome;
        QString reason;
        void start(int) override { }
        void update(int) override { }
        void end(backoffice::JobOutcome ended, const QString& description) override
        {
            outcome = ended;
            reason = description;
        }
    } progress;
    TempWorkspace workspace;
    std::shared_ptr<FakeServer> server = std::make_shared<FakeServer>();
};

// An error that is not the server's answer ends the job as failed, with what it says, and
// does not end the back office with the job's thread.
TEST_F(LongJobTest, AnUnexpectedErrorEndsTheJobAsFailedNotTheProgram)
{
    start("");
    server->unexpectedFailure = QStringLiteral("insert inquiry");
    run(import());
    EXPECT_EQ(progress.outcome, backoffice::JobOutcome::Failed);
    EXPECT_EQ(progress.reason, QStringLiteral("the driver went away"));
    EXPECT_EQ(server->batches.value(0), QStringLiteral("insert inquiry select 1"));
}

// Neither the search index nor the screen's questions may end the program; once an import's
// records are in, the import is done, and an index that was not built is told.
TEST_F(LongJobTest, AFailingIndexOrQuestionEndsTheJobNotTheProgram)
{
    start("[show]\nsearch=1\n[search]\ncolumns=d1\n[index]\nquestions=1\n");
    server->unexpectedFailure = query::QueryStatements::catalogue();
    run(import());
    EXPECT_EQ(progress.outcome, backoffice::JobOutcome::Done);
    EXPECT_TRUE(server->batches.contains(query::QueryStatements::catalogue()));

    server->unexpectedFailure = query::SearchStatements::dropIndex();
    run(import());
    EXPECT_EQ(progress.outcome, backoffice::JobOutcome::Done);
    EXPECT_TRUE(progress.reason.startsWith(QString::fromUtf8("数据已导入，但搜索索引未能更新")))
        << progress.reason.toStdString();
    EXPECT_TRUE(progress.reason.contains(QStringLiteral("the driver went away")));

    // A rebuild from the menu has nothing else to have done: its failure is the job's.
    run(backoffice::LongJob::searchIndex());
    EXPECT_EQ(progress.outcome, backoffice::JobOutcome::Failed);
    EXPECT_TRUE(progress.reason.startsWith(QString::fromUtf8("搜索索引未能重建。")));
}

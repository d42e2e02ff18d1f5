// The first questions of the query screen after a restore of a large inquiry table through
// the back office's restore job, which ends by asking the screen's first questions so that
// the server builds their indexes behind its progress. For a backup taken before any index
// was built and for one that holds them, and for the first without the job's questions: the
// restore job's time (and its questions' share), then on a new connection, as a station
// opens it, the first use of a drill-down step's values, of the first level and of two
// filter lists, each against the same question asked again once warm.
//
//   glimora_restore_questions_bench [rows]     (default 1000000)
//
// Target: each first question within 20 ms.
#include "backoffice/JobProgress.h"
#include "backoffice/LongJob.h"
#include "bench/support/DirectFill.h"
#include "data/BackendRouter.h"
#include "data/Command.h"
#include "data/DbError.h"
#include "data/SharedDatabase.h"
#include "engine/server/EmbeddedBackend.h"
#include "engine/values/SqlFunctions.h"
#include "query/QueryStatements.h"
#include "query/ScreenQuestions.h"
#include "settings/Settings.h"
#include "settings/SettingsFile.h"

#include <cstdio>
#include <QApplication>
#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <sqlite3.h>

using namespace glimora;

namespace {

const QString Password = QStringLiteral("Bench-1");

double milliseconds(const QElapsedTimer& timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

// When the job sent its last statement: what follows is its closing work.
class Progress : public backoffice::JobProgress
{
public:
    void start(int) override { m_timer.start(); }
    void update(int step) override
    {
        if (m_statementsDone < 0 && step == m_statements)
            m_statementsDone = milliseconds(m_timer);
    }
    void end(backoffice::JobOutcome outcome, const QString& reason) override
    {
        m_total = milliseconds(m_timer);
        m_outcome = outcome;
        m_reason = reason;
    }
    void expectStatements(int count) { m_statements = count; }
    double total() const { return m_total; }
    double closing() const { return m_statementsDone < 0 ? 0 : m_total - m_statementsDone; }
    bool restored() const { return m_outcome == backoffice::JobOutcome::Restored; }
    QString reason() const { return m_reason; }

private:
    QElapsedTimer m_timer;
    int m_statements = 0;
    double m_statementsDone = -1;
    double m_total = 0;
    backoffice::JobOutcome m_outcome = backoffice::JobOutcome::Failed;
    QString m_reason;
};

void fill(const QString& path, int rows)
{
    bench::DirectFill fill(path, "INSERT INTO inquiry(d1,d2,d3,d5,d6,d7,d16,d26) VALUES(?,?,?,?,?,?,?,?)");
    QRandomGenerator random(17);
    for (int i = 0; i < rows; ++i) {
        const QByteArray texts[] = { QStringLiteral("类别%1").arg(random.bounded(20)).toUtf8(),
            QStringLiteral("剂型%1").arg(random.bounded(50)).toUtf8(),
            QStringLiteral("药品名称%1").arg(i).toUtf8(),
            QStringLiteral("规格%1").arg(random.bounded(500)).toUtf8(),
            QStringLiteral("制药厂%1").arg(random.bounded(300)).toUtf8(),
            QStringLiteral("单位%1").arg(random.bounded(30)).toUtf8(),
            QDate(2012, 1, 1).addDays(random.bounded(2000)).toString("yyyy-MM-dd 00:00:00.000").toUtf8(),
            QByteArray::number(random.bounded(1000) + 1) + ".50" };
        for (int c = 0; c < 8; ++c)
            fill.text(c + 1, texts[c]);
        fill.insertRow();
    }
}

// The question on `connection`, every row read as the screen reads them.
double ask(const data::Connection& connection, const QString& question)
{
    QElapsedTimer timer;
    timer.start();
    data::Command command = data::Command::create();
    command.SetActiveConnection(connection);
    command.SetCommandTimeout(0);
    command.SetCommandText(question);
    for (data::Recordset rows = command.Execute(); !rows.EndOfFile(); rows.MoveNext())
        rows.Item(0).Value();
    return milliseconds(timer);
}

void restoreAndAsk(const char* label, const QString& device, bool questions)
{
    query::ScreenQuestions::setAskedAfterJobs(questions);
    data::SharedDatabase::reopen(QStringLiteral("nivo"));
    const backoffice::LongJob job = backoffice::LongJob::restore(QStringLiteral("nivo"), device, QString());
    Progress progress;
    progress.expectStatements(int(job.statements().size()));
    job.run(progress);
    if (!progress.restored()) {
        std::printf("  %s: the restore failed: %s\n", label, qPrintable(progress.reason()));
        return;
    }
    // A station's connection of its own, opened before its first question.
    data::Connection station = data::Connection::create();
    station.Open(data::SharedDatabase::loginConnectionString());
    using query::QueryStatements;
    const struct
    {
        const char* name;
        QString text;
    } questionsAsked[] = {
        { "drill-down d2 under d1", QueryStatements::distinctValues("d2", QStringLiteral("d1='类别3'")) },
        { "first level d1", QueryStatements::distinctValues("d1") },
        { "filter list d6", QueryStatements::distinctValues("d6") },
        { "filter list d16", QueryStatements::distinctValues("d16") },
    };
    std::printf("  %s: restore job %.0f ms, of which its closing questions %.0f ms\n", label,
        progress.total(), progress.closing());
    for (const auto& question : questionsAsked) {
        const double first = ask(station, question.text);
        double warm = 0;
        for (int i = 0; i < 3; ++i) {
            const double again = ask(station, question.text);
            warm = i == 0 ? again : qMin(warm, again);
        }
        std::printf("    %-24s first %8.1f ms (%s 20 ms)   asked again %6.1f ms   ratio %6.1f\n",
            question.name, first, first <= 20 ? "within" : "OVER", warm, warm > 0 ? first / warm : 0.0);
    }
    station.Close();
}

void run(int rows)
{
    QTemporaryDir directory;
    QFile ini(directory.filePath("uinfo.ini"));
    if (!ini.open(QIODevice::WriteOnly))
        return;
    // The demo's filter lists.
    ini.write("[system]\ndatabase=nivo\n\n[index]\nquestions=1\n\n[comfil]\ncom1=d1\ncom2=d2\ncom3=d7\n"
              "com4=d6\ncom5=d5\ncom16=d26\ncom17=d26\ncom18=d16\ncom19=d16\n");
    ini.close();
    // The station reads its settings in the folder it runs in.
    QDir::setCurrent(directory.path());
    settings::Settings::instance().load();
    auto backend = std::make_shared<engine::EmbeddedBackend>(directory.filePath("sqldata"));
    data::BackendRouter::setEmbeddedBackend(backend);
    {
        auto session = backend->open(QStringLiteral("Server=.;Database=;Uid=sa;pwd=") + Password, 0);
        session->execute(QStringLiteral("create database nivo"), 0);
        session->execute(
            QStringLiteral(
                "use nivo create table inquiry(d1 nvarchar(255) null,d2 nvarchar(255) null,"
                "d3 nvarchar(255) null,d5 nvarchar(255) null,d6 nvarchar(255) null,d7 nvarchar(255) "
                "null,d16 datetime null,d26 decimal(18,2) null,d51 image null,"
                "d60 decimal(18,0) not null primary key identity(1,1)) "
                "create table contrast(chna varchar(50) null,engl varchar(50) null,withe int null,"
                "nub int null,nober int not null primary key,sort int null) "
                "insert contrast values(N'类别','d1',0,0,1,1),(N'剂型','d2',0,0,2,2),"
                "(N'金额','d26',0,0,3,3)"),
            0);
    }
    QElapsedTimer timer;
    timer.start();
    fill(directory.filePath("sqldata/nivo.sqlite"), rows);
    std::printf("%d inquiry rows, filled in %.0f ms\n", rows, milliseconds(timer));

    data::SharedDatabase::createObjects();
    data::LoginValues& login = data::SharedDatabase::login();
    login.serverName = QStringLiteral("LOCALHOST");
    login.userName = QStringLiteral("sa");
    login.password = Password;
    login.databaseName = QStringLiteral("nivo");
    login.timeout = 0;
    data::SharedDatabase::reopen(QStringLiteral("nivo"));
    data::Command& command = data::SharedDatabase::command();
    const QString bare = directory.filePath("bare.dbk");
    const QString indexed = directory.filePath("indexed.dbk");
    command.SetCommandText(QStringLiteral("backup database nivo to disk='") + bare + "' with init");
    command.Execute();
    timer.start();
    query::ScreenQuestions::ask(data::SharedDatabase::connection());
    std::printf(
        "the screen's first questions asked once, building their indexes, in %.0f ms\n", milliseconds(timer));
    command.SetCommandText(QStringLiteral("backup database nivo to disk='") + indexed + "' with init");
    command.Execute();

    restoreAndAsk("backup without the indexes", bare, true);
    restoreAndAsk("backup with the indexes", indexed, true);
    restoreAndAsk("without the indexes, the job asking nothing", bare, false);
    data::SharedDatabase::releaseObjects();
    data::BackendRouter::setEmbeddedBackend(nullptr);
    settings::setSettingsDirectory(QString());
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const int rows = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 1000000;
    try {
        run(rows);
    } catch (const data::DbError& error) {
        std::fprintf(stderr, "failed: %s\n", error.description().toUtf8().constData());
        return 1;
    }
    return 0;
}

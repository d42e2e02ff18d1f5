#include "app/StartupQuestions.h"
#include "platform/EventLog.h"
#include "settings/SettingsFile.h"
#include "tests/query/QueryStation.h"
#include "tests/support/TempWorkspace.h"
#include "tests/support/WaitFor.h"

#include <gtest/gtest.h>
#include <QFile>
#include <sqlite3.h>

using namespace glimora;
using app::StartupQuestions;

namespace {

QStringList keptIndexes(const QString& file)
{
    QStringList names;
    sqlite3* db = nullptr;
    sqlite3_open_v2(QFile::encodeName(file).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(db,
        "SELECT name FROM sqlite_master WHERE type='index' AND name LIKE '!_!_glimora!_index%' ESCAPE '!' "
        "ORDER BY name",
        -1, &statement, nullptr);
    while (statement && sqlite3_step(statement) == SQLITE_ROW)
        names.append(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0))));
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return names;
}

} // namespace

// At start, the first level's and the filter lists' indexes are built before a visitor asks,
// on a worker; with the switch off nothing is asked.
TEST(StartupQuestionsTest, TheScreensFirstQuestionsFindTheirIndexesBuilt)
{
    QueryStation station(demoSettings());
    station.importDemoRecords();
    for (int n = 0; n < 5; ++n) // 480 rows doubled to 15,360: large enough for kept indexes
        station.execute("insert inquiry (d1,d2,d5,d6,d7,d16,d26) select d1,d2,d5,d6,d7,d16,d26 from inquiry");
    const QString file = station.workspace.filePath("sqldata/nivo.sqlite");
    ASSERT_EQ(keptIndexes(file), QStringList());

    std::unique_ptr<StartupQuestions> questions = StartupQuestions::fromSettings();
    ASSERT_TRUE(questions);
    QString problem = "not ended";
    QObject::connect(questions.get(), &StartupQuestions::finished, [&](const QString& p) { problem = p; });
    questions->start();
    EXPECT_EVENTUALLY(problem != "not ended");
    EXPECT_EQ(problem, QString());
    // The levels share one index; each filter column has its own.
    EXPECT_EQ(keptIndexes(file).join(' ').toStdString(),
        "__glimora_index_inquiry_d16 __glimora_index_inquiry_d1_d2_d3 __glimora_index_inquiry_d2 "
        "__glimora_index_inquiry_d26 __glimora_index_inquiry_d5 __glimora_index_inquiry_d6 "
        "__glimora_index_inquiry_d7");

    ASSERT_TRUE(settings::WriteSetting("index", "questions", "0"));
    EXPECT_FALSE(StartupQuestions::fromSettings());
}

// Nobody waits for the questions: what went wrong is written to the log, not dropped.
TEST(StartupQuestionsTest, AFailureIsLogged)
{
    TempWorkspace workspace;
    platform::EventLog::setUseJournal(false);
    platform::EventLog::setFolder(workspace.path());
    StartupQuestions questions([] { return QStringLiteral("Login failed for user 'sa'."); });
    bool ended = false;
    QObject::connect(&questions, &StartupQuestions::finished, [&] { ended = true; });
    questions.start();
    EXPECT_EVENTUALLY(ended);
    platform::EventLog::setFolder(QString());
    const QString log = QString::fromUtf8(workspace.readFile("glimora.log"));
    EXPECT_TRUE(log.contains("the first questions at start failed: Login failed for user 'sa'."))
        << log.toStdString();
}

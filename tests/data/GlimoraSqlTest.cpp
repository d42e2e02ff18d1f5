#include "tests/support/TempWorkspace.h"

#include "data/DbError.h"
#include "tools/glimora-sql/BatchReader.h"
#include "tools/glimora-sql/SqlConsole.h"

#include <gtest/gtest.h>
#include <QProcess>

using namespace glimora;

namespace {

struct ToolRun
{
    int exitCode;
    QString out;
    QString err;
};

ToolRun glimoraSql(const QStringList& arguments, const QByteArray& input = QByteArray())
{
    QProcess process;
    process.start(QStringLiteral(GLIMORA_SQL_PATH), arguments);
    process.write(input);
    process.closeWriteChannel();
    process.waitForFinished(60000);
    return { process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
        QString::fromUtf8(process.readAllStandardError()) };
}

} // namespace

TEST(BatchReaderTest, GoLinesEndBatches)
{
    EXPECT_EQ(tools::BatchReader::split(QStringLiteral("select 1\r\n go \nselect 2\nselect 3\nGO\n\nGO\n")),
        (QStringList { QStringLiteral("select 1"), QStringLiteral("select 2\nselect 3") }));
    EXPECT_EQ(tools::BatchReader::split(QStringLiteral("select 'GO'\nselect 1 -- GO")),
        QStringList { QStringLiteral("select 'GO'\nselect 1 -- GO") });
}

TEST(SqlConsoleTest, PrintsErrorsAsSqlServerDoes)
{
    QString text;
    QTextStream err(&text);
    tools::SqlConsole::printError(err,
        data::DbError(data::DbError::ProviderFailure,
            QStringLiteral("[unixODBC][FreeTDS][SQL Server]Invalid object name 'x'."), 208, 16, 1, 3));
    EXPECT_EQ(text, QStringLiteral("Msg 208, Level 16, State 1, Line 3\nInvalid object name 'x'.\n"));
    EXPECT_EQ(tools::SqlConsole::formatValue(data::Variant::null()), QStringLiteral("NULL"));
    EXPECT_EQ(tools::SqlConsole::formatValue(data::Variant::fromDecimal({ -5, 2 })), QStringLiteral("-0.05"));
}

TEST(GlimoraSqlTest, RunsBatchesThroughOdbcAndReportsFailures)
{
    TempWorkspace workspace;
    const QString connection
        = QStringLiteral("Driver={SQLite3};Database=") + workspace.filePath(QStringLiteral("t.db"));
    ToolRun created = glimoraSql({ QStringLiteral("-C"), connection },
        "create table t (a integer, b text)\nGO\ninsert into t values (1, 'x')\ngo\n"
        "insert into t values (2, NULL)\n");
    EXPECT_EQ(created.exitCode, 0) << created.err.toStdString();

    ToolRun selected = glimoraSql({ QStringLiteral("-C"), connection, QStringLiteral("-Q"),
        QStringLiteral("select a, b from t order by a") });
    EXPECT_EQ(selected.exitCode, 0);
    EXPECT_EQ(selected.out, QStringLiteral("a\tb\n1\tx\n2\tNULL\n"));

    workspace.writeFile(
        QStringLiteral("script.sql"), "select * from missing\nGO\nselect count(*) as n from t\n");
    ToolRun failed = glimoraSql({ QStringLiteral("-C"), connection, QStringLiteral("-i"),
        workspace.filePath(QStringLiteral("script.sql")) });
    EXPECT_EQ(failed.exitCode, 1);
    EXPECT_EQ(failed.out, QStringLiteral("n\n2\n")); // the batch after a failure still runs
    EXPECT_TRUE(failed.err.startsWith(QStringLiteral("Msg "))) << failed.err.toStdString();
    EXPECT_TRUE(failed.err.contains(QStringLiteral("no such table: missing")));

    ToolRun refused = glimoraSql({ QStringLiteral("-C"), QStringLiteral("Driver={No Such Driver}"),
        QStringLiteral("-Q"), QStringLiteral("select 1") });
    EXPECT_EQ(refused.exitCode, 1);
}

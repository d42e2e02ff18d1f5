#include "tests/support/TempWorkspace.h"

#include "data/DbError.h"
#include "tools/glimora-sql/BatchReader.h"
#include "tools/glimora-sql/SqlConsole.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
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

namespace {

// A backup path as a person may type it: it names that very file, or nothing is written.
struct TypedPath
{
    const char* name;
    QByteArray fileName; // the bytes of the script between the quotes
    bool works;
};

std::ostream& operator<<(std::ostream& out, const TypedPath& path)
{
    return out << path.name;
}

class GlimoraSqlPathTest : public ::testing::TestWithParam<TypedPath>
{
};

} // namespace

TEST_P(GlimoraSqlPathTest, BackupPathsNameTheTypedFileOrFail)
{
    TempWorkspace workspace;
    const QByteArray folder = QFile::encodeName(workspace.path()) + '/';
    const QByteArray device = folder + GetParam().fileName;
    workspace.writeFile(QStringLiteral("script.sql"),
        "create database nivo\nGO\nbackup database nivo to disk='" + device
            + "'\nGO\n"
              "restore verifyonly from disk='"
            + device + "'\n");
    const QStringList login { QStringLiteral("--data-dir"), workspace.filePath(QStringLiteral("sqldata")),
        QStringLiteral("-S"), QStringLiteral("localhost"), QStringLiteral("-U"), QStringLiteral("sa"),
        QStringLiteral("-P"), QStringLiteral("Secret-1") };
    const ToolRun ran
        = glimoraSql(login + QStringList { QStringLiteral("-i"), workspace.filePath("script.sql") });

    QStringList written = QDir(workspace.path()).entryList(QDir::Files);
    written.removeAll(QStringLiteral("script.sql"));
    if (GetParam().works) {
        EXPECT_EQ(ran.exitCode, 0) << ran.err.toStdString();
        QString typed = QString::fromUtf8(GetParam().fileName);
        typed.replace(QLatin1String("''"), QLatin1String("'"));
        EXPECT_EQ(written, QStringList { typed });
    } else {
        EXPECT_EQ(ran.exitCode, 1);
        EXPECT_FALSE(ran.err.isEmpty());
        EXPECT_TRUE(written.isEmpty()) << written.join(u' ').toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(Typed, GlimoraSqlPathTest,
    ::testing::Values(TypedPath { "Chinese", "备份 2024.dbk", true },
        TypedPath { "Emoji", "😀👍🏽.dbk", true }, TypedPath { "Quote", "o''brien.dbk", true },
        TypedPath { "Comment", "a--b *c [d].dbk", true },
        TypedPath { "RightToLeft", "שלום\xE2\x80\xAE.dbk", true },
        TypedPath { "InvalidUtf8", "bad\xFF\xFE.dbk", false },
        TypedPath { "Nul", QByteArray("a\0b.dbk", 7), false }),
    [](const ::testing::TestParamInfo<TypedPath>& info) { return std::string(info.param.name); });

TEST(GlimoraSqlTest, RefusesArgumentsThatAreNotUtf8)
{
    TempWorkspace workspace;
    QProcess shell;
    // QProcess passes only valid text; the shell hands the raw bytes on.
    shell.start(QStringLiteral("/bin/sh"),
        { QStringLiteral("-c"),
            QStringLiteral("exec \"$0\" --data-dir \"$1\" -S localhost -U sa -P Secret-1 -Q "
                           "\"$(printf 'backup database master to disk=\\047\\377.dbk\\047')\""),
            QStringLiteral(GLIMORA_SQL_PATH), workspace.filePath(QStringLiteral("sqldata")) });
    ASSERT_TRUE(shell.waitForFinished(60000));
    EXPECT_EQ(shell.exitCode(), 1);
    EXPECT_TRUE(QString::fromUtf8(shell.readAllStandardError()).contains(QLatin1String("not valid UTF-8")));
    EXPECT_TRUE(QDir(workspace.path()).entryList(QDir::Files).isEmpty());
    EXPECT_FALSE(QDir(workspace.filePath(QStringLiteral("sqldata"))).exists());
}

TEST(GlimoraSqlTest, ReadsScriptsThatBeginWithAByteOrderMark)
{
    TempWorkspace workspace;
    const QByteArray script = "\xEF\xBB\xBFselect N'\xE5\x90\x8D' as name\nGO\nselect 2\n";
    const QString path = workspace.filePath(QStringLiteral("script.sql"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(script);
    file.close();
    const QStringList login = { QStringLiteral("--data-dir"), workspace.filePath(QStringLiteral("sqldata")),
        QStringLiteral("-U"), QStringLiteral("sa"), QStringLiteral("-P"), QStringLiteral("Secret-1") };
    for (const ToolRun& run :
        { glimoraSql(login + QStringList { QStringLiteral("-i"), path }), glimoraSql(login, script) }) {
        EXPECT_EQ(run.exitCode, 0) << qPrintable(run.err);
        EXPECT_TRUE(run.out.contains(QStringLiteral("名"))) << qPrintable(run.out);
        EXPECT_TRUE(run.out.contains(QLatin1Char('2'))) << qPrintable(run.out);
    }
    // A mark anywhere but at the start is still refused as before.
    const ToolRun inside = glimoraSql(login, "select 1\n\xEF\xBB\xBF\xFF");
    EXPECT_EQ(inside.exitCode, 1);
}

#include "engine/tsql/BatchParser.h"
#include "engine/server/ServerError.h"
#include "engine/tsql/Lexer.h"
#include "tests/engine/StationStatements.h"

#include <gtest/gtest.h>

using namespace glimora::engine;
using Kind = Token::Kind;

TEST(LexerTest, ReadsEveryKindOfToken)
{
    const QList<Token> tokens = Lexer::tokenize(
        "select [my col], N'x''y', 'it''s', 0x0A1b, 12.5e3, @v, @@fetch_status -- a comment\n"
        "/* nested /* comment */ still */ from t where a<>b");
    QList<Kind> kinds;
    QStringList texts;
    for (const Token& token : tokens) {
        kinds.append(token.kind);
        texts.append(token.text);
    }
    EXPECT_EQ(texts,
        (QStringList { "select", "my col", ",", "x'y", ",", "it's", ",", "0A1b", ",", "12.5e3", ",", "@v",
            ",", "@@fetch_status", "from", "t", "where", "a", "<>", "b", "" }));
    EXPECT_EQ(kinds[1], Kind::QuotedName);
    EXPECT_EQ(kinds[3], Kind::NationalString);
    EXPECT_EQ(kinds[5], Kind::String);
    EXPECT_EQ(kinds[7], Kind::Binary);
    EXPECT_EQ(kinds[9], Kind::Number);
}

TEST(LexerTest, UnclosedStringOrCommentIsAnError)
{
    try {
        Lexer::tokenize("select 'abc");
        FAIL();
    } catch (const ServerError& error) {
        EXPECT_EQ(error.number(), 105);
    }
    try {
        Lexer::tokenize("select 1 /* open");
        FAIL();
    } catch (const ServerError& error) {
        EXPECT_EQ(error.number(), 113);
    }
}

TEST(BatchParserTest, SplitsTheCreationBatchWithoutSemicolons)
{
    using Statement = ast::Statement::Kind;
    const QString batch = QStringLiteral("use nivo") + QLatin1String(test::CreationText)
        + "C:\\data\\Contrast.XLS" + QLatin1String(test::ImportTail);
    const QList<ast::StatementPtr> statements = BatchParser::parse(batch);
    ASSERT_EQ(statements.size(), 5);
    EXPECT_EQ(statements[0]->kind, Statement::Use);
    EXPECT_EQ(statements[1]->kind, Statement::CreateTable);
    EXPECT_EQ(statements[1]->columnDefinitions.size(), 60);
    EXPECT_TRUE(statements[1]->columnDefinitions[59].identity);
    EXPECT_TRUE(statements[1]->columnDefinitions[59].primaryKey);
    EXPECT_EQ(statements[1]->columnDefinitions[25].type.name(), "decimal(18,2)");
    EXPECT_EQ(statements[2]->table, "contrast");
    EXPECT_EQ(statements[3]->table, "username");
    EXPECT_EQ(statements[4]->kind, Statement::Insert);
    ASSERT_TRUE(statements[4]->select);
    EXPECT_EQ(statements[4]->select->from.first.options, "Excel 5.0;HDR=no;Database=C:\\data\\Contrast.XLS");
    EXPECT_EQ(statements[4]->select->from.first.object, "contrast$");
}

TEST(BatchParserTest, SplitsProcedureCallsAndTheirArguments)
{
    const QList<ast::StatementPtr> statements
        = BatchParser::parse(" Exec sp_dropsrvrolemember 'x',sysadmin  Exec sp_droprolemember "
                             "db_datawriter,'x' Exec sp_password NULL,'p',x");
    ASSERT_EQ(statements.size(), 3);
    EXPECT_EQ(statements[0]->name, "sp_dropsrvrolemember");
    EXPECT_EQ(statements[0]->arguments[1].second->text, "sysadmin");
    EXPECT_EQ(statements[1]->arguments[0].second->text, "db_datawriter");
    EXPECT_EQ(statements[2]->arguments[0].second->kind, ast::Expr::Kind::Null);
    EXPECT_EQ(statements[2]->arguments[2].second->text, "x");
}

TEST(BatchParserTest, ReadsBackupAndRestoreOptions)
{
    using Statement = ast::Statement::Kind;
    const QList<ast::StatementPtr> statements = BatchParser::parse(
        "backup   database   nivo  to   disk='/b/n.dbk' with init restore database nivo from disk = N'n.dbk' "
        "with "
        "replace, file = 2, stats = 10 BACKUP LOG nivo TO DISK = 'C:Ledgerly_Last.bak' WITH NORECOVERY "
        "restore verifyonly from disk='v.dbk'");
    ASSERT_EQ(statements.size(), 4);
    EXPECT_EQ(statements[0]->kind, Statement::Backup);
    EXPECT_TRUE(statements[0]->init);
    EXPECT_EQ(statements[0]->device, "/b/n.dbk");
    EXPECT_EQ(statements[1]->kind, Statement::Restore);
    EXPECT_TRUE(statements[1]->replace);
    EXPECT_EQ(statements[1]->fileNumber, 2);
    EXPECT_TRUE(statements[2]->log);
    EXPECT_EQ(statements[2]->name, "nivo");
    EXPECT_TRUE(statements[3]->verifyOnly);
    EXPECT_EQ(statements[3]->fileNumber, 1);
}

// A first word that is no keyword names a procedure, whose arguments are constants,
// variables and bare words: SQL Server reports what cannot follow, not the word.
TEST(BatchParserTest, AMisspelledFirstWordIsAProcedureCall)
{
    const struct
    {
        const char* batch;
        int number;
        const char* message;
    } cases[] = { { "selec * from s", 102, "Incorrect syntax near '*'." },
        { "selec a from t", 156, "Incorrect syntax near the keyword 'from'." },
        { "delet from t", 156, "Incorrect syntax near the keyword 'from'." },
        { "inser into t values(1)", 156, "Incorrect syntax near the keyword 'into'." },
        { "updat t set a=1", 195, "'a' is not a recognized SET option." },
        { "select 1; selec * from t", 102, "Incorrect syntax near 'selec'." },
        { "update t set a=1 selec * from t", 102, "Incorrect syntax near 'selec'." },
        { "exec p 1, (2)", 102, "Incorrect syntax near '('." } };
    for (const auto& c : cases) {
        try {
            BatchParser::parse(QString::fromLatin1(c.batch));
            ADD_FAILURE() << c.batch;
        } catch (const ServerError& error) {
            EXPECT_EQ(error.number(), c.number) << c.batch;
            EXPECT_EQ(error.message().toStdString(), c.message) << c.batch;
        }
    }

    const QList<ast::StatementPtr> call = BatchParser::parse("sp_adduser 'x', NULL, db_owner, -2, @v output");
    ASSERT_EQ(call.size(), 1);
    EXPECT_EQ(call[0]->arguments.size(), 5);
    EXPECT_EQ(call[0]->arguments[3].second->text, "-2");
    EXPECT_EQ(BatchParser::parse("selec 1")[0]->name, "selec");
    // A keyword after the call ends it, so that ELSE and END close what holds it.
    EXPECT_EQ(BatchParser::parse("if 1=1 exec p else exec q begin exec r end").size(), 2);
    EXPECT_EQ(BatchParser::parse("if @@trancount = 0 begin tran else commit").size(), 1);
}

struct SyntaxCase
{
    const char* batch;
    int number;
};

class SyntaxErrorTest : public testing::TestWithParam<SyntaxCase>
{
};

TEST_P(SyntaxErrorTest, ReportsSqlServerNumbers)
{
    try {
        BatchParser::parse(QString::fromUtf8(GetParam().batch));
        FAIL() << GetParam().batch;
    } catch (const ServerError& error) {
        EXPECT_EQ(error.number(), GetParam().number)
            << GetParam().batch << ": " << error.message().toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(Batches, SyntaxErrorTest,
    testing::Values(SyntaxCase { "select from t", 156 }, SyntaxCase { "select a from", 156 },
        SyntaxCase { "insert t values(1", 102 }, SyntaxCase { "select a from t where", 156 },
        SyntaxCase { "create table t(a varchar(10)", 102 }, SyntaxCase { "create table t(a widget)", 2715 },
        SyntaxCase { "merge t using s on 1=1", 102 }, SyntaxCase { "select * into t2 from t", 40000 },
        SyntaxCase { "create view v as select 1", 40000 },
        SyntaxCase { "backup database nivo to disk=nivo", 102 },
        SyntaxCase { "restore database nivo from tape='x'", 102 }, SyntaxCase { "fetch prior from c", 40000 },
        SyntaxCase { "declare c cursor for", 156 },
        // Misspelled keywords and stray words are syntax errors as SQL Server numbers them;
        // what SQL Server has and this server lacks is reported as such.
        SyntaxCase { "create tabel t(a int)", 343 }, SyntaxCase { "drop tabel t", 343 },
        SyntaxCase { "select 1 end", 156 }, SyntaxCase { "from t", 156 },
        SyntaxCase { "insert t values(1) updte t set a=2", 102 },
        SyntaxCase { "select * from t oder by a", 156 }, SyntaxCase { "alter table t add b int", 40000 },
        SyntaxCase { "select 1 truncate table t", 40000 }, SyntaxCase { "drop view v", 40000 }));

#include "data/ConnectionString.h"
#include "data/DbError.h"

#include <gtest/gtest.h>

using glimora::data::ConnectionString;
using glimora::data::DbError;

namespace {

QString fill(const QString& templateText, const QString& user, const QString& password, const QString& server,
    const QString& database)
{
    return ConnectionString::fromTemplate(templateText, user, password, server, database);
}

} // namespace

TEST(ConnectionStringTest, BuiltInTemplateAtLoginLeavesTheDatabaseEmpty)
{
    EXPECT_EQ(fill(QString(), QStringLiteral("sa"), QStringLiteral("pw"), QStringLiteral("SRV"), QString()),
        QStringLiteral("Driver={SQL Server};Server=SRV;Database=;Uid=sa;pwd=pw"));
    EXPECT_EQ(fill(QString(), QStringLiteral("sa"), QStringLiteral("pw"), QStringLiteral("SRV"),
                  QStringLiteral("nivo")),
        QStringLiteral("Driver={SQL Server};Server=SRV;Database=nivo;Uid=sa;pwd=pw"));
}

TEST(ConnectionStringTest, QuestionMarksInValuesAreKeptAsTyped)
{
    EXPECT_EQ(fill(QString(), QStringLiteral("us?er"), QStringLiteral("p??w?"), QStringLiteral("S?"),
                  QStringLiteral("nivo")),
        QStringLiteral("Driver={SQL Server};Server=S?;Database=nivo;Uid=us?er;pwd=p??w?"));
    EXPECT_EQ(fill(QString(), QStringLiteral("????"), QStringLiteral("???"), QStringLiteral("??"),
                  QStringLiteral("?")),
        QStringLiteral("Driver={SQL Server};Server=??;Database=?;Uid=????;pwd=???"));
}

TEST(ConnectionStringTest, CustomTemplatesReadRunsOfQuestionMarksAsTheReplaceStepsDid)
{
    const QString user = QStringLiteral("U"), password = QStringLiteral("P"), server = QStringLiteral("S"),
                  database = QStringLiteral("D");
    EXPECT_EQ(
        fill(QStringLiteral("DSN=x;A=?????;B=??????;C=???????;E=????????"), user, password, server, database),
        QStringLiteral("DSN=x;A=UD;B=US;C=UP;E=UU"));
    EXPECT_EQ(fill(QStringLiteral(
                       "Driver={FreeTDS};Server=??;Port=1433;UID=????;PWD=???;Database=?;TDS_Version=7.4"),
                  user, password, server, database),
        QStringLiteral("Driver={FreeTDS};Server=S;Port=1433;UID=U;PWD=P;Database=D;TDS_Version=7.4"));
    // Without placeholders the template is used as written, whatever was typed.
    EXPECT_EQ(fill(QStringLiteral("DSN=fixed;UID=x"), QStringLiteral("a;}"), password, server, database),
        QStringLiteral("DSN=fixed;UID=x"));
}

TEST(ConnectionStringTest, ValuesThatBreakTheSyntaxAreBraced)
{
    EXPECT_EQ(fill(QString(), QStringLiteral("sa"), QStringLiteral("a;b"), QStringLiteral("SRV"), QString()),
        QStringLiteral("Driver={SQL Server};Server=SRV;Database=;Uid=sa;pwd={a;b}"));
    EXPECT_EQ(fill(QString(), QStringLiteral("{sa"), QStringLiteral("x}y"), QStringLiteral("SRV"), QString()),
        QStringLiteral("Driver={SQL Server};Server=SRV;Database=;Uid={{sa};pwd=x}y"));
    for (const char* password : { "a;b}", "{a}" }) {
        try {
            fill(QString(), QStringLiteral("sa"), QString::fromLatin1(password), QStringLiteral("SRV"),
                QString());
            ADD_FAILURE() << password << " was sent";
        } catch (const DbError& error) {
            EXPECT_TRUE(error.description().startsWith(QStringLiteral("The password cannot"))) << password;
        }
    }
}

TEST(ConnectionStringTest, DataControlForm)
{
    EXPECT_EQ(ConnectionString::forDataControl(
                  QStringLiteral("SRV"), QStringLiteral("nivo"), QStringLiteral("u?"), QStringLiteral("p;w")),
        QStringLiteral("Driver={SQL Server};Server=SRV;database=nivo;Uid=u?;pwd={p;w}"));
}

TEST(ConnectionStringTest, ReadsValuesBack)
{
    // Blanks before a brace are skipped; a value without braces is kept as written.
    const QString text = QStringLiteral("Driver={SQL Server};SERVER = host1 ;pwd= {a;b}}};x=1;X=2;Database=");
    EXPECT_EQ(ConnectionString::value(text, QStringLiteral("Server")), QStringLiteral(" host1 "));
    EXPECT_EQ(ConnectionString::value(text, QStringLiteral("driver")), QStringLiteral("SQL Server"));
    EXPECT_EQ(ConnectionString::value(text, QStringLiteral("pwd")), QStringLiteral("a;b}"));
    EXPECT_EQ(ConnectionString::value(text, QStringLiteral("x")), QStringLiteral("1"));
    EXPECT_EQ(ConnectionString::value(text, QStringLiteral("uid")), QString());
    EXPECT_TRUE(ConnectionString::parse(text).contains(QStringLiteral("database")));
}

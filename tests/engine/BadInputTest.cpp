#include "data/ConnectionString.h"
#include "tests/engine/EngineTestSupport.h"

using namespace glimora;
using namespace glimora::engine::test;

namespace {

// Texts that people type and that break careless quoting, parsing or storage.
struct Typed
{
    const char* name;
    QString text;
};

std::ostream& operator<<(std::ostream& out, const Typed& typed)
{
    return out << typed.name;
}

const QList<Typed>& typedTexts()
{
    static const QList<Typed> texts {
        { "Quote", QStringLiteral("O'Brien") },
        { "DoubledQuotes", QStringLiteral("it''s '' '") },
        { "Brackets", QStringLiteral("[a]]b] ]") },
        { "DoubleQuotes", QStringLiteral("say \"hi\"") },
        { "LineComment", QStringLiteral("x -- y") },
        { "BlockComment", QStringLiteral("a /* b") },
        { "ClosingComment", QStringLiteral("*/ c") },
        { "Injection", QStringLiteral("'; drop table inquiry --") },
        { "Nul", QString::fromUtf16(u"a\0b", 3) },
        { "LeadingNul", QString::fromUtf16(u"\0z", 2) },
        { "Ascii4000", QString(4000, u'x') },
        { "Chinese4000", QString(4000, QChar(0x6C49)) },
        { "OneMegabyte", QString(1 << 20, u'y') },
        { "Chinese", QStringLiteral("张三丰 医院") },
        { "Emoji", QStringLiteral("😀 👍🏽 🇨🇳") },
        { "RightToLeft", QStringLiteral("שלום עולם \u202Eabc\u202C مرحبا") },
        { "ControlCharacters", QStringLiteral("tab\there\r\nnew line\x01\x1f") },
        { "Path", QStringLiteral("../../etc/passwd") },
    };
    return texts;
}

QString quoted(const QString& text)
{
    QString doubled = text;
    doubled.replace(u'\'', QLatin1String("''"));
    return QStringLiteral("N'") + doubled + u'\'';
}

QString bracketed(const QString& name)
{
    QString doubled = name;
    doubled.replace(u']', QLatin1String("]]"));
    return u'[' + doubled + u']';
}

// Everything the station's database holds, as text: any change shows.
QString contentOf(data::BackendSession& session)
{
    QString content;
    for (const char* table : { "inquiry", "contrast", "username" }) {
        for (const QStringList& row :
            run(session, QStringLiteral("select * from ") + QLatin1String(table)).rows)
            content += row.join(u'|') + u'\n';
    }
    return content;
}

// One server for every case: each case leaves the database as it found it, which it checks.
class BadInputTest : public ::testing::TestWithParam<Typed>
{
protected:
    static void SetUpTestSuite()
    {
        s_directory = new QTemporaryDir;
        s_backend = new engine::EmbeddedBackend(s_directory->filePath(QStringLiteral("sqldata")));
        auto session = s_backend->open(connectionString("sa", "Secret1"), 5);
        run(*session,
            "create database nivo use nivo"
            " create table inquiry(d1 nvarchar(255) null, d2 nvarchar(255) null, d21 decimal(18,0) null,"
            " d60 decimal(18,0) not null primary key identity(1,1))"
            " create table contrast(chna varchar(50) null,engl varchar(50) null,withe int null,nub int null,"
            "nober int not null PRIMARY KEY,sort int null)"
            " create table username(uname varchar(20) not null,acc1 int null)"
            " insert inquiry(d1,d2,d21) values(N'内科','a',1),('x',null,2)"
            " insert contrast values('名称','d1',100,1,1,1) insert username(uname,acc1) values('sa',1)");
    }
    static void TearDownTestSuite()
    {
        delete s_backend;
        delete s_directory;
    }

    void SetUp() override
    {
        m_session = s_backend->open(connectionString("sa", "Secret1", "nivo"), 5);
        run(*m_session,
            "create table typed(k int not null primary key, v nvarchar(max) null, s nvarchar(255) null)");
        m_before = contentOf(*m_session);
    }
    void TearDown() override { run(*m_session, "use nivo drop table typed"); }

    // The statement either ran or failed with a message number and text of the server.
    bool ranOrRefused(const QString& batch)
    {
        QString message;
        const int error = errorOf(*m_session, batch, &message);
        if (error == 0)
            return true;
        EXPECT_GT(error, 0) << message.left(200).toStdString();
        EXPECT_FALSE(message.isEmpty());
        return false;
    }

    static inline QTemporaryDir* s_directory = nullptr;
    static inline engine::EmbeddedBackend* s_backend = nullptr;
    std::unique_ptr<data::BackendSession> m_session;
    QString m_before;
};

} // namespace

TEST_P(BadInputTest, ValuesAreStoredAsTypedOrRefused)
{
    const QString text = GetParam().text;
    if (ranOrRefused(QStringLiteral("insert typed(k, v) values(1, %1)").arg(quoted(text)))) {
        EXPECT_TRUE(column(*m_session, "select v from typed where k=1") == QStringList { text });
        EXPECT_EQ(
            column(*m_session, QStringLiteral("select count(*) from typed where v=%1").arg(quoted(text))),
            QStringList { "1" });
        EXPECT_EQ(column(*m_session, QStringLiteral("select len(v) - len(%1) from typed").arg(quoted(text))),
            QStringList { "0" });
    } else {
        EXPECT_EQ(column(*m_session, "select count(*) from typed"), QStringList { "0" });
    }
    // Into a column too short for it: stored whole, or refused with nothing written.
    if (ranOrRefused(QStringLiteral("insert typed(k, s) values(2, %1)").arg(quoted(text)))) {
        EXPECT_TRUE(column(*m_session, "select s from typed where k=2") == QStringList { text });
    } else {
        EXPECT_EQ(column(*m_session, "select count(*) from typed where k=2"), QStringList { "0" });
    }
    // Through a variable and back out.
    if (ranOrRefused(QStringLiteral("declare @v nvarchar(max) set @v=%1 select @v").arg(quoted(text)))) {
        EXPECT_TRUE(column(*m_session,
                        QStringLiteral("declare @v nvarchar(max) set @v=%1 select @v").arg(quoted(text)))
            == QStringList { text });
    }
    // As a search value, the way the query screen sends it.
    EXPECT_EQ(
        column(*m_session, QStringLiteral("select count(*) from inquiry where d1=%1").arg(quoted(text))),
        QStringList { "0" });
    EXPECT_EQ(contentOf(*m_session), m_before);
}

TEST_P(BadInputTest, NamesWorkAsTypedOrAreRefused)
{
    const QString name = GetParam().text;
    const QString table = bracketed(name);
    if (ranOrRefused(QStringLiteral("create table %1(%1 int null)").arg(table))) {
        EXPECT_TRUE(ranOrRefused(QStringLiteral("insert %1(%1) values(7)").arg(table)));
        const Rows rows = run(*m_session, QStringLiteral("select %1 from %1").arg(table));
        ASSERT_EQ(rows.fields.size(), 1);
        EXPECT_TRUE(rows.fields[0].name == name);
        EXPECT_EQ(rows.rows, (QList<QStringList> { { "7" } }));
        EXPECT_TRUE(ranOrRefused(QStringLiteral("drop table %1").arg(table)));
    }
    EXPECT_EQ(column(*m_session, "select count(*) from typed"), QStringList { "0" });
    EXPECT_EQ(contentOf(*m_session), m_before);
}

TEST_P(BadInputTest, LoginsAndPasswordsWorkAsTypedOrAreRefused)
{
    const QString text = GetParam().text;
    if (ranOrRefused(QStringLiteral("exec sp_addlogin 'guest', %1, 'nivo'").arg(quoted(text)))) {
        // The password logs in exactly as typed.
        QString password;
        try {
            password = data::ConnectionString::quoteValue(text, QStringLiteral("The password"));
        } catch (const data::DbError&) {
            password.clear(); // no connection string carries it; the login screen says so
        }
        if (!password.isEmpty()) {
            // Past the password check, the login only lacks a user in its default database.
            try {
                s_backend->open(
                    QStringLiteral("Driver={SQL Server};Server=LOCALHOST;Uid=guest;pwd=") + password, 5);
            } catch (const data::DbError& error) {
                EXPECT_EQ(error.nativeError(), 4064) << error.description().toStdString();
            }
        }
        EXPECT_TRUE(ranOrRefused(QStringLiteral("exec sp_droplogin 'guest'")));
    }
    if (ranOrRefused(QStringLiteral("exec sp_addlogin %1, 'Pw-1', 'nivo'").arg(quoted(text)))) {
        EXPECT_TRUE(ranOrRefused(QStringLiteral("exec sp_droplogin %1").arg(quoted(text))));
    }
    // A database of that name, named by the catalogue but never by its file.
    if (ranOrRefused(QStringLiteral("create database %1").arg(bracketed(text)))) {
        EXPECT_TRUE(
            ranOrRefused(QStringLiteral("use %1 create table t(k int null) use nivo").arg(bracketed(text))));
        EXPECT_TRUE(ranOrRefused(QStringLiteral("drop database %1").arg(bracketed(text))));
    }
    run(*m_session, "use nivo");
    EXPECT_EQ(contentOf(*m_session), m_before);
}

INSTANTIATE_TEST_SUITE_P(Typed, BadInputTest, ::testing::ValuesIn(typedTexts()),
    [](const ::testing::TestParamInfo<Typed>& info) { return std::string(info.param.name); });

// Nesting that would run the parser or the translator out of stack: 191, and the session
// goes on. Moderate nesting still runs.
TEST(DeepNestingTest, FailsWith191AndTheSessionGoesOn)
{
    QTemporaryDir directory;
    engine::EmbeddedBackend backend(directory.filePath(QStringLiteral("sqldata")));
    auto session = backend.open(connectionString("sa", "Secret1"), 5);
    const auto repeated
        = [](const char* text, int times) { return QString::fromLatin1(text).repeated(times); };
    const QList<std::pair<QString, int>> batches {
        { "select " + repeated("(", 100) + "1" + repeated(")", 100), 0 },
        { "select 1" + repeated("+1", 50), 0 },
        { "select 1" + repeated("+1", 300), 191 },
        { "select " + repeated("(", 20000) + "1" + repeated(")", 20000), 191 },
        { "select 1" + repeated("+1", 20000), 191 },
        { "select 1 where 1=1" + repeated(" and 1=1", 20000), 191 },
        { "select 1 where 1=1" + repeated(" or 1=1", 20000), 191 },
        { "select " + repeated("- ", 20000) + "1", 191 },
        { "select 1 where " + repeated("not ", 20000) + "1=1", 191 },
        { "select 1 where 1 in " + repeated("(select 1 where 1 in ", 3000) + "(1)" + repeated(")", 3000),
            191 },
        { repeated("begin ", 5000) + "select 1" + repeated(" end", 5000), 191 },
        { repeated("if 1=1 ", 5000) + "select 1", 191 },
        { "exec('select " + repeated("(", 20000) + "1" + repeated(")", 20000) + "')", 191 },
    };
    for (const auto& [batch, error] : batches) {
        SCOPED_TRACE(batch.left(60).toStdString());
        EXPECT_EQ(errorOf(*session, batch), error);
        EXPECT_EQ(column(*session, "select 2"), QStringList { "2" });
    }
}

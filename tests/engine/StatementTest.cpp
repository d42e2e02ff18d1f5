#include "engine/workbook/WorkbookReader.h"
#include "tests/engine/EngineTestSupport.h"
#include "tests/engine/StationStatements.h"

#include <QFile>

using namespace glimora;
using namespace glimora::engine::test;

namespace {

QString contrastWorkbook()
{
    const QString folder = QStringLiteral(GLIMORA_ENGINE_FIXTURES "/workbooks/");
    for (const char* name : { "Contrast.XLS", "Contrast.xls", "contrast.xls" }) {
        if (QFile::exists(folder + QLatin1String(name)))
            return folder + QLatin1String(name);
    }
    return QString();
}

QString secondBatch(const QString& database, const QString& workbook)
{
    return QStringLiteral("use ") + database + QLatin1String(CreationText) + workbook
        + QLatin1String(ImportTail);
}

// What the import must keep: rows whose first cell is neither empty nor "chna" and
// whose second cell is not empty.
int expectedCatalogueRows(const QString& workbook)
{
    const engine::WorkbookTable table
        = engine::readWorkbookSheet(workbook, QStringLiteral("contrast"), false);
    int count = 0;
    for (const QList<data::Variant>& row : table.rows) {
        const data::Variant& first = row.value(0);
        if (first.isNull() || row.value(1).isNull())
            continue;
        if (first.kind() == data::Variant::Kind::String
            && first.toString().trimmed().compare(QLatin1String("chna"), Qt::CaseInsensitive) == 0)
            continue;
        ++count;
    }
    return count;
}

class StationStatementTest : public ServerTest
{
protected:
    void SetUp() override
    {
        ServerTest::SetUp();
        m_workbook = contrastWorkbook();
        if (m_workbook.isEmpty())
            GTEST_SKIP() << "no Contrast workbook among the fixtures";
        m_session = connect();
        // The login sends both batches and ignores their outcome.
        EXPECT_EQ(errorOf(*m_session, "create database nivo"), 0);
        EXPECT_EQ(errorOf(*m_session, secondBatch("nivo", m_workbook)), 0);
        m_session = connect(QStringLiteral("sa"), QStringLiteral("Secret1"), QStringLiteral("nivo"));
    }

    QString m_workbook;
    std::unique_ptr<data::BackendSession> m_session;
};

} // namespace

TEST_F(StationStatementTest, CreationBatchesBuildTheDatabaseAndTheCatalogue)
{
    const int expected = expectedCatalogueRows(m_workbook);
    ASSERT_GT(expected, 0);
    EXPECT_EQ(column(*m_session, "select count(*) from contrast"), QStringList { QString::number(expected) });
    EXPECT_EQ(
        column(*m_session, "select count(*) from contrast where chna='chna' or chna is null or engl is null"),
        QStringList { "0" });
    EXPECT_EQ(column(*m_session, "select count(*) from inquiry"), QStringList { "0" });
    EXPECT_EQ(column(*m_session, "select count(*) from username"), QStringList { "0" });

    const Rows fields = run(*m_session, "select d1,d16,d21,d26,d51,d60 from inquiry");
    ASSERT_EQ(fields.fields.size(), 6);
    EXPECT_EQ(int(fields.fields[0].type), 202);
    EXPECT_EQ(int(fields.fields[1].type), 135);
    EXPECT_EQ(int(fields.fields[2].type), 131);
    EXPECT_EQ(fields.fields[3].scale, 2);
    EXPECT_EQ(int(fields.fields[4].type), 205);
    EXPECT_EQ(int(fields.fields[5].type), 131);
    const Rows catalogue = run(*m_session, "select chna,withe from contrast");
    EXPECT_EQ(int(catalogue.fields[0].type), 200);
    EXPECT_EQ(int(catalogue.fields[1].type), 3);
}

TEST_F(StationStatementTest, SendingTheBatchesAgainFailsHarmlessly)
{
    const QStringList before = column(*m_session, "select chna from contrast order by nober");
    auto login = connect();
    QString message;
    EXPECT_EQ(errorOf(*login, "create database nivo", &message), 1801);
    EXPECT_EQ(message, "Database 'nivo' already exists. Choose a different database name.");
    EXPECT_EQ(errorOf(*login, secondBatch("nivo", m_workbook), &message), 2714);
    EXPECT_EQ(message, "There is already an object named 'inquiry' in the database.");
    EXPECT_EQ(column(*m_session, "select chna from contrast order by nober"), before);
}

TEST_F(StationStatementTest, CatalogueAndCaptionReads)
{
    run(*m_session, "delete contrast");
    run(*m_session, "insert contrast values('名称',  'd1', 100, 0, 1, 2)");
    run(*m_session, "insert contrast values('地址h', 'd2', 120, 0, 2, 1)");
    run(*m_session, "insert contrast values('Phone H', 'd3', 80, 0, 3, NULL)");
    run(*m_session, "insert contrast values('金额', 'd26', 90, 0, 4, 3)");
    run(*m_session, "insert contrast values('晴岚软件公司', NULL, NULL, NULL, 100, NULL)");
    run(*m_session, "insert contrast values('公共信息查询表', NULL, NULL, NULL, 101, NULL)");

    // Names ending in h are hidden whatever their case; NULL sorts first.
    const Rows fields = run(
        *m_session, "select engl,chna,withe,sort  from contrast where right(chna,1)<>'h' order by sort");
    ASSERT_EQ(fields.rows.size(), 4);
    EXPECT_EQ(fields.rows[0], (QStringList { "NULL", "晴岚软件公司", "NULL", "NULL" }));
    EXPECT_EQ(fields.rows[2], (QStringList { "d1", "名称", "100", "2" }));
    EXPECT_EQ(fields.rows[3], (QStringList { "d26", "金额", "90", "3" }));
    EXPECT_EQ(
        run(*m_session, "select engl,chna,withe,sort from contrast where right(chna,1)<>'h' order by sort")
            .rows,
        fields.rows);
    EXPECT_EQ(
        column(*m_session, "select chna from contrast where nober>=100 and nober<=101 order by nober asc"),
        (QStringList { "晴岚软件公司", "公共信息查询表" }));
    EXPECT_EQ(
        run(*m_session, "select sort,chna,withe,engl,nober from contrast where nober<52").rows.size(), 4);

    EXPECT_EQ(run(*m_session, "update contrast set chna='新公司' where nober=100").rowsAffected, 1);
    EXPECT_EQ(run(*m_session, "update contrast set chna='新报表' where nober=101").rowsAffected, 1);
    EXPECT_EQ(
        column(*m_session, "select chna from contrast where nober>=100 and nober<=101 order by nober asc"),
        (QStringList { "新公司", "新报表" }));
    // A quote in the value breaks the statement: it fails and changes nothing.
    EXPECT_EQ(errorOf(*m_session, "update contrast set chna='O'Brien' where nober=100"), 105);
    EXPECT_EQ(column(*m_session, "select chna from contrast where nober=100"), QStringList { "新公司" });
}

TEST_F(StationStatementTest, DrillDownAndFilterStatements)
{
    run(*m_session, "insert inquiry(d1,d2,d17,d22,d26) values('v','w','2012-12-31',15,12.5)");
    run(*m_session, "insert inquiry(d1,d2,d17,d22,d26) values('V ','x','2013-01-05 10:00',16,7)");
    run(*m_session, "insert inquiry(d1,d2,d17,d22,d26) values('z','w',NULL,NULL,NULL)");

    EXPECT_EQ(column(*m_session, "select distinct d1 from inquiry  order by d1"), (QStringList { "v", "z" }));
    EXPECT_EQ(column(*m_session, "select distinct d2 from inquiry where  d1='v' order by d2"),
        (QStringList { "w", "x" }));
    EXPECT_EQ(column(*m_session, "select distinct d22 from inquiry where  d1='v' and d2='w' order by d22"),
        QStringList { "15" });
    // Numeric levels compare against the six-decimal text the buttons show.
    EXPECT_EQ(column(*m_session, "select distinct d2 from inquiry where  d22='15.000000' order by d2"),
        QStringList { "w" });
    EXPECT_EQ(column(*m_session, "select distinct d26 from inquiry  order by d26"),
        (QStringList { "NULL", "7.00", "12.50" }));

    EXPECT_EQ(run(*m_session, "select d1,d2,d26 from inquiry").rows.size(), 3);
    EXPECT_EQ(run(*m_session, "select d1,d2,d26 from inquiry where  d1='v'").rows.size(), 2);
    EXPECT_EQ(run(*m_session, "select d1 from inquiry where d22=15").rows.size(), 1);
    EXPECT_EQ(run(*m_session, "select d1 from inquiry where d2='w' and d22>=15 and d22<=16").rows.size(), 1);
    EXPECT_EQ(column(*m_session, "select d2 from inquiry where d17<='2012-12-31'"), QStringList { "w" });
    EXPECT_EQ(column(*m_session, "select d2 from inquiry where d17>='2013-01-01' and d17<='2013-1-5 10:00'"),
        QStringList { "x" });
    EXPECT_EQ(run(*m_session, "select d1,d2 from inquiry where d1 like '%'").rows.size(), 3);
}

TEST_F(StationStatementTest, RightsUsersAndPasswords)
{
    // User management creates a login, its user and its rights row.
    const QString create
        = "Exec sp_addlogin 'clerk','hqvxnd',nivo,NULL Exec sp_adduser 'clerk',NULL,db_owner Exec "
          "sp_addrolemember db_datawriter,'clerk' Exec sp_addsrvrolemember 'clerk',sysadmin Exec "
          "sp_password  'hqvxnd','pw1','clerk'";
    EXPECT_EQ(errorOf(*m_session, create), 0);
    EXPECT_EQ(errorOf(*m_session,
                  "insert username(uname,acc1,acc2,acc3,acc4,acc5,acc6,acc7,acc8,acc9,acc10,acc11,acc12,"
                  "acc13,acc14,acc15) values('clerk',1,0,1,0,1,0,0,1,0,0,NULL,NULL,NULL,NULL,NULL)"),
        0);
    EXPECT_EQ(column(*m_session, "select uname from username where (uname<>'sa' and uname<>'admin') "),
        QStringList { "clerk" });
    Rows rights = run(*m_session,
        "select uname,acc1,acc2,acc3,acc4,acc5,acc6,acc7,acc8,acc9,acc10 from username where uname='clerk'");
    ASSERT_EQ(rights.rows.size(), 1);
    EXPECT_EQ(rights.rows[0].mid(1).join(""), "1010100100");
    EXPECT_EQ(
        run(*m_session,
            "select uname,acc1,acc2,acc3,acc4,acc5,acc6,acc7,acc8,acc9,acc10,acc11,acc12,acc13,acc14,acc15 "
            "from username where uname='clerk'")
            .rows[0]
            .mid(11)
            .join(","),
        "NULL,NULL,NULL,NULL,NULL");
    EXPECT_EQ(errorOf(*m_session,
                  "update username set "
                  "acc1='0',acc2='1',acc3='0',acc4='0',acc5='0',acc6='0',acc7='0',acc8='0',acc9='0',acc10='0'"
                  " where uname='clerk'"),
        0);
    EXPECT_EQ(column(*m_session, "select acc2 from username where uname='clerk'"), QStringList { "1" });

    // The new login works with its password and lands in nivo, its default database.
    auto clerk = connect("clerk", "pw1");
    EXPECT_EQ(column(*clerk, "select db_name()"), QStringList { "nivo" });
    // The password dialog: the login's own old password, then the NULL form fails for a non-empty one.
    EXPECT_EQ(errorOf(*clerk, "Exec sp_password 'pw1','pw2',clerk"), 0);
    EXPECT_EQ(errorOf(*clerk, "Exec sp_password 'pw1','pw3',clerk"), 15211);
    EXPECT_THROW(connect("clerk", "pw1"), data::DbError);
    EXPECT_NO_THROW(connect("clerk", "pw2"));

    // Renaming moves the login: the old one goes, the new one has password 286415.
    const QString dropOld
        = " Exec sp_dropsrvrolemember 'clerk',sysadmin  Exec sp_droprolemember db_datawriter,'clerk' Exec "
          "sp_dropuser 'clerk' Exec sp_droplogin 'clerk' ";
    clerk.reset();
    EXPECT_EQ(errorOf(*m_session, dropOld), 0);
    EXPECT_EQ(errorOf(*m_session,
                  "Exec sp_addlogin 'keeper','hqvxnd',nivo,NULL Exec sp_adduser 'keeper',NULL,db_owner Exec "
                  "sp_addrolemember db_datawriter,'keeper' Exec sp_addsrvrolemember 'keeper',sysadmin Exec "
                  "sp_password  'hqvxnd','286415','keeper'"),
        0);
    EXPECT_EQ(run(*m_session, "update username set uname='keeper' where uname='clerk'").rowsAffected, 1);
    EXPECT_THROW(connect("clerk", "pw2"), data::DbError);
    EXPECT_NO_THROW(connect("keeper", "286415"));

    // Deleting a user, and deleting one that was never there (the first error reaches the client).
    EXPECT_EQ(
        errorOf(*m_session,
            " Exec sp_dropsrvrolemember 'keeper',sysadmin  Exec sp_droprolemember db_datawriter,'keeper' "
            "Exec sp_dropuser 'keeper' Exec sp_droplogin 'keeper'"),
        0);
    EXPECT_EQ(run(*m_session, "delete username where uname='keeper'").rowsAffected, 1);
    EXPECT_EQ(errorOf(*m_session,
                  " Exec sp_dropsrvrolemember 'ghost',sysadmin  Exec sp_droprolemember db_datawriter,'ghost' "
                  "Exec sp_dropuser 'ghost' Exec sp_droplogin 'ghost'"),
        15007);
    // A name with a quote makes the rights statement fail.
    EXPECT_EQ(errorOf(*m_session,
                  "select uname,acc1,acc2,acc3,acc4,acc5,acc6,acc7,acc8,acc9,acc10 from username where "
                  "uname='o'neil'"),
        105);
}

TEST_F(StationStatementTest, SaChangesItsOwnPasswordAndTheNullForm)
{
    EXPECT_EQ(errorOf(*m_session, "Exec sp_password 'Secret1','Secret2',sa"), 0);
    EXPECT_THROW(connect("sa", "Secret1"), data::DbError);
    auto sa = connect("sa", "Secret2", "nivo");
    // An empty login password changes through the NULL form.
    run(*sa, "Exec sp_addlogin 'blank','',nivo,NULL Exec sp_adduser 'blank',NULL,db_owner");
    auto blank = connect("blank", "");
    EXPECT_EQ(errorOf(*blank, "Exec sp_password NULL,'now',blank"), 0);
    EXPECT_NO_THROW(connect("blank", "now"));
}

TEST_F(StationStatementTest, ImportStatementAppendsRecords)
{
    const QString records = QStringLiteral(GLIMORA_ENGINE_FIXTURES "/workbooks/records.xls");
    if (!QFile::exists(records))
        GTEST_SKIP() << "no records workbook among the fixtures";
    // An installation's import text, with the heading row read as column names.
    QString insertText = "(d1,d2,d3,d16,d26) select 类别,剂型,名称,执行日期,单价 from "
                         "openrowset('MicroSoft.Jet.OleDB.4.0','Excel 5.0;HDR=yes;Database=?%',records$)";
    insertText.replace("?%", records);
    EXPECT_EQ(run(*m_session, QStringLiteral("insert inquiry") + insertText).rowsAffected, 22);
    EXPECT_EQ(column(*m_session, "select count(*) from inquiry where year(d16)>1900 and d1 is not null"),
        column(*m_session, "select count(*) from inquiry where d16 is not null"));
    EXPECT_EQ(column(*m_session, "select d3 from inquiry where d3='00123'"), QStringList { "00123" });
    EXPECT_EQ(column(*m_session, "select d26 from inquiry where d1='  留空格'"), QStringList { "-1.50" });

    // The same rows without the heading: F1..Fn, the heading itself skipped by the condition.
    QString plain
        = "(d1) select f1 from openrowset('MicroSoft.Jet.OleDB.4.0','Excel 5.0;HDR=no;Database=?%',records$) "
          "where f1<>'类别'";
    plain.replace("?%", records);
    EXPECT_EQ(run(*m_session, QStringLiteral("insert inquiry") + plain).rowsAffected, 22);
    // An empty import text leaves the bare words, which the server rejects.
    EXPECT_NE(errorOf(*m_session, "insert inquiry"), 0);
}

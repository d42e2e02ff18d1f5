#include "tests/engine/EngineTestSupport.h"

using namespace glimora;
using namespace glimora::engine::test;

namespace {

const char* const Denied
    = "The SELECT permission was denied on the object '%1', database 'shop', schema 'dbo'.";

} // namespace

// A database shop with a table secret, and logins of every kind: bob is a user of shop in
// no role, carol has no user there, dora is db_owner without being sysadmin.
class PermissionsTest : public ServerTest
{
protected:
    void SetUp() override
    {
        ServerTest::SetUp();
        m_sa = connect();
        run(*m_sa,
            "create database shop create database other use shop create table secret(s nvarchar(50))"
            " insert secret values('TOP SECRET') create table log(v nvarchar(50)) insert log values('x')");
        for (const char* login : { "bob", "carol", "dora", "acc", "sec", "wri", "mix" })
            run(*m_sa, QStringLiteral("Exec sp_addlogin '%1','pw',shop,NULL").arg(login));
        run(*m_sa,
            "use shop Exec sp_adduser 'bob' Exec sp_adduser 'dora',NULL,db_owner"
            " Exec sp_adduser 'acc',NULL,db_accessadmin Exec sp_adduser 'sec',NULL,db_securityadmin"
            " Exec sp_adduser 'wri',NULL,db_datawriter Exec sp_adduser 'mix'");
    }

    std::unique_ptr<data::BackendSession> as(const char* login)
    {
        return connect(QString::fromLatin1(login), "pw", "shop");
    }

    // The number a login into shop fails with, 0 when it succeeds.
    int loginError(const char* login)
    {
        try {
            as(login);
        } catch (const data::DbError& error) {
            return error.nativeError();
        }
        return 0;
    }

    std::unique_ptr<data::BackendSession> m_sa;
};

TEST_F(PermissionsTest, EveryTableAStatementReadsNeedsTheReadRightAtAnyDepth)
{
    auto bob = as("bob");
    const QStringList reads = {
        "select s from secret",
        "select (select top 1 s from secret)",
        "declare @x nvarchar(50) = (select top 1 s from secret) select @x",
        "declare @x nvarchar(50) set @x = (select top 1 s from secret) select @x",
        "if exists(select * from secret where s like 'TOP%') select 'yes'",
        "declare @n int set @n = 0 while @n < (select count(*) from secret) set @n = @n + 1",
        "select * from (select s from secret) d",
        "select 1 where 'TOP SECRET' in (select s from secret)",
        "select count(*) from secret",
        "declare c cursor for select s from secret open c",
    };
    for (const QString& batch : reads) {
        SCOPED_TRACE(batch.toStdString());
        QString message;
        EXPECT_EQ(errorOf(*bob, batch, &message), 229);
        // The object named is the table read, however deep it sits.
        EXPECT_EQ(message, QString::fromLatin1(Denied).arg("secret"));
    }
    EXPECT_EQ(column(*bob, "select 'no table read'"), QStringList { "no table read" });

    // A writer that may not read writes, but reads nothing through its conditions or sources.
    auto writer = as("wri");
    EXPECT_EQ(errorOf(*writer, "insert log values('y') update log set v = 'z' where 1 = 0"), 0);
    for (const char* batch :
        { "insert log select s from secret", "update log set v = 'seen' where v in (select s from secret)",
            "delete log where exists(select * from secret where s like 'TOP%')", "update log set v = v + '!'",
            "delete log where v = 'x'" }) {
        SCOPED_TRACE(batch);
        EXPECT_EQ(errorOf(*writer, batch), 229);
    }
    EXPECT_EQ(column(*m_sa, "use shop select v from log order by v"), (QStringList { "x", "y" }));
}

// A workbook is read with the server's own access to files: reading one is a server-wide
// right (sysadmin, bulkadmin), never one that owning or reading some database gives.
TEST_F(PermissionsTest, WorkbookRowsetsAreReadOnlyByBulkAdministrators)
{
    int reads = 0;
    m_backend->setRowsetReader([&](const QString&, const QString&, bool) {
        ++reads;
        engine::RowsetTable table;
        table.columnNames = { "F1" };
        table.rows = { { data::Variant::fromString("private") } };
        return table;
    });
    const QString rowset = "openrowset('Microsoft.Jet.OLEDB.4.0','Excel 5.0;HDR=no;Database=/srv/x.xls',s$)";
    run(*m_sa,
        "use shop Exec sp_addrolemember db_datareader,'bob' Exec sp_addlogin 'bulk','pw',shop"
        " Exec sp_adduser 'bulk' Exec sp_addsrvrolemember 'bulk',bulkadmin"
        " Exec sp_addsrvrolemember 'carol',dbcreator");
    auto carol = connect("carol", "pw", "master");
    run(*carol, "create database mine use mine create table log(v nvarchar(50))");
    // A reader of shop, an owner of shop, and the owner of a database of her own making.
    std::vector<std::unique_ptr<data::BackendSession>> sessions;
    sessions.push_back(as("bob"));
    sessions.push_back(as("dora"));
    sessions.push_back(std::move(carol));
    for (const auto& session : sessions) {
        for (const QString& batch :
            { "select * from " + rowset, "select * from (select * from " + rowset + ") d",
                "select (select top 1 F1 from " + rowset + ")" }) {
            SCOPED_TRACE(batch.toStdString());
            QString message;
            EXPECT_EQ(errorOf(*session, batch, &message), 7415);
            EXPECT_EQ(message,
                "Ad hoc access to OLE DB provider 'Microsoft.Jet.OLEDB.4.0' has been denied. You must access "
                "this provider through a linked server.");
        }
    }
    EXPECT_EQ(errorOf(*sessions[1], "insert log select * from " + rowset), 7415);
    EXPECT_EQ(reads, 0);
    EXPECT_EQ(
        column(*as("bulk"), "select * from (select * from " + rowset + ") d"), QStringList { "private" });
    EXPECT_EQ(column(*connect(), "select * from " + rowset), QStringList { "private" });
}

TEST_F(PermissionsTest, ATableIsNamedOnlyToThoseWithARightOnIt)
{
    run(*m_sa, "use shop create table keyed(id int identity(1,1) primary key, v int)");
    auto bob = as("bob");
    EXPECT_EQ(column(*bob, "select object_id('keyed')"), QStringList { "NULL" });
    // A writer that may not read still knows the table he writes.
    EXPECT_NE(column(*as("wri"), "select object_id('keyed')"), QStringList { "NULL" });
    EXPECT_EQ(bob->primaryKeyColumns("keyed"), QStringList());
    EXPECT_EQ(bob->identityColumn("keyed"), QString());
    auto dora = as("dora");
    EXPECT_EQ(dora->primaryKeyColumns("keyed"), QStringList { "id" });
    EXPECT_EQ(dora->identityColumn("keyed"), "id");
}

TEST_F(PermissionsTest, DenyRolesWinOverEveryGrantButTheOwnersOwn)
{
    run(*m_sa,
        "use shop Exec sp_addrolemember db_datareader,'mix' Exec sp_addrolemember db_denydatareader,'mix'"
        " Exec sp_addrolemember db_datawriter,'mix' Exec sp_addrolemember db_denydatawriter,'mix'");
    auto mix = as("mix");
    EXPECT_EQ(errorOf(*mix, "select s from secret"), 229);
    EXPECT_EQ(errorOf(*mix, "insert log values('w')"), 229);

    run(*m_sa, "use shop Exec sp_addrolemember db_denydatareader,'dora'");
    auto dora = as("dora");
    EXPECT_EQ(errorOf(*dora, "select s from secret"), 229);
    EXPECT_EQ(errorOf(*dora, "insert log values('w')"), 0);
    // The owner himself can be put in no role at all, so nothing is denied to him.
    EXPECT_EQ(errorOf(*m_sa, "use shop Exec sp_addrolemember db_denydatareader,'dbo'"), 15405);
    EXPECT_EQ(column(*m_sa, "use shop select s from secret"), QStringList { "TOP SECRET" });
}

TEST_F(PermissionsTest, OnlyDbOwnerChangesFixedRoleMembership)
{
    for (const char* admin : { "acc", "sec" }) {
        SCOPED_TRACE(admin);
        auto session = as(admin);
        EXPECT_EQ(
            errorOf(*session, QStringLiteral("exec sp_addrolemember 'db_owner','%1'").arg(admin)), 15247);
        EXPECT_EQ(errorOf(*session, "exec sp_addrolemember 'db_datareader','bob'"), 15247);
        QString message;
        EXPECT_EQ(errorOf(*session, "exec sp_droprolemember 'db_owner','dora'", &message), 15151);
        EXPECT_EQ(message,
            "Cannot alter the role 'db_owner', because it does not exist or you do not have permission.");
        EXPECT_EQ(errorOf(*session, "exec sp_adduser 'carol','mal','db_owner'"), 15247);
    }
    // Nothing of it happened; a user without a role is still the access administrator's to add.
    EXPECT_EQ(loginError("carol"), 4060);
    EXPECT_EQ(errorOf(*as("acc"), "exec sp_adduser 'carol','mal'"), 0);
    EXPECT_EQ(errorOf(*as("sec"), "exec sp_adduser 'other'"), 15247);
    EXPECT_EQ(errorOf(*as("acc"), "select s from secret"), 229);
    EXPECT_EQ(errorOf(*as("dora"), "select s from secret"), 0);

    auto dora = as("dora");
    EXPECT_EQ(errorOf(*dora, "exec sp_addrolemember 'db_datareader','bob'"), 0);
    EXPECT_EQ(column(*as("bob"), "select s from secret"), QStringList { "TOP SECRET" });
    EXPECT_EQ(errorOf(*dora, "exec sp_droprolemember 'db_datareader','bob'"), 0);
    EXPECT_EQ(errorOf(*as("bob"), "select s from secret"), 229);
}

TEST_F(PermissionsTest, RefusalsNameWhatSqlServerNames)
{
    auto bob = as("bob");
    QString message;
    EXPECT_EQ(errorOf(*bob, "drop table secret", &message), 3701);
    EXPECT_EQ(
        message, "Cannot drop the table 'secret', because it does not exist or you do not have permission.");
    EXPECT_EQ(errorOf(*bob, "create table mine(a int)", &message), 262);
    EXPECT_EQ(message, "CREATE TABLE permission denied in database 'shop'.");
    // A table of another database: bob has no user there.
    for (const char* batch : { "select * from other.dbo.t", "insert other.dbo.t values(1)",
             "select (select count(*) from other.dbo.t)" }) {
        SCOPED_TRACE(batch);
        EXPECT_EQ(errorOf(*bob, batch, &message), 916);
        EXPECT_EQ(message,
            "The server principal \"bob\" is not able to access the database \"other\" under the current "
            "security context.");
    }
    EXPECT_EQ(errorOf(*bob, "select * from nowhere.dbo.t"), 911);
    EXPECT_EQ(errorOf(*m_sa, "Exec sp_addlogin 'sa ','pw'"), 15025);
    EXPECT_EQ(errorOf(*m_sa, "Exec sp_addlogin 'BOB  ','pw'"), 15025);
}

TEST_F(PermissionsTest, PasswordsOfOthersAndResetsNeedSysadmin)
{
    run(*m_sa, "Exec sp_addsrvrolemember 'sec',securityadmin");
    auto security = as("sec");
    for (const char* batch : { "sp_password NULL,'Owned-sa1','sa'", "sp_password 'Secret1','Owned-sa1','sa'",
             "sp_password NULL,'Owned-1','bob'", "sp_password NULL,'Owned-1'" }) {
        SCOPED_TRACE(batch);
        EXPECT_NE(errorOf(*security, QStringLiteral("exec ") + batch), 0);
    }
    QString message;
    EXPECT_EQ(errorOf(*security, "exec sp_password NULL,'Owned-sa1','sa'", &message), 15151);
    EXPECT_EQ(
        message, "Cannot alter the login 'sa', because it does not exist or you do not have permission.");
    EXPECT_EQ(errorOf(*connect("sa", "Secret1"), "select 1"), 0);
    EXPECT_EQ(errorOf(*as("bob"), "select 1"), 0);
    run(*m_sa, "Exec sp_addlogin 'chief','pw' Exec sp_addsrvrolemember 'chief',sysadmin");
    EXPECT_EQ(errorOf(*security, "exec sp_droplogin 'chief'"), 15151);
    // Knowing the old password of a login that is no sysadmin is enough.
    EXPECT_EQ(errorOf(*security, "exec sp_password 'pw','new-bob','bob'"), 0);
    EXPECT_EQ(errorOf(*connect("bob", "new-bob", "shop"), "select 1"), 0);

    // Everyone changes his own with the old one; NULL stands for an empty old password.
    auto dora = as("dora");
    EXPECT_EQ(errorOf(*dora, "exec sp_password NULL,'mine'"), 15211);
    EXPECT_EQ(errorOf(*dora, "exec sp_password 'pw','mine'"), 0);
    run(*m_sa, "Exec sp_addlogin 'blank','',shop,NULL");
    EXPECT_EQ(errorOf(*connect("blank", "", "master"), "exec sp_password NULL,'set-now',blank"), 0);
    EXPECT_EQ(errorOf(*connect("blank", "set-now", "master"), "select 1"), 0);
}

TEST_F(PermissionsTest, UsersFollowTheLoginNotItsName)
{
    // dora owns nothing but is a user of shop: her login goes only once the user has gone.
    QString message;
    EXPECT_EQ(errorOf(*m_sa, "Exec sp_droplogin 'dora'", &message), 15175);
    {
        auto logged = connect("carol", "pw", "master");
        EXPECT_EQ(errorOf(*m_sa, "Exec sp_droplogin 'carol'"), 15434);
    }
    EXPECT_EQ(errorOf(*m_sa, "Exec sp_droplogin 'carol'"), 0);
    run(*m_sa,
        "use shop Exec sp_dropuser 'dora' Exec sp_droplogin 'dora' Exec sp_addlogin 'dora','pw',master");
    EXPECT_EQ(loginError("dora"), 4060);
    auto newcomer = connect("dora", "pw");
    EXPECT_EQ(errorOf(*newcomer, "use shop"), 916);

    // The owner of a database stays while it owns it; a new login of that name owns nothing.
    run(*m_sa, "Exec sp_addlogin 'maker','pw' Exec sp_addsrvrolemember 'maker',dbcreator");
    run(*connect("maker", "pw"), "create database made");
    EXPECT_EQ(errorOf(*m_sa, "Exec sp_droplogin 'maker'", &message), 15174);
    run(*m_sa, "Exec sp_dropsrvrolemember 'maker',dbcreator");
    EXPECT_EQ(column(*connect("maker", "pw"), "use made select user_name()"), QStringList { "dbo" });
    // Back from a backup after its owner's login went, the database knows no newcomer.
    run(*m_sa, "backup database made to disk='made.dbk' with init drop database made");
    run(*m_sa, "Exec sp_droplogin 'maker' Exec sp_addlogin 'maker','pw'");
    run(*m_sa, "restore database made from disk='made.dbk'");
    EXPECT_EQ(errorOf(*connect("maker", "pw"), "use made"), 916);
}

TEST_F(PermissionsTest, SpWhoShowsOthersOnlyWithViewServerState)
{
    auto bob = as("bob");
    auto dora = as("dora");
    const Rows own = run(*bob, "exec sp_who");
    ASSERT_EQ(own.rows.size(), 1);
    EXPECT_EQ(own.rows[0][3], "bob");
    EXPECT_EQ(run(*m_sa, "exec sp_who").rows.size(), 3);
    run(*m_sa, "Exec sp_addsrvrolemember 'bob',processadmin");
    EXPECT_EQ(run(*bob, "exec sp_who").rows.size(), 3);
}

TEST_F(PermissionsTest, MasterIsNeverRestoredWhileTheServerRuns)
{
    run(*m_sa,
        "backup database shop to disk='shop.dbk' with init Exec sp_addsrvrolemember 'carol',dbcreator");
    auto carol = connect("carol", "pw", "master");
    QString message;
    EXPECT_EQ(errorOf(*carol, "restore database master from disk='shop.dbk' with replace", &message), 3108);
    EXPECT_TRUE(message.startsWith(
        "To restore the master database, the server must be running in single-user mode."));
    EXPECT_EQ(errorOf(*m_sa, "restore database master from disk='shop.dbk' with replace"), 3108);
    EXPECT_EQ(errorOf(*carol, "restore database copy from disk='shop.dbk'"), 0);
    EXPECT_EQ(column(*m_sa, "use master select user_name()"), QStringList { "dbo" });
    EXPECT_EQ(column(*carol, "select db_name()"), QStringList { "master" });
    EXPECT_EQ(errorOf(*carol, "use master create table t(a int)"), 262);
}

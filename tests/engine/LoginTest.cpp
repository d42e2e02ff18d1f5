#include "tests/engine/EngineTestSupport.h"

#include <QFile>

using namespace glimora;
using namespace glimora::engine::test;

namespace {

int loginError(engine::EmbeddedBackend& backend, const QString& connection, QString* message = nullptr)
{
    try {
        backend.open(connection, 5);
    } catch (const data::DbError& error) {
        if (message)
            *message = error.description();
        return error.nativeError();
    }
    return 0;
}

} // namespace

TEST_F(ServerTest, FreshServerTakesOnlySaWithAPasswordFirst)
{
    QString message;
    EXPECT_EQ(loginError(*m_backend, connectionString("admin", "x"), &message), 18456);
    EXPECT_EQ(message, "Login failed for user 'admin'.");
    EXPECT_EQ(loginError(*m_backend, connectionString("sa", "")), 18456);
    EXPECT_FALSE(QFile::exists(dataDirectory() + "/catalogue.sqlite"));

    EXPECT_EQ(loginError(*m_backend, "DRIVER={SQL Server};SERVER=HOST;DATABASE=;UID=sa;PWD=Secret1"), 0);
    // From now on the password is sa's, and a wrong one fails like an unknown login.
    EXPECT_EQ(loginError(*m_backend, connectionString("sa", "other"), &message), 18456);
    EXPECT_EQ(message, "Login failed for user 'sa'.");
    EXPECT_EQ(loginError(*m_backend, connectionString("nobody", "Secret1"), &message), 18456);
    EXPECT_EQ(message, "Login failed for user 'nobody'.");
    // A second backend on the same folder (another process) sees the same catalogue.
    engine::EmbeddedBackend other(dataDirectory());
    EXPECT_EQ(loginError(other, connectionString("SA", "Secret1")), 0);
}

TEST_F(ServerTest, PasswordsAreStoredAsArgon2idInFilesOnlyTheOwnerReads)
{
    auto session = connect();
    run(*session, "create database nivo");
    run(*session, "Exec sp_addlogin 'clerk','Distinctive-Password-42',nivo,NULL");
    session.reset();
    QByteArray catalogue;
    for (const char* name : { "/catalogue.sqlite", "/catalogue.sqlite-wal" }) {
        QFile file(dataDirectory() + name);
        if (file.open(QIODevice::ReadOnly))
            catalogue += file.readAll();
    }
    EXPECT_FALSE(catalogue.contains("Distinctive-Password-42"));
    EXPECT_TRUE(catalogue.contains("$argon2id$"));
    for (const char* name : { "/catalogue.sqlite", "/nivo.sqlite", "/master.sqlite" }) {
        const QFile::Permissions permissions = QFile::permissions(dataDirectory() + name);
        EXPECT_EQ(
            permissions & (QFile::ReadGroup | QFile::ReadOther | QFile::WriteGroup | QFile::WriteOther), 0)
            << name;
    }
}

TEST_F(ServerTest, DatabaseAccessFollowsUsersAndRoles)
{
    auto sa = connect();
    run(*sa, "create database nivo");
    run(*sa, "use nivo create table t(a int) insert t values(1)");
    run(*sa, "Exec sp_addlogin 'reader','pw',master,NULL Exec sp_addlogin 'owner','pw',nivo,NULL");

    auto reader = connect("reader", "pw");
    QString message;
    EXPECT_EQ(errorOf(*reader, "create database other"), 262);
    EXPECT_EQ(errorOf(*reader, "use nivo", &message), 916);
    EXPECT_EQ(message,
        "The server principal \"reader\" is not able to access the database \"nivo\" under the current "
        "security context.");
    EXPECT_EQ(loginError(*m_backend, connectionString("reader", "pw", "nivo")), 4060);
    EXPECT_EQ(loginError(*m_backend, connectionString("owner", "pw")), 4064);
    EXPECT_EQ(column(*reader, "select db_name()"), QStringList { "master" });

    run(*sa, "use nivo Exec sp_adduser 'reader',NULL,db_datareader Exec sp_adduser 'owner',NULL,db_owner");
    EXPECT_EQ(errorOf(*reader, "use nivo"), 0);
    EXPECT_EQ(column(*reader, "select a from t"), QStringList { "1" });
    EXPECT_EQ(errorOf(*reader, "insert t values(2)", &message), 229);
    EXPECT_EQ(errorOf(*reader, "create table u(a int)"), 262);

    auto owner = connect("owner", "pw");
    EXPECT_EQ(errorOf(*owner, "insert t values(2) create table u(a int)"), 0);
    // Only an administrator may name another login's password.
    EXPECT_EQ(errorOf(*owner, "Exec sp_password NULL,'x','reader'"), 15151);
    EXPECT_EQ(errorOf(*sa, "Exec sp_password NULL,'new','reader'"), 0);
    EXPECT_EQ(loginError(*m_backend, connectionString("reader", "new")), 0);
}

TEST_F(ServerTest, LoginProceduresRefuseWhatSqlServerRefuses)
{
    auto sa = connect();
    run(*sa, "create database nivo");
    EXPECT_EQ(errorOf(*sa, "Exec sp_addlogin 'x','p',nivo,NULL"), 0);
    EXPECT_EQ(errorOf(*sa, "Exec sp_addlogin 'X','p'"), 15025);
    EXPECT_EQ(errorOf(*sa, "Exec sp_addlogin 'y','p',nowhere"), 15010);
    EXPECT_EQ(errorOf(*sa, "Exec sp_addsrvrolemember 'x',chief"), 15402);
    EXPECT_EQ(errorOf(*sa, "Exec sp_dropsrvrolemember 'sa',sysadmin"), 15405);
    EXPECT_EQ(errorOf(*sa, "Exec sp_droplogin 'sa'"), 15405);
    EXPECT_EQ(errorOf(*sa, "use nivo Exec sp_adduser 'x',NULL,db_chief"), 15014);
    EXPECT_EQ(errorOf(*sa, "use nivo Exec sp_adduser 'x',NULL,db_owner"), 0);
    EXPECT_EQ(errorOf(*sa, "use nivo Exec sp_adduser 'x'"), 15023);
    EXPECT_EQ(errorOf(*sa, "use nivo Exec sp_addrolemember db_datawriter,'nobody'"), 15410);
    EXPECT_EQ(errorOf(*sa, "use nivo Exec sp_dropuser 'dbo'"), 15150);
    EXPECT_EQ(errorOf(*sa, "Exec sp_frobnicate 1"), 2812);
    // The first word of a batch names a procedure without EXEC, a misspelled keyword too.
    EXPECT_EQ(errorOf(*sa, "sp_addlogin 'w','p',nivo,NULL"), 0);
    QString message;
    EXPECT_EQ(errorOf(*sa, "selec 1", &message), 2812);
    EXPECT_EQ(message, "Could not find stored procedure 'selec'.");

    // A login that is not sysadmin cannot hand out server roles or logins.
    run(*sa, "Exec sp_addlogin 'plain','p',nivo,NULL use nivo Exec sp_adduser 'plain'");
    auto plain = connect("plain", "p", "nivo");
    EXPECT_EQ(errorOf(*plain, "Exec sp_addsrvrolemember 'plain',sysadmin"), 15247);
    EXPECT_EQ(errorOf(*plain, "Exec sp_addlogin 'z','p'"), 15247);
    // Made sysadmin, the same login may.
    run(*sa, "Exec sp_addsrvrolemember 'plain',sysadmin");
    EXPECT_EQ(errorOf(*connect("plain", "p"), "Exec sp_addlogin 'z','p'"), 0);
}

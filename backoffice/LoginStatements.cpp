#include "backoffice/LoginStatements.h"

#include "data/SqlLiteral.h"

namespace glimora::backoffice::LoginStatements {

namespace {

// Begins with two blanks so that it stands apart from the database name before it.
const char creationText[]
    = "  CREATE TABLE inquiry(d1 nvarchar(255) NULL ,d2 nvarchar(255)  NULL,d3 nvarchar(255) NULL ,"
      "d4 nvarchar(255) NULL,d5 nvarchar(255) NULL ,d6 nvarchar(255) NULL,d7 nvarchar(255) NULL ,"
      "d8 nvarchar(255) NULL,d9 nvarchar(255) NULL ,d10 nvarchar(255) NULL,d11 nvarchar(255) NULL ,"
      "d12 nvarchar(255) NULL,d13 nvarchar(255) NULL ,d14 nvarchar(255) NULL,d15 nvarchar(255) NULL ,"
      "d16 datetime NULL,d17 datetime NULL,d18 datetime NULL,d19 datetime NULL,d20 datetime  NULL,"
      "d21 decimal(18,0) null ,d22 decimal(18,0) null ,d23 decimal(18,0) null ,d24 decimal(18,0) null ,"
      "d25 decimal(18,0) null ,d26 decimal(18,2) null ,d27 decimal(18,2) null ,d28 decimal(18,2) null ,"
      "d29 decimal(18,2) null ,d30 decimal(18,2) null ,d31 decimal(18,2) null ,d32 decimal(18,2) null ,"
      "d33 decimal(18,2) null ,d34 decimal(18,2) null ,d35 decimal(18,2) null ,d36 decimal(18,2) null ,"
      "d37 decimal(18,2) null ,d38 decimal(18,2) null ,d39 decimal(18,2) null ,d40 decimal(18,2) null ,"
      "d41 decimal(18,2) null ,d42 decimal(18,2) null ,d43 decimal(18,2) null ,d44 decimal(18,2) null ,"
      "d45 decimal(18,2) null ,d46 decimal(18,2) null ,d47 decimal(18,2) null ,d48 decimal(18,2) null ,"
      "d49 decimal(18,2) null ,d50 decimal(18,2) null ,d51 image null,d52 image null,d53 image null,"
      "d54 image null,d55 image null,d56 image null,d57 image null,d58 image null,d59 image null,"
      "d60 decimal(18,0) not null PRIMARY   KEY identity(1,1) )  create table contrast(chna varchar(50) null,"
      "engl varchar(50) null,withe int null,nub int null,nober int not null PRIMARY   KEY,sort int null)  "
      "create table username(uname varchar(20) not null,acc1 int null,acc2 int null,acc3 int null,"
      "acc4 int null,acc5 int null,acc6 int null,acc7 int null,acc8 int null,acc9 int null,acc10 int null,"
      "acc11 int null,acc12 int null,acc13 int null,acc14 int null,acc15 int null)  insert contrast select "
      "f1,f2,f3,f4,f5,f6 from openrowset('MicroSoft.Jet.OleDB.4.0','Excel 5.0;HDR=no;Database=";

const char importTail[] = "',contrast$) where f1<>'chna' and f1 is not null and f2 is not null";

} // namespace

QString createDatabase(const QString& database)
{
    return QStringLiteral("create database ") + database;
}

QString createTables(const QString& database, const QString& workbookPath)
{
    return QStringLiteral("use ") + database + QString::fromLatin1(creationText)
        + data::SqlLiteral::quotesDoubled(workbookPath) + QString::fromLatin1(importTail);
}

} // namespace glimora::backoffice::LoginStatements

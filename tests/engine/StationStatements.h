#pragma once

// The texts that the station sends to its server, exactly as the program builds them.
namespace glimora::engine::test {

// The creation text of the second set-up batch: "use " + database + this + workbook path + ImportTail.
inline const char* const CreationText
    = "  CREATE TABLE inquiry(d1 nvarchar(255) NULL ,d2 nvarchar(255)  NULL,d3 nvarchar(255) NULL ,d4 nvarc"
      "har(255) NULL,d5 nvarchar(255) NULL ,d6 nvarchar(255) NULL,d7 nvarchar(255) NULL ,d8 nvarchar(255) N"
      "ULL,d9 nvarchar(255) NULL ,d10 nvarchar(255) NULL,d11 nvarchar(255) NULL ,d12 nvarchar(255) NULL,d13"
      " nvarchar(255) NULL ,d14 nvarchar(255) NULL,d15 nvarchar(255) NULL ,d16 datetime NULL,d17 datetime N"
      "ULL,d18 datetime NULL,d19 datetime NULL,d20 datetime  NULL,d21 decimal(18,0) null ,d22 decimal(18,0)"
      " null ,d23 decimal(18,0) null ,d24 decimal(18,0) null ,d25 decimal(18,0) null ,d26 decimal(18,2) nul"
      "l ,d27 decimal(18,2) null ,d28 decimal(18,2) null ,d29 decimal(18,2) null ,d30 decimal(18,2) null ,d"
      "31 decimal(18,2) null ,d32 decimal(18,2) null ,d33 decimal(18,2) null ,d34 decimal(18,2) null ,d35 d"
      "ecimal(18,2) null ,d36 decimal(18,2) null ,d37 decimal(18,2) null ,d38 decimal(18,2) null ,d39 decim"
      "al(18,2) null ,d40 decimal(18,2) null ,d41 decimal(18,2) null ,d42 decimal(18,2) null ,d43 decimal(1"
      "8,2) null ,d44 decimal(18,2) null ,d45 decimal(18,2) null ,d46 decimal(18,2) null ,d47 decimal(18,2)"
      " null ,d48 decimal(18,2) null ,d49 decimal(18,2) null ,d50 decimal(18,2) null ,d51 image null,d52 im"
      "age null,d53 image null,d54 image null,d55 image null,d56 image null,d57 image null,d58 image null,d"
      "59 image null,d60 decimal(18,0) not null PRIMARY   KEY identity(1,1) )  create table contrast(chna v"
      "archar(50) null,engl varchar(50) null,withe int null,nub int null,nober int not null PRIMARY   KEY,s"
      "ort int null)  create table username(uname varchar(20) not null,acc1 int null,acc2 int null,acc3 int"
      " null,acc4 int null,acc5 int null,acc6 int null,acc7 int null,acc8 int null,acc9 int null,acc10 int "
      "null,acc11 int null,acc12 int null,acc13 int null,acc14 int null,acc15 int null)  insert contrast se"
      "lect f1,f2,f3,f4,f5,f6 from openrowset('MicroSoft.Jet.OleDB.4.0','Excel 5.0;HDR=no;Database=";

inline const char* const ImportTail = "',contrast$) where f1<>'chna' and f1 is not null and f2 is not null";

} // namespace glimora::engine::test

#include "backoffice/JobStatements.h"

#include "data/SqlLiteral.h"

namespace glimora::backoffice::JobStatements {

QString import(const QString& insertText, const QString& workbookPath)
{
    QString tail = insertText;
    tail.replace(QLatin1String("?%"), data::SqlLiteral::quotesDoubled(workbookPath));
    return QStringLiteral("insert inquiry") + tail;
}

QString backupPath(const QString& chosenPath)
{
    if (chosenPath.endsWith(QLatin1String(".dbk"), Qt::CaseSensitive))
        return chosenPath;
    return chosenPath + QLatin1String(".dbk");
}

QString backup(const QString& database, const QString& path)
{
    return QStringLiteral("backup   database   ") + database + QStringLiteral("  to   disk='")
        + data::SqlLiteral::quotesDoubled(path) + QStringLiteral("' with init");
}

QString restore(const QString& database, const QString& path, bool dropFirst)
{
    const QString restore = QStringLiteral("restore   database   ") + database
        + QStringLiteral("   from   disk='") + data::SqlLiteral::quotesDoubled(path) + QStringLiteral("' ");
    if (dropFirst)
        return QStringLiteral("drop database ") + database + QStringLiteral("  ") + restore;
    return QLatin1Char(' ') + restore;
}

QString verify(const QString& path)
{
    return QStringLiteral("restore verifyonly from disk='") + data::SqlLiteral::quotesDoubled(path)
        + QLatin1Char('\'');
}

QString dropWorkTable()
{
    return QStringLiteral("drop table table_sp_who ");
}

QString killConnections(const QString& database, bool requestIdColumn)
{
    const QString columns = requestIdColumn ? QStringLiteral("cmd   varchar(100),request_id int )")
                                            : QStringLiteral("cmd   varchar(100)  )");
    // The spid goes into the KILL text converted: SQL Server does not turn 'kill   ' into an
    // int to add it to an int spid.
    return QStringLiteral(
               "create   table   table_sp_who(spid   int,   ecid   int,   status   varchar(100),   "
               "loginame   varchar(100),   hostname   varchar(100),   blk   int,   dbname   "
               "varchar(100),   ")
        + columns
        + QStringLiteral("   insert   table_sp_who   exec   sp_who   declare   @spid   int       DECLARE   "
                         "spid_db   CURSOR   FOR   SELECT   spid   FROM   table_sp_who   where   dbname='")
        + data::SqlLiteral::quotesDoubled(database)
        + QStringLiteral("' OPEN   spid_db    FETCH   NEXT   FROM   spid_db   into   @spid    WHILE   "
                         "@@FETCH_STATUS   =   0    BEGIN    exec('kill   '+convert(varchar(12),@spid))   "
                         "FETCH   NEXT   FROM   spid_db   INTO   @spid     END     CLOSE   spid_db     "
                         "DEALLOCATE   spid_db  drop   table   table_sp_who   ");
}

QString logBackup()
{
    return QStringLiteral("BACKUP LOG nivo TO DISK = 'C:Ledgerly_Last.bak' WITH NORECOVERY ");
}

QString useDatabase(const QString& database)
{
    return QStringLiteral("use [") + QString(database).replace(QLatin1Char(']'), QStringLiteral("]]"))
        + QLatin1Char(']');
}

} // namespace glimora::backoffice::JobStatements

#pragma once

#include <QString>

namespace glimora::backoffice {

// The statements of the import, backup and restore jobs. Paths are the server's to open;
// quotes in them are doubled.
namespace JobStatements {

// "insert inquiry" + the import tail of the settings, every "?%" replaced by the workbook.
QString import(const QString& insertText, const QString& workbookPath);

// The chosen path with ".dbk" appended unless it already ends in exactly ".dbk".
QString backupPath(const QString& chosenPath);
QString backup(const QString& database, const QString& path);

// `dropFirst` when the `connect` setting holds a template.
QString restore(const QString& database, const QString& path, bool dropFirst);
// Checks the backup file before anything is dropped.
QString verify(const QString& path);

// The restore job's preparations: a work table left over from an earlier run, the
// connection-killing script (nine sp_who columns with `connect` set), and the log backup.
QString dropWorkTable();
QString killConnections(const QString& database, bool requestIdColumn);
QString logBackup();

// Makes `database` the connection's own again after a restore, for the work that follows it.
QString useDatabase(const QString& database);

} // namespace JobStatements

} // namespace glimora::backoffice

#pragma once

#include <QString>
#include <QStringList>

namespace glimora::maintenance {

// The statements of user management. Every name and password is put between single quotes
// with its quotes doubled, so any typed text is stored as typed or refused by the server.
namespace UserManageStatements {

// The users listed: every row of username but the two built-in administrators.
QString listUsers();
QString rightsOf(const QString& name);
// Drops the login and its database user; the rename's form ends with a blank.
QString dropLogin(const QString& name);
QString dropLoginForRename(const QString& name);
// The last step of dropLogin alone, to tell whether the login is gone after the batch failed.
QString dropLoginOnly(const QString& name);
// The server's sessions, each with the login it runs as (column loginame).
QString sessions();
// A login with the initial password, then (sent only once the login is made, so that a
// name that is already someone's login never reaches the rest) server administrator
// rights, a database user owning the database and allowed to write, and the password set
// through the initial one. The two texts together are the one batch of old.
QString createLogin(const QString& name, const QString& database);
QString completeLogin(const QString& name, const QString& password);
// `rights` holds acc1..acc10 as "1" or "0".
QString insertRights(const QString& name, const QStringList& rights);
QString deleteRights(const QString& name);
QString renameRights(const QString& newName, const QString& oldName);
QString updateRights(const QString& name, const QStringList& rights);

} // namespace UserManageStatements

} // namespace glimora::maintenance

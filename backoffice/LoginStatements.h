#pragma once

#include <QString>

namespace glimora::backoffice {

// The statements that the login sends: the database and its tables, created on a new
// server; on a server that has them they fail harmlessly.
namespace LoginStatements {

QString createDatabase(const QString& database);
QString createTables(const QString& database, const QString& workbookPath);

} // namespace LoginStatements

} // namespace glimora::backoffice

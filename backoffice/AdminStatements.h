#pragma once

#include <QString>

namespace glimora::backoffice {

// The statements of the back-office menu.
namespace AdminStatements {

// The rights acc1..acc10 of a user, after the name in the first column.
QString rights(const QString& userName);

} // namespace AdminStatements

} // namespace glimora::backoffice

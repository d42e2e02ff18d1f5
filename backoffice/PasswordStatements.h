#pragma once

#include <QString>

namespace glimora::backoffice {

// The statement of the password change.
namespace PasswordStatements {

// sp_password with the password typed at login (NULL when it was empty), the new one, and
// the login's name: as it is when it is a plain name, else quoted.
QString change(const QString& oldPassword, const QString& newPassword, const QString& userName);

} // namespace PasswordStatements

} // namespace glimora::backoffice

#pragma once

#include <QString>

namespace glimora::backoffice {

// The three most recent user names of the login box, kept in user1..user3.
class RecentUsers
{
public:
    // Puts `user` first: the first name stays, the second swaps with the first,
    // anything else shifts the list down and drops the third. Names compare exactly.
    static void remember(const QString& user);
};

} // namespace glimora::backoffice

#pragma once

#include <optional>
#include <QDateTime>

namespace glimora::query {

// When a visitor last made the query screen ask the database, for the station's status.
// Process-wide, as the query screen is made afresh after each pause and back office.
class LastVisitorQuestion
{
public:
    static void noteNow();
    static std::optional<QDateTime> at();
};

} // namespace glimora::query

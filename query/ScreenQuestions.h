#pragma once

#include "data/Connection.h"

#include <QStringList>

#include <functional>

namespace glimora::query {

// The questions the query screen asks first: its first level and its filter lists. The embedded
// server makes the index of such a question of a large table when it is first asked; asked
// behind a job's progress after the records changed, no visitor waits for it.
class ScreenQuestions
{
public:
    // Whether [index] questions is on: imports and restores then end by asking them.
    static bool askedAfterJobs();
    static bool setAskedAfterJobs(bool on); // false when uinfo.ini cannot be written

    static constexpr int FilterCount = 19;
    // The column of filter list n (1..19) in the settings, or "" when it names no column.
    static QString filterColumn(int n);
    // As the screen sends them, for the catalogue and the filter columns as they are now.
    static QStringList of(const data::Connection& connection);
    // Asks each, reading nothing back; `progress` hears questions done of all. A question the
    // server refuses (a column the settings name wrongly) is the screen's to report: skipped.
    static void ask(
        const data::Connection& connection, const std::function<void(int done, int total)>& progress = {});
};

} // namespace glimora::query

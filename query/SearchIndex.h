#pragma once

#include "data/Connection.h"

#include <QString>
#include <QStringList>

#include <functional>

namespace glimora::query {

// Keeps the search index beside `inquiry` through the station's own statements, so that it
// works on either backend.
class SearchIndex
{
public:
    // Whether [show] search is on.
    static bool enabled();
    static bool setEnabled(bool on); // false when uinfo.ini cannot be written
    // [search] columns when it lists any, else the text columns (d1..d15) of [select] select.
    static QStringList columns();
    // Builds the index anew from every value of `columns`; `progress` hears values done of all.
    static void rebuild(const data::Connection& connection, const QStringList& columns,
        const std::function<void(long done, long total)>& progress = {});
    // Adds the entries of values that an edit stored (values of columns not searched are skipped).
    static void add(const data::Connection& connection, const QStringList& columns,
        const QStringList& changedColumns, const QStringList& values);
};

} // namespace glimora::query

#pragma once

#include <functional>

namespace glimora::data {

// What happened to a record set, for views bound to it (the data grid). Listeners are called
// on the thread that changed the record set, during the call that changed it.
struct RecordsetChange
{
    enum class Kind {
        AboutToReset, // about to close: a view commits what it holds
        Reset, // opened or closed: fields and rows are new
        RowsFetched, // more rows were read at the end
        AboutToDelete, // `row` is about to be deleted: a view writes what it holds for it
        AboutToRemoveRow, // `row` is about to go; the rows after it move up
        RowRemoved,
        AboutToInsertRow, // a new row is about to join at `row` (AddNew); the rows from it move down
        RowInserted,
        RowChanged, // `row` was written and shows what the server stored
        Moved, // the current record changed
    };

    Kind kind;
    long row = -1; // 0-based
};

using RecordsetListener = std::function<void(const RecordsetChange&)>;

} // namespace glimora::data

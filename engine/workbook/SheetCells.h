#pragma once

#include <QtGlobal>
#include <string_view>

namespace glimora::engine {

// Receives the cells of one worksheet as a reader finds them: rows and columns count from 0,
// mostly in order, but any order is allowed and a later value of a cell replaces an earlier
// one. Texts come as UTF-8 bytes valid only during the call, so that a reader hands them on
// without a copy. A receiver may throw to stop the reading.
class SheetCells
{
public:
    static constexpr qint64 maximumRows = 1'048'576;
    static constexpr int maximumColumns = 16'384;

    virtual ~SheetCells() = default;

    virtual void number(qint64 row, int column, double value) = 0;
    virtual void text(qint64 row, int column, std::string_view utf8) = 0;
    // A wall-clock time, counted as if it were UTC.
    virtual void dateTime(qint64 row, int column, qint64 millisecondsSinceEpoch) = 0;

    static bool inSheet(qint64 row, int column)
    {
        return row >= 0 && row < maximumRows && column >= 0 && column < maximumColumns;
    }
};

} // namespace glimora::engine

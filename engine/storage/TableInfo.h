#pragma once

#include "engine/values/SqlType.h"

#include <QList>
#include <QString>

namespace glimora::engine {

struct ColumnInfo
{
    QString name;
    SqlType type;
    bool identity = false;
    bool notNull = false;
    bool primaryKey = false;
};

// A table as the engine knows it: the SQLite table plus the T-SQL type of every column.
struct TableInfo
{
    QString name; // as created
    QString sqlName; // as SQLite reaches it, quoted and possibly schema-qualified
    QList<ColumnInfo> columns;

    int indexOf(const QString& column) const
    {
        for (int i = 0; i < columns.size(); ++i) {
            if (columns[i].name.compare(column, Qt::CaseInsensitive) == 0)
                return i;
        }
        return -1;
    }
};

} // namespace glimora::engine

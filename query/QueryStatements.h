#pragma once

#include "data/Variant.h"

#include <QString>
#include <QStringList>

#include <array>

namespace glimora::query {

// Every statement text of the query screen, and the rules for the values put into them.
class QueryStatements
{
public:
    static QString catalogue();
    static QString titles();
    // The values of a column for the first level and for the filter lists.
    static QString distinctValues(const QString& column);
    // The values of a deeper level under a condition.
    static QString distinctValues(const QString& column, const QString& where);
    // Each value of a column and how many records hold it, under a condition or none.
    static QString valueCounts(const QString& column, const QString& where);
    // The records: `select` is the column list of the settings.
    static QString records(const QString& select, const QString& where);

    // The number after the first character of a column name ("d12" gives 12, none gives 0),
    // which stands for the column's type.
    static int columnNumber(const QString& column);
    // Letters, digits and underscores only; any other text is no column and never sent.
    static bool isColumnName(const QString& name);
    // The value between single quotes, with quotes inside it doubled.
    static QString quoted(const QString& value);
    // An optional sign, digits, an optional point with digits; blanks around are allowed.
    static bool isNumber(const QString& text);

    // The condition of the drill-down after choosing `value` on level `level` (1 and deeper):
    // the stored choices of the levels above, then this one; one leading blank.
    static QString drillDownCondition(
        const QStringList& levelColumns, const QStringList& levelValues, int level, const QString& value);

    // The condition of the filter lists. columns[n] and texts[n] are list n (1..19); list 0
    // is unused. A value for an unquoted column that is not a number, or a typed value for a
    // date column that is no day, makes no condition: `refused` then holds that value, and
    // `refusedDate` says which. Full-width digits count as the digits they are.
    struct FilterCondition
    {
        QString where;
        QString refused;
        bool refusedDate = false;
        bool ok() const { return refused.isNull(); }
    };
    // stored[n], when not null, is the entry chosen in list n as it is stored: it is compared
    // as it is, where a typed text loses the blanks around it.
    // anyOf[n], when it holds two or more values (as stored) of list n (1..13) of a text or number
    // column, gives " dN in (…)": records that hold any of them. A date column takes one value.
    static FilterCondition filterCondition(const std::array<QString, 20>& columns,
        const std::array<QString, 20>& texts, const std::array<QString, 20>& stored = {},
        const std::array<QStringList, 20>& anyOf = {});

    // Whether `where` holds `column` to one value: an equality, or the range of a single day
    // by which a date column is compared with a day.
    static bool fixesColumn(const QString& where, const QString& column);

    // The text to compare a column with to find `value`, whose display text is `shown`: a
    // text as it is stored, blanks in front and line ends included (only trailing spaces,
    // which the server ignores in comparisons, are left out); any other value as shown.
    static QString storedText(const data::Variant& value, const QString& shown);

    // The text a filter list shows for a value of a column, "" for none.
    static QString filterEntryText(const data::Variant& value, int columnNumber);
};

} // namespace glimora::query

#pragma once

#include <QString>

namespace glimora::maintenance {

// The statements of the data-management screen.
namespace DataManageStatements {

// The catalogue rows shown in the grid: those whose name ends in "h" are hidden fields.
QString catalogue();
// The records: the stored column list over the records that pass the filter.
QString records(const QString& columnList, const QString& filter);
// The filter, fixed for the screen's life: records whose d1 is NULL are not listed.
QString recordFilter();

} // namespace DataManageStatements

} // namespace glimora::maintenance

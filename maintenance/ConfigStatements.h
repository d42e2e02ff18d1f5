#pragma once

#include <QString>

namespace glimora::maintenance {

// The statements of the configuration screen.
namespace ConfigStatements {

// The field rows of the catalogue, for the grid of "标题名称".
QString catalogueRows();
// Stores the company name (row 100) or the report title (row 101) as typed.
QString updateCaption(int nober, const QString& text);

} // namespace ConfigStatements

} // namespace glimora::maintenance

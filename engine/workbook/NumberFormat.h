#pragma once

#include <QString>

namespace glimora::engine::NumberFormat {

// Whether cells of a built-in number format (by its id) show a date or a time; this
// includes the East Asian built-in date formats 27..36 and 50..58.
bool isBuiltInDate(int formatId);

// Whether a custom format code shows a date or a time: it has a y, m, d, h or s outside
// quoted text, escaped characters and bracketed colours or locales.
bool isDateCode(const QString& code);

} // namespace glimora::engine::NumberFormat

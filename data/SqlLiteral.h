#pragma once

#include "data/Variant.h"

#include <QString>

namespace glimora::data {

// T-SQL text for values and names in the statements that the data layer writes itself
// (record set write-back). Unlike the screens' statements, these are always escaped.
class SqlLiteral
{
public:
    // NULL, numbers, N'text' with doubled quotes, 0x... for bytes, '2024-01-31T08:00:00.000'.
    // Throws DbError for a value that has no literal (an infinite or NaN float).
    static QString value(const Variant& value);
    // A typed text for a screen's statement, which puts it between single quotes: every quote
    // doubled, so that the text is stored as typed and never run.
    static QString quotesDoubled(QString text);
    // The name as it is when it is a plain identifier and no reserved word, otherwise [name]
    // with "]" doubled.
    static QString identifier(const QString& name);
};

} // namespace glimora::data

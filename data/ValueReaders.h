#pragma once

#include "data/Field.h"
#include "data/Variant.h"

#include <QString>

namespace glimora::data {

// The two readers every screen uses on the shared record set's current record.
//
// ValueText: NULL gives "", a 4-byte integer, a decimal and a 4-byte float "%f" (six
// decimals), a date-time "%Y-%m-%d", a string itself without surrounding blanks, and any
// other kind (double, small or 8-byte integer, boolean, bytes) the word "error".
QString ValueText(const Variant& value);
QString ValueText(const Field& field);
QString ValueText(int fieldIndex);
QString ValueText(const QString& fieldName);

// ValueNumber: a 4-byte integer its value, a decimal its value as double, anything else 0.
double ValueNumber(const Variant& value);
double ValueNumber(const Field& field);
double ValueNumber(int fieldIndex);
double ValueNumber(const QString& fieldName);

} // namespace glimora::data

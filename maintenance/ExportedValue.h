#pragma once

#include "data/Variant.h"

#include <QByteArray>

namespace glimora::maintenance::ExportedValue {

// The text of a value as an export writes it, in UTF-8: decimals with their places, dates
// as yyyy-MM-dd HH:mm:ss (with milliseconds when there are any), floating numbers in the
// shortest form that reads back the same. Null, empty and binary values give nothing.
void append(QByteArray& out, const data::Variant& value);

// The wall-clock date-time as written.
void appendDateTime(QByteArray& out, const QDateTime& value);

} // namespace glimora::maintenance::ExportedValue

#pragma once

#include "data/Decimal.h"
#include "data/RecordsetData.h"

namespace glimora::data {

// text, ntext and image cannot be compared in a WHERE clause.
inline bool isComparable(DataType type)
{
    return type != DataType::LongVarChar && type != DataType::LongVarWChar && type != DataType::LongVarBinary;
}

// Whether the value read is exactly the value stored: a decimal wider than the data layer
// holds cannot be carried whole, and a check on it would fail for every row.
inline bool isCarriedExactly(const FieldInfo& field)
{
    const bool decimal = field.type == DataType::Numeric || field.type == DataType::Decimal;
    return !decimal || field.precision <= Decimal::MaximumDigits;
}

} // namespace glimora::data

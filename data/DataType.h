#pragma once

namespace glimora::data {

// ADO data-type codes; the screens compare field types against these numbers.
enum class DataType : int {
    Empty = 0,
    SmallInt = 2, // adSmallInt
    Integer = 3, // adInteger
    Single = 4, // adSingle
    Double = 5, // adDouble
    Boolean = 11, // adBoolean
    Decimal = 14, // adDecimal
    BigInt = 20, // adBigInt
    Numeric = 131, // adNumeric
    DBTimeStamp = 135, // adDBTimeStamp
    VarChar = 200, // adVarChar
    LongVarChar = 201, // adLongVarChar
    VarWChar = 202, // adVarWChar
    LongVarWChar = 203, // adLongVarWChar
    VarBinary = 204, // adVarBinary
    LongVarBinary = 205, // adLongVarBinary
};

} // namespace glimora::data

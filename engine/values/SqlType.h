#pragma once

#include "data/DataType.h"

#include <QString>

namespace glimora::engine {

// A T-SQL data type as a column or an expression has it: the base type and its
// length, precision and scale. The engine keeps it beside every column, because
// SQLite's own types are too coarse to answer as SQL Server does.
struct SqlType
{
    enum class Base {
        Unknown,
        Bit,
        TinyInt,
        SmallInt,
        Int,
        BigInt,
        Decimal,
        Numeric,
        Money,
        SmallMoney,
        Float,
        Real,
        DateTime,
        SmallDateTime,
        Char,
        VarChar,
        Text,
        NChar,
        NVarChar,
        NText,
        Binary,
        VarBinary,
        Image,
    };

    Base base = Base::Unknown;
    int length = 0; // characters or bytes; -1 for max
    int precision = 0;
    int scale = 0;

    static constexpr int MaxLength = -1;

    // Builds a type from its name and the numbers in brackets after it; Unknown when
    // the name is not a type this server knows.
    static SqlType fromName(const QString& name, int first = -2, int second = -2);
    static SqlType of(Base base, int length = 0, int precision = 0, int scale = 0);
    // Reads back what name() wrote.
    static SqlType fromText(const QString& text);

    bool isKnown() const { return base != Base::Unknown; }
    bool isText() const;
    bool isNational() const;
    bool isInteger() const;
    bool isExactNumeric() const; // decimal, numeric, money
    bool isNumeric() const; // every number type, bit included
    // Exact numbers with places or beyond 18 digits, which SQLite holds as their text; the
    // others are SQLite integers.
    bool keepsDecimalText() const { return isExactNumeric() && (scale > 0 || precision > 18); }
    bool isDateTime() const;
    bool isBinary() const;

    // The type as T-SQL writes it, for example "decimal(18,2)" or "nvarchar(255)".
    QString name() const;
    // The name alone, for messages ("int", "datetime", "numeric").
    QString baseName() const;
    // The column type that SQLite gets: it decides the storage class of the values.
    QString sqliteDeclaration() const;
    data::DataType adoType() const;
    int definedSize() const;

    // A stable number per base type, passed to the conversion functions of SQLite.
    int code() const { return int(base); }
    static SqlType fromCode(int code, int length, int precision, int scale);

    friend bool operator==(const SqlType&, const SqlType&) = default;
};

} // namespace glimora::engine

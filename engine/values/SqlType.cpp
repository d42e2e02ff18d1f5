#include "engine/values/SqlType.h"

#include <QHash>
#include <QRegularExpression>

namespace glimora::engine {

using Base = SqlType::Base;

namespace {

const QHash<QString, Base>& typeNames()
{
    static const QHash<QString, Base> names = {
        { QStringLiteral("bit"), Base::Bit },
        { QStringLiteral("tinyint"), Base::TinyInt },
        { QStringLiteral("smallint"), Base::SmallInt },
        { QStringLiteral("int"), Base::Int },
        { QStringLiteral("integer"), Base::Int },
        { QStringLiteral("bigint"), Base::BigInt },
        { QStringLiteral("decimal"), Base::Decimal },
        { QStringLiteral("dec"), Base::Decimal },
        { QStringLiteral("numeric"), Base::Numeric },
        { QStringLiteral("money"), Base::Money },
        { QStringLiteral("smallmoney"), Base::SmallMoney },
        { QStringLiteral("float"), Base::Float },
        { QStringLiteral("real"), Base::Real },
        { QStringLiteral("datetime"), Base::DateTime },
        { QStringLiteral("smalldatetime"), Base::SmallDateTime },
        { QStringLiteral("char"), Base::Char },
        { QStringLiteral("character"), Base::Char },
        { QStringLiteral("varchar"), Base::VarChar },
        { QStringLiteral("text"), Base::Text },
        { QStringLiteral("nchar"), Base::NChar },
        { QStringLiteral("nvarchar"), Base::NVarChar },
        { QStringLiteral("ntext"), Base::NText },
        { QStringLiteral("sysname"), Base::NVarChar },
        { QStringLiteral("binary"), Base::Binary },
        { QStringLiteral("varbinary"), Base::VarBinary },
        { QStringLiteral("image"), Base::Image },
    };
    return names;
}

} // namespace

SqlType SqlType::of(Base base, int length, int precision, int scale)
{
    SqlType type;
    type.base = base;
    type.length = length;
    type.precision = precision;
    type.scale = scale;
    return type;
}

SqlType SqlType::fromName(const QString& name, int first, int second)
{
    const Base base = typeNames().value(name.toLower(), Base::Unknown);
    SqlType type;
    type.base = base;
    const bool hasFirst = first != -2;
    switch (base) {
    case Base::Decimal:
    case Base::Numeric:
        type.precision = hasFirst ? first : 18;
        type.scale = second >= 0 ? second : 0;
        break;
    case Base::Money:
        type.precision = 19;
        type.scale = 4;
        break;
    case Base::SmallMoney:
        type.precision = 10;
        type.scale = 4;
        break;
    case Base::Float:
        type.precision = hasFirst && first <= 24 ? 24 : 53;
        if (hasFirst && first <= 24)
            type.base = Base::Real;
        break;
    case Base::Char:
    case Base::VarChar:
    case Base::NChar:
    case Base::NVarChar:
    case Base::Binary:
    case Base::VarBinary:
        type.length = hasFirst ? first : 1;
        if (name.compare(QLatin1String("sysname"), Qt::CaseInsensitive) == 0)
            type.length = 128;
        break;
    case Base::Text:
    case Base::NText:
    case Base::Image:
        type.length = MaxLength;
        break;
    default:
        break;
    }
    return type;
}

SqlType SqlType::fromText(const QString& text)
{
    static const QRegularExpression pattern(QStringLiteral("^(\\w+)(?:\\((max|\\d+)(?:,(\\d+))?\\))?$"));
    const QRegularExpressionMatch match = pattern.match(text.trimmed());
    if (!match.hasMatch())
        return SqlType();
    const QString first = match.captured(2);
    const int firstValue = first.isEmpty() ? -2 : first == QLatin1String("max") ? MaxLength : first.toInt();
    const int secondValue = match.captured(3).isEmpty() ? -2 : match.captured(3).toInt();
    return fromName(match.captured(1), firstValue, secondValue);
}

SqlType SqlType::fromCode(int code, int length, int precision, int scale)
{
    return of(Base(code), length, precision, scale);
}

bool SqlType::isText() const
{
    switch (base) {
    case Base::Char:
    case Base::VarChar:
    case Base::Text:
    case Base::NChar:
    case Base::NVarChar:
    case Base::NText:
        return true;
    default:
        return false;
    }
}

bool SqlType::isNational() const
{
    return base == Base::NChar || base == Base::NVarChar || base == Base::NText;
}

bool SqlType::isInteger() const
{
    return base == Base::Bit || base == Base::TinyInt || base == Base::SmallInt || base == Base::Int
        || base == Base::BigInt;
}

bool SqlType::isExactNumeric() const
{
    return base == Base::Decimal || base == Base::Numeric || base == Base::Money || base == Base::SmallMoney;
}

bool SqlType::isNumeric() const
{
    return isInteger() || isExactNumeric() || base == Base::Float || base == Base::Real;
}

bool SqlType::isDateTime() const
{
    return base == Base::DateTime || base == Base::SmallDateTime;
}

bool SqlType::isBinary() const
{
    return base == Base::Binary || base == Base::VarBinary || base == Base::Image;
}

QString SqlType::baseName() const
{
    switch (base) {
    case Base::Unknown:
        return QStringLiteral("sql_variant");
    case Base::Bit:
        return QStringLiteral("bit");
    case Base::TinyInt:
        return QStringLiteral("tinyint");
    case Base::SmallInt:
        return QStringLiteral("smallint");
    case Base::Int:
        return QStringLiteral("int");
    case Base::BigInt:
        return QStringLiteral("bigint");
    case Base::Decimal:
        return QStringLiteral("decimal");
    case Base::Numeric:
        return QStringLiteral("numeric");
    case Base::Money:
        return QStringLiteral("money");
    case Base::SmallMoney:
        return QStringLiteral("smallmoney");
    case Base::Float:
        return QStringLiteral("float");
    case Base::Real:
        return QStringLiteral("real");
    case Base::DateTime:
        return QStringLiteral("datetime");
    case Base::SmallDateTime:
        return QStringLiteral("smalldatetime");
    case Base::Char:
        return QStringLiteral("char");
    case Base::VarChar:
        return QStringLiteral("varchar");
    case Base::Text:
        return QStringLiteral("text");
    case Base::NChar:
        return QStringLiteral("nchar");
    case Base::NVarChar:
        return QStringLiteral("nvarchar");
    case Base::NText:
        return QStringLiteral("ntext");
    case Base::Binary:
        return QStringLiteral("binary");
    case Base::VarBinary:
        return QStringLiteral("varbinary");
    case Base::Image:
        return QStringLiteral("image");
    }
    return QString();
}

QString SqlType::name() const
{
    switch (base) {
    case Base::Decimal:
    case Base::Numeric:
        return QStringLiteral("%1(%2,%3)").arg(baseName()).arg(precision).arg(scale);
    case Base::Char:
    case Base::VarChar:
    case Base::NChar:
    case Base::NVarChar:
    case Base::Binary:
    case Base::VarBinary:
        return QStringLiteral("%1(%2)").arg(
            baseName(), length == MaxLength ? QStringLiteral("max") : QString::number(length));
    default:
        return baseName();
    }
}

QString SqlType::sqliteDeclaration() const
{
    if (isText())
        return QStringLiteral("TEXT COLLATE TSQL");
    // Not "INTEGER": a single INTEGER key would become SQLite's rowid and accept NULL.
    if (isInteger())
        return QStringLiteral("INT");
    if (keepsDecimalText())
        return QStringLiteral("TEXT COLLATE DECIMAL");
    if (isExactNumeric())
        return QStringLiteral("NUMERIC");
    if (base == Base::Float || base == Base::Real)
        return QStringLiteral("REAL");
    if (isDateTime())
        return QStringLiteral("TEXT");
    if (isBinary())
        return QStringLiteral("BLOB");
    return QString();
}

data::DataType SqlType::adoType() const
{
    using data::DataType;
    switch (base) {
    case Base::Bit:
        return DataType::Boolean;
    case Base::TinyInt:
    case Base::SmallInt:
        return DataType::SmallInt;
    case Base::Int:
        return DataType::Integer;
    case Base::BigInt:
        return DataType::BigInt;
    case Base::Decimal:
    case Base::Numeric:
    case Base::Money:
    case Base::SmallMoney:
        return DataType::Numeric;
    case Base::Float:
        return DataType::Double;
    case Base::Real:
        return DataType::Single;
    case Base::DateTime:
    case Base::SmallDateTime:
        return DataType::DBTimeStamp;
    case Base::Char:
    case Base::VarChar:
        return DataType::VarChar;
    case Base::Text:
        return DataType::LongVarChar;
    case Base::NChar:
    case Base::NVarChar:
        return DataType::VarWChar;
    case Base::NText:
        return DataType::LongVarWChar;
    case Base::Binary:
    case Base::VarBinary:
        return DataType::VarBinary;
    case Base::Image:
        return DataType::LongVarBinary;
    case Base::Unknown:
        break;
    }
    return DataType::Empty;
}

int SqlType::definedSize() const
{
    switch (base) {
    case Base::Bit:
        return 2;
    case Base::TinyInt:
        return 1;
    case Base::SmallInt:
        return 2;
    case Base::Int:
    case Base::Real:
        return 4;
    case Base::BigInt:
    case Base::Float:
    case Base::Money:
        return 8;
    case Base::Decimal:
    case Base::Numeric:
        return 19;
    case Base::DateTime:
    case Base::SmallDateTime:
        return 16;
    case Base::Text:
    case Base::NText:
    case Base::Image:
        return 2147483647;
    default:
        return length == MaxLength ? 2147483647 / (isNational() ? 2 : 1) : length;
    }
}

} // namespace glimora::engine

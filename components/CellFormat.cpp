#include "components/CellFormat.h"

#include <limits>
#include <QStringList>

namespace glimora::components {

namespace {

using data::DataType;
using data::Decimal;
using data::Variant;

// A decimal shown with exactly `scale` places, rounding half away from zero.
QString decimalText(Decimal value, int scale)
{
    if (scale < 0 || scale == value.scale || scale > Decimal::MaximumDigits)
        return value.toString();
    constexpr Decimal::Digits widest = []() {
        Decimal::Digits limit = 1;
        for (int i = 0; i < Decimal::MaximumDigits - 1; ++i)
            limit *= 10;
        return limit;
    }();
    while (value.scale < scale) {
        if (value.unscaledValue >= widest || value.unscaledValue <= -widest)
            return value.toString(); // more places would pass 38 digits; show it as stored
        value.unscaledValue *= 10;
        ++value.scale;
    }
    if (value.scale > scale) {
        // Rounded once from every place dropped: place by place, 0.149 would become 0.2.
        Decimal::Digits divisor = 1;
        for (int i = scale; i < value.scale; ++i)
            divisor *= 10;
        const bool negative = value.unscaledValue < 0;
        const Decimal::Digits magnitude = negative ? -value.unscaledValue : value.unscaledValue;
        Decimal::Digits kept = magnitude / divisor;
        const Decimal::Digits remainder = magnitude % divisor;
        if (remainder >= divisor - remainder) // half away from zero, without doubling past 38 digits
            ++kept;
        value = Decimal { negative ? -kept : kept, scale };
    }
    return value.toString();
}

bool isText(DataType type)
{
    return type == DataType::VarChar || type == DataType::LongVarChar || type == DataType::VarWChar
        || type == DataType::LongVarWChar || type == DataType::Empty;
}

QString dateTimeText(const QDateTime& value)
{
    if (!value.isValid())
        return QString();
    if (value.time() == QTime(0, 0))
        return value.date().toString(QStringLiteral("yyyy-MM-dd"));
    if (value.time().msec() != 0)
        return value.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
    return value.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

// A stored date-time has no time zone: the date and the time are read apart and joined on
// UTC, where every wall-clock time exists (the desktop's zone may skip an hour in spring).
bool parseDateTime(const QString& text, QDateTime& result)
{
    static const QStringList timeFormats { QStringLiteral("HH:mm:ss.zzz"), QStringLiteral("HH:mm:ss"),
        QStringLiteral("HH:mm"), QStringLiteral("H:m:s"), QStringLiteral("H:m") };
    static const QStringList dateFormats { QStringLiteral("yyyy-MM-dd"), QStringLiteral("yyyy-M-d"),
        QStringLiteral("yyyy/M/d"), QStringLiteral("yyyyMMdd") };
    const qsizetype blank = text.indexOf(QLatin1Char(' '));
    const QString dateText = blank < 0 ? text : text.left(blank);
    const QString timeText = blank < 0 ? QString() : text.mid(blank + 1);
    QDate date;
    for (const QString& format : dateFormats) {
        if (!date.isValid())
            date = QDate::fromString(dateText, format);
    }
    QTime time(0, 0);
    if (blank >= 0) {
        time = QTime();
        for (const QString& format : timeFormats) {
            if (!time.isValid())
                time = QTime::fromString(timeText, format);
        }
    }
    if (!date.isValid() || !time.isValid())
        return false;
    result = QDateTime(date, time, Qt::UTC);
    return true;
}

} // namespace

QString CellFormat::pictureMarker()
{
    return QStringLiteral("[图片]");
}

bool CellFormat::isNumeric(DataType type)
{
    switch (type) {
    case DataType::SmallInt:
    case DataType::Integer:
    case DataType::Single:
    case DataType::Double:
    case DataType::Decimal:
    case DataType::BigInt:
    case DataType::Numeric:
        return true;
    default:
        return false;
    }
}

bool CellFormat::isBinary(DataType type)
{
    return type == DataType::VarBinary || type == DataType::LongVarBinary;
}

QString CellFormat::displayText(const Variant& value, DataType type, int scale)
{
    const bool scaled = type == DataType::Numeric || type == DataType::Decimal;
    switch (value.kind()) {
    case Variant::Kind::Empty:
    case Variant::Kind::Null:
        return QString();
    case Variant::Kind::Int16:
    case Variant::Kind::Int32:
    case Variant::Kind::Int64:
        if (scaled && scale > 0)
            return decimalText(Decimal { value.toInt64(), 0 }, scale);
        return QString::number(value.toInt64());
    case Variant::Kind::Single:
    case Variant::Kind::Double:
        if (scaled)
            return QString::number(value.toDouble(), 'f', qBound(0, scale, 38));
        return QString::number(value.toDouble(), 'g', value.kind() == Variant::Kind::Single ? 7 : 15);
    case Variant::Kind::Decimal:
        return decimalText(value.toDecimal(), scaled ? scale : value.toDecimal().scale);
    case Variant::Kind::DateTime:
        return dateTimeText(value.toDateTime());
    case Variant::Kind::String:
        return value.toString();
    case Variant::Kind::Boolean:
        return value.toBoolean() ? QStringLiteral("True") : QStringLiteral("False");
    case Variant::Kind::Bytes:
        return pictureMarker();
    }
    return QString();
}

bool CellFormat::parse(const QString& typed, DataType type, Variant& value, QString& problem)
{
    if (isText(type)) {
        value = Variant::fromString(typed); // blanks a person typed are kept
        return true;
    }
    const QString text = typed.trimmed();
    if (text.isEmpty()) {
        value = Variant::null();
        return true;
    }
    const QString notANumber = QStringLiteral("“%1”不是有效的数字").arg(text);
    switch (type) {
    case DataType::SmallInt:
    case DataType::Integer:
    case DataType::BigInt: {
        bool ok = false;
        const qint64 number = text.toLongLong(&ok);
        const qint64 limit = type == DataType::SmallInt ? 32767 : type == DataType::Integer ? 2147483647 : 0;
        if (!ok || (limit != 0 && (number > limit || number < -limit - 1))) {
            problem = notANumber;
            return false;
        }
        value = type == DataType::SmallInt ? Variant::fromInt16(qint16(number))
            : type == DataType::Integer    ? Variant::fromInt32(qint32(number))
                                           : Variant::fromInt64(number);
        return true;
    }
    case DataType::Single:
    case DataType::Double: {
        bool ok = false;
        const double number = text.toDouble(&ok);
        if (!ok) {
            problem = notANumber;
            return false;
        }
        value = type == DataType::Single ? Variant::fromSingle(float(number)) : Variant::fromDouble(number);
        return true;
    }
    case DataType::Decimal:
    case DataType::Numeric: {
        Decimal number;
        if (!Decimal::parse(text, number)) {
            problem = notANumber;
            return false;
        }
        value = Variant::fromDecimal(number);
        return true;
    }
    case DataType::Boolean: {
        const QString lower = text.toLower();
        if (lower == QLatin1String("1") || lower == QLatin1String("true") || lower == QStringLiteral("是")) {
            value = Variant::fromBoolean(true);
            return true;
        }
        if (lower == QLatin1String("0") || lower == QLatin1String("false") || lower == QStringLiteral("否")) {
            value = Variant::fromBoolean(false);
            return true;
        }
        problem = QStringLiteral("“%1”不是有效的是否值").arg(text);
        return false;
    }
    case DataType::DBTimeStamp: {
        QDateTime moment;
        if (!parseDateTime(text, moment)) {
            problem = QStringLiteral("“%1”不是有效的日期").arg(text);
            return false;
        }
        value = Variant::fromDateTime(moment);
        return true;
    }
    case DataType::VarBinary:
    case DataType::LongVarBinary:
        problem = QStringLiteral("图片不能在表格中编辑");
        return false;
    default:
        value = Variant::fromString(text);
        return true;
    }
}

} // namespace glimora::components

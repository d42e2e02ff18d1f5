#include "engine/values/ConversionFunctions.h"

#include "engine/values/DateTimeText.h"
#include "engine/values/DecimalFunctions.h"
#include "engine/values/FunctionValues.h"

#include <cmath>
#include <limits>
#include <QRegularExpression>

namespace glimora::engine {

using namespace FunctionValues;
using Base = SqlType::Base;

namespace {

ServerError overflow(const QString& source, const SqlType& target)
{
    return ServerError(8115,
        QStringLiteral("Arithmetic overflow error converting %1 to data type %2.")
            .arg(source, target.isExactNumeric() ? QStringLiteral("numeric") : target.baseName()),
        16)
        .setAbortsBatch();
}

ServerError truncated()
{
    return ServerError(8152, QStringLiteral("String or binary data would be truncated."), 16, 14);
}

bool integerRange(const SqlType& type, qint64 value)
{
    switch (type.base) {
    case Base::TinyInt:
        return value >= 0 && value <= 255;
    case Base::SmallInt:
        return value >= -32768 && value <= 32767;
    case Base::Int:
        return value >= std::numeric_limits<qint32>::min() && value <= std::numeric_limits<qint32>::max();
    default:
        return true;
    }
}

QString numberText(double value)
{
    if (value == std::floor(value) && std::fabs(value) < 1e15)
        return QString::number(qint64(value));
    return QString::number(value, 'g', 15);
}

// "yyyy-MM-dd HH:mm:ss.zzz" of a valid date-time within datetime's range (1753 to 9999), on
// one of datetime's ticks.
bool isStoredDateTime(const char* text, int size)
{
    DateTimeText::StoredParts parts {};
    return DateTimeText::splitStoredUtf8(text, size, parts) && parts.year >= 1753
        && QDate::isValid(parts.year, parts.month, parts.day) && parts.hour < 24 && parts.minute < 60
        && parts.second < 60 && DateTimeText::isTick(parts.millisecond);
}

void convertToInteger(sqlite3_context* context, sqlite3_value* value, int type, const SqlType& target,
    const QString& sourceName)
{
    qint64 result = 0;
    if (type == SQLITE_INTEGER) {
        result = sqlite3_value_int64(value);
    } else if (type == SQLITE_FLOAT) {
        const double number = std::trunc(sqlite3_value_double(value));
        if (number < -9.2e18 || number > 9.2e18)
            return fail(context, overflow(sourceName, target));
        result = qint64(number);
    } else if (type == SQLITE_TEXT) {
        const QString text = textOf(value).trimmed();
        if (target.base == Base::Bit
            && (text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0
                || text.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0)) {
            result = text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0 ? 1 : 0;
        } else {
            static const QRegularExpression pattern(QStringLiteral("^[+-]?\\d+$"));
            if (!pattern.match(text).hasMatch())
                return fail(context, conversionFailed(textOf(value), target));
            bool ok = false;
            result = text.toLongLong(&ok);
            if (!ok || !integerRange(target, result))
                return fail(context,
                    ServerError(248,
                        QStringLiteral("The conversion of the varchar value '%1' overflowed an %2 column.")
                            .arg(text, target.baseName()),
                        16)
                        .setAbortsBatch());
        }
    } else {
        const QByteArray bytes(
            static_cast<const char*>(sqlite3_value_blob(value)), sqlite3_value_bytes(value));
        for (char byte : bytes.right(8))
            result = (result << 8) | quint8(byte);
    }
    if (target.base == Base::Bit)
        result = result != 0 ? 1 : 0;
    if (!integerRange(target, result))
        return fail(context, overflow(QStringLiteral("expression"), target));
    sqlite3_result_int64(context, result);
}

void convertToFloat(sqlite3_context* context, sqlite3_value* value, int type, const SqlType& target,
    const QString& sourceName)
{
    double number = 0;
    if (type == SQLITE_INTEGER) {
        number = double(sqlite3_value_int64(value));
    } else if (type == SQLITE_FLOAT) {
        number = sqlite3_value_double(value);
    } else if (type == SQLITE_TEXT) {
        const QString text = textOf(value).trimmed();
        static const QRegularExpression floatPattern(
            QStringLiteral("^[+-]?(\\d+\\.?\\d*|\\.\\d+)([eE][+-]?\\d+)?$"));
        if (!floatPattern.match(text).hasMatch()) {
            return fail(context,
                ServerError(8114,
                    QStringLiteral("Error converting data type varchar to %1.").arg(target.baseName()), 16)
                    .setAbortsBatch());
        }
        number = text.toDouble();
    } else {
        return fail(context,
            ServerError(529,
                QStringLiteral("Explicit conversion from data type varbinary to %1 is not allowed.")
                    .arg(target.baseName()),
                16));
    }
    if (!std::isfinite(number))
        return fail(context, overflow(sourceName, target));
    if (target.base == Base::Real)
        number = double(float(number));
    sqlite3_result_double(context, number);
}

void convertToDateTime(sqlite3_context* context, sqlite3_value* value, int type, const SqlType& target)
{
    QDateTime result;
    if (type == SQLITE_TEXT) {
        switch (DateTimeText::parse(textOf(value), result)) {
        case DateTimeText::ParseResult::Ok:
            break;
        case DateTimeText::ParseResult::Invalid:
            return fail(context,
                ServerError(241,
                    QStringLiteral(
                        "Conversion failed when converting date and/or time from character string."),
                    16)
                    .setAbortsBatch());
        case DateTimeText::ParseResult::OutOfRange:
            return fail(context,
                ServerError(242,
                    QStringLiteral("The conversion of a varchar data type to a datetime data type "
                                   "resulted in an out-of-range value."),
                    16)
                    .setAbortsBatch());
        }
    } else if (type == SQLITE_INTEGER || type == SQLITE_FLOAT) {
        result = DateTimeText::fromDays(sqlite3_value_double(value));
        if (result.date().year() < 1753 || result.date().year() > 9999)
            return fail(context,
                ServerError(8115,
                    QStringLiteral("Arithmetic overflow error converting expression to data type datetime."),
                    16)
                    .setAbortsBatch());
    } else {
        return fail(context,
            ServerError(529,
                QStringLiteral("Explicit conversion from data type varbinary to datetime is not allowed."),
                16));
    }
    result = DateTimeText::roundedToTicks(result);
    if (result.date().year() > 9999)
        return fail(context,
            type == SQLITE_TEXT
                ? ServerError(242,
                    QStringLiteral("The conversion of a varchar data type to a datetime data type "
                                   "resulted in an out-of-range value."),
                    16)
                      .setAbortsBatch()
                : ServerError(8115,
                    QStringLiteral("Arithmetic overflow error converting expression to data type datetime."),
                    16)
                      .setAbortsBatch());
    if (target.base == Base::SmallDateTime) {
        const QTime time = result.time();
        result.setTime(QTime(time.hour(), time.minute()));
        if (time.second() >= 30)
            result = result.addSecs(60);
    }
    resultText(context, DateTimeText::format(result));
}

void convertToText(
    sqlite3_context* context, sqlite3_value* value, int type, const SqlType& target, bool store)
{
    QString text;
    if (type == SQLITE_INTEGER)
        text = QString::number(sqlite3_value_int64(value));
    else if (type == SQLITE_FLOAT)
        text = numberText(sqlite3_value_double(value));
    else if (type == SQLITE_TEXT)
        text = textOf(value);
    else
        text = QString::fromLatin1(
            static_cast<const char*>(sqlite3_value_blob(value)), sqlite3_value_bytes(value));
    if (target.length != SqlType::MaxLength) {
        const bool national = target.isNational();
        const int length = national ? int(text.size()) : codePageLength(text);
        if (length > target.length) {
            const QString kept = national ? text.left(target.length) : codePageLeft(text, target.length);
            // Only blanks beyond the end may go silently.
            if (store && !text.mid(kept.size()).trimmed().isEmpty())
                return fail(context, truncated());
            text = kept;
        }
        if (target.base == Base::Char || target.base == Base::NChar) {
            const int padded = national ? int(text.size()) : codePageLength(text);
            text += QString(qMax(0, target.length - padded), QLatin1Char(' '));
        }
    }
    resultText(context, text);
}

void convertToBinary(
    sqlite3_context* context, sqlite3_value* value, int type, const SqlType& target, bool store)
{
    QByteArray bytes;
    if (type == SQLITE_BLOB) {
        bytes = QByteArray(static_cast<const char*>(sqlite3_value_blob(value)), sqlite3_value_bytes(value));
    } else if (type == SQLITE_TEXT) {
        bytes = textOf(value).toUtf8();
    } else if (type == SQLITE_INTEGER) {
        const qint32 number = qint32(sqlite3_value_int64(value));
        for (int shift = 24; shift >= 0; shift -= 8)
            bytes.append(char((number >> shift) & 0xff));
    } else {
        return fail(context,
            ServerError(529,
                QStringLiteral("Explicit conversion from data type float to %1 is not allowed.")
                    .arg(target.baseName()),
                16));
    }
    if (target.length != SqlType::MaxLength && bytes.size() > target.length) {
        if (store)
            return fail(context, truncated());
        bytes.truncate(target.length);
    }
    sqlite3_result_blob(context, bytes.constData(), int(bytes.size()), SQLITE_TRANSIENT);
}

// Converts one value to a column type; `store` marks an assignment to a column, where
// text that does not fit fails instead of being cut.
void convertValue(
    sqlite3_context* context, sqlite3_value* value, const SqlType& target, int style, bool store)
{
    Q_UNUSED(style);
    const int type = sqlite3_value_type(value);
    if (type == SQLITE_NULL) {
        sqlite3_result_null(context);
        return;
    }
    // The common cases of an import go without a detour through QString: a text that fits its
    // column, and a date-time as the engine stores it, pass unchanged. (Every character takes
    // at least one UTF-8 byte per byte it counts in a column's length.)
    if (type == SQLITE_TEXT && target.isText() && target.base != Base::Char && target.base != Base::NChar
        && (target.length == SqlType::MaxLength || sqlite3_value_bytes(value) <= target.length)) {
        sqlite3_result_value(context, value);
        return;
    }
    if (type == SQLITE_TEXT && target.base == Base::DateTime
        && isStoredDateTime(
            reinterpret_cast<const char*>(sqlite3_value_text(value)), sqlite3_value_bytes(value))) {
        sqlite3_result_value(context, value);
        return;
    }
    const QString sourceName = type == SQLITE_INTEGER ? QStringLiteral("int")
        : type == SQLITE_FLOAT                        ? QStringLiteral("float")
                                                      : QStringLiteral("varchar");

    if (target.isInteger())
        return convertToInteger(context, value, type, target, sourceName);
    if (target.isExactNumeric())
        return DecimalFunctions::convert(context, value, target);
    if (target.base == Base::Float || target.base == Base::Real)
        return convertToFloat(context, value, type, target, sourceName);
    if (target.isDateTime())
        return convertToDateTime(context, value, type, target);
    if (target.isText())
        return convertToText(context, value, type, target, store);
    if (target.isBinary())
        return convertToBinary(context, value, type, target, store);
    sqlite3_result_value(context, value);
}

// tsql_convert(value, code, length, precision, scale, style, store)
void convertFunction(sqlite3_context* context, int, sqlite3_value** values)
{
    const SqlType target = SqlType::fromCode(sqlite3_value_int(values[1]), sqlite3_value_int(values[2]),
        sqlite3_value_int(values[3]), sqlite3_value_int(values[4]));
    convertValue(context, values[0], target, sqlite3_value_int(values[5]), sqlite3_value_int(values[6]) != 0);
}

// tsql_format_datetime(value, style): CONVERT of a date to text.
void formatDateTimeFunction(sqlite3_context* context, int, sqlite3_value** values)
{
    if (isNull(values[0]))
        return sqlite3_result_null(context);
    QDateTime value;
    if (!DateTimeText::fromStored(textOf(values[0]), value))
        return resultText(context, textOf(values[0]));
    resultText(context, DateTimeText::formatStyle(value, sqlite3_value_int(values[1])));
}

} // namespace

void ConversionFunctions::install(sqlite3* db)
{
    define(db, "tsql_convert", 7, convertFunction);
    define(db, "tsql_format_datetime", 2, formatDateTimeFunction);
}

} // namespace glimora::engine
